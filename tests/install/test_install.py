"""The module as an integrator installs it: `cmake --install` of the three components into a
temporary prefix, and the Debian package unpacked into an empty root. From each, the probe runs
against the simulator and must find the module and its catalogue there, not in the build tree;
the host's logger and cimom come from the build's stand-ins, as the host would provide them."""

import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "cimsim"))
from cimsim_process import CimSim  # noqa: E402

BUILD = os.environ["BROCADE_BUILD_DIR"]
CMAKE = os.environ["BROCADE_CMAKE"]
CPACK = os.environ["BROCADE_CPACK"]
CXX = os.environ["BROCADE_CXX"]
HOST_LIBRARIES = os.environ["BROCADE_HOST_LIBRARY_DIR"]
VERSION = os.environ["BROCADE_VERSION"]
HEADERS = ["brocade.h", "brocade_export.h", "host_records.h"]


def run(*command, **keywords):
    return subprocess.run(command, check=True, capture_output=True, text=True, timeout=300,
                          **keywords)


def install_tree(prefix):
    for component in ("module", "development", "probe"):
        run(CMAKE, "--install", BUILD, "--prefix", prefix, "--component", component)
    return prefix


def debian_package(directory):
    run(CPACK, "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-G", "DEB", "-B", directory)
    packages = [name for name in os.listdir(directory) if name.endswith(".deb")]
    assert len(packages) == 1, packages
    return os.path.join(directory, packages[0])


class InstalledModule(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="brocade-install-")
        cls.addClassCleanup(cls.scratch.cleanup)
        cls.package = debian_package(os.path.join(cls.scratch.name, "package"))
        root = os.path.join(cls.scratch.name, "root")
        run("dpkg", "-x", cls.package, root)
        cls.trees = {"cmake --install": install_tree(os.path.join(cls.scratch.name, "prefix")),
                     "dpkg -x": os.path.join(root, "usr")}

    def test_module_with_its_catalogue_headers_and_probe_and_nothing_of_the_host(self):
        for how, tree in self.trees.items():
            with self.subTest(how):
                files = sorted(os.path.relpath(os.path.join(directory, name), tree)
                               for directory, _, names in os.walk(tree) for name in names)
                self.assertEqual([f for f in files if f.startswith("include/")],
                                 sorted("include/brocade/" + h for h in HEADERS))
                self.assertLessEqual({"lib/brocade/libbrocade.so", "bin/brocade-probe",
                                      "lib/brocade/brocade_diagnostics.json"}, set(files))
                strays = [f for f in files if "logger" in f or "cimom" in f or "gtest" in f]
                self.assertEqual(strays, [])

    def test_installed_headers_compile_alone(self):
        for how, tree in self.trees.items():
            with self.subTest(how):
                source = '#include <brocade/brocade.h>\nint main() { return 0; }\n'
                subprocess.run([CXX, "-std=c++17", "-fsyntax-only", "-x", "c++", "-",
                                "-I", os.path.join(tree, "include")],
                               input=source, text=True, check=True)

    def test_package_is_named_with_the_version_and_depends_on_what_the_module_links(self):
        self.assertEqual(os.path.basename(self.package), "brocade-module_%s_amd64.deb" % VERSION)
        depends = run("dpkg-deb", "-f", self.package, "Depends").stdout
        for library in ("libc6", "libstdc++6", "libcurl4", "libxml2", "libssl3"):
            self.assertIn(library, depends)
        self.assertNotIn("logger", depends)

    def test_installed_probe_finds_the_installed_module_and_its_catalogue(self):
        simulator = CimSim("sample_estate.json", "--allow-anonymous")
        self.addCleanup(simulator.stop)
        for how, tree in self.trees.items():
            with self.subTest(how):
                # A catalogue naming one diagnostic: only the installed one says so.
                with open(os.path.join(tree, "lib/brocade/brocade_diagnostics.json"), "w") as out:
                    json.dump({"diagnostics": [{"name": "MemoryTest"}]}, out)
                probe = os.path.join(tree, "bin", "brocade-probe")
                environment = {key: value for key, value in os.environ.items()
                               if key != "VORNET_BROCADE_DIAG_CATALOGUE"}
                environment.update(LD_LIBRARY_PATH=HOST_LIBRARIES, VORNET_LOG_LEVEL="0",
                                   CIMCLIENT_LOCAL_URL="http://127.0.0.1:%d" % simulator.http_port)
                self.assertEqual(run(probe, "--version", env=environment).stdout,
                                 "brocade-probe %s\n" % VERSION)
                result = subprocess.run([probe, "--json", "diag-list"], capture_output=True,
                                        text=True, timeout=120, env=environment)
                self.assertEqual(result.returncode, 0, result.stderr)
                items = json.loads(result.stdout)[0]["records"]
                self.assertTrue(items)
                self.assertEqual({item.split("|")[0] for item in items}, {"MemoryTest"})


if __name__ == "__main__":
    unittest.main(verbosity=2)
