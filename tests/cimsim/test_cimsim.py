"""Tests of the CIM server simulator, run against a real cimsim process on a free port."""

import http.client
from contextlib import closing
import os
import pathlib
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))

from cimsim_process import (ROOT, SCENARIOS, CimSim, UnixConnection, call,  # noqa: E402
                            class_parameters, instance_parameters, running)

CAPTURES = os.path.join(ROOT, "tests", "pegasus", "captures", "cimserver")
GET_FC_PORT = instance_parameters("XX_FCPort", {
    "CreationClassName": "XX_FCPort", "DeviceID": "10:00:00:05:1e:4a:81:10",
    "SystemCreationClassName": "CIM_ComputerSystem", "SystemName": "server-07.lab.invalid"})
HEALTHY = (200, None, None)


def replay(sim, tag):
    """(what the simulator answers, what the real server answered) to a captured OpenPegasus
    client request, sent on a connection of its own."""
    request, expected = (pathlib.Path(CAPTURES, tag + "-conn1." + direction).read_bytes()
                         for direction in ("c2s", "s2c"))
    with socket.create_connection(("127.0.0.1", sim.http_port), 10) as sock:
        sock.sendall(request)
        sock.shutdown(socket.SHUT_WR)  # the simulator closes once it has answered and read this
        return b"".join(iter(lambda: sock.recv(65536), b"")), expected


def outcome(connection):
    """(status, Connection header, CIM error) of a GetInstance of the FC port, or the name of
    the exception the HTTP client raised."""
    try:
        reply = call(connection, "GetInstance", GET_FC_PORT)
    except (http.client.HTTPException, OSError) as error:
        return type(error).__name__
    return reply.status, reply.headers.get("Connection"), reply.error()


def class_summary(element):
    """Names in document order; * marks PROPAGATED, @ the class origin, = a default, and
    the qualifiers and parameters follow in parentheses."""
    text = element.get("NAME") + ("*" if element.get("PROPAGATED") == "true" else "")
    text += "@" + element.get("CLASSORIGIN") if element.get("CLASSORIGIN") else ""
    text += "=" + element.findtext("VALUE") if element.tag.startswith("PROPERTY") and \
        element.find("VALUE") is not None else ""
    inner = [class_summary(child) for child in element if child.get("NAME")]
    return text + ("(%s)" % " ".join(inner) if inner else "")


class SampleEstateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = running(cls, "sample_estate.json")

    def test_answers_captured_requests_byte_for_byte_like_the_real_server(self):
        for tag in ("get-missing", "get-badclass", "enum-badclass", "enum-badns",
                    "invoke-noprovider"):
            self.assertEqual(*replay(self.sim, tag), msg=tag)

    def test_fault_rules_spoil_the_answers_they_select(self):
        busy = (200, None, (1, "busy"))
        cases = [
            ({"cimError": {"code": 1, "description": "busy"}, "skip": 1, "times": 2},
             [HEALTHY, busy, busy, HEALTHY]),
            ({"malformed": True, "times": 1}, [(200, None, "not XML"), HEALTHY]),
            ({"connectionClose": True, "times": 1}, [(200, "close", None), HEALTHY]),
            ({"drop": "mid", "times": 1}, ["IncompleteRead", HEALTHY]),
            ({"delay": 120, "times": 1}, ["TimeoutError", HEALTHY]),
        ]
        for rule, expected in cases:
            with self.subTest(rule=rule):
                self.sim.control({"clearFaults": True,
                                  "addFaults": [{**rule, "operation": "GetInstance"}]})
                outcomes = []
                for _ in expected:
                    # Only the delayed answer should outlast the client's patience.
                    patience = 0.5 if "delay" in rule and not outcomes else 60
                    with closing(self.sim.connect(timeout=patience)) as connection:
                        outcomes.append(outcome(connection))
                self.assertEqual(outcomes, expected)


class ScenarioTest(unittest.TestCase):
    def test_reference_forms_in_properties_and_key_bindings(self):
        estate, where = os.path.join(HERE, "scenarios", "reference_estate.json"), "h.example:5989"
        for form, element, host in [("instancename", "INSTANCENAME", None),
                                    ("localinstancepath", "LOCALINSTANCEPATH", None),
                                    ("instancepath", "INSTANCEPATH", where)]:
            with self.subTest(form=form):
                sim = running(self, {"include": [estate], "referenceForm": form, "host": where})
                # Both the key bindings of the instance name and the reference properties.
                references = call(sim, "EnumerateInstances", class_parameters("CIM_Realizes")).xml(
                    ).find(".//VALUE.NAMEDINSTANCE").findall(".//VALUE.REFERENCE")
                self.assertEqual({(reference[0].tag, reference.findtext(".//HOST"))
                                  for reference in references}, {(element, host)})

    def test_a_broken_scenario_is_refused_with_its_reason(self):
        with self.assertRaisesRegex(RuntimeError, "unknown class 'CIM_NoSuchClass'"):
            CimSim({"instances": [{"class": "CIM_NoSuchClass"}]})

    # The DMTF classes are the real server's answers, copied: written again from them, they are
    # what the simulator serves.
    def test_the_dmtf_classes_are_the_real_servers_answers(self):
        with tempfile.TemporaryDirectory() as scratch:
            written = os.path.join(scratch, "dmtf_classes.json")
            generator = os.path.join(ROOT, "tools", "cimsim", "generate_dmtf_classes.py")
            subprocess.run([sys.executable, generator,
                            os.path.join(ROOT, "tools", "cimsim", "dmtf_declarations"), written],
                           check=True, timeout=120)
            self.assertEqual(pathlib.Path(written).read_bytes(),
                             pathlib.Path(SCENARIOS, "dmtf_classes.json").read_bytes())


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
        sim = running(self, os.path.join(HERE, "scenarios/get_class_flags.json"))
        for flags, property_list, expected in cases:
            with self.subTest(flags=flags, property_list=property_list):
                reply = call(sim, "GetClass", class_parameters("t_sub", property_list, **flags))
                self.assertEqual(class_summary(reply.xml().find(".//IRETURNVALUE/CLASS")),
                                 expected)


class AuthenticationTest(unittest.TestCase):
    # The other ways of Basic are byte-compared with the real server's answers below.
    def test_anonymous_access_still_refuses_a_wrong_password(self):
        sim = running(self, "sample_estate.json", "--user", "root", "--password", "s3cret",
                      "--allow-anonymous")
        self.assertEqual([call(sim, "EnumerateInstances", class_parameters("CIM_PhysicalPackage"),
                               credentials).status for credentials in (None, ("root", "wrong"))],
                         [200, 401])

    # Over the socket file, as cimserver judges it: a user's name gets a challenge naming a new
    # file only this user can read, and every request on that connection must carry the answer
    # again; one without it is refused like any request without credentials. A wrong answer gets
    # a new challenge, and an answer is worth nothing on another connection.
    def test_local_authentication_judges_every_request(self):
        directory = tempfile.mkdtemp(prefix="cimsim-local-")
        self.addCleanup(shutil.rmtree, directory)
        socket_path = os.path.join(directory, "cimxml.socket")
        sim = running(self, "sample_estate.json", "--unix-socket", socket_path, "--local-auth",
                      os.path.join(directory, "localauth"))
        connection = UnixConnection(socket_path)

        def send(local, on=connection):
            reply = call(on, "EnumerateInstances", class_parameters("CIM_PhysicalPackage"),
                         local=local)
            challenge = re.fullmatch(r'(Local|Basic) .*',
                                     reply.headers.get("WWW-Authenticate", "")) or [None, None]
            return reply, (reply.status, reply.headers.get("PGErrorDetail"), challenge[1])

        first, outcome = send('Local "alice"')
        file_name = re.fullmatch(r'Local "(.*)"', first.headers["WWW-Authenticate"])[1]
        self.assertEqual((outcome, os.path.dirname(file_name),
                          oct(os.stat(file_name).st_mode & 0o777)),
                         ((401, "User%20Unauthorized", "Local"),
                          os.path.join(directory, "localauth"), "0o600"))
        with open(file_name, encoding="utf-8") as stream:
            secret = stream.read()
        answer = 'Local "alice:%s:%s"' % (file_name, secret)
        steps = [(answer, (200, None, None)),
                 (answer, (200, None, None)),
                 (None, (401, "User%20Unauthorized", "Basic")),
                 (answer, (200, None, None)),
                 (answer.replace(secret, "wrong"), (401, None, "Local")),
                 (answer, (401, "User%20Unauthorized", "Local"))]
        self.assertEqual([send(local)[1] for local, _ in steps], [want for _, want in steps])
        self.assertFalse(os.path.exists(file_name))
        self.assertEqual(send(answer, UnixConnection(socket_path))[1],
                         (401, "User%20Unauthorized", "Local"))
        self.assertEqual([entry["authorization"] for entry in sim.journal()],
                         ["Local-user"] + ["Local-secret", "Local-secret", "none"] +
                         ["Local-secret"] * 4)
        self.assertNotIn(secret, pathlib.Path(sim.journal_path).read_text(encoding="utf-8"))

    def test_challenges_classes_and_instances_like_the_real_server(self):
        def declarations(data):
            # The real classes' properties, types and PROPAGATED flags, in order; methods are
            # kept only where the module calls one.
            return re.findall(rb"<(?:CLASS|PROPERTY)[.A-Z]* [^>]*>", data)

        def without_prose(data):
            # Description texts are left out of the simulator's classes; everything else of
            # the instance must be the real server's, the typing qualifiers included.
            instance = data[data.index(b"<INSTANCE "):data.index(b"</INSTANCE>")]
            return re.sub(rb'(<QUALIFIER NAME="Description"[^>]*>\r?\n<VALUE>)[^<]*', rb"\1",
                          instance)

        job = {"class": "CIM_ConcreteJob", "properties": {
            "InstanceID": "ACME:JOB:0001", "Name": "acme.loopback",
            "Caption": "acme.loopback on 2100001B32A47C10", "JobState": 7,
            "PercentComplete": 100, "DeleteOnCompletion": False}}
        sim = running(self, {"include": [os.path.join(SCENARIOS, "sample_estate.json")],
                             "realm": "vm", "instances": [job]},
                      "--user", "root", "--password", "s3cret")
        for tag in ("auth-none", "auth-bad", "getclass-badclass"):
            self.assertEqual(*replay(sim, tag), msg=tag)
        for tag in ("getclass-fcport-local", "getclass-fcport", "getclass-concretejob",
                    "getclass-completionrecord"):
            received, expected = replay(sim, tag)
            self.assertEqual(declarations(received), declarations(expected), msg=tag)
        received, expected = replay(sim, "getinstance-job")
        self.assertEqual(without_prose(received), without_prose(expected))


if __name__ == "__main__":
    unittest.main()
