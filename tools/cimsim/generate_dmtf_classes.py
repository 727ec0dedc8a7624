"""Writes scenarios/dmtf_classes.json from a real CIM server's GetClass answers.

    python3 tools/cimsim/generate_dmtf_classes.py [SCHEMA_DIR [OUTPUT]]

SCHEMA_DIR holds one answer per class (GetClass with LocalOnly false and qualifiers), by default
dmtf_declarations/ beside this file: the real OpenPegasus server's answers, copied. The output is a scenario fragment in cimsim's class format: each
class with only what it declares or overrides, so that cimsim's inheritance rebuilds the
answers. Before writing, every class is rebuilt that way and compared with its answer; a
difference is a failure, so the data cannot drift from what the server said.
"""

import json
import os
import sys
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from response_encoding import QUALIFIER_DECLARATIONS  # noqa: E402
from schema import build_classes  # noqa: E402

# What cimsim serves of a declaration: typing and shape, never prose. Description stays as an
# empty marker, because a client may take "the property carries a qualifier besides the typing
# ones" to mean "the server sends its declarations", as a server with full qualifiers does.
KEPT_QUALIFIERS = {"abstract", "arraytype", "association", "counter", "description",
                   "embeddedinstance", "embeddedobject", "key", "maxlen", "maxvalue", "minvalue",
                   "punit", "required", "umlpackagepath", "units", "valuemap", "values",
                   "version", "write"}
# What the module and wbemcli call; the rest of the schema's methods are left out.
KEPT_METHODS = {"rundiagnostic"}
SCALAR_TYPES = {"boolean": lambda text: text.upper() == "TRUE",
                "uint32": int, "sint64": int}


def qualifier_value(element):
    convert = SCALAR_TYPES.get(element.get("TYPE"), str)
    array = element.find("VALUE.ARRAY")
    if array is not None:
        return [convert(value.text or "") for value in array.findall("VALUE")]
    return convert(element.findtext("VALUE") or "")


def qualifiers_of(element, own_only):
    """name -> value of the kept qualifiers, in document order; own_only leaves out those the
    answer marks PROPAGATED, which cimsim's inheritance adds back."""
    kept = {}
    for qualifier in element.findall("QUALIFIER"):
        name = qualifier.get("NAME")
        if name.lower() not in KEPT_QUALIFIERS:
            continue
        if own_only and qualifier.get("PROPAGATED") == "true":
            continue
        kept[name] = "" if name.lower() == "description" else qualifier_value(qualifier)
    return kept


def type_of(element):
    if element.tag.endswith(".REFERENCE"):
        text = "reference" + (":" + element.get("REFERENCECLASS")
                              if element.get("REFERENCECLASS") else "")
    else:
        text = element.get("TYPE")
    return text + ("[]" if element.tag.endswith(".ARRAY") else "")


def default_of(element, cim_type):
    array = element.find("VALUE.ARRAY")
    texts = ([value.text or "" for value in array.findall("VALUE")] if array is not None
             else None if element.find("VALUE") is None else [element.findtext("VALUE") or ""])
    if texts is None:
        return None
    base = cim_type.rstrip("[]")
    convert = (SCALAR_TYPES["boolean"] if base == "boolean" else
               int if base.startswith(("uint", "sint")) else
               float if base.startswith("real") else str)
    values = [convert(text) for text in texts]
    return values if array is not None else values[0]


def read_class(file_name):
    document = ElementTree.parse(file_name)
    element = document.find(".//CLASS")
    definition = {}
    if element.get("SUPERCLASS"):
        definition["superclass"] = element.get("SUPERCLASS")
    definition["keys"] = []
    definition["qualifiers"] = qualifiers_of(element, own_only=True)
    properties = {}
    for prop in element:
        if not prop.tag.startswith("PROPERTY"):
            continue
        if any(q.get("NAME").lower() == "key" and qualifier_value(q) is True
               for q in prop.findall("QUALIFIER")):
            definition["keys"].append(prop.get("NAME"))
        if prop.get("PROPAGATED") == "true":
            continue
        declared = {"type": type_of(prop)}
        default = default_of(prop, declared["type"])
        if default is not None:
            declared["default"] = default
        qualifiers = qualifiers_of(prop, own_only=True)
        if qualifiers:
            declared["qualifiers"] = qualifiers
        properties[prop.get("NAME")] = declared
    # cimserver writes the key bindings of an instance name in name order.
    definition["keys"].sort(key=str.lower)
    definition["properties"] = properties
    methods = {}
    for method in element.findall("METHOD"):
        if method.get("NAME").lower() not in KEPT_METHODS or method.get("PROPAGATED") == "true":
            continue
        parameters = {}
        for parameter in method:
            if not parameter.tag.startswith("PARAMETER"):
                continue
            declared = {"type": type_of(parameter)}
            qualifiers = qualifiers_of(parameter, own_only=False)
            if qualifiers.pop("OUT", False):
                declared["out"] = True
            qualifiers.pop("IN", None)
            if qualifiers:
                declared["qualifiers"] = qualifiers
            parameters[parameter.get("NAME")] = declared
        methods[method.get("NAME")] = {"type": method.get("TYPE"),
                                       "qualifiers": qualifiers_of(method, own_only=False),
                                       "parameters": parameters}
    if methods:
        definition["methods"] = methods
    return element.get("NAME"), definition, element


def answer_view(element):
    """What cimsim must reproduce of one GetClass answer: properties in order with type,
    PROPAGATED and their kept qualifiers (name, PROPAGATED, value)."""
    def qualifiers(item):
        return [(q.get("NAME"), q.get("PROPAGATED") == "true",
                 "" if q.get("NAME").lower() == "description" else qualifier_value(q))
                for q in item.findall("QUALIFIER") if q.get("NAME").lower() in KEPT_QUALIFIERS]
    return (qualifiers(element),
            [(p.get("NAME"), type_of(p), p.get("PROPAGATED") == "true", qualifiers(p))
             for p in element if p.tag.startswith("PROPERTY")])


def rebuilt_view(cim_class):
    def qualifiers(item, propagated):
        return [(name, name.lower() in propagated, value) for name, value in item.qualifiers]
    view = []
    for declaration in cim_class.class_order:
        inherited = declaration.name.lower() not in cim_class.own
        type_text = declaration.cim_type + (":" + declaration.reference_class
                                            if declaration.reference_class else "")
        view.append((declaration.name, type_text + ("[]" if declaration.array else ""),
                     inherited, qualifiers(declaration, declaration.inherited_qualifiers)))
    return qualifiers(cim_class, cim_class.inherited_qualifiers), view


def write(classes, stream):
    """One line per property, so that a regenerated file diffs readably."""
    stream.write('{\n "comment": "Generated by tools/cimsim/generate_dmtf_classes.py from the '
                 'real server\'s GetClass answers; do not edit. Description qualifiers are kept '
                 'with empty texts as markers; see tools/cimsim/README.md.",\n "classes": {\n')
    for number, (name, definition) in enumerate(classes.items()):
        stream.write('  %s: {\n' % json.dumps(name))
        fields = []
        for field, value in definition.items():
            if field in ("properties", "methods"):
                lines = ['    %s: %s' % (json.dumps(item), json.dumps(declared))
                         for item, declared in value.items()]
                fields.append('   %s: {\n%s\n   }' % (json.dumps(field), ",\n".join(lines))
                              if lines else '   %s: {}' % json.dumps(field))
            else:
                fields.append('   %s: %s' % (json.dumps(field), json.dumps(value)))
        stream.write(",\n".join(fields))
        stream.write('\n  }%s\n' % ("," if number + 1 < len(classes) else ""))
    stream.write(' }\n}\n')


def main(arguments):
    if len(arguments) > 2:
        sys.stderr.write(__doc__)
        return 2
    here = os.path.dirname(os.path.abspath(__file__))
    if not arguments:
        arguments = [os.path.join(here, "dmtf_declarations")]
    output = arguments[1] if len(arguments) > 1 else os.path.join(
        here, "scenarios", "dmtf_classes.json")
    classes, answers = {}, {}
    for file_name in sorted(os.listdir(arguments[0])):
        if file_name.endswith(".xml"):
            name, definition, element = read_class(os.path.join(arguments[0], file_name))
            classes[name], answers[name] = definition, element
    # Superclasses first, so the file reads top down.
    ordered, depth = {}, {}

    def level(name):
        if name not in depth:
            superclass = classes[name].get("superclass")
            depth[name] = 0 if superclass is None else level(superclass) + 1
        return depth[name]
    for name in sorted(classes, key=lambda name: (level(name), name)):
        ordered[name] = classes[name]
    built = build_classes(json.loads(json.dumps(ordered)))
    mismatched = [name for name in ordered
                  if rebuilt_view(built[name.lower()]) != answer_view(answers[name])]
    if mismatched:
        sys.stderr.write("rebuilt classes differ from their answers: %s\n" %
                         ", ".join(mismatched))
        return 1
    with open(output, "w", encoding="utf-8") as stream:
        write(ordered, stream)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
