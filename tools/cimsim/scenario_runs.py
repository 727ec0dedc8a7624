"""The diagnostic runs of a cimsim scenario as a table for the real server's test diagnostic
provider (tools/openpegasus-provider/diagnostic_provider.cpp): one line a run, which the provider follows
so that a real server answers RunDiagnostic as the simulator does. scenario_mof.py writes it
beside the estate's MOF."""

from schema import ScenarioError

TSV_HEADER = """\
# Diagnostic runs for the real server's test provider, written by scenario_mof.py from {source}.
# One run a line, fields separated by tabs; the first line that matches a call is taken:
#   method, service Name key, element DeviceID key ('*': any), return value,
#   job class ('-': no job), record class ('-': no record), then assignments:
#   job.Prop=V (the job as its last poll leaves it), record.Prop=V, out.Name:type=V.
# V: '%XX' escapes for '%', tab, line ends and ','; an array is Prop[]=a,b; booleans true/false.
# Not carried: times (every line can be taken again), polls that fail (cimError steps), the
# job's earlier states, jobIdPrefix/recordIdPrefix (the provider names jobs and records itself).
"""


def fail(message):
    raise ScenarioError(message)


def tsv_value(value):
    text = ("true" if value else "false") if isinstance(value, bool) else str(value)
    return "".join("%%%02X" % ord(char) if char in "%\t\r\n," else char for char in text)


def assignment(scope, name, value, where):
    if isinstance(value, list):
        if any(isinstance(item, (list, dict)) or item is None for item in value):
            fail("%s: %s.%s holds nested or null elements" % (where, scope, name))
        return "%s.%s[]=%s" % (scope, name, ",".join(tsv_value(item) for item in value))
    if isinstance(value, dict):
        fail("%s: %s.%s is an object, which the run table cannot hold" % (where, scope, name))
    return "%s.%s=%s" % (scope, name, tsv_value(value))


def run_lines(writer):
    """One table line per diagnostic run, in the scenario's order."""
    lines = []
    for number, run in enumerate(writer.data.get("diagnosticRuns") or []):
        where = "diagnosticRuns[%d]" % number
        fields = [run.get("method", "RunDiagnostic")]
        for part, key in (("service", "Name"), ("element", "DeviceID")):
            if part not in run:
                fields.append("*")
                continue
            instance = writer.by_ident.get(run[part])
            if instance is None:
                fail("%s: %s %r is no instance id" % (where, part, run[part]))
            cim_class = writer.cim_class(instance["class"], where)
            values = {name.lower(): value for name, value in
                      (instance.get("properties") or {}).items()}
            if key.lower() not in (k.lower() for k in cim_class.keys) or \
                    not isinstance(values.get(key.lower()), str) or \
                    "\t" in values[key.lower()] or values[key.lower()] == "*":
                fail("%s: the provider tells the %s by its %s key, which %s lacks" %
                     (where, part, key, run[part]))
            fields.append(values[key.lower()])
        return_value = run.get("returnValue", 0)
        if isinstance(return_value, bool) or not isinstance(return_value, int) or \
                not 0 <= return_value < 2**32:
            fail("%s: returnValue %r is no uint32" % (where, return_value))
        fields.append(str(return_value))
        job = run.get("job")
        record = run.get("record", {} if job is not None else None)
        fields.append(job.get("class", "CIM_ConcreteJob") if job is not None else "-")
        fields.append(record.get("class", "CIM_DiagnosticCompletionRecord")
                      if record is not None else "-")
        for part, cim_class_name, names in (
                ("job", fields[-2], set(job.get("properties") or {}).union(
                    *(step for step in job.get("steps") or [])) if job is not None else ()),
                ("record", fields[-1], record or ())):
            for name in names:
                if name not in ("class", "cimError") and \
                        writer.cim_class(cim_class_name, where).find(name) is None:
                    fail("%s: the %s sets %s, which %s does not declare" %
                         (where, part, name, cim_class_name))
        if job is not None:
            state = {}
            if job.get("InstanceID"):
                state["InstanceID"] = job["InstanceID"]
            state.update(job.get("properties") or {})
            steps = job.get("steps") or [{"JobState": 7, "PercentComplete": 100}]
            for step in steps:
                state.update({name: value for name, value in step.items() if name != "cimError"})
            for name, value in state.items():
                if value is not None:
                    fields.append(assignment("job", name, value, where))
        if record is not None:
            for name, value in record.items():
                if name != "class" and value is not None:
                    fields.append(assignment("record", name, value, where))
        for parameter in run.get("outParameters") or []:
            if isinstance(parameter.get("value"), list) or parameter.get("value") is None:
                fail("%s: out-parameter %s is an array or null, which the run table cannot "
                     "hold" % (where, parameter.get("name")))
            fields.append("out.%s:%s=%s" % (parameter["name"], parameter.get("type", "string"),
                                            tsv_value(parameter["value"])))
        lines.append("\t".join(fields))
    return lines
