"""Scripted diagnostic runs: InvokeMethod takes the first diagnosticRuns entry of the scenario
that matches and has uses left, and may add a job, whose state advances each time GetInstance
polls it, and a completion record to the store.
"""

from cim_paths import CimError, Path, pegasus_error
from response_encoding import reference_parameter_lines, return_value_lines
from schema import ScenarioError


class Job:
    """The script of a job instance: it shows its first step when created, poll n applies step
    n, and the last step repeats for ever."""

    def __init__(self, instance, steps):
        self.instance = instance
        self.steps = steps
        self.polls = 0
        self._apply(steps[0])

    def _apply(self, step):
        self.instance.rendered.clear()
        for name, value in step.items():
            if name != "cimError":
                self.instance.values[self.instance.cim_class.find(name).name] = value

    def poll(self):
        step = self.steps[min(self.polls, len(self.steps) - 1)]
        self.polls += 1
        self._apply(step)
        if "cimError" in step:
            raise CimError(step["cimError"].get("code", 1), step["cimError"].get("description", ""))


class DiagnosticRuns:
    """The scenario's diagnosticRuns with the uses each has left; they share the store's lock,
    since a run adds to the store."""

    def __init__(self, store):
        self.store = store
        self.schema = store.schema
        self._check_runs()
        self.reset()

    def reset(self):
        """Every entry's uses back, and the job and record counters from 1 again."""
        with self.store.lock:
            self.runs = [dict(run, remaining=run.get("times")) for run in
                         (self.schema.data.get("diagnosticRuns") or [])]
            self.job_counter = 0
            self.record_counter = 0

    def _check_runs(self):
        """Finds the mistakes of diagnosticRuns at start-up rather than at the first call."""
        for number, run in enumerate(self.schema.data.get("diagnosticRuns") or []):
            where = "diagnosticRuns[%d]" % number
            for field in ("service", "element"):
                if field in run and run[field] not in self.store.by_ident:
                    raise ScenarioError("%s: %s %r is no instance id" %
                                        (where, field, run[field]))
            job = run.get("job")
            if job is not None:
                job_class = self.schema.class_named(job.get("class", "CIM_ConcreteJob"), where)
                for step in job.get("steps") or []:
                    for name in step:
                        if name != "cimError" and job_class.find(name) is None:
                            raise ScenarioError("%s: a job step sets %s, which %s does not "
                                                "declare" % (where, name, job_class.name))
                self.store.instance_from_spec({"class": job_class.name,
                                               "properties": job.get("properties") or {}}, where)
            record = run.get("record")
            if record is not None:
                self.store.instance_from_spec(
                    {"class": record.get("class", "CIM_DiagnosticCompletionRecord"),
                     "properties": {name: value for name, value in record.items()
                                    if name != "class"}}, where)

    def invoke_method(self, request):
        self.store.check_namespace(request.namespace)
        target = request.target
        self.store.find_class(target.class_name)
        with self.store.lock:
            if not any(run.get("method", "RunDiagnostic").lower() == request.name.lower()
                       for run in self.runs):
                raise pegasus_error(16, request.name)
            service = self.store.find_instance(target) if target.keys else None
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
                element = self.store.by_ident.get(run["element"])
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
            job_class = self.schema.class_named(job_spec.get("class", "CIM_ConcreteJob"),
                                                "diagnosticRuns")
            job_id = job_spec.get("InstanceID") or "%s%d" % (
                self.schema.data.get("jobIdPrefix", "CIMSIM:Job:"), self.job_counter)
            values = {"InstanceID": job_id}
            values.update(job_spec.get("properties") or {})
            job = self.store.instance_from_spec({"class": job_class.name, "properties": values},
                                                "diagnosticRuns job")
            job.job = Job(job, job_spec.get("steps") or
                          [{"JobState": 7, "PercentComplete": 100}])
            self.store.add_created(job)
            reference_parameter_lines("Job", job.path, out, self.schema.reference_form)
        record_spec = run.get("record", {} if job_spec is not None else None)
        if record_spec is not None:
            self.record_counter += 1
            values = {"InstanceID": job_id or "%s%d" % (
                self.schema.data.get("recordIdPrefix", "CIMSIM:Record:"), self.record_counter)}
            values.update({name: value for name, value in record_spec.items() if name != "class"})
            record = self.store.instance_from_spec(
                {"class": record_spec.get("class", "CIM_DiagnosticCompletionRecord"),
                 "properties": values}, "diagnosticRuns record")
            self.store.add_created(record)
        return out
