"""Export and import tables of our Windows DLLs as built and as the Windows zip holds them
(test_dll_tables.py OBJDUMP CPACK CPACK_CONFIG DLL...). A DLL may export only its own classes
(the host binds to brocade.dll's facade class and must see nothing else of ours, nor the C++
runtime linked into it), and may import only system DLLs and our own host stand-ins, so that it
runs on a Windows without any MinGW runtime installed."""

import glob
import itertools
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

# Mangled-name prefixes of what each DLL exists to export (members, typeinfo, vtables).
OWN_EXPORTS = {"brocade.dll": r"_ZNK?6Vornet7Brocade7Brocade", "cimom.dll": r"_ZNK?6Vornet5Cimom",
               "logger.dll": r"(_ZNK?6Vornet(3Log|10LogCapture)|_ZT[ISV]N6Vornet3LogE)"}

# The test build of the CIM client (testing/test_seams.h): its observer and its seams.
TEST_HOOKS = r"pegasus_testing|Pegasus(::|5)seams"

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))
from facade_members import FACADE_MEMBERS  # noqa: E402


def tables(objdump, dll):
    """(imported DLL names in lower case, exported symbol names) of one DLL."""
    text = subprocess.check_output([objdump, "-p", dll], text=True)
    imports = [name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)$", text, re.M)]
    # The name table runs from its title to the first line that is no "[ordinal] name".
    table = text.partition("[Ordinal/Name Pointer] Table")[2].splitlines()[1:]
    rows = itertools.takewhile(bool, (re.match(r"^\s*\[\s*\d+\]\s+(\S+)$", line) for line in table))
    return imports, [row.group(1) for row in rows]


class DllTablesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        scratch = tempfile.TemporaryDirectory(prefix="dll-tables-")
        cls.addClassCleanup(scratch.cleanup)
        subprocess.run([CPACK, "--config", CPACK_CONFIG, "-G", "ZIP", "-B", scratch.name],
                       check=True, stdout=subprocess.DEVNULL)
        (cls.package,) = glob.glob(os.path.join(scratch.name, "*.zip"))
        unpacked = os.path.join(scratch.name, "unpacked")
        with zipfile.ZipFile(cls.package) as archive:
            archive.extractall(unpacked)
            cls.packaged = {os.path.basename(name).lower() for name in archive.namelist()}
            cls.unpacked_dlls = [os.path.join(unpacked, name) for name in archive.namelist()
                                 if name.lower().endswith(".dll")]
        cls.dlls = BUILT + cls.unpacked_dlls

    def test_each_dll_exports_only_its_own_classes_and_needs_only_system_dlls_and_ours(self):
        system = {os.path.basename(path).lower() for pattern in ("/usr/lib*", "/usr/lib/*")
                  for path in glob.glob(pattern + "/wine/x86_64-windows/*.dll")}
        self.assertIn("kernel32.dll", system, "no Wine system DLL directory found")
        for dll in self.dlls:
            name = os.path.basename(dll).lower()
            with self.subTest(dll=dll):
                imports, exports = tables(OBJDUMP, dll)
                self.assertTrue(exports, "%s exports nothing" % name)
                foreign = [symbol for symbol in exports
                           if not re.match(OWN_EXPORTS[name], symbol)]
                self.assertEqual(foreign, [], "%s exports more than its own classes" % name)
                self.assertIn("kernel32.dll", imports)
                foreign = [entry for entry in imports if entry not in set(OWN_EXPORTS) | system]
                self.assertEqual(foreign, [], "%s needs DLLs that Windows lacks" % name)
                if name == "brocade.dll":
                    self.assertIn("logger.dll", imports)
                    missing = [member for member in FACADE_MEMBERS
                               if not any(symbol.startswith(member) for symbol in exports)]
                    self.assertEqual(missing, [], "the facade lacks members")

    def test_brocade_dll_holds_none_of_the_client_test_hooks(self):
        # The packaged DLL is stripped; the one built is the same code with its symbols.
        built = next(path for path in BUILT if path.lower().endswith("brocade.dll"))
        symbols = subprocess.check_output([OBJDUMP, "-t", built], text=True)
        # The facade is there, so a hook would be seen if it were.
        self.assertIn("_ZN6Vornet7Brocade7Brocade14GetAdapterInfo", symbols)
        self.assertEqual(re.findall(TEST_HOOKS, symbols), [])

    def test_package_carries_the_module_and_none_of_the_host_libraries(self):
        self.assertLessEqual({"brocade.dll", "brocade_diagnostics.json", "brocade-probe.exe"},
                             self.packaged)
        self.assertFalse({"logger.dll", "cimom.dll"} & self.packaged, self.packaged)
        # The version in the package's name is the one in the DLL's version resource.
        version = re.match(r"brocade-module-(.+)-win64\.zip$",
                           os.path.basename(self.package)).group(1)
        dll = next(path for path in self.unpacked_dlls if path.lower().endswith("brocade.dll"))
        resource = pathlib.Path(dll).read_bytes().decode("utf-16-le", errors="replace")
        for field in ("FileVersion", "ProductVersion"):
            self.assertTrue(re.search("%s\0+%s\0" % (field, re.escape(version)), resource),
                            "%s of brocade.dll is not %s" % (field, version))


if __name__ == "__main__":
    OBJDUMP, CPACK, CPACK_CONFIG, BUILT = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
