"""The journal: one JSON line for each request, which tests read to see what a client sent."""

import json
import threading

from cim_paths import Path


class Journal:
    def __init__(self, file_name):
        self.lock = threading.Lock()
        self.stream = open(file_name, "a", encoding="utf-8") if file_name else None

    def write(self, entry):
        if self.stream is None:
            return
        with self.lock:
            self.stream.write(json.dumps(entry, sort_keys=True) + "\n")
            self.stream.flush()


# Parameters that shape an intrinsic operation's answer; the journal keeps those a request
# carried, so that a test tells a flag left at its default from one sent as false.
REQUEST_FLAGS = ("LocalOnly", "DeepInheritance", "IncludeQualifiers", "IncludeClassOrigin",
                 "PropertyList")


def describe(request, entry):
    """The class, instance path and ManagedElement a request is about, also noted in the
    journal entry; fault rules select on them."""
    entry.update({"operation": request.name, "namespace": request.namespace,
                  "messageId": request.message_id})
    element = None
    if request.intrinsic:
        path = request.params.get("instancename")
        path = path if isinstance(path, Path) else None
        class_name = path.class_name if path else request.params.get("classname")
        class_name = class_name if isinstance(class_name, str) else None
    else:
        path = request.target
        class_name = path.class_name
        entry.update({"operation": "InvokeMethod", "method": request.name})
        element = next((value for name, value in request.params.items()
                        if name.lower() == "managedelement"), None)
        if isinstance(element, Path):
            entry["element"] = element.text(True)
        else:
            element = None
    if class_name:
        entry["class"] = class_name
    if path is not None:
        entry["path"] = path.text()
    if request.intrinsic:
        entry["flags"] = {name: request.params[name.lower()] for name in REQUEST_FLAGS
                          if name.lower() in request.params}
    return class_name, path, element
