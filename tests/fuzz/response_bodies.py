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


def main(seed_dir: str, *captures: str) -> None:
    target = pathlib.Path(seed_dir)
    target.mkdir(parents=True, exist_ok=True)
    for capture in captures:
        path = pathlib.Path(capture)
        try:
            body = body_of(path.read_bytes())
        except ValueError:
            continue
        if body.lstrip().startswith(b"<?xml"):
            (target / (path.name + ".xml")).write_bytes(b"\x0f" + body)


if __name__ == "__main__":
    main(*sys.argv[1:])
