#!/usr/bin/env python3
"""A scripted CIM-XML server for the client's wire tests (standard library only).

Each request the server receives consumes the next step of the script (a JSON
list); the step says how to answer. Every request is appended to the journal
(JSON lines: connection number, head, body). Once listening on 127.0.0.1 it
prints one line "port=N" and serves until SIGTERM.

Steps:
  {"reply": FILE}           send FILE's bytes (an HTTP response); MESSAGE ID="1000"
                            in it becomes the request's ID
  {"reply": FILE, "cut": N} send the first N bytes of it, then close the connection
  {"close": true}           close the connection without answering
  {"silent": true}          never answer (the connection stays open)
  {"endless": true}         a chunked 200 response whose chunks never end
  {"reply_then_close": FILE} send FILE, then close the connection without saying so
When the script is exhausted every further request is closed without answer.
"""
import argparse
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading

lock = threading.Lock()
steps = []
connections = 0


def read_request(stream, pending):
    while b"\r\n\r\n" not in pending:
        data = stream.recv(65536)
        if not data:
            return None, b""
        pending += data
    head, rest = pending.split(b"\r\n\r\n", 1)
    match = re.search(rb"(?im)^content-length:\s*(\d+)", head)
    length = int(match.group(1)) if match else 0
    while len(rest) < length:
        data = stream.recv(65536)
        if not data:
            return None, b""
        rest += data
    return (head.decode("latin-1"), rest[:length].decode("utf-8", "replace")), rest[length:]


def with_message_id(response, body):
    match = re.search(r'<MESSAGE ID="(\d+)"', body)
    if not match:
        return response
    wanted = match.group(1).encode()
    original = b'MESSAGE ID="1000"'
    replacement = b'MESSAGE ID="' + wanted + b'"'
    if len(replacement) != len(original):
        return response
    return response.replace(original, replacement)


def serve_connection(stream, number, journal):
    pending = b""
    while True:
        request, pending = read_request(stream, pending)
        if request is None:
            return
        head, body = request
        with lock:
            step = steps.pop(0) if steps else {"close": True}
            with open(journal, "a", encoding="utf-8") as out:
                out.write(json.dumps({"conn": number, "head": head, "body": body}) + "\n")
        if "reply" in step or "reply_then_close" in step:
            path = step.get("reply") or step.get("reply_then_close")
            with open(path, "rb") as file:
                response = with_message_id(file.read(), body)
            if "cut" in step:
                stream.sendall(response[: step["cut"]])
                return
            if "reply_then_close" in step and not isinstance(stream, ssl.SSLSocket):
                # The close must reach the client together with the reply's
                # last bytes: closed a moment later, a client already sending
                # its next request on this connection would lose it (the
                # race every keep-alive client has with a server that closes
                # silently), and the test would depend on scheduling. Corked,
                # the FIN rides on the last segment of the reply.
                stream.setsockopt(socket.IPPROTO_TCP, socket.TCP_CORK, 1)
                stream.sendall(response)
                stream.shutdown(socket.SHUT_WR)
                return
            stream.sendall(response)
            if "reply_then_close" in step:
                return
        elif step.get("silent"):
            threading.Event().wait()
        elif step.get("endless"):
            stream.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
                           b"Transfer-Encoding: chunked\r\nCIMOperation: MethodResponse\r\n\r\n")
            chunk = b"%x\r\n%s\r\n" % (65536, b"x" * 65536)
            try:
                while True:
                    stream.sendall(chunk)
            except OSError:
                return
        else:
            return


def make_certificate(directory):
    key = os.path.join(directory, "key.pem")
    certificate = os.path.join(directory, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", certificate, "-days", "1", "-subj", "/CN=scripted-cimom"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return certificate, key


def main():
    global steps, connections
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--journal", required=True)
    parser.add_argument("--tls", action="store_true")
    parser.add_argument("--certificate-out", help="copy of the server certificate for trust tests")
    arguments = parser.parse_args()
    with open(arguments.script, encoding="utf-8") as file:
        steps = json.load(file)
    open(arguments.journal, "w").close()

    context = None
    if arguments.tls:
        directory = tempfile.mkdtemp()
        certificate, key = make_certificate(directory)
        if arguments.certificate_out:
            with open(certificate, "rb") as source, open(arguments.certificate_out, "wb") as copy:
                copy.write(source.read())
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("port=%d" % listener.getsockname()[1], flush=True)

    def handle(raw, number):
        try:
            stream = context.wrap_socket(raw, server_side=True) if context else raw
            serve_connection(stream, number, arguments.journal)
        except (OSError, ssl.SSLError):
            pass
        finally:
            try:
                raw.close()
            except OSError:
                pass

    # Python runs a signal handler in the main thread only, and a SIGTERM the
    # kernel hands to a connection's thread would not wake a blocking
    # accept(): the main thread wakes by itself to see it.
    listener.settimeout(0.2)
    while True:
        try:
            raw, _ = listener.accept()
        except socket.timeout:
            continue
        with lock:
            connections += 1
            number = connections
        threading.Thread(target=handle, args=(raw, number), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
