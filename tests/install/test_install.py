"""The module as an integrator installs it: `cmake --install` of the three components into a
temporary prefix, and the Debian package unpacked into an empty root. From each, the probe runs
against the simulator and must find the module and its catalogue there, not in the build tree;
the host's logger and cimom come from the build's stand-ins, as the host would provide them."""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cimsim"))
from cimsim_process import running  # noqa: E402

BUILD = os.environ["BROCADE_BUILD_DIR"]
CMAKE = os.environ["BROCADE_CMAKE"]
CPACK = os.environ["BROCADE_CPACK"]
CXX = os.environ["BROCADE_CXX"]
HOST_LIBRARIES = os.environ["BROCADE_HOST_LIBRARY_DIR"]
VERSION = os.environ["BROCADE_VERSION"]

# The test build of the CIM client (testing/test_seams.h): its observer and its seams.
TEST_HOOKS = r"pegasus_testing|Pegasus(::|5)seams"


def run(*command, **keywords):
    return subprocess.run(command, check=True, capture_output=True, text=True, timeout=300,
                          **keywords)


class InstalledModule(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="brocade-install-")
        cls.addClassCleanup(cls.scratch.cleanup)
        scratch = cls.scratch.name
        run(CPACK, "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-G", "DEB", "-B", scratch)
        cls.package = os.path.join(scratch, "brocade-module_%s_amd64.deb" % VERSION)
        run("dpkg", "-x", cls.package, os.path.join(scratch, "root"))
        for component in ("module", "development", "probe"):
            run(CMAKE, "--install", BUILD, "--prefix", os.path.join(scratch, "prefix"),
                "--component", component)
        cls.trees = {"cmake --install": os.path.join(scratch, "prefix"),
                     "dpkg -x": os.path.join(scratch, "root", "usr")}

    def test_module_catalogue_probe_and_headers_that_compile_alone_nothing_of_the_host(self):
        for how, tree in self.trees.items():
            with self.subTest(how):
                files = sorted(os.path.relpath(os.path.join(directory, name), tree)
                               for directory, _, names in os.walk(tree) for name in names)
                self.assertEqual([f for f in files if f.startswith("include/")],
                                 ["include/brocade/" + header for header in
                                  ("brocade.h", "brocade_export.h", "connection_info.h",
                                   "host_records.h")])
                self.assertLessEqual({"lib/brocade/libbrocade.so", "bin/brocade-probe",
                                      "lib/brocade/brocade_diagnostics.json"}, set(files))
                self.assertEqual([f for f in files if re.search("logger|cimom|gtest", f)], [])
                subprocess.run([CXX, "-std=c++17", "-fsyntax-only", "-x", "c++", "-", "-I",
                                os.path.join(tree, "include")],
                               input="#include <brocade/brocade.h>\n", text=True, check=True)

    def test_shipped_library_holds_none_of_the_client_test_hooks(self):
        # The package's copy is stripped; the installed one is the same code with its symbols.
        library = os.path.join(self.trees["cmake --install"], "lib/brocade/libbrocade.so")
        symbols = run("nm", "-C", library).stdout
        # The facade is there, so a hook would be seen if it were.
        self.assertIn("Vornet::Brocade::Brocade::GetAdapterInfo", symbols)
        self.assertEqual(re.findall(TEST_HOOKS, symbols), [])

    def test_package_depends_on_what_the_module_links(self):
        depends = run("dpkg-deb", "-f", self.package, "Depends").stdout
        for library in ("libc6", "libstdc++6", "libcurl4", "libxml2", "libssl3"):
            self.assertIn(library, depends)
        self.assertNotIn("logger", depends)

    def test_installed_probe_finds_the_installed_module_and_its_catalogue(self):
        simulator = running(self, "sample_estate.json", "--allow-anonymous")
        for how, tree in self.trees.items():
            with self.subTest(how):
                # A catalogue naming one diagnostic: only the installed one says so.
                with open(os.path.join(tree, "lib/brocade/brocade_diagnostics.json"), "w") as out:
                    json.dump({"diagnostics": [{"name": "MemoryTest"}]}, out)
                probe = os.path.join(tree, "bin", "brocade-probe")
                environment = dict(os.environ, LD_LIBRARY_PATH=HOST_LIBRARIES, VORNET_LOG_LEVEL="0",
                                   CIMCLIENT_LOCAL_URL="http://127.0.0.1:%d" % simulator.http_port)
                environment.pop("VORNET_BROCADE_DIAG_CATALOGUE", None)
                self.assertEqual(run(probe, "--version", env=environment).stdout,
                                 "brocade-probe %s\n" % VERSION)
                result = subprocess.run([probe, "--json", "diag-list"], capture_output=True,
                                        text=True, timeout=120, env=environment)
                self.assertEqual(result.returncode, 0, result.stderr)
                items = json.loads(result.stdout)[0]["records"]
                self.assertEqual({item.split("|")[0] for item in items}, {"MemoryTest"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
