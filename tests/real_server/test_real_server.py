"""The module against a real OpenPegasus server serving the sample estate, through brocade-probe as
a host meets it, on our client and on the real client library (the same cases in two builds): the
records must be those of tests/e2e/sample_estate_records.json and expected_runs.json. Each test
starts the server from a new home, with the estate scenario_mof.py writes from the simulator's and
the diagnostic provider of tools/openpegasus-provider, and stops it by process id."""

import hashlib
import json
import os
import re
import shutil
import signal
import ssl
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SERVER, PROBE, UNPAUSED_PROBE, PROVIDER, HOME = (os.environ["BROCADE_" + name] for name in (
    "REAL_OPENPEGASUS", "PROBE", "UNPAUSED_PROBE", "TEST_PROVIDER", "REAL_SERVER_HOME"))

# run-server's account and ports.
USER, PASSWORD = "root", "s3cret"
HTTP_PORT, HTTPS_PORT = 15988, 15989
NAMESPACE = "root/brocade"


def golden(name):
    with open(name, encoding="utf-8") as stream:
        return json.load(stream)


ESTATE = golden(os.path.join(ROOT, "tests", "e2e", "sample_estate_records.json"))
EXPECTED_ADAPTERS = [entry for entry in ESTATE if "ports" in entry]
EXPECTED_IDENTITIES = [entry for entry in ESTATE if "ports" not in entry]
EXPECTED_RUNS = golden(os.path.join(HERE, "expected_runs.json"))


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii") as stream:
            return stream.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class Server:
    """The real server, started by run-server from a new home, stopped by its process id."""

    def __init__(self):
        shutil.rmtree(HOME, ignore_errors=True)
        estate = os.path.join(HOME, "estate")
        os.makedirs(estate)
        subprocess.run([sys.executable, os.path.join(ROOT, "tools", "cimsim", "scenario_mof.py"),
                        os.path.join(ROOT, "tools", "cimsim", "scenarios", "sample_estate.json"),
                        estate, "--schema", os.path.join(SERVER, "schema", "CIM241")],
                       check=True, capture_output=True, timeout=60)
        # The provider reads its runs from the server's home.
        shutil.copy(os.path.join(estate, "diagnostic_runs.tsv"), HOME)
        started = subprocess.run(
            [os.path.join(SERVER, "run-server"), HOME, "--mof", NAMESPACE,
             os.path.join(estate, "estate.mof"), "--provider", PROVIDER,
             os.path.join(ROOT, "tools", "openpegasus-provider",
                          "diagnostic_provider_registration.mof")],
            capture_output=True, text=True, timeout=180)
        if started.returncode != 0:
            raise AssertionError("the real OpenPegasus server did not start: " + started.stderr)
        with open(os.path.join(HOME, "cimserver.pid"), encoding="ascii") as stream:
            self.pid = int(stream.read())
        with open(os.path.join(HOME, "ssl", "server-cert.pem"), encoding="ascii") as stream:
            der = ssl.PEM_cert_to_DER_cert(stream.read())
        digest = hashlib.sha256(der).hexdigest().upper()
        self.fingerprint = ":".join(digest[i:i + 2] for i in range(0, len(digest), 2))

    def stop(self):
        os.kill(self.pid, signal.SIGTERM)
        deadline = time.monotonic() + 30
        while alive(self.pid) and time.monotonic() < deadline:
            time.sleep(0.1)
        if alive(self.pid):
            os.kill(self.pid, signal.SIGKILL)


class Run:
    """One probe run: its exit status, its JSON document, its level-1 lines without their time
    and place, and the pauses it reported instead of waiting."""

    def __init__(self, completed):
        self.status = completed.returncode
        self.document = json.loads(completed.stdout) if completed.stdout else []
        lines = completed.stderr.splitlines()
        self.errors = [re.sub(r"^\S+ L1 \S+ ", "", line) for line in lines if " L1 " in line]
        self.pauses = [line for line in lines if line.startswith("pause ")]

    def records(self, operation):
        return next(entry for entry in self.document if entry["operation"] == operation)


def probe(*arguments, unpaused=False, **environment):
    # Nothing of the caller's configuration: in-band means the local server as installed.
    env = {name: value for name, value in os.environ.items()
           if not name.startswith(("CIMCLIENT_", "VORNET_"))}
    env.update(VORNET_LOG_LEVEL="1", **environment)
    completed = subprocess.run([UNPAUSED_PROBE if unpaused else PROBE, "--json", *arguments],
                               capture_output=True, text=True, timeout=240, env=env)
    return Run(completed)


def out_of_band(*arguments, tls=False, password=PASSWORD, **environment):
    return probe("--host", "127.0.0.1", "--port", str(HTTPS_PORT if tls else HTTP_PORT),
                 *(["--ssl"] if tls else []), "--user", USER, "--password-env", "PROBE_PASSWORD",
                 *arguments, PROBE_PASSWORD=password, **environment)


class RealServer(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        self.addCleanup(self.server.stop)

    def test_reads_the_estate_out_of_band_over_http_and_https_and_in_band_with_nothing_set(self):
        for way, run in (("http", out_of_band), ("https", lambda *a: out_of_band(*a, tls=True)),
                         ("in-band", lambda *a: probe("--in-band", *a))):
            with self.subTest(way):
                inventory, firmware = run("inventory"), run("firmware")
                self.assertEqual((inventory.status, firmware.status), (0, 0),
                                 inventory.errors + firmware.errors)
                adapters = inventory.records("inventory")["records"]
                for adapter in adapters:
                    adapter["identities"] = adapter.pop("software_identities")
                self.assertEqual(adapters, EXPECTED_ADAPTERS)
                self.assertEqual(firmware.records("firmware")["records"], EXPECTED_IDENTITIES)

    def test_a_wrong_password_is_a_cim_failure(self):
        run = out_of_band("inventory", password="wrong")
        self.assertEqual((run.status, run.records("inventory")["records"], run.errors),
                         (1, [], ["Enumerate instances for CIM_PhysicalPackage failed with the "
                                  "reason: HTTP Error (401 Unauthorized)."]))

    def test_a_pinned_certificate_connects_and_a_wrong_pin_is_refused_showing_the_fingerprint(self):
        setting = os.path.join(HOME, "trust.json")
        for pin, status in ((self.server.fingerprint, 0), ("ab" * 32, 1)):
            with open(setting, "w", encoding="utf-8") as stream:
                json.dump({"pins": {"127.0.0.1:%d" % HTTPS_PORT: [pin]},
                           "check_host_name": True}, stream)
            run = out_of_band("firmware", tls=True, unpaused=True, VORNET_BROCADE_TRUST=setting)
            self.assertEqual(run.status, status, run.errors)
            refusal = ("Refused the certificate of cimserver 127.0.0.1:%d (pin check); its "
                       "SHA-256 fingerprint is %s" % (HTTPS_PORT, self.server.fingerprint))
            self.assertEqual(refusal in run.errors, status == 1, run.errors)
            self.assertEqual(len(run.records("firmware")["records"]),
                             len(EXPECTED_IDENTITIES) if status == 0 else 0)

    def test_in_band_lists_the_diagnostics_and_runs_end_as_their_jobs_and_records_say(self):
        listing = probe("--in-band", "diag-list")
        self.assertEqual((listing.status, listing.records("diag-list")["records"]),
                         (0, EXPECTED_RUNS["listing"]), listing.errors)
        for expected in EXPECTED_RUNS["runs"]:
            with self.subTest(item=expected["item"]):
                run = probe("--in-band", "diag-run", expected["item"])
                self.assertEqual(run.status, expected["status"], run.errors)
                self.assertEqual(run.records("diag-run")["records"], [expected["record"]])

    def test_in_band_a_job_still_running_when_the_polls_run_out_fails_the_run(self):
        expected = EXPECTED_RUNS["never_ending_run"]
        run = probe("--in-band", "diag-run", expected["item"], unpaused=True)
        self.assertEqual(run.status, expected["status"], run.errors)
        self.assertEqual(run.records("diag-run")["records"], [expected["record"]])
        self.assertEqual(run.pauses, ["pause 10000 ms"] * expected["pauses"])
        self.assertIn("Diagnostic timing out, can not get Completed & 100% status of Comcretejob",
                      run.errors)


if __name__ == "__main__":
    unittest.main()
