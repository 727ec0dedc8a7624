"""HTTP as cimsim speaks it: requests read off a connection, response heads in the shapes
OpenPegasus's cimserver sends, and the listening sockets (plain and TLS 1.2)."""

import os
import re
import socket
import ssl
import subprocess
import tempfile

MAX_HEADER_LINES = 200
MAX_BODY = 64 * 1024 * 1024


class ConnectionDropped(Exception):
    """The peer went away, or a fault asked us to close; the connection is finished."""


def read_request(reader, sock):
    """(method, target, headers, body) of the next request, or None at the connection's end."""
    line = reader.readline(65537)
    while line in (b"\r\n", b"\n"):
        line = reader.readline(65537)
    if not line:
        return None
    parts = line.decode("latin-1").split()
    if len(parts) != 3:
        raise ConnectionDropped()
    headers = {}
    for _ in range(MAX_HEADER_LINES):
        header = reader.readline(65537)
        if header in (b"\r\n", b"\n", b""):
            break
        name, _, value = header.decode("latin-1").partition(":")
        # M-POST puts a numeric namespace prefix ("73-CIMOperation") on CIM headers.
        name = re.sub(r"^\d+-", "", name.strip()).lower()
        headers[name] = value.strip()
    if headers.get("expect", "").lower() == "100-continue":
        # curl asks before sending a large body and otherwise waits a second for this.
        send(sock, "HTTP/1.1 100 Continue\r\n\r\n")
    if headers.get("transfer-encoding", "").lower() == "chunked":
        body = b""
        while True:
            size = int(reader.readline().split(b";")[0].strip() or b"0", 16)
            if size == 0:
                while reader.readline() not in (b"\r\n", b"\n", b""):
                    pass
                break
            if len(body) + size > MAX_BODY:
                raise ConnectionDropped()
            body += reader.read(size)
            reader.readline()
    else:
        length = int(headers.get("content-length", "0") or "0")
        if length > MAX_BODY:
            raise ConnectionDropped()
        body = reader.read(length)
        if len(body) < length:
            return None
    return parts[0], parts[1], headers, body


def head(trailers, length, fault=None):
    """A 200 response's head: chunked with trailers, or with a ten-digit content-length."""
    lines = "HTTP/1.1 200 OK\r\nContent-Type: application/xml; charset=utf-8\r\n"
    if closes(fault):
        lines += "Connection: close\r\n"
    if trailers:
        lines += "transfer-encoding: chunked\r\n"
    else:
        lines += "content-length: %010d\r\n" % length
    lines += "CIMOperation: MethodResponse\r\n"
    if trailers:
        lines += "Trailer: CIMStatusCode, CIMStatusCodeDescription, Content-Language\r\n"
    return lines + "\r\n"


REASONS = {400: "Bad Request", 401: "Unauthorized", 403: "Forbidden", 404: "Not Found",
           405: "Method Not Allowed", 500: "Internal Server Error", 501: "Not Implemented",
           503: "Service Unavailable"}


def closes(fault):
    """Whether a fault rule asks to end the connection after an otherwise normal answer."""
    return bool(fault and fault.get("connectionClose"))


def send(sock, *pieces):
    data = b"".join(piece.encode("latin-1") if isinstance(piece, str) else piece
                    for piece in pieces)
    sock.sendall(data)


def make_tls_context(certificate=None, key=None):
    """A TLS 1.2 server context with the given certificate and key (PEM files), else a
    self-signed certificate made for this run.

    TLS 1.2 only, as the OpenPegasus server and client both are.
    """
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    if certificate:
        context.load_cert_chain(certificate, key)
        return context
    with tempfile.TemporaryDirectory(prefix="cimsim-") as directory:
        key = os.path.join(directory, "key.pem")
        certificate = os.path.join(directory, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", certificate, "-days", "2", "-subj", "/CN=cimsim"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        context.load_cert_chain(certificate, key)
    return context


def listen(port):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(64)
    return server


def listen_unix(path):
    """A listener on a socket file, as a local OpenPegasus server has one."""
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(64)
    return server
