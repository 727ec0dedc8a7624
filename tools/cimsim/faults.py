"""Fault rules: which request misbehaves, how, and how many times.

A rule comes from the scenario's "faults" list or from a POST to /control. The first rule
that matches a request and still has occurrences left decides what happens to it.
"""

import threading

ACTIONS = ("cimError", "delay", "drop", "malformed", "httpStatus", "connectionClose")


class FaultError(Exception):
    pass


class Fault:
    def __init__(self, rule, resolve_ident):
        if not isinstance(rule, dict):
            raise FaultError("a fault rule must be a JSON object, not %r" % (rule,))
        selectors = {"operation", "class", "method", "keys", "ref", "element", "skip", "times",
                     "headers", "comment"}
        unknown = set(rule) - set(ACTIONS) - selectors
        if unknown:
            raise FaultError("fault rule has unknown fields: %s" % ", ".join(sorted(unknown)))
        if not any(action in rule for action in ACTIONS):
            raise FaultError("fault rule names no action (one of %s)" % ", ".join(ACTIONS))
        if rule.get("drop") not in (None, "before", "mid"):
            raise FaultError('"drop" must be "before" or "mid"')
        self.rule = rule
        self.skip = int(rule.get("skip", 0))
        self.remaining = rule.get("times")
        self.path = self._resolve(rule, "ref", resolve_ident)
        self.element = self._resolve(rule, "element", resolve_ident)

    @staticmethod
    def _resolve(rule, field, resolve_ident):
        if field not in rule:
            return None
        path = resolve_ident(rule[field])
        if path is None:
            raise FaultError("fault rule field %r names unknown id %r" % (field, rule[field]))
        return path

    def matches(self, operation, class_name, method, path, element=None):
        rule = self.rule
        if "operation" in rule and rule["operation"].lower() != operation.lower():
            return False
        if "class" in rule and rule["class"].lower() != (class_name or "").lower():
            return False
        if "method" in rule and rule["method"].lower() != (method or "").lower():
            return False
        if self.path is not None and (path is None or not self.path.same_instance(path)):
            return False
        if self.element is not None and (element is None or
                                         not self.element.same_instance(element)):
            return False
        for name, value in (rule.get("keys") or {}).items():
            if path is None or path.key(name) is None or str(path.key(name)) != str(value):
                return False
        return True


class FaultBook:
    def __init__(self, resolve_ident):
        self.resolve_ident = resolve_ident
        self.lock = threading.Lock()
        self.faults = []

    def add(self, specs):
        faults = [Fault(rule, self.resolve_ident) for rule in specs]
        with self.lock:
            self.faults.extend(faults)
            return len(self.faults)

    def clear(self):
        with self.lock:
            self.faults = []

    def take(self, operation, class_name, method, path, element=None):
        """The rule that applies to this request, with its count used up; None if none."""
        with self.lock:
            for fault in self.faults:
                if fault.remaining is not None and fault.remaining <= 0:
                    continue
                if not fault.matches(operation, class_name, method, path, element):
                    continue
                if fault.skip > 0:
                    fault.skip -= 1
                    continue
                if fault.remaining is not None:
                    fault.remaining -= 1
                return fault.rule
        return None
