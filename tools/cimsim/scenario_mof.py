#!/usr/bin/env python3
"""Writes a cimsim scenario out for the real OpenPegasus server, so that the simulator and the
real server serve one estate from one source:

- estate.mof: the scenario's own classes (every class but the DMTF ones, CIM_*, which the real
  schema brings) and all its instances, to compile after the schema into the scenario's
  namespace;
- diagnostic_runs.tsv: its diagnosticRuns, reduced to what the test provider needs to answer
  RunDiagnostic with the same outcome (scenario_runs.py).

Usage: scenario_mof.py SCENARIO OUT_DIR [--schema CIM_SCHEMA_DIR]

With --schema (the server's schema/CIM241), the DMTF classes and the qualifiers the scenario
uses are checked against the schema the server compiles, so that a name it lacks fails here
rather than halfway through the server's start. What the real server cannot be made to do
(prerendered answers, faults, other reference forms, property qualifiers on instances) makes
this fail with the reason, rather than give an estate that differs from the simulator's.
"""

import argparse
import math
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from cim_paths import NUMERIC_TYPES  # noqa: E402
from scenario_runs import TSV_HEADER, run_lines  # noqa: E402
from schema import MethodDeclaration, ScenarioError, build_classes, load_scenario  # noqa: E402

INTEGER_RANGES = {"uint8": (0, 2**8 - 1), "sint8": (-2**7, 2**7 - 1),
                  "uint16": (0, 2**16 - 1), "sint16": (-2**15, 2**15 - 1),
                  "uint32": (0, 2**32 - 1), "sint32": (-2**31, 2**31 - 1),
                  "uint64": (0, 2**64 - 1), "sint64": (-2**63, 2**63 - 1)}

# Settings that describe a server other than OpenPegasus; the real one cannot be made to act so.
UNEXPRESSIBLE = {
    "prerendered": "answers read from files",
    "faults": "fault rules",
}



def fail(message):
    raise ScenarioError(message)


def mof_string(text):
    out = ['"']
    for char in text:
        if char in '"\\':
            out.append("\\" + char)
        elif char == "\n":
            out.append("\\n")
        elif char == "\t":
            out.append("\\t")
        elif char == "\r":
            out.append("\\r")
        elif ord(char) < 0x20 or ord(char) == 0x7f:
            out.append("\\x%04X" % ord(char))
        elif ord(char) > 0xffff:
            fail("%r lies beyond the 16-bit characters CIM strings hold" % text)
        else:
            out.append(char)
    out.append('"')
    return "".join(out)


def scalar_literal(cim_type, value, where):
    if cim_type == "boolean":
        if not isinstance(value, bool):
            fail("%s: %r is no boolean" % (where, value))
        return "TRUE" if value else "FALSE"
    if cim_type in INTEGER_RANGES:
        low, high = INTEGER_RANGES[cim_type]
        if isinstance(value, bool) or not isinstance(value, int) or not low <= value <= high:
            fail("%s: %r is no %s" % (where, value, cim_type))
        return str(value)
    if cim_type in ("real32", "real64"):
        if isinstance(value, bool) or not isinstance(value, (int, float)) or \
                not math.isfinite(value):
            fail("%s: %r is no finite %s" % (where, value, cim_type))
        return repr(float(value))
    if not isinstance(value, str):
        fail("%s: %r is no %s text" % (where, value, cim_type))
    if cim_type == "char16":
        if len(value) != 1:
            fail("%s: %r is not one character" % (where, value))
        return "'%s'" % mof_string(value)[1:-1].replace("'", "\\'")
    return mof_string(value)


def qualifier_literal(value, declared_array):
    """A qualifier's value as JSON gives it; the schema's declaration says whether a single
    value must go as an array."""
    if isinstance(value, list):
        return "{%s}" % ", ".join(qualifier_literal(item, False) for item in value)
    if declared_array:
        return "{%s}" % qualifier_literal(value, False)
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, (int, float)):
        return str(value)
    return mof_string(str(value))


class SchemaNames:
    """The class and qualifier names the server's schema declares; None: nothing to check."""

    def __init__(self, directory):
        self.classes = self.qualifiers = None
        if directory is None:
            return
        if not os.path.isdir(directory):
            fail("schema folder %s does not exist" % directory)
        self.classes, self.qualifiers = set(), {}
        class_pattern = re.compile(r"^\s*class\s+(\w+)", re.M | re.I)
        qualifier_pattern = re.compile(r"^\s*Qualifier\s+(\w+)\s*:\s*\w+\s*(\[)?", re.M | re.I)
        for folder, _, files in os.walk(directory):
            for name in files:
                if name.lower().endswith(".mof"):
                    with open(os.path.join(folder, name), encoding="utf-8",
                              errors="replace") as stream:
                        text = stream.read()
                    self.classes.update(match.lower() for match in class_pattern.findall(text))
                    for match in qualifier_pattern.finditer(text):
                        self.qualifiers[match.group(1).lower()] = bool(match.group(2))

    def check_class(self, name, where):
        if self.classes is not None and name.lower() not in self.classes:
            fail("%s uses DMTF class %s, which the server's schema does not declare" %
                 (where, name))

    def qualifier_is_array(self, name, where):
        if self.qualifiers is None:
            return False
        if name.lower() not in self.qualifiers:
            fail("%s carries qualifier %s, which the server's schema does not declare" %
                 (where, name))
        return self.qualifiers[name.lower()]


def is_dmtf(class_name):
    return class_name.lower().startswith("cim_")


class MofWriter:
    def __init__(self, data, schema_names):
        self.data = data
        self.names = schema_names
        self.class_entries = data.get("classes") or {}
        self.classes = build_classes(self.class_entries)
        self.instances = data.get("instances") or []
        self.by_ident = {}
        for number, instance in enumerate(self.instances):
            if "id" in instance:
                if instance["id"] in self.by_ident:
                    fail("instances[%d]: id %r is used twice" % (number, instance["id"]))
                self.by_ident[instance["id"]] = instance
        self.aliases = {}
        self.written = set()

    def cim_class(self, name, where):
        cim_class = self.classes.get(str(name).lower())
        if cim_class is None:
            fail("%s names unknown class %r" % (where, name))
        return cim_class

    # Classes

    def class_text(self, name):
        entry = self.class_entries[name]
        cim_class = self.classes[name.lower()]
        superclass = cim_class.superclass
        where = "class %s" % name
        if superclass is not None and "keys" in entry and \
                [key.lower() for key in entry["keys"]] != [key.lower() for key in superclass.keys]:
            fail("%s changes the keys of %s, which a subclass cannot do in MOF" %
                 (where, superclass.name))
        own_keys = {key.lower() for key in entry.get("keys", [])} if superclass is None else set()
        association = any(name.lower() == "association" and value is True
                          for name, value in cim_class.qualifiers)
        for declaration in cim_class.class_order:
            if declaration.cim_type == "reference" and not association:
                fail("%s has reference property %s but is no association, which the server "
                     "refuses" % (where, declaration.name))
        lines = []
        qualifiers = list((entry.get("qualifiers") or {}).items())
        if qualifiers:
            lines.append("[%s]" % self.qualifier_list(qualifiers, where))
        lines.append("class %s%s\n{" % (cim_class.name,
                                         " : " + superclass.name if superclass else ""))
        for prop_name, prop_entry in (entry.get("properties") or {}).items():
            declaration = cim_class.find(prop_name)
            prop_where = "%s property %s" % (where, prop_name)
            qualifiers = list((prop_entry.get("qualifiers") or {}).items()
                              if isinstance(prop_entry, dict) else [])
            if prop_name.lower() in own_keys:
                qualifiers.insert(0, ("Key", True))
            if superclass is not None and superclass.find(prop_name) is not None and \
                    not any(q.lower() == "override" for q, _ in qualifiers):
                qualifiers.append(("Override", superclass.find(prop_name).name))
            lines.append("   " + self.feature_text(declaration, qualifiers, prop_where) + ";")
        for method_name, method_entry in (entry.get("methods") or {}).items():
            lines.append("   " + self.method_text(method_name, method_entry,
                                                  "%s method %s" % (where, method_name)) + ";")
        lines.append("};")
        return "\n".join(lines)

    def qualifier_list(self, qualifiers, where):
        texts = []
        for name, value in qualifiers:
            array = self.names.qualifier_is_array(name, where)
            literal = qualifier_literal(value, array)
            # MOF gives an array qualifier its braces without parentheses.
            texts.append(name if value is True and not array else
                         "%s %s" % (name, literal) if literal.startswith("{") else
                         "%s(%s)" % (name, literal))
        return ", ".join(texts)

    def feature_text(self, declaration, qualifiers, where):
        """A property or parameter declaration, without its ';'."""
        text = "[%s] " % self.qualifier_list(qualifiers, where) if qualifiers else ""
        if declaration.cim_type == "reference":
            if not declaration.reference_class:
                fail("%s is a reference without a class, which MOF requires" % where)
            text += "%s REF %s" % (declaration.reference_class, declaration.name)
        else:
            text += "%s %s%s" % (declaration.cim_type, declaration.name,
                                 "[]" if declaration.array else "")
        if declaration.default is not None:
            text += " = " + self.value_text(declaration, declaration.default, where)
        return text

    def method_text(self, name, entry, where):
        method = MethodDeclaration(name, entry, "")
        parameters = []
        for parameter, parameter_entry in zip(method.parameters,
                                             (entry.get("parameters") or {}).values()):
            own = list((parameter_entry.get("qualifiers") or {}).items()
                       if isinstance(parameter_entry, dict) else [])
            direction = [("IN", False), ("OUT", True)] if parameter.direction_out else \
                [("IN", True)]
            parameters.append(self.feature_text(parameter, direction + own,
                                                "%s parameter %s" % (where, parameter.name)))
        qualifiers = "[%s] " % self.qualifier_list(method.qualifiers, where) \
            if method.qualifiers else ""
        return "%s%s %s(%s)" % (qualifiers, method.return_type, name,
                                ", ".join(parameters))

    def vendor_classes_in_order(self):
        """The scenario's own classes, each after its superclass, as the compiler needs them."""
        ordered, done = [], set()

        def visit(name):
            cim_class = self.classes[name.lower()]
            if cim_class.name.lower() in done:
                return
            if cim_class.superclass is not None and not is_dmtf(cim_class.superclass.name):
                visit(cim_class.superclass.name)
            done.add(cim_class.name.lower())
            ordered.append(cim_class.name)

        for name in self.class_entries:
            if not is_dmtf(name):
                visit(name)
        return ordered

    # Instances and their values

    def value_text(self, declaration, value, where):
        if value is None:
            return "NULL"
        if declaration.cim_type == "reference":
            if declaration.array:
                fail("%s: arrays of references are not supported" % where)
            return self.reference_text(value, where)
        if declaration.array:
            if not isinstance(value, list):
                fail("%s: %r is no array" % (where, value))
            return "{%s}" % ", ".join(scalar_literal(declaration.cim_type, item, where)
                                      for item in value)
        if isinstance(value, list):
            fail("%s: %r is an array, the property is not" % (where, value))
        return scalar_literal(declaration.cim_type, value, where)

    def reference_text(self, entry, where):
        if isinstance(entry, str):
            entry = {"ref": entry}
        for setting in ("form", "host", "namespace"):
            if setting in entry and not (setting == "form" and
                                        entry[setting].lower() == "instancename"):
                fail("%s: the reference sets %s, but the real server writes every reference "
                     "as it stores it" % (where, setting))
        if "ref" in entry:
            target = self.by_ident.get(entry["ref"])
            if target is None:
                fail("%s refers to unknown id %r" % (where, entry["ref"]))
            if entry["ref"] in self.written:
                return "$" + self.aliases[entry["ref"]]
            # Aliases only name instances written before; a later one goes by its path.
        return mof_string(self.path_text(entry, where, ()))

    def path_text(self, entry, where, chain):
        """Object path text (Class.Key="value",...) for a reference the compiler reads as a
        string."""
        if "ref" in entry:
            if entry["ref"] in chain:
                fail("%s: reference keys lead round in a circle through %r" %
                     (where, entry["ref"]))
            target = self.by_ident[entry["ref"]]
            cim_class = self.cim_class(target["class"], where)
            values = {cim_class.find(name).name: value
                      for name, value in (target.get("properties") or {}).items()
                      if cim_class.find(name) is not None}
            keys = []
            for key in cim_class.keys:
                declaration = cim_class.find(key)
                keys.append((declaration.name, declaration.cim_type,
                             values.get(declaration.name, declaration.default)))
            chain = chain + (entry["ref"],)
        else:
            cim_class = self.classes.get(str(entry.get("class", "")).lower())
            if not entry.get("class"):
                fail("%s: a reference needs ref or class" % where)
            keys = []
            for name, value in (entry.get("keys") or {}).items():
                declaration = cim_class.find(name) if cim_class else None
                keys.append((declaration.name if declaration else name,
                             declaration.cim_type if declaration else None, value))
        texts = []
        for name, cim_type, value in keys:
            if value is None:
                fail("%s: the instance referred to has no value for key %s" % (where, name))
            if cim_type == "reference":
                nested = value if isinstance(value, dict) else {"ref": value}
                value_text = '"%s"' % escape_key(self.path_text(nested, where, chain))
            elif isinstance(value, bool):
                value_text = "TRUE" if value else "FALSE"
            elif isinstance(value, (int, float)) and cim_type in (None, *NUMERIC_TYPES):
                value_text = str(value)
            else:
                value_text = '"%s"' % escape_key(str(value))
            texts.append("%s=%s" % (name, value_text))
        return "%s.%s" % (cim_class.name if cim_class else entry["class"], ",".join(texts))

    def instance_text(self, number, instance):
        where = "instances[%d]%s" % (number, " (%s)" % instance["id"] if "id" in instance else "")
        cim_class = self.cim_class(instance.get("class"), where)
        values = {}
        for name, value in (instance.get("properties") or {}).items():
            declaration = cim_class.find(name)
            if declaration is None:
                fail("%s sets %s, which class %s does not declare" % (where, name,
                                                                      cim_class.name))
            values[declaration.name] = (declaration, value)
        for key in cim_class.keys:
            declaration = cim_class.find(key)
            if values.get(declaration.name, (None, declaration.default))[1] is None:
                fail("%s has no value for key %s" % (where, key))
        header = "instance of %s" % cim_class.name
        if "id" in instance:
            alias = re.sub(r"\W", "_", instance["id"])
            while alias in self.aliases.values():
                alias += "_"
            self.aliases[instance["id"]] = alias
            header += " as $" + alias
        lines = [header, "{"]
        for name, (declaration, value) in values.items():
            lines.append("   %s = %s;" % (name, self.value_text(declaration, value,
                                                                "%s %s" % (where, name))))
        lines.append("};")
        if "id" in instance:
            self.written.add(instance["id"])
        return "\n".join(lines)

    def mof(self, source):
        used = {instance.get("class", "") for instance in self.instances}
        for name in self.class_entries:
            if is_dmtf(name) and (name in used or any(
                    cim_class.superclass is not None and
                    cim_class.superclass.name.lower() == name.lower()
                    for cim_class in self.classes.values())):
                self.names.check_class(name, "the scenario")
        for run in self.data.get("diagnosticRuns") or []:
            for part in ("job", "record"):
                if run.get(part) is not None:
                    default = "CIM_ConcreteJob" if part == "job" else \
                        "CIM_DiagnosticCompletionRecord"
                    name = run[part].get("class", default)
                    if is_dmtf(name):
                        self.names.check_class(name, "a diagnostic run's %s" % part)
        out = ["// Written by scenario_mof.py from %s; compile it after the CIM schema." % source,
               ""]
        for name in self.vendor_classes_in_order():
            out += [self.class_text(name), ""]
        for number, instance in enumerate(self.instances):
            out += [self.instance_text(number, instance), ""]
        return "\n".join(out)


def escape_key(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def check_settings(data):
    for key, what in UNEXPRESSIBLE.items():
        if data.get(key):
            fail("the scenario has %s (%s), which the real server cannot reproduce" % (what, key))
    if data.get("referenceForm", "instancename").lower() != "instancename":
        fail("the scenario asks for referenceForm %s; the real server writes references as "
             "it stores them" % data["referenceForm"])
    for key in ("propertyQualifiers", "honourLocalOnly"):
        if data.get(key):
            fail("the scenario sets %s, which OpenPegasus does not do" % key)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("scenario")
    parser.add_argument("out_dir")
    parser.add_argument("--schema", help="the server's CIM schema folder, to check names against")
    arguments = parser.parse_args(argv)
    try:
        data = load_scenario(arguments.scenario)
        check_settings(data)
        writer = MofWriter(data, SchemaNames(arguments.schema))
        source = os.path.basename(arguments.scenario)
        mof = writer.mof(source)
        runs = run_lines(writer)
    except ScenarioError as error:
        print("scenario_mof: %s" % error, file=sys.stderr)
        return 2
    os.makedirs(arguments.out_dir, exist_ok=True)
    # The compiler takes UTF-8 as it is; its \x escapes make single bytes, not characters.
    with open(os.path.join(arguments.out_dir, "estate.mof"), "w", encoding="utf-8") as stream:
        stream.write(mof)
    with open(os.path.join(arguments.out_dir, "diagnostic_runs.tsv"), "w",
              encoding="utf-8") as stream:
        stream.write(TSV_HEADER.format(source=source))
        stream.write("".join(line + "\n" for line in runs))
    print("namespace %s" % data.get("namespace", "root/brocade"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
