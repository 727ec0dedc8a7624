"""The fixed part of a scenario: its class tree and the settings that shape every answer,
read once at start-up from the scenario file and the files it includes.

The scenario's instances are the store's (store.py); its scripted runs, diagnostics.py's.
Everything a test wants to vary is data in the scenario file; see README.md for the format.
"""

import json
import os

from cim_paths import ALL_TYPES
from response_encoding import restricted


class ScenarioError(Exception):
    """The scenario file is unreadable or inconsistent; the message names the culprit."""


class PropertyDeclaration:
    def __init__(self, name, definition, origin):
        if isinstance(definition, str):
            definition = {"type": definition}
        type_text = definition.get("type", "string")
        self.name = name
        self.array = type_text.endswith("[]")
        type_text = type_text[:-2] if self.array else type_text
        self.reference_class = None
        if type_text.startswith("reference"):
            self.reference_class = type_text.partition(":")[2] or None
            type_text = "reference"
        if type_text not in ALL_TYPES:
            raise ScenarioError("property %s.%s has unknown type %r" % (origin, name, type_text))
        self.cim_type = type_text
        self.qualifiers = list((definition.get("qualifiers") or {}).items())
        # Lower-case names of the qualifiers an override took over from the declaration it
        # overrides; a class declaration marks them PROPAGATED.
        self.inherited_qualifiers = frozenset()
        self.default = definition.get("default")
        self.origin = origin

    def override(self, inherited):
        """Takes the place of `inherited` in a subclass: its class origin stays, and so do the
        inherited qualifiers this declaration does not restate."""
        self.origin = inherited.origin
        self.qualifiers, self.inherited_qualifiers = merge_qualifiers(inherited.qualifiers,
                                                                      self.qualifiers)


def merge_qualifiers(inherited, own):
    """The inherited qualifiers that `own` does not restate, then `own`, as cimserver lists
    them; and the lower-case names of the inherited ones kept. A restricted qualifier
    (TOSUBCLASS false, such as Abstract) stays with the class that states it."""
    restated = {name.lower() for name, _ in own}
    kept = [(name, value) for name, value in inherited
            if name.lower() not in restated and not restricted(name)]
    return kept + list(own), frozenset(name.lower() for name, _ in kept)


class MethodDeclaration:
    def __init__(self, name, definition, origin):
        self.name = name
        self.origin = origin
        self.return_type = definition.get("type", "uint32")
        self.qualifiers = list((definition.get("qualifiers") or {}).items())
        self.parameters = []
        for parameter_name, parameter_spec in (definition.get("parameters") or {}).items():
            if isinstance(parameter_spec, str):
                parameter_spec = {"type": parameter_spec}
            parameter = PropertyDeclaration(parameter_name, parameter_spec, origin)
            parameter.direction_out = bool(parameter_spec.get("out"))
            self.parameters.append(parameter)


class CimClass:
    def __init__(self, name, superclass):
        self.name = name
        self.superclass = superclass
        self.keys = []
        self.qualifiers = []
        self.inherited_qualifiers = frozenset()  # lower-case names, as on PropertyDeclaration
        # Declarations in the order cimserver lists a class's properties, in GetClass and on
        # instances: inherited ones first, then this class's own, overrides included.
        self.class_order = []
        self.methods = []  # in class order too
        self.own = set()  # lower-case names of the properties this class declares or overrides
        self.own_methods = set()  # the same for methods
        self.by_name = {}

    def find(self, name):
        return self.by_name.get(name.lower())

    def is_subclass_of(self, ancestor):
        cim_class = self
        while cim_class is not None:
            if cim_class is ancestor:
                return True
            cim_class = cim_class.superclass
        return False


def _merge(into, data):
    """Objects merge key by key and lists concatenate, so an including file can add classes
    and instances to those it includes."""
    for key, value in data.items():
        if isinstance(value, dict) and isinstance(into.get(key), dict):
            into[key].update(value)
        elif isinstance(value, list) and isinstance(into.get(key), list):
            into[key].extend(value)
        else:
            into[key] = value


def load_scenario(file_name, seen=frozenset()):
    """The scenario's JSON object, with the files it includes merged in first."""
    if file_name in seen:
        raise ScenarioError("%s includes itself" % file_name)
    seen = seen | {file_name}
    try:
        with open(file_name, encoding="utf-8") as stream:
            data = json.load(stream)
    except (OSError, ValueError) as error:
        raise ScenarioError("cannot read scenario %s: %s" % (file_name, error)) from None
    if not isinstance(data, dict):
        raise ScenarioError("scenario %s is not a JSON object" % file_name)
    merged = {}
    for include in data.pop("include", []):
        _merge(merged, load_scenario(os.path.join(os.path.dirname(file_name), include), seen))
    _merge(merged, data)
    return merged


def build_classes(specs):
    """The scenario's "classes" object as lower-case class name -> CimClass."""
    classes = {}
    by_lower = {name.lower(): name for name in specs}

    def build(name, chain):
        if name.lower() in classes:
            return classes[name.lower()]
        if name.lower() in chain:
            raise ScenarioError("class %s is its own ancestor" % name)
        definition = specs[by_lower[name.lower()]]
        superclass = None
        if definition.get("superclass"):
            if definition["superclass"].lower() not in by_lower:
                raise ScenarioError("class %s names unknown superclass %s" %
                                    (name, definition["superclass"]))
            superclass = build(by_lower[definition["superclass"].lower()], chain | {name.lower()})
        cim_class = CimClass(by_lower[name.lower()], superclass)
        if superclass:
            cim_class.keys = list(superclass.keys)
            cim_class.by_name = dict(superclass.by_name)
            cim_class.methods = list(superclass.methods)
        own_methods = []
        for method_name, method_spec in (definition.get("methods") or {}).items():
            method = MethodDeclaration(method_name, method_spec, cim_class.name)
            overridden = [inherited for inherited in cim_class.methods
                          if inherited.name.lower() == method_name.lower()]
            if overridden:
                method.origin = overridden[0].origin
                cim_class.methods.remove(overridden[0])
            cim_class.own_methods.add(method_name.lower())
            own_methods.append(method)
        cim_class.methods += own_methods
        own_properties = []
        for prop_name, prop_spec in (definition.get("properties") or {}).items():
            declaration = PropertyDeclaration(prop_name, prop_spec, cim_class.name)
            cim_class.own.add(prop_name.lower())
            inherited = cim_class.find(prop_name)
            if inherited is not None:
                declaration.override(inherited)
            cim_class.by_name[prop_name.lower()] = declaration
            own_properties.append(declaration)
        cim_class.class_order = [declaration for declaration in
                                 (superclass.class_order if superclass else [])
                                 if declaration.name.lower() not in cim_class.own]
        cim_class.class_order += own_properties
        if "keys" in definition:
            cim_class.keys = list(definition["keys"])
        cim_class.qualifiers, cim_class.inherited_qualifiers = merge_qualifiers(
            superclass.qualifiers if superclass else [],
            list((definition.get("qualifiers") or {}).items()))
        for key in cim_class.keys:
            if cim_class.find(key) is None:
                raise ScenarioError("class %s has key %s but no such property" % (name, key))
        classes[name.lower()] = cim_class
        return cim_class

    for name in specs:
        build(name, frozenset())
    return classes


class Schema:
    """The scenario's settings and class tree; nothing here changes after start-up."""

    def __init__(self, scenario_file, property_qualifiers=None):
        """property_qualifiers: True overrides the scenario's propertyQualifiers."""
        self.scenario_file = os.path.abspath(scenario_file)
        self.base_dir = os.path.dirname(self.scenario_file)
        data = load_scenario(self.scenario_file)
        self.data = data
        self.namespace = data.get("namespace", "root/brocade")
        self.reference_form = (data.get("referenceForm", "instancename").lower(),
                               data.get("host", "cimsim.invalid:5988"), self.namespace)
        if self.reference_form[0] not in ("instancename", "localinstancepath", "instancepath"):
            raise ScenarioError("referenceForm must be instancename, localinstancepath or "
                                "instancepath, not %r" % self.reference_form[0])
        self.property_qualifiers = property_qualifiers or data.get("propertyQualifiers", False)
        self.honour_local_only = data.get("honourLocalOnly", False)
        self.realm = data.get("realm", "cimsim")
        self.prerendered = {}
        for key, file_name in (data.get("prerendered") or {}).items():
            operation, _, class_name = key.partition(":")
            path = os.path.join(self.base_dir, file_name)
            if not os.path.isfile(path):
                raise ScenarioError("prerendered response %s for %s is not a file" % (path, key))
            self.prerendered[(operation.lower(), class_name.lower())] = path
        self.classes = build_classes(data.get("classes") or {})

    def class_named(self, name, where):
        """The class of that name; `where` names the part of the scenario that asks."""
        cim_class = self.classes.get(str(name).lower())
        if cim_class is None:
            raise ScenarioError("%s names unknown class %r" % (where, name))
        return cim_class

    def prerendered_file(self, operation, class_name):
        return self.prerendered.get((operation.lower(), (class_name or "").lower()))

