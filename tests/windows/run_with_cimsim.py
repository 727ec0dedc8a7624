"""Runs a Windows test program under Wine against cimsim serving the sample estate.

Usage: run_with_cimsim.py WINE PROGRAM [ARGUMENT...]

The simulator runs on the build machine, on free loopback ports, and is stopped by process id
when the program ends; the program learns its address from the environment (Wine passes the
environment on). Exits with the program's status.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cimsim"))

from cimsim_process import CimSim  # noqa: E402

USER = "root"
PASSWORD = "s3cret"


def main(command):
    simulator = CimSim("sample_estate.json", "--user", USER, "--password", PASSWORD,
                       journal=False)
    try:
        environment = dict(os.environ)
        environment.update({
            "CIMCLIENT_LOCAL_URL": "http://%s:%s@127.0.0.1:%d" % (USER, PASSWORD,
                                                                  simulator.http_port),
            "BROCADE_TEST_CIMSIM_HTTP_PORT": str(simulator.http_port),
            "BROCADE_TEST_CIMSIM_HTTPS_PORT": str(simulator.https_port),
            "BROCADE_TEST_CIMSIM_USER": USER,
            "BROCADE_TEST_CIMSIM_PASSWORD": PASSWORD,
        })
        return subprocess.run(command, env=environment, check=False).returncode
    finally:
        simulator.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
