"""The instances of a scenario and the intrinsic operations answered from them:
EnumerateInstances, EnumerateInstanceNames, GetInstance and GetClass.

Diagnostic runs (diagnostics.py) add jobs and completion records; a reset brings back the
scenario's own instances.
"""

import copy
import threading

from cim_paths import Path, instance_name_lines, pegasus_error, value_type_of_key
from response_encoding import class_lines, instance_text, intrinsic_result, named_instance_lines
from schema import ScenarioError


class Instance:
    def __init__(self, cim_class, values, ident):
        self.cim_class = cim_class
        self.values = values  # property name as declared -> JSON value (references resolved)
        self.ident = ident
        self.path = None
        self.job = None  # the script of a job made by a diagnostic run; GetInstance polls it
        self.rendered = {}  # INSTANCE texts by request flags; emptied when a value changes


class Store:
    """The instances served, looked up by path and by scenario id; every change and every read
    that must see one state holds `lock`."""

    def __init__(self, schema):
        self.schema = schema
        # Reentrant: a control reset holds it across this store's reset and the runs' reset.
        self.lock = threading.RLock()
        self.reset()

    def reset(self):
        """Back to the scenario as loaded: its own instances only, no jobs or records."""
        with self.lock:
            self.instances = []
            self.by_ident = {}
            pending = []
            for number, definition in enumerate(self.schema.data.get("instances") or []):
                instance = self.instance_from_spec(definition, "instances[%d]" % number)
                if instance.ident:
                    if instance.ident in self.by_ident:
                        raise ScenarioError("two instances have the id %r" % instance.ident)
                    self.by_ident[instance.ident] = instance
                pending.append(instance)
            self.index = {}
            for instance in pending:
                self._resolve(instance)
                if instance.path.identity() in self.index:
                    raise ScenarioError("two instances have the path %s" % instance.path.text())
                self.index[instance.path.identity()] = instance
                self.instances.append(instance)

    def add_created(self, instance):
        """Adds a job or record; one with a fixed id replaces the instance of the same path."""
        self._resolve(instance)
        replaced = self.index.get(instance.path.identity())
        if replaced is not None:
            self.instances.remove(replaced)
        self.index[instance.path.identity()] = instance
        self.instances.append(instance)

    def instance_from_spec(self, definition, where):
        cim_class = self.schema.class_named(definition.get("class"), where)
        values = {}
        for name, value in (definition.get("properties") or {}).items():
            declaration = cim_class.find(name)
            if declaration is None:
                raise ScenarioError("%s sets %s, which class %s does not declare" %
                                    (where, name, cim_class.name))
            values[declaration.name] = value
        return Instance(cim_class, values, definition.get("id"))

    def _resolve(self, instance):
        """Computes the instance's path and turns its reference specs into Paths."""
        self._path_of(instance, ())
        for declaration in instance.cim_class.class_order:
            value = instance.values.get(declaration.name)
            if declaration.cim_type == "reference" and value is not None:
                instance.values[declaration.name] = self._reference(value, instance, ())

    def _path_of(self, instance, chain):
        # chain holds the instances whose keys are being resolved: a reference key that leads
        # back to one of them would never end.
        if instance.path is not None:
            return instance.path
        if any(instance is seen for seen in chain):
            raise ScenarioError("instance %s is part of a cycle of reference keys" %
                                (instance.ident or instance.cim_class.name))
        keys = []
        for key in instance.cim_class.keys:
            declaration = instance.cim_class.find(key)
            value = instance.values.get(declaration.name, declaration.default)
            if value is None:
                raise ScenarioError("instance %s of %s has no value for key %s" %
                                    (instance.ident or "?", instance.cim_class.name, key))
            if declaration.cim_type == "reference":
                value = self._reference(value, instance, chain + (instance,))
                instance.values[declaration.name] = value
            elif isinstance(value, bool):
                value = "TRUE" if value else "FALSE"
            keys.append((declaration.name, value_type_of_key(declaration.cim_type),
                         value if isinstance(value, Path) else str(value)))
        instance.path = Path(instance.cim_class.name, keys)
        return instance.path

    def _reference(self, definition, owner, chain):
        if isinstance(definition, Path):
            return definition
        if isinstance(definition, str):
            definition = {"ref": definition}
        if "ref" in definition:
            target = self.by_ident.get(definition["ref"])
            if target is None:
                raise ScenarioError("instance %s refers to unknown id %r" %
                                    (owner.ident or owner.cim_class.name, definition["ref"]))
            path = copy.copy(self._path_of(target, chain))
        else:
            keys = []
            known = self.schema.classes.get(str(definition.get("class", "")).lower())
            for name, value in (definition.get("keys") or {}).items():
                declaration = known.find(name) if known else None
                if declaration is not None:
                    value_type = value_type_of_key(declaration.cim_type)
                elif isinstance(value, bool):
                    value_type = "boolean"
                elif isinstance(value, (int, float)):
                    value_type = "numeric"
                elif isinstance(value, dict):
                    value_type = "reference"
                else:
                    value_type = "string"
                if value_type == "reference":
                    value = self._reference(value, owner, chain)
                elif isinstance(value, bool):
                    value = "TRUE" if value else "FALSE"
                keys.append((name, value_type, value if isinstance(value, Path) else str(value)))
            path = Path(definition.get("class", ""), keys)
        path.host = definition.get("host")
        path.namespace = definition.get("namespace")
        path.form = definition.get("form")
        return path

    # -----------------------------------------------------------------------------------------
    # Operations

    def check_namespace(self, namespace):
        if namespace.strip("/").lower() != self.schema.namespace.lower():
            raise pegasus_error(3, namespace)

    def find_class(self, name):
        cim_class = self.schema.classes.get((name or "").lower())
        if cim_class is None:
            raise pegasus_error(5, name)
        return cim_class

    def enumerate_instances(self, request):
        self.check_namespace(request.namespace)
        requested = self.find_class(request.params.get("classname"))
        params = request.params
        deep = params.get("deepinheritance", True) is not False
        with self.lock:
            out = []
            for instance in self.instances:
                if not instance.cim_class.is_subclass_of(requested):
                    continue
                # Like OpenPegasus, a shallow enumeration still returns subclass instances,
                # under their own class name but cut down to the requested class's properties.
                named_instance_lines(instance.path, self._instance_text(
                    instance, instance.cim_class if deep else requested, params), out,
                    self.schema.reference_form)
        return intrinsic_result(out)

    def enumerate_instance_names(self, request):
        self.check_namespace(request.namespace)
        requested = self.find_class(request.params.get("classname"))
        with self.lock:
            out = []
            for instance in self.instances:
                if instance.cim_class.is_subclass_of(requested):
                    instance_name_lines(instance.path, out, self.schema.reference_form)
        return intrinsic_result(out)

    def get_class(self, request):
        self.check_namespace(request.namespace)
        params = request.params
        name = params.get("classname")
        cim_class = self.schema.classes.get((name or "").lower())
        if cim_class is None:
            # Not CIM_ERR_INVALID_CLASS as for instance operations: cimserver answers
            # GetClass of an unknown class with CIM_ERR_NOT_FOUND.
            raise pegasus_error(6, name)
        wanted = params.get("propertylist")
        wanted = None if wanted is None else frozenset(wanted_name.lower()
                                                       for wanted_name in wanted)
        out = []
        class_lines(cim_class, params.get("localonly", True) is not False,
                    params.get("includequalifiers", True) is not False,
                    params.get("includeclassorigin", False) is True, wanted,
                    self.schema.reference_form, out)
        return intrinsic_result(out)

    def get_instance(self, request):
        self.check_namespace(request.namespace)
        path = request.params.get("instancename")
        if not isinstance(path, Path):
            raise pegasus_error(4, "InstanceName")
        self.find_class(path.class_name)
        with self.lock:
            instance = self.find_instance(path)
            if instance.job is not None:
                instance.job.poll()
            return intrinsic_result([self._instance_text(instance, instance.cim_class,
                                                         request.params)])

    def find_instance(self, path):
        instance = self.index.get(path.identity())
        if instance is None:
            raise pegasus_error(6, path.text())
        return instance

    def _instance_text(self, instance, shape, params):
        """INSTANCE of `instance` with the properties of class `shape`."""
        include_qualifiers = params.get("includequalifiers", False) is True
        include_origin = params.get("includeclassorigin", False) is True
        wanted = params.get("propertylist")
        wanted = None if wanted is None else frozenset(name.lower() for name in wanted)
        # OpenPegasus ignores LocalOnly=TRUE on instances; a scenario may ask for the DMTF
        # meaning instead: only the properties the class itself declares or overrides.
        local_only = (self.schema.honour_local_only and
                      params.get("localonly", True) is not False)
        flags = (shape.name, include_qualifiers, include_origin, local_only, wanted)
        text = instance.rendered.get(flags)
        if text is None:
            text = instance_text(instance, shape, include_qualifiers, include_origin, local_only,
                                 wanted, self.schema.property_qualifiers,
                                 self.schema.reference_form)
            instance.rendered[flags] = text
        return text

    def path_of(self, ident):
        instance = self.by_ident.get(ident)
        return instance.path if instance else None
