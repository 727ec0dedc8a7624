"""Runs a Windows test program under Wine against servers on the build machine.

Usage: run_with_cimsim.py [--client] WINE PROGRAM [ARGUMENT...]

Starts cimsim with the sample estate and Basic authentication on free loopback ports. With
--client, for the tests of our CIM client itself, also: a journal and a fault rule that never
answers enumerations of CIM_ConcreteJob (for the time-out) in cimsim; a scripted server
(tests/pegasus/scripted_server.py) that journals the request it gets and closes without
answering; and a port nobody listens on. The program learns all of it from the environment
(Wine passes it on; Linux paths as Z: paths). Every server is stopped by process id when the
program ends. Exits with the program's status.
"""

import os
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "cimsim"))

from cimsim_process import SCENARIOS, CimSim  # noqa: E402

SCRIPTED_SERVER = os.path.join(HERE, "..", "pegasus", "scripted_server.py")
USER = "root"
PASSWORD = "s3cret"
SILENT_CLASS = "CIM_ConcreteJob"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def closed_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def main(arguments):
    client = arguments[:1] == ["--client"]
    command = arguments[1:] if client else arguments
    scenario = {"include": [os.path.join(SCENARIOS, "sample_estate.json")]}
    if client:
        scenario["faults"] = [{"operation": "EnumerateInstances", "class": SILENT_CLASS,
                               "delay": 75}]
    simulator = CimSim(scenario, "--user", USER, "--password", PASSWORD)
    directory = tempfile.TemporaryDirectory(prefix="windows-test-")
    environment = dict(
        os.environ, BROCADE_TEST_CIMSIM_HTTP_PORT=str(simulator.http_port),
        CIMCLIENT_LOCAL_URL="http://%s:%s@127.0.0.1:%d" % (USER, PASSWORD, simulator.http_port),
        BROCADE_TEST_CIMSIM_HTTPS_PORT=str(simulator.https_port),
        BROCADE_TEST_CIMSIM_USER=USER, BROCADE_TEST_CIMSIM_PASSWORD=PASSWORD)
    scripted = None
    try:
        if client:
            script = os.path.join(directory.name, "script.json")
            journal = os.path.join(directory.name, "scripted.jsonl")
            with open(script, "w", encoding="utf-8") as stream:
                stream.write("[]")  # no answers: it closes after journaling the request
            scripted = subprocess.Popen(
                [sys.executable, SCRIPTED_SERVER, "--script", script, "--journal", journal],
                stdout=subprocess.PIPE, text=True)
            ready = scripted.stdout.readline().strip()
            if not ready.startswith("port="):
                raise RuntimeError("scripted server did not start: %r" % ready)
            environment.update(
                BROCADE_TEST_CIMSIM_JOURNAL=windows_path(simulator.journal_path),
                BROCADE_TEST_SILENT_CLASS=SILENT_CLASS,
                BROCADE_TEST_SCRIPTED_PORT=ready[len("port="):],
                BROCADE_TEST_SCRIPTED_JOURNAL=windows_path(journal),
                BROCADE_TEST_CLOSED_PORT=str(closed_port()))
        return subprocess.run(command, env=environment, check=False).returncode
    finally:
        if scripted is not None:
            scripted.terminate()
            scripted.wait()
            scripted.stdout.close()
        simulator.stop()
        directory.cleanup()

if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
