#!/usr/bin/env python3
"""cimsim: a CIM server simulator that speaks CIM-XML over HTTP and HTTPS on 127.0.0.1.

    python3 tools/cimsim/cimsim.py --scenario FILE [--http-port N] [--https-port N]
        [--user U --password P] [--allow-anonymous] [--unix-socket PATH] [--local-auth DIR]
        [--journal FILE] [--certificate FILE --key FILE] [--property-qualifiers]

Once both ports listen it prints one line "http=PORT https=PORT" and serves until SIGTERM or
SIGINT, then exits 0. The scenario format and the /control requests are in README.md.
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
import threading
import time
import traceback
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from authentication import Authentication, carried_authorization  # noqa: E402
from cim_paths import CimError  # noqa: E402
from request_decoding import RequestError, parse_request  # noqa: E402
from response_encoding import response_body  # noqa: E402
from diagnostics import DiagnosticRuns  # noqa: E402
from faults import FaultBook, FaultError  # noqa: E402
from http_wire import (REASONS, ConnectionDropped, closes, head, listen,  # noqa: E402
                       listen_unix, make_tls_context, read_request, send)
from journal import Journal, describe  # noqa: E402
from schema import Schema, ScenarioError  # noqa: E402
from store import Store  # noqa: E402



class Simulator:
    def __init__(self, options):
        self.schema = Schema(options.scenario, options.property_qualifiers)
        self.store = Store(self.schema)
        self.diagnostics = DiagnosticRuns(self.store)
        self.faults = FaultBook(self.store.path_of)
        self.faults.add(self.schema.data.get("faults") or [])
        self.authentication = Authentication(options.user, options.password,
                                             options.allow_anonymous, options.local_auth,
                                             self.schema.realm)
        self.journal = Journal(options.journal)
        self.stopping = threading.Event()
        self.connection_lock = threading.Lock()
        self.connection_count = 0

    def next_connection_number(self):
        with self.connection_lock:
            self.connection_count += 1
            return self.connection_count

    # -----------------------------------------------------------------------------------------
    # Connections

    def serve_connection(self, sock, tls_context):
        number = self.next_connection_number()
        try:
            if tls_context is not None:
                sock = tls_context.wrap_socket(sock, server_side=True)
            reader = sock.makefile("rb")
            while not self.stopping.is_set():
                request = read_request(reader, sock)
                if request is None:
                    break
                if not self.answer(sock, number, *request):
                    break
                if request[2].get("connection", "").lower() == "close":
                    break
        except (ConnectionDropped, OSError, ValueError):
            pass
        finally:
            self.authentication.forget(number)
            try:
                sock.close()
            except OSError:
                pass

    # -----------------------------------------------------------------------------------------
    # Requests

    def answer(self, sock, connection, method, target, headers, body):
        """Answers one request; returns whether the connection stays open."""
        if target.rstrip("/") == "/control":
            return self.answer_control(sock, method, body)
        entry = {"time": time.time(), "connection": connection,
                 "operation": headers.get("cimmethod", ""),
                 "authorization": carried_authorization(headers)}
        for name, value in headers.items():
            if "timeout" in name:
                entry["timeout"] = value
        refusal = self.authentication.refusal(connection, headers)
        if refusal is not None:
            return self.refuse(sock, entry, 401, refusal)
        if method not in ("POST", "M-POST"):
            return self.refuse(sock, entry, 405, [])
        try:
            request = parse_request(body)
        except RequestError as error:
            detail = urllib.parse.quote(str(error))
            return self.refuse(sock, entry, 400, [("CIMError", "request-not-well-formed"),
                                                  ("PGErrorDetail", detail)])
        trailers = "trailers" in headers.get("te", "").lower()
        class_name, path, element = describe(request, entry)
        fault = self.faults.take(entry["operation"], class_name, request.name, path, element)
        if fault is not None:
            entry["fault"] = {name: value for name, value in fault.items() if name != "comment"}
        self.journal.write(entry)
        if fault is not None:
            if fault.get("delay"):
                # Waits out the client's time-out; stopping the simulator ends the wait.
                if self.stopping.wait(float(fault["delay"])):
                    raise ConnectionDropped()
            if fault.get("drop") == "before":
                raise ConnectionDropped()
            if "httpStatus" in fault:
                return self.refuse(sock, None, int(fault["httpStatus"]),
                                   list((fault.get("headers") or {}).items()))
            if fault.get("malformed"):
                body = response_body(request, ["<IRETURNVALUE>", "<VALUE.NAMEDINSTANCE>",
                                               '<INSTANCENAME CLASSNAME="%s">' % class_name,
                                               "</VALUE.NAMEDINSTANCE>", "</IRETURNVALUE>"])
                return self.send_body(sock, body, trailers, fault)
            if "cimError" in fault:
                error = CimError(int(fault["cimError"].get("code", 1)),
                                 fault["cimError"].get("description", ""))
                return self.send_error(sock, request, error, trailers, fault)
        file_name = self.schema.prerendered_file(entry["operation"], class_name)
        if request.intrinsic and file_name is not None:
            return self.send_prerendered(sock, request, file_name, trailers, fault)
        try:
            lines = self.perform(entry["operation"], request)
        except CimError as error:
            return self.send_error(sock, request, error, trailers, fault)
        except Exception as error:  # a fault of the simulator must reach the test, not hang it
            traceback.print_exc()
            return self.send_error(sock, request, CimError(
                1, "CIM_ERR_FAILED: cimsim internal error: %r" % error), trailers)
        return self.send_body(sock, response_body(request, lines), trailers, fault)

    def perform(self, operation, request):
        operations = {"InvokeMethod": self.diagnostics.invoke_method,
                      "EnumerateInstances": self.store.enumerate_instances,
                      "EnumerateInstanceNames": self.store.enumerate_instance_names,
                      "GetInstance": self.store.get_instance,
                      "GetClass": self.store.get_class}
        if operation not in operations:
            raise CimError(7, "CIM_ERR_NOT_SUPPORTED: %s" % operation)
        return operations[operation](request)

    def refuse(self, sock, entry, status, headers):
        """An HTTP error status with an empty body; the connection stays open.

        headers: (name, value) pairs in the order they go out; an empty content-length comes
        last unless they place it.
        """
        if entry is not None:
            entry["result"] = "http %d" % status
            self.journal.write(entry)
        if not any(name.lower() == "content-length" for name, _ in headers):
            headers = headers + [("content-length", "0000000000")]
        send(sock, "HTTP/1.1 %d %s\r\n%s\r\n" % (status, REASONS.get(status, "Error"), "".join(
            "%s: %s\r\n" % header for header in headers)))
        return True

    def answer_control(self, sock, method, body):
        try:
            if method != "POST":
                raise ValueError("use POST with a JSON object")
            command = json.loads(body.decode("utf-8") or "{}")
            if not isinstance(command, dict):
                raise ValueError("the body must be a JSON object")
            if command.get("reset"):
                # In one step, so that no request meets the scenario's instances with runs
                # already used up.
                with self.store.lock:
                    self.store.reset()
                    self.diagnostics.reset()
            if command.get("clearFaults") or command.get("reset"):
                self.faults.clear()
                if command.get("reset"):
                    self.faults.add(self.schema.data.get("faults") or [])
            count = self.faults.add(command.get("addFaults") or [])
            status, reply = "200 OK", {"faults": count}
        except (ValueError, FaultError) as error:
            status, reply = "400 Bad Request", {"error": str(error)}
        data = json.dumps(reply).encode("utf-8")
        send(sock, "HTTP/1.1 %s\r\nContent-Type: application/json\r\ncontent-length: %010d\r\n\r\n"
             % (status, len(data)), data)
        return True

    # -----------------------------------------------------------------------------------------
    # Responses, in the shapes OpenPegasus's cimserver uses

    def send_body(self, sock, body, trailers, fault):
        if fault is not None and fault.get("drop") == "mid":
            send(sock, head(trailers, len(body)), (b"%x\r\n" % len(body)) if trailers else b"",
                 body[:len(body) // 2])
            raise ConnectionDropped()
        if trailers:
            # The whole document goes as one chunk, as cimserver sends it.
            send(sock, head(True, 0, fault), b"%x\r\n" % len(body), body,
                 b"\r\n0\r\n\r\n")
        else:
            send(sock, head(False, len(body), fault), body)
        return not closes(fault)

    def send_error(self, sock, request, error, trailers, fault=None):
        if trailers:
            body = response_body(request, [])
            send(sock, head(True, 0, fault), b"%x\r\n" % len(body), body,
                 "\r\n0\r\nCIMStatusCode: %d\r\nCIMStatusCodeDescription: %s\r\n\r\n" %
                 (error.code, urllib.parse.quote(error.description, safe="")))
        else:
            body = response_body(request, [], error)
            send(sock, head(False, len(body), fault), body)
        return not closes(fault)

    def send_prerendered(self, sock, request, file_name, trailers, fault):
        """Streams a stored response body without decoding it.

        Only the MESSAGE ID in the first few bytes is rewritten, since a client rejects a
        response whose ID differs from its request's.
        """
        size = os.path.getsize(file_name)
        with open(file_name, "rb") as stream:
            first = stream.read(4096)
            new_first = re.sub(rb'<MESSAGE ID="[^"]*"',
                               b'<MESSAGE ID="%s"' % request.message_id.encode("utf-8"), first,
                               count=1)
            length = size - len(first) + len(new_first)
            if fault is not None and fault.get("drop") == "mid":
                send(sock, head(trailers, length),
                     (b"%x\r\n" % length) if trailers else b"", new_first)
                raise ConnectionDropped()
            if trailers:
                send(sock, head(True, 0, fault), b"%x\r\n" % length, new_first)
            else:
                send(sock, head(False, length, fault), new_first)
            if size > len(first):
                sock.sendfile(stream, offset=len(first))
            if trailers:
                send(sock, b"\r\n0\r\n\r\n")
        return not closes(fault)


def accept_loop(simulator, server, tls_context):
    while not simulator.stopping.is_set():
        try:
            connection, _ = server.accept()
        except OSError:
            return
        if connection.family != socket.AF_UNIX:
            connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=simulator.serve_connection, args=(connection, tls_context),
                         daemon=True).start()


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="CIM-XML server simulator")
    parser.add_argument("--scenario", required=True)
    parser.add_argument("--http-port", type=int, default=0)
    parser.add_argument("--https-port", type=int, default=0)
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--allow-anonymous", action="store_true")
    parser.add_argument("--unix-socket", help="also listen on this Unix domain socket file")
    parser.add_argument("--local-auth", metavar="DIR",
                        help="answer OpenPegasus local authentication with secret files in DIR")
    parser.add_argument("--journal")
    parser.add_argument("--certificate", help="PEM certificate (chain) for the HTTPS port, "
                        "instead of a self-signed CN=cimsim one made at start")
    parser.add_argument("--key", help="PEM private key of --certificate")
    parser.add_argument("--property-qualifiers", action="store_true",
                        help="send every property qualifier on instances, not only the typing "
                             "ones an OpenPegasus server keeps, whatever the scenario says")
    options = parser.parse_args(argv)
    if options.password is not None and options.user is None:
        parser.error("--password needs --user")
    if (options.certificate is None) != (options.key is None):
        parser.error("--certificate and --key go together")
    return options


def main(argv):
    options = parse_arguments(argv)
    try:
        simulator = Simulator(options)
    except (ScenarioError, FaultError) as error:
        print("cimsim: %s" % error, file=sys.stderr)
        return 2
    except (AttributeError, KeyError, TypeError, ValueError) as error:
        # A value of the wrong JSON type somewhere in the scenario.
        print("cimsim: malformed scenario %s: %s: %s" % (options.scenario, type(error).__name__,
                                                        error), file=sys.stderr)
        return 2
    try:
        tls_context = make_tls_context(options.certificate, options.key)
    except (OSError, subprocess.CalledProcessError, ssl.SSLError) as error:
        print("cimsim: cannot make a TLS certificate: %s" % error, file=sys.stderr)
        return 2
    try:
        http_server = listen(options.http_port)
        https_server = listen(options.https_port)
        servers = [(http_server, None), (https_server, tls_context)]
        if options.unix_socket:
            servers.append((listen_unix(options.unix_socket), None))
    except OSError as error:
        print("cimsim: cannot listen: %s" % error, file=sys.stderr)
        return 2

    # The stop signals are taken by waiting for them, never by a handler: a handler that set
    # `stopping` could run while this thread held the event's own lock, and hang for good.
    # Blocked before any thread starts, they stay pending for the wait below.
    stop_signals = {signal.SIGTERM, signal.SIGINT}
    signal.pthread_sigmask(signal.SIG_BLOCK, stop_signals)
    for server, context in servers:
        threading.Thread(target=accept_loop, args=(simulator, server, context),
                         daemon=True).start()
    print("http=%d https=%d" % (http_server.getsockname()[1], https_server.getsockname()[1]),
          flush=True)
    signal.sigwait(stop_signals)
    simulator.stopping.set()
    for server, _ in servers:
        server.close()
    if options.unix_socket:
        os.unlink(options.unix_socket)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
