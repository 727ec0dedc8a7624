"""Starts cimsim for a test and talks CIM-XML to it the way the OpenPegasus client does."""

import base64
import http.client
import json
import os
import signal
import ssl
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CIMSIM = os.path.join(ROOT, "tools", "cimsim", "cimsim.py")
SCENARIOS = os.path.join(ROOT, "tools", "cimsim", "scenarios")


class CimSim:
    """One simulator process; stopped by process id in stop()."""

    def __init__(self, scenario, *arguments, journal=True):
        self.directory = tempfile.TemporaryDirectory(prefix="cimsim-test-")
        if isinstance(scenario, dict):
            scenario = dict(scenario)
            scenario.setdefault("include", [os.path.join(SCENARIOS, "classes.json")])
            path = os.path.join(self.directory.name, "scenario.json")
            with open(path, "w", encoding="utf-8") as stream:
                json.dump(scenario, stream)
            scenario = path
        elif not os.path.isabs(scenario):
            scenario = os.path.join(SCENARIOS, scenario)
        self.journal_path = os.path.join(self.directory.name, "journal.jsonl")
        command = [sys.executable, CIMSIM, "--scenario", scenario] + list(arguments)
        if journal:
            command += ["--journal", self.journal_path]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True)
        ready = self.process.stdout.readline().split()
        if len(ready) != 2:
            self.process.kill()
            _, errors = self.process.communicate()
            self.directory.cleanup()
            raise RuntimeError("cimsim did not start: %r %s" % (ready, errors))
        ports = dict(item.split("=") for item in ready)
        self.http_port = int(ports["http"])
        self.https_port = int(ports["https"])

    def stop(self):
        """SIGTERM, then the exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=20)
        finally:
            self.process.stdout.close()
            self.process.stderr.close()
            self.directory.cleanup()

    def connect(self, https=False, timeout=60):
        if https:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
            context.check_hostname = False
            context.verify_mode = ssl.CERT_NONE
            return http.client.HTTPSConnection("127.0.0.1", self.https_port, timeout=timeout,
                                               context=context)
        return http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=timeout)

    def journal(self):
        with open(self.journal_path, encoding="utf-8") as stream:
            return [json.loads(line) for line in stream]

    def control(self, command):
        connection = self.connect()
        connection.request("POST", "/control", json.dumps(command))
        response = connection.getresponse()
        body = json.loads(response.read())
        connection.close()
        return response.status, body


class Reply:
    def __init__(self, response):
        self.status = response.status
        self.headers = response.headers
        self.body = response.read()

    def xml(self):
        return ElementTree.fromstring(self.body)

    def error(self):
        element = self.xml().find(".//ERROR")
        return None if element is None else (int(element.get("CODE")), element.get("DESCRIPTION"))

    def named_instances(self):
        return self.xml().findall(".//IRETURNVALUE/VALUE.NAMEDINSTANCE")


def call(connection, method, body, trailers=False, user=None, password=None, extra_headers=None):
    headers = {"Content-Type": "application/xml; charset=utf-8", "CIMOperation": "MethodCall",
               "CIMMethod": method, "CIMObject": "root%2Fbrocade"}
    if trailers:
        headers["TE"] = "chunked, trailers"
    if user is not None:
        token = base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        headers["Authorization"] = "Basic " + token
    headers.update(extra_headers or {})
    connection.request("POST", "/cimom", body.encode("utf-8"), headers)
    return Reply(connection.getresponse())


def call_once(sim, method, body, **options):
    """One request on a connection of its own, closed afterwards."""
    connection = sim.connect()
    try:
        return call(connection, method, body, **options)
    finally:
        connection.close()


def envelope(inner, message_id="1000"):
    return ('<?xml version="1.0" encoding="utf-8" ?>\n<CIM CIMVERSION="2.0" DTDVERSION="2.0">\n'
            '<MESSAGE ID="%s" PROTOCOLVERSION="1.0">\n<SIMPLEREQ>\n%s\n</SIMPLEREQ>\n</MESSAGE>\n'
            "</CIM>\n" % (message_id, inner))


NAMESPACE_XML = ('<LOCALNAMESPACEPATH><NAMESPACE NAME="root"/><NAMESPACE NAME="brocade"/>'
                 "</LOCALNAMESPACEPATH>")


def flag(name, value):
    return '<IPARAMVALUE NAME="%s"><VALUE>%s</VALUE></IPARAMVALUE>' % (name, "TRUE" if value else
                                                                      "FALSE")


def class_call_body(operation, class_name, property_list=None, **flags):
    """An intrinsic call on a class name (EnumerateInstances, GetClass, ...)."""
    params = "".join(flag(name, value) for name, value in flags.items())
    if property_list is not None:
        params += ('<IPARAMVALUE NAME="PropertyList"><VALUE.ARRAY>%s</VALUE.ARRAY></IPARAMVALUE>'
                   % "".join("<VALUE>%s</VALUE>" % name for name in property_list))
    return envelope('<IMETHODCALL NAME="%s">%s<IPARAMVALUE NAME="ClassName">'
                    '<CLASSNAME NAME="%s"/></IPARAMVALUE>%s</IMETHODCALL>' %
                    (operation, NAMESPACE_XML, class_name, params))


def enumerate_body(class_name, **options):
    return class_call_body("EnumerateInstances", class_name, **options)


def get_class_body(class_name, **options):
    return class_call_body("GetClass", class_name, **options)


def get_instance_body(class_name, keys, **flags):
    params = "".join(flag(name, value) for name, value in flags.items())
    bindings = "".join('<KEYBINDING NAME="%s"><KEYVALUE VALUETYPE="string">%s</KEYVALUE>'
                       "</KEYBINDING>" % item for item in keys.items())
    return envelope('<IMETHODCALL NAME="GetInstance">%s<IPARAMVALUE NAME="InstanceName">'
                    '<INSTANCENAME CLASSNAME="%s">%s</INSTANCENAME></IPARAMVALUE>%s</IMETHODCALL>'
                    % (NAMESPACE_XML, class_name, bindings, params))


def properties(instance):
    """{name: text, list of texts, or None} of an INSTANCE element."""
    values = {}
    for element in instance:
        if element.tag == "PROPERTY":
            value = element.find("VALUE")
            values[element.get("NAME")] = None if value is None else (value.text or "")
        elif element.tag == "PROPERTY.ARRAY":
            array = element.find("VALUE.ARRAY")
            values[element.get("NAME")] = None if array is None else [
                value.text or "" for value in array.findall("VALUE")]
        elif element.tag == "PROPERTY.REFERENCE":
            values[element.get("NAME")] = element.find("VALUE.REFERENCE")
    return values
