"""Runs a Windows test program (WINE PROGRAM [ARGUMENT...]) under Wine against servers on the
build machine, on free loopback ports: cimsim with the sample estate, Basic authentication and,
for in-band clients, local authentication (its secrets in a Linux folder that Wine maps), a
journal and a rule that never answers enumerations of CIM_ConcreteJob (the client's time-out
test asks for them, the module never does); a scripted server that journals the request it gets
and closes without answering; and a port nobody listens on. The program learns all of it from
the environment (Linux paths as Z: paths) and its status is the exit status.
"""

import contextlib
import os
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "cimsim"))

from cimsim_process import SCENARIOS, CimSim  # noqa: E402

SCRIPTED_SERVER = os.path.join(HERE, "..", "pegasus", "scripted_server.py")
USER, PASSWORD, SILENT_CLASS = "root", "s3cret", "CIM_ConcreteJob"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main(command):
    with contextlib.ExitStack() as stack:
        directory = stack.enter_context(tempfile.TemporaryDirectory(prefix="windows-test-"))
        secrets = os.path.join(directory, "localauth")
        simulator = CimSim({"include": [os.path.join(SCENARIOS, "sample_estate.json")], "faults": [
            {"operation": "EnumerateInstances", "class": SILENT_CLASS, "delay": 75}]},
            "--user", USER, "--password", PASSWORD, "--local-auth", secrets)
        stack.callback(simulator.stop)
        script, journal = (os.path.join(directory, name) for name in ("script", "journal"))
        with open(script, "w", encoding="utf-8") as stream:
            stream.write("[]")  # no answers: it closes after journaling the request
        scripted = stack.enter_context(subprocess.Popen(
            [sys.executable, SCRIPTED_SERVER, "--script", script, "--journal", journal],
            stdout=subprocess.PIPE, text=True))
        stack.callback(scripted.terminate)
        ready = scripted.stdout.readline().strip()
        if not ready.startswith("port="):
            raise RuntimeError("scripted server did not start: %r" % ready)
        with socket.socket() as unused:
            unused.bind(("127.0.0.1", 0))
            closed_port = unused.getsockname()[1]
        return subprocess.run(command, check=False, env=dict(
            os.environ, CIMCLIENT_LOCAL_URL="http://127.0.0.1:%d" % simulator.http_port,
            CIMCLIENT_LOCAL_AUTH_DIR=secrets,
            BROCADE_TEST_CIMSIM_HTTP_PORT=str(simulator.http_port),
            BROCADE_TEST_CIMSIM_HTTPS_PORT=str(simulator.https_port),
            BROCADE_TEST_CIMSIM_USER=USER, BROCADE_TEST_CIMSIM_PASSWORD=PASSWORD,
            BROCADE_TEST_CIMSIM_JOURNAL=windows_path(simulator.journal_path),
            BROCADE_TEST_SILENT_CLASS=SILENT_CLASS, BROCADE_TEST_SCRIPTED_PORT=ready[5:],
            BROCADE_TEST_SCRIPTED_JOURNAL=windows_path(journal),
            BROCADE_TEST_CLOSED_PORT=str(closed_port))).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
