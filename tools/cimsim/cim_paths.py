"""CIM types, errors and object paths of the simulator, and the path elements of its answers
(INSTANCENAME, LOCALINSTANCEPATH, INSTANCEPATH), written as OpenPegasus's cimserver writes them.
"""

NUMERIC_TYPES = {"uint8", "sint8", "uint16", "sint16", "uint32", "sint32", "uint64", "sint64",
                 "real32", "real64"}
STRING_TYPES = {"string", "char16", "datetime"}
ALL_TYPES = NUMERIC_TYPES | STRING_TYPES | {"boolean", "reference"}


class CimError(Exception):
    """A CIM status that an operation answers with (code and the server's description)."""

    def __init__(self, code, description):
        super().__init__(description)
        self.code = code
        self.description = description


CODE_NAMES = {
    1: "CIM_ERR_FAILED", 2: "CIM_ERR_ACCESS_DENIED", 3: "CIM_ERR_INVALID_NAMESPACE",
    4: "CIM_ERR_INVALID_PARAMETER", 5: "CIM_ERR_INVALID_CLASS", 6: "CIM_ERR_NOT_FOUND",
    7: "CIM_ERR_NOT_SUPPORTED", 16: "CIM_ERR_METHOD_NOT_AVAILABLE",
    17: "CIM_ERR_METHOD_NOT_FOUND",
}


def pegasus_error(code, detail):
    """An error worded as OpenPegasus's server words it: the code name, a colon, the detail."""
    return CimError(code, "%s: %s" % (CODE_NAMES.get(code, "CIM_ERR_FAILED"), detail))


def escape(text):
    if not any(special in text for special in '&<>"'):
        return text
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def value_type_of_key(cim_type):
    if cim_type == "reference":
        return "reference"
    if cim_type == "boolean":
        return "boolean"
    if cim_type in NUMERIC_TYPES:
        return "numeric"
    return "string"


def scalar_text(cim_type, value):
    """Wire text of one scalar value as the scenario gives it (JSON number, bool or text)."""
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, float) and cim_type in ("real32", "real64"):
        return repr(value)
    return str(value)


class Path:
    """An instance path: class name, typed key bindings, and optionally host and namespace.

    Key values are (value_type, value) with value_type one of string, numeric, boolean and
    reference; a reference value is itself a Path.
    """

    def __init__(self, class_name, keys=None, host=None, namespace=None):
        self.class_name = class_name
        self.keys = list(keys or [])
        self.host = host
        self.namespace = namespace
        self.form = None  # a path form of its own, for references written unlike the others

    def sorted_keys(self):
        # OpenPegasus orders key bindings by name with ASCII case folding.
        return sorted(self.keys, key=lambda key: key[0].lower())

    def text(self, with_location=False):
        """The path text as the OpenPegasus client prints it: without host and namespace,
        except that a reference key keeps those of the path it holds."""
        location = ""
        if with_location and self.host:
            location = "//%s/%s:" % (self.host, self.namespace or "")
        elif with_location and self.namespace:
            location = "%s:" % self.namespace
        if not self.keys:
            return location + self.class_name
        parts = []
        for name, value_type, value in self.sorted_keys():
            if value_type == "reference":
                parts.append('%s="%s"' % (name, _quote(value.text(True))))
            elif value_type == "string":
                parts.append('%s="%s"' % (name, _quote(value)))
            else:
                parts.append("%s=%s" % (name, value))
        return "%s%s.%s" % (location, self.class_name, ",".join(parts))

    def identity(self):
        """A hashable value equal for paths that name one instance: class and key names
        without case, numbers by value, booleans without case, references by their own
        identity; host and namespace do not count."""
        return (self.class_name.lower(),
                tuple(sorted((name.lower(), _key_identity(value_type, value))
                             for name, value_type, value in self.keys)))

    def same_instance(self, other):
        return self.identity() == other.identity()

    def key(self, name):
        for key_name, _value_type, value in self.keys:
            if key_name.lower() == name.lower():
                return value
        return None


def _quote(text):
    return text.replace("\\", "\\\\").replace('"', '\\"')


def _key_identity(value_type, value):
    if isinstance(value, Path):
        return value.identity()
    if value_type == "boolean":
        return str(value).lower()
    if value_type == "numeric":
        try:
            return str(int(str(value), 0))
        except ValueError:
            pass
    return str(value)


# ---------------------------------------------------------------------------------------------
# Encoding


def instance_name_lines(path, out, reference_form=("instancename", None, None)):
    """INSTANCENAME; reference keys are written in reference_form (form, host, namespace)."""
    out.append('<INSTANCENAME CLASSNAME="%s">' % path.class_name)
    for name, value_type, value in path.sorted_keys():
        out.append('<KEYBINDING NAME="%s">' % name)
        if value_type == "reference":
            reference_lines(value, out, *reference_form)
        else:
            out.append('<KEYVALUE VALUETYPE="%s">%s</KEYVALUE>' % (value_type, escape(str(value))))
        out.append("</KEYBINDING>")
    out.append("</INSTANCENAME>")


def namespace_lines(namespace, out):
    out.append("<LOCALNAMESPACEPATH>")
    for part in namespace.split("/"):
        out.append('<NAMESPACE NAME="%s"/>' % part)
    out.append("</LOCALNAMESPACEPATH>")


def reference_lines(path, out, form, host=None, namespace=None):
    """VALUE.REFERENCE in one of the three path forms a server may write.

    The form and the host/namespace of the path itself win over the defaults passed in.
    """
    form = path.form or form
    host = path.host or host
    namespace = path.namespace or namespace
    out.append("<VALUE.REFERENCE>")
    if form == "instancepath":
        out.append("<INSTANCEPATH>")
        out.append("<NAMESPACEPATH>")
        out.append("<HOST>%s</HOST>" % escape(host or "localhost"))
        namespace_lines(namespace or "root/brocade", out)
        out.append("</NAMESPACEPATH>")
        instance_name_lines(path, out, (form, host, namespace))
        out.append("</INSTANCEPATH>")
    elif form == "localinstancepath":
        out.append("<LOCALINSTANCEPATH>")
        namespace_lines(namespace or "root/brocade", out)
        instance_name_lines(path, out, (form, host, namespace))
        out.append("</LOCALINSTANCEPATH>")
    else:
        instance_name_lines(path, out, (form, host, namespace))
    out.append("</VALUE.REFERENCE>")
