#!/usr/bin/env python3
"""A scripted CIM-XML server for the client's wire tests (standard library only).

Each request consumes the next step of the script (a JSON list) and is journaled (JSON lines:
conn, head, body). Prints "port=N" once listening on 127.0.0.1; serves until SIGTERM. Steps:
  {"reply": FILE}            FILE's bytes, with its 4-digit MESSAGE ID made the request's ID
  {"reply": FILE, "cut": N}  its first N bytes, then a close
  {"reply_then_close": FILE} FILE, then a close without saying so
  {"close": true}            a close without answer (so is every request past the script)
  {"silent": true}           no answer, the connection kept open
  {"endless": true}          a chunked 200 response whose chunks never end
  {"challenge": PATH}        OpenPegasus's local authentication challenge naming PATH
"""
import argparse
import contextlib
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import threading

lock = threading.Lock()
steps = []


def read_request(reader):
    """(head, body) of the next request, or None once the client has closed."""
    lines = []
    while (line := reader.readline()) not in (b"\r\n", b""):
        lines.append(line)
    if not line:
        return None
    head = b"".join(lines)[:-2]
    match = re.search(rb"(?im)^content-length:\s*(\d+)", head)
    body = reader.read(int(match.group(1)) if match else 0)
    return head.decode("latin-1"), body.decode("utf-8", "replace")


def serve_connection(stream, reader, number, journal):
    while (request := read_request(reader)) is not None:
        head, body = request
        with lock:
            step = steps.pop(0) if steps else {"close": True}
            with open(journal, "a", encoding="utf-8") as out:
                out.write(json.dumps({"conn": number, "head": head, "body": body}) + "\n")
        path = step.get("reply") or step.get("reply_then_close")
        if path:
            with open(path, "rb") as file:
                response = file.read()
            # Only an ID of the same length keeps the response's Content-Length true.
            if match := re.search(r'<MESSAGE ID="(\d{4})"', body):
                response = re.sub(rb'<MESSAGE ID="\d{4}"', match[0].encode(), response)
            if "cut" in step:
                return stream.sendall(response[: step["cut"]])
            if "reply_then_close" in step and not isinstance(stream, ssl.SSLSocket):
                # Corked, the close rides on the reply's last segment: a moment later, a keep-alive
                # client already sending its next request here would lose it to the close.
                stream.setsockopt(socket.IPPROTO_TCP, socket.TCP_CORK, 1)
            stream.sendall(response)
            if "reply_then_close" in step:
                return stream.shutdown(socket.SHUT_WR)
        elif "challenge" in step:
            stream.sendall(b'HTTP/1.1 401 Unauthorized\r\nPGErrorDetail: User%%20Unauthorized\r\n'
                           b'content-length: 0000000000\r\nWWW-Authenticate: Local "%s"\r\n\r\n'
                           % step["challenge"].encode())
        elif step.get("silent"):
            threading.Event().wait()
        elif step.get("endless"):
            stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
                           b"Transfer-Encoding: chunked\r\nCIMOperation: MethodResponse\r\n\r\n")
            while True:
                stream.sendall(b"%x\r\n%s\r\n" % (65536, b"x" * 65536))
        else:
            return


def main():
    global steps
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--journal", required=True)
    parser.add_argument("--tls", metavar="CERTIFICATE", help="serve TLS, with a new self-signed "
                        "certificate written to CERTIFICATE (its key beside it) for trust tests")
    arguments = parser.parse_args()
    with open(arguments.script, encoding="utf-8") as file:
        steps = json.load(file)
    open(arguments.journal, "w").close()

    context = None
    if arguments.tls:
        key = arguments.tls + ".key"
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", arguments.tls, "-days", "1", "-subj", "/CN=scripted-cimom"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(arguments.tls, key)

    listener = socket.create_server(("127.0.0.1", 0))
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("port=%d" % listener.getsockname()[1], flush=True)

    def handle(raw, number):
        # An OSError ends the connection: ssl.SSLError is one, so is the client going away.
        with raw, contextlib.suppress(OSError):
            stream = context.wrap_socket(raw, server_side=True) if context else raw
            # The reader closed before the socket, so that the socket's close is real.
            with stream.makefile("rb") as reader:
                serve_connection(stream, reader, number, arguments.journal)

    # Python runs a signal handler in the main thread only, and a SIGTERM the kernel hands to a
    # connection's thread would not wake a blocking accept(): the main thread wakes by itself.
    listener.settimeout(0.2)
    connections = 0
    while True:
        try:
            raw, _ = listener.accept()
        except socket.timeout:
            continue
        connections += 1
        threading.Thread(target=handle, args=(raw, connections), daemon=True).start()


if __name__ == "__main__":
    main()
