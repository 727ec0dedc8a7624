"""Peer checks: sblim wbemcli, an independent CIM client, against cimsim's sample estate."""

import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cimsim"))

from cimsim_process import running  # noqa: E402

WBEMCLI = "/usr/bin/wbemcli"


def path(class_name, key):
    return ('%s.CreationClassName="%s",%s,SystemCreationClassName="CIM_ComputerSystem",'
            'SystemName="server-07.lab.invalid"' % (class_name, class_name, key))


SERVICE = path("XX_DiagnosticTest", 'Name="MemoryTest"')
CONTROLLER = path("XX_PortController", 'DeviceID="ctlr-2/1"')
FC_PORT = path("XX_FCPort", 'DeviceID="10:00:00:05:1e:4a:81:11"')


@unittest.skipUnless(os.access(WBEMCLI, os.X_OK), "sblim-wbemcli is not installed")
class WbemcliTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = running(cls, "sample_estate.json", "--user", "root", "--password", "right")

    def succeeds(self, operation, object_path, *arguments, https):
        scheme, port = ("https", self.sim.https_port) if https else ("http", self.sim.http_port)
        url = "%s://root:right@127.0.0.1:%d/root/brocade:%s" % (scheme, port, object_path)
        result = subprocess.run([WBEMCLI, "-nl", *(["-noverify"] if https else []), operation, url,
                                 *arguments], capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return result.stdout + result.stderr

    def test_enumerates_and_gets_over_http_and_https(self):
        for https in (False, True):
            with self.subTest(https=https):
                output = self.succeeds("ei", "CIM_PhysicalPackage", https=https)
                self.assertEqual(re.findall(r'^-Model="(.*)"$', output, re.M),
                                 ["XX-825", "XX-1020", "XX-825"])
                self.assertIn('-SerialNumber="CN1020B0913"', output)
                output = self.succeeds("ei", "CIM_ControlledBy", https=https)
                self.assertEqual(output.count("-Antecedent="), 8)
                self.assertIn('-Dependent=XX_EthernetPort.CreationClassName="XX_EthernetPort",'
                              'DeviceID="eth-00051e7c2045"', output)
                lines = self.succeeds("gi", FC_PORT, https=https).splitlines()
                for line in ('-Caption="FC port 1"', "-EnabledState=6", "-PortAvailability=5",
                             "-OperationalStatus=2,6"):
                    self.assertIn(line, lines)

    def test_invokes_the_diagnostic_and_polls_its_job(self):
        for https in (False, True):
            with self.subTest(https=https):
                output = self.succeeds("cm", SERVICE, "RunDiagnostic.ManagedElement=" + CONTROLLER,
                                       https=https)
                self.assertIn("RunDiagnostic: 0", output)
                job = re.search(r'Job \(reference\): (CIM_ConcreteJob\.InstanceID="([^"]*)")',
                                output)
                self.assertIsNotNone(job, output)
                polls = (self.succeeds("gi", job.group(1), https=https) for _ in range(4))
                states = [re.search(r"^-JobState=(\d+)", poll, re.M).group(1) for poll in polls]
                self.assertEqual(states, ["3", "4", "7", "7"])
                output = self.succeeds("ei", "CIM_DiagnosticCompletionRecord", https=https)
                self.assertIn('-InstanceID="%s"' % job.group(2), output)
                self.assertIn('-RecordData="Memory test passed: 0 errors in 4 patterns"', output)


if __name__ == "__main__":
    unittest.main()
