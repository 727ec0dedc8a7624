"""The scenario: its class tree, its instances, the scripted diagnostic runs, and the three
operations (EnumerateInstances, GetInstance, InvokeMethod) answered from them.

Everything a test wants to vary is data in the scenario file; see README.md for the format.
"""

import copy
import json
import os
import threading

from cimxml import (ALL_TYPES, CimError, Path, class_lines, instance_name_lines, instance_text,
                    intrinsic_result, named_instance_lines, pegasus_error,
                    reference_parameter_lines, return_value_lines, value_type_of_key)


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
    them; and the lower-case names of the inherited ones kept."""
    restated = {name.lower() for name, _ in own}
    kept = [(name, value) for name, value in inherited if name.lower() not in restated]
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
        # Declarations in instance order: inherited ones first, then this class's own; an
        # override keeps the place of the property it overrides.
        self.properties = []
        # The same in the order cimserver lists a class's properties: an override moves to
        # this class's own declarations.
        self.class_order = []
        self.methods = []  # in class order too
        self.own = set()  # lower-case names of the properties this class declares or overrides
        self.own_methods = set()  # the same for methods
        self.by_name = {}

    def find(self, name):
        return self.by_name.get(name.lower())

    def declare(self, declaration):
        """Adds a property, or replaces the inherited one of that name in its place."""
        inherited = self.find(declaration.name)
        if inherited is None:
            self.properties.append(declaration)
        else:
            self.properties[self.properties.index(inherited)] = declaration
        self.by_name[declaration.name.lower()] = declaration


class Instance:
    def __init__(self, cim_class, values, ident):
        self.cim_class = cim_class
        self.values = values  # property name as declared -> JSON value (references resolved)
        self.ident = ident
        self.path = None
        self.job = None  # set on jobs created by a diagnostic run
        self.rendered = {}  # INSTANCE texts by request flags; emptied when a value changes


class Job:
    def __init__(self, steps):
        self.steps = steps
        self.polls = 0


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


class Repository:
    def __init__(self, scenario_file, property_qualifiers=None):
        """property_qualifiers: True or False overrides the scenario's propertyQualifiers."""
        self.scenario_file = os.path.abspath(scenario_file)
        self.base_dir = os.path.dirname(self.scenario_file)
        self.lock = threading.RLock()
        data = self._load(self.scenario_file, set())
        self.data = data
        self.namespace = data.get("namespace", "root/brocade")
        self.reference_form = (data.get("referenceForm", "instancename").lower(),
                               data.get("host", "cimsim.invalid:5988"), self.namespace)
        if self.reference_form[0] not in ("instancename", "localinstancepath", "instancepath"):
            raise ScenarioError("referenceForm must be instancename, localinstancepath or "
                                "instancepath, not %r" % self.reference_form[0])
        self.property_qualifiers = (data.get("propertyQualifiers", True)
                                    if property_qualifiers is None else property_qualifiers)
        self.honour_local_only = data.get("honourLocalOnly", False)
        self.realm = data.get("realm", "cimsim")
        self.prerendered = {}
        for key, file_name in (data.get("prerendered") or {}).items():
            operation, _, class_name = key.partition(":")
            path = os.path.join(self.base_dir, file_name)
            if not os.path.isfile(path):
                raise ScenarioError("prerendered response %s for %s is not a file" % (path, key))
            self.prerendered[(operation.lower(), class_name.lower())] = path
        self.classes = {}
        self._build_classes(data.get("classes") or {})
        self.reset()
        self._check_runs()

    # -----------------------------------------------------------------------------------------
    # Loading

    def _load(self, file_name, seen):
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
            _merge(merged, self._load(os.path.join(os.path.dirname(file_name), include), seen))
        _merge(merged, data)
        return merged

    def _build_classes(self, specs):
        by_lower = {name.lower(): name for name in specs}

        def build(name, chain):
            if name.lower() in self.classes:
                return self.classes[name.lower()]
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
                cim_class.properties = list(superclass.properties)
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
                cim_class.declare(declaration)
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
            self.classes[name.lower()] = cim_class
            return cim_class

        for name in specs:
            build(name, frozenset())

    def reset(self):
        """Back to the scenario as loaded: static instances only, no jobs, fresh counters."""
        with self.lock:
            self.instances = []
            self.by_ident = {}
            pending = []
            for number, definition in enumerate(self.data.get("instances") or []):
                instance = self._instance_from_spec(definition, "instances[%d]" % number)
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
            self.runs = [dict(run, remaining=run.get("times")) for run in
                         (self.data.get("diagnosticRuns") or [])]
            self.job_counter = 0
            self.record_counter = 0

    def _check_runs(self):
        """Finds the mistakes of diagnosticRuns at start-up rather than at the first call."""
        for number, run in enumerate(self.data.get("diagnosticRuns") or []):
            where = "diagnosticRuns[%d]" % number
            for field in ("service", "element"):
                if field in run and run[field] not in self.by_ident:
                    raise ScenarioError("%s: %s %r is no instance id" % (where, field, run[field]))
            job = run.get("job")
            if job is not None:
                job_class = self._class(job.get("class", "CIM_ConcreteJob"), where)
                for step in job.get("steps") or []:
                    for name in step:
                        if name != "cimError" and job_class.find(name) is None:
                            raise ScenarioError("%s: a job step sets %s, which %s does not "
                                                "declare" % (where, name, job_class.name))
                self._instance_from_spec({"class": job_class.name,
                                          "properties": job.get("properties") or {}}, where)
            record = run.get("record")
            if record is not None:
                self._instance_from_spec(
                    {"class": record.get("class", "CIM_DiagnosticCompletionRecord"),
                     "properties": {name: value for name, value in record.items()
                                    if name != "class"}}, where)

    def _add_created(self, instance):
        """Adds a job or record; one with a fixed id replaces the instance of the same path."""
        self._resolve(instance)
        replaced = self.index.get(instance.path.identity())
        if replaced is not None:
            self.instances.remove(replaced)
        self.index[instance.path.identity()] = instance
        self.instances.append(instance)

    def _class(self, name, where):
        cim_class = self.classes.get(str(name).lower())
        if cim_class is None:
            raise ScenarioError("%s names unknown class %r" % (where, name))
        return cim_class

    def _instance_from_spec(self, definition, where):
        cim_class = self._class(definition.get("class"), where)
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
        for declaration in instance.cim_class.properties:
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
            known = self.classes.get(str(definition.get("class", "")).lower())
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
        if namespace.strip("/").lower() != self.namespace.lower():
            raise pegasus_error(3, namespace)

    def find_class(self, name):
        cim_class = self.classes.get((name or "").lower())
        if cim_class is None:
            raise pegasus_error(5, name)
        return cim_class

    @staticmethod
    def is_subclass(cim_class, ancestor):
        while cim_class is not None:
            if cim_class is ancestor:
                return True
            cim_class = cim_class.superclass
        return False

    def enumerate_instances(self, request):
        self.check_namespace(request.namespace)
        requested = self.find_class(request.params.get("classname"))
        params = request.params
        deep = params.get("deepinheritance", True) is not False
        with self.lock:
            out = []
            for instance in self.instances:
                if not self.is_subclass(instance.cim_class, requested):
                    continue
                # Like OpenPegasus, a shallow enumeration still returns subclass instances,
                # under their own class name but cut down to the requested class's properties.
                named_instance_lines(instance.path, self._instance_text(
                    instance, instance.cim_class if deep else requested, params), out,
                    self.reference_form)
        return intrinsic_result(out)

    def enumerate_instance_names(self, request):
        self.check_namespace(request.namespace)
        requested = self.find_class(request.params.get("classname"))
        with self.lock:
            out = []
            for instance in self.instances:
                if self.is_subclass(instance.cim_class, requested):
                    instance_name_lines(instance.path, out, self.reference_form)
        return intrinsic_result(out)

    def get_class(self, request):
        self.check_namespace(request.namespace)
        params = request.params
        name = params.get("classname")
        cim_class = self.classes.get((name or "").lower())
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
                    self.reference_form, out)
        return intrinsic_result(out)

    def get_instance(self, request):
        self.check_namespace(request.namespace)
        path = request.params.get("instancename")
        if not isinstance(path, Path):
            raise pegasus_error(4, "InstanceName")
        self.find_class(path.class_name)
        with self.lock:
            instance = self._find_instance(path)
            if instance.job is not None:
                self._advance_job(instance)
            return intrinsic_result([self._instance_text(instance, instance.cim_class,
                                                         request.params)])

    def _find_instance(self, path):
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
        local_only = self.honour_local_only and params.get("localonly", True) is not False
        flags = (shape.name, include_qualifiers, include_origin, local_only, wanted)
        text = instance.rendered.get(flags)
        if text is None:
            text = instance_text(instance, shape, include_qualifiers, include_origin, local_only,
                                 wanted, self.property_qualifiers, self.reference_form)
            instance.rendered[flags] = text
        return text

    # -----------------------------------------------------------------------------------------
    # Diagnostics

    def invoke_method(self, request):
        self.check_namespace(request.namespace)
        target = request.target
        self.find_class(target.class_name)
        with self.lock:
            if not any(run.get("method", "RunDiagnostic").lower() == request.name.lower()
                       for run in self.runs):
                raise pegasus_error(16, request.name)
            service = self._find_instance(target) if target.keys else None
            element_path = next((value for name, value in request.params.items()
                                 if name.lower() == "managedelement"), None)
            if not isinstance(element_path, Path):
                raise pegasus_error(4, "ManagedElement")
            run = self._pick_run(request.name, service, element_path)
            if run is None:
                raise pegasus_error(1, "no diagnosticRuns entry of the scenario is left for %s "
                                       "on %s" % (request.name, target.text()))
            return self._start_run(run)

    def _pick_run(self, method, service, element_path):
        for run in self.runs:
            if run.get("method", "RunDiagnostic").lower() != method.lower():
                continue
            if run["remaining"] is not None and run["remaining"] <= 0:
                continue
            if "service" in run and (service is None or service.ident != run["service"]):
                continue
            if "element" in run:
                element = self.by_ident.get(run["element"])
                if element is None or not isinstance(element_path, Path) or \
                        not element.path.same_instance(element_path):
                    continue
            if run["remaining"] is not None:
                run["remaining"] -= 1
            return run
        return None

    def _start_run(self, run):
        out = []
        return_value_lines(run.get("returnValue", 0), run.get("outParameters") or [], out)
        job_spec = run.get("job")
        job_id = None
        if job_spec is not None:
            self.job_counter += 1
            job_class = self._class(job_spec.get("class", "CIM_ConcreteJob"), "diagnosticRuns")
            job_id = job_spec.get("InstanceID") or "%s%d" % (
                self.data.get("jobIdPrefix", "CIMSIM:Job:"), self.job_counter)
            values = {"InstanceID": job_id}
            values.update(job_spec.get("properties") or {})
            job = self._instance_from_spec({"class": job_class.name, "properties": values},
                                           "diagnosticRuns job")
            job.job = Job(job_spec.get("steps") or [{"JobState": 7, "PercentComplete": 100}])
            self._apply_step(job, job.job.steps[0])
            self._add_created(job)
            reference_parameter_lines("Job", job.path, out, self.reference_form)
        record_spec = run.get("record", {} if job_spec is not None else None)
        if record_spec is not None:
            self.record_counter += 1
            values = {"InstanceID": job_id or "%s%d" % (
                self.data.get("recordIdPrefix", "CIMSIM:Record:"), self.record_counter)}
            values.update({name: value for name, value in record_spec.items() if name != "class"})
            record = self._instance_from_spec(
                {"class": record_spec.get("class", "CIM_DiagnosticCompletionRecord"),
                 "properties": values}, "diagnosticRuns record")
            self._add_created(record)
        return out

    @staticmethod
    def _apply_step(job, step):
        job.rendered.clear()
        for name, value in step.items():
            if name != "cimError":
                job.values[job.cim_class.find(name).name] = value

    def _advance_job(self, instance):
        """One poll: the job takes the next scripted step (the last one repeats)."""
        job = instance.job
        step = job.steps[min(job.polls, len(job.steps) - 1)]
        job.polls += 1
        self._apply_step(instance, step)
        if "cimError" in step:
            raise CimError(step["cimError"].get("code", 1), step["cimError"].get("description", ""))

    def path_of(self, ident):
        instance = self.by_ident.get(ident)
        return instance.path if instance else None

    def prerendered_file(self, operation, class_name):
        return self.prerendered.get((operation.lower(), (class_name or "").lower()))

