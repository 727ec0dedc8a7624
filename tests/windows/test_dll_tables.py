"""Export and import tables of our Windows DLLs, read with the cross binutils' objdump -p.

Usage: test_dll_tables.py OBJDUMP DLL|ZIP...  (a zip, the Windows package: every DLL in it)

A DLL may export only its own classes (the host binds to brocade.dll's facade class and must see
nothing else of ours, nor the C++ runtime linked into it), and may import only system DLLs and
our own host stand-ins, so that it runs on a Windows without any MinGW runtime installed.
"""

import glob
import itertools
import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

OUR_DLLS = {"logger.dll", "cimom.dll", "brocade.dll"}

# Mangled-name prefixes of what each DLL exists to export (members, typeinfo, vtables).
OWN_EXPORTS = {
    "brocade.dll": r"_ZNK?6Vornet7Brocade7Brocade",
    "logger.dll": r"(_ZNK?6Vornet(3Log|10LogCapture)|_ZT[ISV]N6Vornet3LogE)",
    "cimom.dll": r"_ZNK?6Vornet5Cimom",
}

# The facade's two constructors, destructor and five operations, as the host binds to them.
FACADE_MEMBERS = [
    "_ZN6Vornet7Brocade7BrocadeC1Ev",
    "_ZN6Vornet7Brocade7BrocadeC1ERKNS_16VornetConnection14ConnectionInfoE",
    "_ZN6Vornet7Brocade7BrocadeD1Ev",
    "_ZN6Vornet7Brocade7Brocade14GetAdapterInfo",
    "_ZN6Vornet7Brocade7Brocade21GetSoftwareIdentities",
    "_ZN6Vornet7Brocade7Brocade10GetRawData",
    "_ZN6Vornet7Brocade7Brocade12GetDiagItems",
    "_ZN6Vornet7Brocade7Brocade13RunDiagnostic",
]


def wine_system_dlls():
    """Names of the DLLs Wine ships as the system's, lower case."""
    for directory in glob.glob("/usr/lib*/wine/x86_64-windows") + glob.glob(
            "/usr/lib/*/wine/x86_64-windows"):
        return {name.lower() for name in os.listdir(directory) if name.endswith(".dll")}
    return set()


def tables(objdump, dll):
    """(imported DLL names in lower case, exported symbol names) of one DLL."""
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True,
                          text=True).stdout
    imports = [name.lower() for name in re.findall(r"^\s*DLL Name: (\S+)$", text, re.M)]
    # The name table runs from its title to the first line that is no "[ordinal] name".
    table = text.partition("[Ordinal/Name Pointer] Table")[2].splitlines()[1:]
    rows = itertools.takewhile(bool, (re.match(r"^\s*\[\s*\d+\]\s+(\S+)$", line) for line in table))
    exports = [row.group(1) for row in rows]
    return imports, exports


def dlls_in_package(package, directory):
    """Unpacks the zip into `directory`; the paths of the DLLs in it."""
    with zipfile.ZipFile(package) as archive:
        archive.extractall(directory)
        return [os.path.join(directory, name) for name in archive.namelist()
                if name.lower().endswith(".dll")]


class DllTablesTest(unittest.TestCase):
    objdump = None
    dlls = []
    package = None

    def test_each_dll_exports_only_its_own_classes_and_needs_only_system_dlls_and_ours(self):
        system = wine_system_dlls()
        self.assertIn("kernel32.dll", system, "no Wine system DLL directory found")
        for dll in self.dlls:
            name = os.path.basename(dll).lower()
            with self.subTest(dll=name):
                imports, exports = tables(self.objdump, dll)
                self.assertTrue(exports, "%s exports nothing" % name)
                foreign = [symbol for symbol in exports
                           if not re.match(OWN_EXPORTS[name], symbol)]
                self.assertEqual(foreign, [], "%s exports more than its own classes" % name)
                self.assertIn("kernel32.dll", imports)
                foreign = [entry for entry in imports if entry not in OUR_DLLS | system]
                self.assertEqual(foreign, [], "%s needs DLLs that Windows lacks" % name)
                if name == "brocade.dll":
                    self.assertIn("logger.dll", imports)
                    missing = [member for member in FACADE_MEMBERS
                               if not any(symbol.startswith(member) for symbol in exports)]
                    self.assertEqual(missing, [], "the facade lacks members")

    def test_package_carries_the_module_and_none_of_the_host_libraries(self):
        if self.package is None:
            self.skipTest("no package given")
        with zipfile.ZipFile(self.package) as archive:
            names = {os.path.basename(name).lower() for name in archive.namelist()}
        self.assertTrue({"brocade.dll", "brocade_diagnostics.json", "brocade-probe.exe"} <= names,
                        names)
        self.assertFalse({"logger.dll", "cimom.dll"} & names, names)
        # The version in the package's name is the one in the DLL's version resource.
        version = re.match(r"brocade-module-(.+)-win64\.zip$",
                           os.path.basename(self.package)).group(1)
        dll = [path for path in self.dlls if path.lower().endswith("brocade.dll")][0]
        with open(dll, "rb") as stream:
            resource = stream.read().decode("utf-16-le", errors="replace")
        for field in ("FileVersion", "ProductVersion"):
            self.assertTrue(re.search("%s\0+%s\0" % (field, re.escape(version)), resource),
                            "%s of brocade.dll is not %s" % (field, version))

if __name__ == "__main__":
    DllTablesTest.objdump = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="dll-tables-") as unpacked:
        for argument in sys.argv[2:]:
            if argument.lower().endswith(".zip"):
                DllTablesTest.package = argument
                DllTablesTest.dlls += dlls_in_package(argument, unpacked)
            else:
                DllTablesTest.dlls.append(argument)
        program = unittest.main(argv=sys.argv[:1], verbosity=2, exit=False)
    sys.exit(not program.result.wasSuccessful())
