"""Tests of the CIM server simulator, run against a real cimsim process on a free port."""

import http.client
import os
import re
import socket
import sys
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from cimsim_process import (ROOT, SCENARIOS, CimSim, call, call_once,  # noqa: E402
                            enumerate_body, get_class_body, get_instance_body, properties)

CAPTURES = os.path.join(ROOT, "tests", "pegasus", "captures", "cimserver")
HOST = "server-07.lab.invalid"
FC_PORT_KEYS = {"CreationClassName": "XX_FCPort", "DeviceID": "10:00:00:05:1e:4a:81:10",
                "SystemCreationClassName": "CIM_ComputerSystem", "SystemName": HOST}


def replay_capture(port, tag):
    """Sends a captured OpenPegasus client request; returns (what came back, what the real
    server sent)."""
    with open(os.path.join(CAPTURES, tag + "-conn1.c2s"), "rb") as stream:
        request = stream.read()
    with open(os.path.join(CAPTURES, tag + "-conn1.s2c"), "rb") as stream:
        expected = stream.read()
    received = b""
    with socket.create_connection(("127.0.0.1", port), 10) as sock:
        sock.sendall(request)
        # The simulator closes once it has answered every request and read the end.
        sock.shutdown(socket.SHUT_WR)
        data = sock.recv(65536)
        while data:
            received += data
            data = sock.recv(65536)
    return received, expected


class SampleEstateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = CimSim("sample_estate.json")

    @classmethod
    def tearDownClass(cls):
        assert cls.sim.stop() == 0

    def tearDown(self):
        self.sim.control({"clearFaults": True})

    def test_answers_captured_requests_byte_for_byte_like_the_real_server(self):
        for tag in ("get-missing", "get-badclass", "enum-badclass", "enum-badns",
                    "invoke-noprovider"):
            with self.subTest(capture=tag):
                received, expected = replay_capture(self.sim.http_port, tag)
                self.assertEqual(received, expected)

    def get_port(self, connection=None):
        body = get_instance_body("XX_FCPort", FC_PORT_KEYS)
        if connection is None:
            return call_once(self.sim, "GetInstance", body)
        return call(connection, "GetInstance", body)

    def test_fault_rules_fire_after_skip_for_the_given_number_of_times(self):
        self.sim.control({"addFaults": [{"operation": "GetInstance", "class": "XX_FCPort",
                                         "skip": 1, "times": 2,
                                         "cimError": {"code": 1, "description": "busy"}}]})
        outcomes = [self.get_port().error() for _ in range(4)]
        self.assertEqual(outcomes, [None, (1, "busy"), (1, "busy"), None])

    def test_fault_actions(self):
        def status_500(reply):
            self.assertEqual((reply.status, reply.headers["CIMError"]), (500, "request-not-valid"))

        def closing(reply):
            self.assertEqual((reply.headers["Connection"], reply.error()), ("close", None))

        cases = [
            ({"httpStatus": 500, "headers": {"CIMError": "request-not-valid"}}, status_500),
            ({"malformed": True}, lambda reply: self.assertRaises(ElementTree.ParseError, reply.xml)),
            ({"connectionClose": True}, closing),
            ({"drop": "before"}, http.client.RemoteDisconnected),
            ({"drop": "mid"}, http.client.IncompleteRead),
            ({"delay": 120}, socket.timeout),
        ]
        for action, expected in cases:
            with self.subTest(action=action):
                self.sim.control({"clearFaults": True,
                                  "addFaults": [dict(action, operation="GetInstance", times=1)]})
                # Only the delayed answer should outlast the client's patience.
                connection = self.sim.connect(timeout=0.5 if "delay" in action else 60)
                try:
                    if isinstance(expected, type):
                        self.assertRaises(expected, self.get_port, connection)
                    else:
                        expected(self.get_port(connection))
                finally:
                    connection.close()
                self.assertIsNone(self.get_port().error())


class ScenarioSwitchesTest(unittest.TestCase):
    ESTATE = {
        "instances": [
            {"id": "pkg", "class": "CIM_PhysicalPackage",
             "properties": {"CreationClassName": "CIM_PhysicalPackage", "Tag": "T1"}},
            {"id": "ctl", "class": "CIM_PortController",
             "properties": {"CreationClassName": "CIM_PortController", "DeviceID": "c0",
                            "SystemCreationClassName": "CIM_ComputerSystem",
                            "SystemName": "h", "EnabledState": 2}},
            {"class": "CIM_Realizes", "properties": {"Antecedent": "pkg", "Dependent": "ctl"}},
        ]}

    def test_reference_forms(self):
        cases = [("instancename", "INSTANCENAME", None),
                 ("localinstancepath", "LOCALINSTANCEPATH", None),
                 ("instancepath", "INSTANCEPATH", "h.example:5989")]
        for form, element, host in cases:
            with self.subTest(form=form):
                sim = CimSim(dict(self.ESTATE, referenceForm=form, host="h.example:5989"))
                try:
                    reply = call_once(sim, "EnumerateInstances", enumerate_body("CIM_Realizes"))
                finally:
                    self.assertEqual(sim.stop(), 0)
                instance = reply.named_instances()[0].find("INSTANCE")
                reference = properties(instance)["Antecedent"]
                self.assertEqual(reference[0].tag, element)
                self.assertEqual(reference.findtext(".//HOST"), host)
                name_key = reply.named_instances()[0].find("INSTANCENAME/KEYBINDING")
                self.assertEqual(name_key.find("VALUE.REFERENCE")[0].tag, element)


class GetClassTest(unittest.TestCase):
    CLASSES = {"classes": {
        "T_Base": {"qualifiers": {"Description": "base", "UMLPackagePath": "T::Base"},
                   "properties": {"Aye": {"type": "uint16", "qualifiers": {
                                      "Description": "a", "ValueMap": ["0", "1"]}},
                                  "Bee": {"type": "uint64[]", "qualifiers": {"Units": "Bits"}}},
                   "methods": {"Run": {"parameters": {
                       "Target": "reference:CIM_ManagedElement",
                       "Job": {"type": "reference:CIM_ConcreteJob", "out": True}}}}},
        "T_Sub": {"superclass": "T_Base", "qualifiers": {"Description": "sub"},
                  "properties": {"Aye": {"type": "uint16", "qualifiers": {"Description": "a2"}},
                                 "Cee": {"type": "string", "default": "c"}}}}}

    @staticmethod
    def summary(element):
        """Names in document order; * marks PROPAGATED, @ the class origin, = a default, and
        the qualifiers and parameters follow in parentheses."""
        text = element.get("NAME") + ("*" if element.get("PROPAGATED") == "true" else "")
        text += "@" + element.get("CLASSORIGIN") if element.get("CLASSORIGIN") else ""
        text += "=" + element.findtext("VALUE") if element.tag.startswith("PROPERTY") and \
            element.find("VALUE") is not None else ""
        inner = [GetClassTest.summary(child) for child in element if child.get("NAME")]
        return text + ("(%s)" % " ".join(inner) if inner else "")

    def test_get_class_honours_its_flags_as_the_real_server_does(self):
        run = "Run*(Target(IN) Job(IN OUT))"
        cases = [
            ({}, None, "T_Sub(Description Aye(Description) Cee=c)"),
            ({"LocalOnly": False}, None, "T_Sub(UMLPackagePath* Description Bee*(Units) "
                                         "Aye(ValueMap* Description) Cee=c %s)" % run),
            ({"LocalOnly": False, "IncludeQualifiers": False}, None,
             "T_Sub(Bee* Aye Cee=c Run*(Target Job))"),
            ({"IncludeClassOrigin": True}, None,
             "T_Sub(Description Aye@T_Base(Description) Cee@T_Sub=c)"),
            ({"LocalOnly": False}, ["cee", "BEE"],
             "T_Sub(UMLPackagePath* Description Bee*(Units) Cee=c %s)" % run),
            ({}, [], "T_Sub(Description)"),
        ]
        sim = CimSim(self.CLASSES)
        try:
            for flags, property_list, expected in cases:
                with self.subTest(flags=flags, property_list=property_list):
                    reply = call_once(sim, "GetClass", get_class_body(
                        "t_sub", property_list=property_list, **flags))
                    self.assertEqual(self.summary(reply.xml().find(".//IRETURNVALUE/CLASS")),
                                     expected)
            unknown = call_once(sim, "GetClass", get_class_body("NoSuch_Class"))
            journal = sim.journal()
        finally:
            self.assertEqual(sim.stop(), 0)
        self.assertEqual(unknown.error(), (6, "CIM_ERR_NOT_FOUND: NoSuch_Class"))
        self.assertEqual([entry["class"] for entry in journal if entry["operation"] == "GetClass"],
                         ["t_sub"] * len(cases) + ["NoSuch_Class"])


class AuthenticationTest(unittest.TestCase):
    def test_basic_authentication(self):
        cases = [
            ([], None, 401, "User%20Unauthorized"),
            ([], ("root", "wrong"), 401, None),
            ([], ("root", "s3cret"), 200, None),
            (["--allow-anonymous"], None, 200, None),
            (["--allow-anonymous"], ("root", "wrong"), 401, None),
        ]
        for extra, credentials, status, detail in cases:
            with self.subTest(extra=extra, credentials=credentials):
                sim = CimSim("sample_estate.json", "--user", "root", "--password", "s3cret",
                             *extra)
                try:
                    user, password = credentials or (None, None)
                    reply = call_once(sim, "EnumerateInstances",
                                 enumerate_body("CIM_PhysicalPackage"), user=user,
                                 password=password)
                    journal = sim.journal()
                finally:
                    self.assertEqual(sim.stop(), 0)
                self.assertEqual(reply.status, status)
                self.assertEqual(reply.headers.get("PGErrorDetail"), detail)
                if status == 401:
                    self.assertEqual(reply.headers["WWW-Authenticate"], 'Basic realm="cimsim"')
                else:
                    self.assertEqual(len(reply.named_instances()), 3)
                self.assertEqual(journal[-1]["authorization"], credentials is not None)


    def test_challenges_and_classes_like_the_real_server(self):
        def element_tags(data):
            # The scenario declares the same properties as the real CIM_FCPort, not the same
            # qualifier texts.
            return re.findall(rb"<(?:CLASS|PROPERTY|METHOD|PARAMETER)[.A-Z]* [^>]*>", data)

        sim = CimSim({"include": [os.path.join(SCENARIOS, "sample_estate.json")], "realm": "vm"},
                     "--user", "root", "--password", "s3cret")
        try:
            replies = {tag: replay_capture(sim.http_port, tag)
                       for tag in ("auth-bad", "getclass-badclass", "getclass-fcport-local")}
        finally:
            self.assertEqual(sim.stop(), 0)
        for tag in ("auth-bad", "getclass-badclass"):
            self.assertEqual(*replies[tag], msg=tag)
        received, expected = replies["getclass-fcport-local"]
        self.assertEqual(element_tags(received), element_tags(expected))
        self.assertEqual(len(element_tags(received)), 6)


class ScenarioLoadingTest(unittest.TestCase):
    def test_a_broken_scenario_is_refused_with_its_reason(self):
        sim = None
        with self.assertRaises(RuntimeError) as raised:
            sim = CimSim({"instances": [{"class": "CIM_NoSuchClass"}]})
        self.assertIsNone(sim)
        self.assertIn("unknown class 'CIM_NoSuchClass'", str(raised.exception))


if __name__ == "__main__":
    unittest.main()
