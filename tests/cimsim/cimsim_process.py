"""Starts cimsim for a test and talks CIM-XML to it the way the OpenPegasus client does."""

import base64
import http.client
import json
import os
import socket
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CIMSIM = os.path.join(ROOT, "tools", "cimsim", "cimsim.py")
SCENARIOS = os.path.join(ROOT, "tools", "cimsim", "scenarios")


class CimSim:
    """One simulator process; stopped by process id in stop()."""

    def __init__(self, scenario, *arguments):
        self.directory = tempfile.TemporaryDirectory(prefix="cimsim-test-")
        if isinstance(scenario, dict):
            path = os.path.join(self.directory.name, "scenario.json")
            with open(path, "w", encoding="utf-8") as stream:
                json.dump({"include": [os.path.join(SCENARIOS, "classes.json")], **scenario},
                          stream)
            scenario = path
        elif not os.path.isabs(scenario):
            scenario = os.path.join(SCENARIOS, scenario)
        self.journal_path = os.path.join(self.directory.name, "journal.jsonl")
        self.process = subprocess.Popen(
            [sys.executable, CIMSIM, "--scenario", scenario, "--journal", self.journal_path,
             *arguments], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready = self.process.stdout.readline().split()
        if len(ready) != 2:
            self.process.kill()
            _, errors = self.process.communicate()
            self.directory.cleanup()
            raise RuntimeError("cimsim did not start: %r %s" % (ready, errors))
        ports = dict(item.split("=") for item in ready)
        self.http_port, self.https_port = int(ports["http"]), int(ports["https"])

    def stop(self):
        """SIGTERM, then the exit status; one that does not stop is killed, and the test fails."""
        self.process.terminate()
        try:
            self.process.communicate(timeout=20)
            return self.process.returncode
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
            raise
        finally:
            self.directory.cleanup()

    def connect(self, timeout=60):
        return http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=timeout)

    def journal(self):
        with open(self.journal_path, encoding="utf-8") as stream:
            return [json.loads(line) for line in stream]

    def control(self, command):
        connection = self.connect()
        connection.request("POST", "/control", json.dumps(command))
        status = connection.getresponse().status
        connection.close()
        assert status == 200, "control %r answered %d" % (command, status)


def running(owner, *arguments):
    """A simulator stopped, and required to exit with 0, when the test or test class ends."""
    sim = CimSim(*arguments)

    def stop():
        assert sim.stop() == 0, "cimsim did not exit with 0"
    (owner.addClassCleanup if isinstance(owner, type) else owner.addCleanup)(stop)
    return sim


class Reply:
    def __init__(self, response):
        self.status, self.headers, self.body = response.status, response.headers, response.read()

    def xml(self):
        return ElementTree.fromstring(self.body)

    def error(self):
        """(code, description) of the CIM error in the body; None without one; "not XML"."""
        try:
            element = self.xml().find(".//ERROR")
        except ElementTree.ParseError:
            return "not XML"
        return None if element is None else (int(element.get("CODE")), element.get("DESCRIPTION"))


class UnixConnection(http.client.HTTPConnection):
    """HTTP over a socket file, as a local OpenPegasus client speaks it."""

    def __init__(self, path):
        super().__init__("localhost", timeout=60)
        self.path = path

    def connect(self):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(self.path)


def call(target, method, parameters, credentials=None, local=None):
    """An intrinsic call shaped like the OpenPegasus client's, on `target`: a connection, or a
    simulator, then on a connection of its own, closed afterwards. `local`: the value of a
    PegasusAuthorization field."""
    headers = {"Content-Type": "application/xml; charset=utf-8", "CIMOperation": "MethodCall",
               "CIMMethod": method, "CIMObject": "root%2Fbrocade"}
    if local is not None:
        headers["PegasusAuthorization"] = local
    if credentials is not None:
        token = base64.b64encode(":".join(credentials).encode()).decode()
        headers["Authorization"] = "Basic " + token
    body = ('<?xml version="1.0" encoding="utf-8" ?>\n<CIM CIMVERSION="2.0" DTDVERSION="2.0">\n'
            '<MESSAGE ID="1000" PROTOCOLVERSION="1.0">\n<SIMPLEREQ>\n<IMETHODCALL NAME="%s">'
            '<LOCALNAMESPACEPATH><NAMESPACE NAME="root"/><NAMESPACE NAME="brocade"/>'
            '</LOCALNAMESPACEPATH>%s</IMETHODCALL>\n</SIMPLEREQ>\n</MESSAGE>\n</CIM>\n'
            % (method, parameters))
    connection = target.connect() if isinstance(target, CimSim) else target
    connection.request("POST", "/cimom", body.encode("utf-8"), headers)
    reply = Reply(connection.getresponse())
    if connection is not target:
        connection.close()
    return reply


def class_parameters(class_name, property_list=None, **flags):
    """The parameters of an intrinsic call on a class name (EnumerateInstances, GetClass)."""
    params = "".join('<IPARAMVALUE NAME="%s"><VALUE>%s</VALUE></IPARAMVALUE>'
                     % (name, "TRUE" if value else "FALSE") for name, value in flags.items())
    if property_list is not None:
        params += ('<IPARAMVALUE NAME="PropertyList"><VALUE.ARRAY>%s</VALUE.ARRAY></IPARAMVALUE>'
                   % "".join("<VALUE>%s</VALUE>" % name for name in property_list))
    return '<IPARAMVALUE NAME="ClassName"><CLASSNAME NAME="%s"/></IPARAMVALUE>%s' % (
        class_name, params)


def instance_parameters(class_name, keys):
    bindings = "".join('<KEYBINDING NAME="%s"><KEYVALUE VALUETYPE="string">%s</KEYVALUE>'
                       "</KEYBINDING>" % item for item in keys.items())
    return ('<IPARAMVALUE NAME="InstanceName"><INSTANCENAME CLASSNAME="%s">%s</INSTANCENAME>'
            "</IPARAMVALUE>" % (class_name, bindings))
