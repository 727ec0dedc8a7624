"""brocade-probe and the shared library as a host meets them: the exported symbols, the command
line, the JSON document and the exit status, against the simulator."""

import json
import os
import re
import subprocess
import sys
import unittest

sys.path[:0] = [os.path.join(os.path.dirname(__file__), "..", folder) for folder in ("", "cimsim")]
from cimsim_process import running  # noqa: E402
from facade_members import FACADE_MEMBERS  # noqa: E402

PROBE = os.environ["BROCADE_PROBE"]
LIBRARY = os.environ["BROCADE_LIBRARY"]


def probe(*arguments, **environment):
    return subprocess.run([PROBE, *arguments], capture_output=True, text=True, timeout=120,
                          env={**os.environ, "VORNET_LOG_LEVEL": "0", **environment})


class ProbeAndLibrary(unittest.TestCase):
    def test_exports_every_member_of_the_facade_and_nothing_else_of_ours(self):
        def exported(*demangle):
            symbols = subprocess.run(["nm", "-D", "--defined-only", *demangle, LIBRARY],
                                     capture_output=True, text=True, check=True).stdout
            return [line.split(" ", 2)[2] for line in symbols.splitlines()
                    if " T " in line or " W " in line]
        self.assertEqual(set(FACADE_MEMBERS) - set(exported()), set())
        # An unoptimised build leaves the standard library's templates as weak exports; they are
        # the compiler's, not ours.
        strays = [name for name in exported("-C")
                  if not name.startswith("Vornet::Brocade::Brocade::") and name not in ("_init", "_fini")
                  and not re.match(r"(\S+ )?std::", name)]
        self.assertEqual(strays, [])

    def test_a_usage_error_exits_64_with_one_line_naming_it(self):
        for arguments, error in ((["--frobnicate", "inventory"], "unknown argument --frobnicate"),
                                 ([], "no operation given")):
            result = probe(*arguments)
            self.assertEqual((result.returncode, result.stdout, result.stderr),
                             (64, "", "brocade-probe: %s (try --help)\n" % error))

    def test_out_of_band_json_carries_every_record_under_its_field_names(self):
        simulator = running(self, "sample_estate.json", "--user", "probe", "--password", "secret")
        log_file = os.path.join(simulator.directory.name, "probe.log")
        result = probe("--host", "127.0.0.1", "--port", str(simulator.https_port), "--ssl",
                       "--user", "probe", "--password-env", "PROBE_SECRET", "--json", "all",
                       PROBE_SECRET="secret", VORNET_LOG_LEVEL="4", VORNET_LOG_FILE=log_file)
        self.assertEqual(result.returncode, 4, result.stderr)  # the last operation is refused
        document = json.loads(result.stdout)
        self.assertEqual([(entry["operation"], entry["status"]) for entry in document],
                         [("inventory", 0), ("firmware", 0), ("rawdata", 4), ("diag-list", 4)])
        adapters = document[0]["records"]
        self.assertEqual(len(adapters), 3)
        self.assertEqual(adapters[1]["ports"][3]["enabled_state"], "Disabled")
        self.assertEqual(adapters[0]["software_identities"][0]["aux_code"], 3)
        self.assertEqual(len(document[1]["records"]), 4)
        with open(log_file) as log:
            trace = log.read()
        masked = "Connecting to probe:**********@127.0.0.1:%d" % simulator.https_port
        self.assertIn(masked, trace)
        self.assertNotIn("secret", result.stdout + result.stderr + trace)


if __name__ == "__main__":
    unittest.main()
