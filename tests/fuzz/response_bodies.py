#!/usr/bin/env python3
"""Writes the XML body of each captured response into a seed directory for
xml_body_fuzz, behind the one byte that target reads first (pieces of 16)."""
import pathlib
import sys


def body_of(response: bytes) -> bytes:
    head, _, body = response.partition(b"\r\n\r\n")
    if b"chunked" not in head.lower():
        return body
    out = b""
    while body:
        size_line, _, rest = body.partition(b"\r\n")
        size = int(size_line.split(b";")[0] or b"0", 16)
        out += rest[:size]
        body = rest[size + 2:] if size else b""  # a chunk of size 0 ends the body
    return out


if __name__ == "__main__":
    target = pathlib.Path(sys.argv[1])
    target.mkdir(parents=True, exist_ok=True)
    for capture in map(pathlib.Path, sys.argv[2:]):
        try:
            body = body_of(capture.read_bytes())
        except ValueError:
            continue
        if body.lstrip().startswith(b"<?xml"):
            (target / (capture.name + ".xml")).write_bytes(b"\x0f" + body)
