"""Runs the Windows tests of our CIM client under Wine against servers on the build machine.

Usage: run_client_tests.py WINE PROGRAM [ARGUMENT...]

Starts, on free loopback ports: cimsim with the sample estate, Basic authentication, a journal
and a fault rule that never answers enumerations of CIM_ConcreteJob (for the time-out); and a
capture server that keeps the bytes of the first request it gets and closes without answering.
Also finds a port nobody listens on. The program learns all of it from the environment (Wine
passes it on; Linux paths as Z: paths). Everything is stopped by process id or closed when the
program ends. Exits with the program's status.
"""

import os
import socket
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cimsim"))

from cimsim_process import SCENARIOS, CimSim  # noqa: E402

USER = "root"
PASSWORD = "s3cret"
SILENT_CLASS = "CIM_ConcreteJob"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class CaptureServer:
    """Accepts connections; writes the bytes of the first complete request to a file."""

    def __init__(self, path):
        self.path = path
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with connection:
                data = b""
                while b"\r\n\r\n" not in data:
                    piece = connection.recv(65536)
                    if not piece:
                        break
                    data += piece
                if b"\r\n\r\n" not in data:
                    continue  # connect() probing reachability sends nothing
                head, _, body = data.partition(b"\r\n\r\n")
                length = 0
                for line in head.split(b"\r\n")[1:]:
                    name, _, value = line.partition(b":")
                    if name.strip().lower() == b"content-length":
                        length = int(value.strip())
                while len(body) < length:
                    piece = connection.recv(65536)
                    if not piece:
                        break
                    body += piece
                with open(self.path + ".part", "wb") as stream:
                    stream.write(head + b"\r\n\r\n" + body)
                os.replace(self.path + ".part", self.path)

    def close(self):
        self.listener.close()


def closed_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def main(command):
    scenario = {"include": [os.path.join(SCENARIOS, "sample_estate.json")],
                "faults": [{"operation": "EnumerateInstances", "class": SILENT_CLASS,
                            "delay": 75}]}
    simulator = CimSim(scenario, "--user", USER, "--password", PASSWORD)
    directory = tempfile.TemporaryDirectory(prefix="winhttp-capture-")
    capture = CaptureServer(os.path.join(directory.name, "request.bin"))
    try:
        environment = dict(os.environ)
        environment.update({
            "BROCADE_TEST_CIMSIM_HTTP_PORT": str(simulator.http_port),
            "BROCADE_TEST_CIMSIM_HTTPS_PORT": str(simulator.https_port),
            "BROCADE_TEST_CIMSIM_USER": USER,
            "BROCADE_TEST_CIMSIM_PASSWORD": PASSWORD,
            "BROCADE_TEST_CIMSIM_JOURNAL": windows_path(simulator.journal_path),
            "BROCADE_TEST_SILENT_CLASS": SILENT_CLASS,
            "BROCADE_TEST_CAPTURE_PORT": str(capture.port),
            "BROCADE_TEST_CAPTURE_FILE": windows_path(capture.path),
            "BROCADE_TEST_CLOSED_PORT": str(closed_port()),
        })
        return subprocess.run(command, env=environment, check=False).returncode
    finally:
        capture.close()
        simulator.stop()
        directory.cleanup()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
