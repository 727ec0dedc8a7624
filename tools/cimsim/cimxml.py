"""CIM-XML pieces of the simulator: object paths, request decoding and response encoding.

The encoder writes what OpenPegasus's cimserver writes (one element per line, its attribute
order and spacing), so that a client tested here meets the same bytes as in the field.
"""

import functools
import xml.etree.ElementTree as ElementTree

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


# Types and flavor attributes of the standard qualifiers, as cimserver writes them; a
# qualifier not named here is a string (or a boolean, for a JSON boolean) without flavors.
QUALIFIER_DECLARATIONS = {
    "abstract": ("boolean", ' TOSUBCLASS="false"'),
    "arraytype": ("string", ' OVERRIDABLE="false"'),
    "association": ("boolean", ' OVERRIDABLE="false"'),
    "counter": ("boolean", ""),
    "deprecated": ("string", ' TOSUBCLASS="false"'),
    "description": ("string", ' TRANSLATABLE="true"'),
    "embeddedinstance": ("string", ""),
    "embeddedobject": ("boolean", ' OVERRIDABLE="false"'),
    "in": ("boolean", ' OVERRIDABLE="false"'),
    "key": ("boolean", ' OVERRIDABLE="false"'),
    "maxlen": ("uint32", ""),
    "maxvalue": ("sint64", ""),
    "minvalue": ("sint64", ""),
    "out": ("boolean", ' OVERRIDABLE="false"'),
    "override": ("string", ' TOSUBCLASS="false"'),
    "propagated": ("string", ' OVERRIDABLE="false"'),
    "required": ("boolean", ' OVERRIDABLE="false"'),
    "units": ("string", ' TRANSLATABLE="true"'),
    "values": ("string", ' TRANSLATABLE="true"'),
    "version": ("string", ' TOSUBCLASS="false" TRANSLATABLE="true"'),
    "write": ("boolean", ""),
}


def qualifier_lines(name, value, out, propagated=True):
    """One QUALIFIER; a list value is an array of its declared type (string by default)."""
    declared_type, flavors = QUALIFIER_DECLARATIONS.get(
        name.lower(), ("boolean" if isinstance(value, bool) else "string", ""))
    out.append('<QUALIFIER NAME="%s" TYPE="%s"%s%s>' % (
        name, declared_type, ' PROPAGATED="true"' if propagated else "", flavors))
    if isinstance(value, list):
        out.append("<VALUE.ARRAY>")
        for item in value:
            out.append("<VALUE>%s</VALUE>" % escape(scalar_text(declared_type, item)))
        out.append("</VALUE.ARRAY>")
    else:
        out.append("<VALUE>%s</VALUE>" % escape(scalar_text(declared_type, value)))
    out.append("</QUALIFIER>")


# The property qualifiers that type a value: a real cimserver keeps these on instances although it
# leaves every other property qualifier (ValueMap, Values, Description, ...) to the class.
TYPING_QUALIFIERS = frozenset(("embeddedobject", "embeddedinstance"))


def restricted(qualifier_name):
    """Whether the qualifier stays with the element that states it (TOSUBCLASS false)."""
    return 'TOSUBCLASS="false"' in QUALIFIER_DECLARATIONS.get(qualifier_name.lower(), ("", ""))[1]


@functools.lru_cache(maxsize=None)
def declared_qualifiers_text(declaration, typing_only):
    """The QUALIFIER elements an instance carries on a property, as one piece of text; rendered
    once, since the same qualifiers go out with every instance of the class. typing_only: only
    those that type the value, written as cimserver writes them there (no PROPAGATED)."""
    out = []
    for name, value in declaration.qualifiers:
        if not typing_only:
            qualifier_lines(name, value, out)
        elif name.lower() in TYPING_QUALIFIERS:
            qualifier_lines(name, value, out, propagated=False)
    return "\n".join(out)


def property_lines(prop, value, out, qualifiers, class_origin, propagated, reference_form):
    """One PROPERTY, PROPERTY.ARRAY or PROPERTY.REFERENCE; value None writes a null.

    prop is the declaration: name, type, array flag and reference class; qualifiers is the
    text of its QUALIFIER elements, or empty.
    """
    origin = ' CLASSORIGIN="%s"' % class_origin if class_origin else ""
    flag = ' PROPAGATED="true"' if propagated else ""
    if prop.cim_type == "reference":
        reference_class = (' REFERENCECLASS="%s"' % prop.reference_class
                           if prop.reference_class else "")
        out.append('<PROPERTY.REFERENCE NAME="%s" %s%s%s>' % (prop.name, reference_class, origin,
                                                              flag))
        if qualifiers:
            out.append(qualifiers)
        if value is not None:
            reference_lines(value, out, *reference_form)
        out.append("</PROPERTY.REFERENCE>")
    elif prop.array:
        out.append('<PROPERTY.ARRAY NAME="%s"  TYPE="%s"%s%s>' % (prop.name, prop.cim_type, origin,
                                                                 flag))
        if qualifiers:
            out.append(qualifiers)
        if value is not None:
            out.append("<VALUE.ARRAY>")
            for item in value:
                if item is None:
                    out.append("<VALUE.NULL/>")
                else:
                    out.append("<VALUE>%s</VALUE>" % escape(scalar_text(prop.cim_type, item)))
            out.append("</VALUE.ARRAY>")
        out.append("</PROPERTY.ARRAY>")
    else:
        out.append('<PROPERTY NAME="%s" %s%s TYPE="%s">' % (prop.name, origin, flag, prop.cim_type))
        if qualifiers:
            out.append(qualifiers)
        if value is not None:
            out.append("<VALUE>%s</VALUE>" % escape(scalar_text(prop.cim_type, value)))
        out.append("</PROPERTY>")


def instance_text(instance, shape, include_qualifiers, include_origin, local_only, wanted,
                  property_qualifiers, reference_form):
    """INSTANCE of `instance` with the properties of class `shape`, as one piece of text.

    wanted: lower-case names of the properties asked for, None for all; local_only: only those
    `shape` declares or overrides; property_qualifiers: whether IncludeQualifiers brings every
    property qualifier, or only the typing ones as from cimserver.
    """
    out = ['<INSTANCE CLASSNAME="%s" >' % instance.cim_class.name]
    if include_qualifiers:
        # cimserver copies the class's qualifiers onto the instance in reverse order, less the
        # restricted ones (Version, Abstract).
        for name, value in reversed(instance.cim_class.qualifiers):
            if not restricted(name):
                qualifier_lines(name, value, out)
    # Like cimserver, the properties the provider left out first, filled in from the class in
    # its order and marked PROPAGATED, then the provider's own in the order it set them.
    declarations = [declaration for declaration in shape.class_order
                    if declaration.name not in instance.values]
    declarations += [shape.find(name) for name in instance.values if shape.find(name)]
    for declaration in declarations:
        if wanted is not None and declaration.name.lower() not in wanted:
            continue
        if local_only and declaration.name.lower() not in shape.own:
            continue
        declaration = instance.cim_class.find(declaration.name) or declaration
        given = declaration.name in instance.values
        value = instance.values[declaration.name] if given else declaration.default
        property_lines(declaration, value, out,
                       declared_qualifiers_text(declaration, not property_qualifiers)
                       if include_qualifiers else "",
                       declaration.origin if include_origin else None, not given, reference_form)
    out.append("</INSTANCE>")
    return "\n".join(out)


def named_instance_lines(path, text, out, reference_form):
    """VALUE.NAMEDINSTANCE of an instance path and the instance's INSTANCE text."""
    out.append("<VALUE.NAMEDINSTANCE>")
    instance_name_lines(path, out, reference_form)
    out.append(text)
    out.append("</VALUE.NAMEDINSTANCE>")


def class_lines(cim_class, local_only, include_qualifiers, include_origin, wanted,
                reference_form, out):
    """CLASS as cimserver writes it: class qualifiers, properties (with their defaults), then
    methods. wanted: lower-case names of the properties asked for, None for all."""

    def qualifiers(element, inherited, out):
        """inherited: lower-case names of the qualifiers marked PROPAGATED, which LocalOnly
        leaves out."""
        if not include_qualifiers:
            return
        for qualifier_name, value in element.qualifiers:
            propagated = qualifier_name.lower() in inherited
            if not (propagated and local_only):
                qualifier_lines(qualifier_name, value, out, propagated)

    superclass = ' SUPERCLASS="%s" ' % cim_class.superclass.name if cim_class.superclass \
        else ""
    out.append('<CLASS NAME="%s" %s>' % (cim_class.name, superclass))
    qualifiers(cim_class, cim_class.inherited_qualifiers, out)
    for declaration in cim_class.class_order:
        propagated = declaration.name.lower() not in cim_class.own
        if (propagated and local_only) or (wanted is not None and
                                           declaration.name.lower() not in wanted):
            continue
        property_qualifiers = []
        # cimserver marks the qualifiers an override takes over as PROPAGATED, in the
        # overriding class and in every class that inherits the override.
        qualifiers(declaration, declaration.inherited_qualifiers, property_qualifiers)
        property_lines(declaration, declaration.default, out, "\n".join(property_qualifiers),
                       declaration.origin if include_origin else None, propagated,
                       reference_form)
    for method in cim_class.methods:
        propagated = method.name.lower() not in cim_class.own_methods
        if propagated and local_only:
            continue
        out.append('<METHOD NAME="%s" TYPE="%s"%s%s>' % (
            method.name, method.return_type,
            ' CLASSORIGIN="%s"' % method.origin if include_origin else "",
            ' PROPAGATED="true"' if propagated else ""))
        qualifiers(method, frozenset(), out)
        for parameter in method.parameters:
            if parameter.cim_type == "reference":
                reference_class = (' REFERENCECLASS="%s"' % parameter.reference_class
                                   if parameter.reference_class else "")
                element = "PARAMETER.REFARRAY" if parameter.array else "PARAMETER.REFERENCE"
                out.append('<%s NAME="%s"%s>' % (element, parameter.name, reference_class))
            else:
                element = "PARAMETER.ARRAY" if parameter.array else "PARAMETER"
                out.append('<%s NAME="%s" TYPE="%s">' % (element, parameter.name,
                                                         parameter.cim_type))
            if include_qualifiers:
                # An out-parameter is declared [IN(false), OUT], an in-parameter [IN].
                direction = [("IN", not parameter.direction_out)]
                direction += [("OUT", True)] if parameter.direction_out else []
                for qualifier_name, value in direction + parameter.qualifiers:
                    qualifier_lines(qualifier_name, value, out, False)
            out.append("</%s>" % element)
        out.append("</METHOD>")
    out.append("</CLASS>")


def intrinsic_result(lines):
    return ["<IRETURNVALUE>"] + lines + ["</IRETURNVALUE>"]


def return_value_lines(return_value, out_parameters, out):
    """A method's uint32 RETURNVALUE, then its scalar out-parameters, each a dict with name,
    type (default string) and value."""
    out.extend(['<RETURNVALUE PARAMTYPE="uint32">', "<VALUE>%d</VALUE>" % return_value,
                "</RETURNVALUE>"])
    for parameter in out_parameters:
        cim_type = parameter.get("type", "string")
        out.append('<PARAMVALUE NAME="%s" PARAMTYPE="%s"><VALUE>%s</VALUE></PARAMVALUE>' % (
            parameter["name"], cim_type,
            escape(scalar_text(cim_type, parameter.get("value", "")))))


def reference_parameter_lines(name, path, out, reference_form):
    out.append('<PARAMVALUE NAME="%s" PARAMTYPE="reference">' % name)
    reference_lines(path, out, *reference_form)
    out.append("</PARAMVALUE>")


def response_head(message_id, out):
    out.append('<?xml version="1.0" encoding="utf-8" ?>')
    out.append('<CIM CIMVERSION="2.0" DTDVERSION="2.0">')
    out.append('<MESSAGE ID="%s" PROTOCOLVERSION="1.0">' % escape(message_id))
    out.append("<SIMPLERSP>")


def response_tail(out):
    out.append("</SIMPLERSP>")
    out.append("</MESSAGE>")
    out.append("</CIM>")


def response_body(request, inner_lines, error=None):
    """The whole response document; inner_lines go inside the (I)METHODRESPONSE.

    With error set, an ERROR element takes the place of the return value (the form a server
    uses when the client cannot take trailers); with error None and no lines, the response
    is the empty one that goes with CIMStatusCode trailers.
    """
    element = "IMETHODRESPONSE" if request.intrinsic else "METHODRESPONSE"
    out = []
    response_head(request.message_id, out)
    out.append('<%s NAME="%s">' % (element, escape(request.name)))
    if error is not None:
        out.append('<ERROR CODE="%d" DESCRIPTION="%s"/>' % (error.code, escape(error.description)))
    else:
        out.extend(inner_lines)
    out.append("</%s>" % element)
    response_tail(out)
    return ("\n".join(out) + "\n").encode("utf-8")


# ---------------------------------------------------------------------------------------------
# Decoding


class RequestError(Exception):
    """A request that is not a CIM-XML operation request we can read."""


class Request:
    def __init__(self):
        self.message_id = ""
        self.intrinsic = True
        self.name = ""
        self.namespace = ""
        self.params = {}
        self.target = None


def parse_request(body):
    try:
        root = ElementTree.fromstring(body)
    except ElementTree.ParseError as error:
        raise RequestError("request is not well-formed XML: %s" % error) from None
    message = root.find("MESSAGE")
    call = None if message is None else message.find("SIMPLEREQ")
    if call is None:
        raise RequestError("request holds no MESSAGE/SIMPLEREQ")
    request = Request()
    request.message_id = message.get("ID", "")
    method_call = call.find("IMETHODCALL")
    if method_call is not None:
        request.name = method_call.get("NAME", "")
        request.namespace = _namespace(method_call.find("LOCALNAMESPACEPATH"))
        for param in method_call.findall("IPARAMVALUE"):
            request.params[param.get("NAME", "").lower()] = _iparam_value(param)
        return request
    method_call = call.find("METHODCALL")
    if method_call is None:
        raise RequestError("request holds neither IMETHODCALL nor METHODCALL")
    request.intrinsic = False
    request.name = method_call.get("NAME", "")
    instance_path = method_call.find("LOCALINSTANCEPATH")
    class_path = method_call.find("LOCALCLASSPATH")
    if instance_path is not None:
        request.namespace = _namespace(instance_path.find("LOCALNAMESPACEPATH"))
        request.target = _instance_name(instance_path.find("INSTANCENAME"))
    elif class_path is not None:
        request.namespace = _namespace(class_path.find("LOCALNAMESPACEPATH"))
        class_name = class_path.find("CLASSNAME")
        request.target = Path(class_name.get("NAME", "") if class_name is not None else "")
    else:
        raise RequestError("METHODCALL names no target path")
    for param in method_call.findall("PARAMVALUE"):
        request.params[param.get("NAME", "")] = _param_value(param)
    return request


def _namespace(element):
    if element is None:
        return ""
    return "/".join(part.get("NAME", "") for part in element.findall("NAMESPACE"))


def _instance_name(element):
    if element is None:
        raise RequestError("INSTANCENAME missing")
    path = Path(element.get("CLASSNAME", ""))
    for binding in element.findall("KEYBINDING"):
        path.keys.append((binding.get("NAME", ""),) + _key_value(binding))
    single = element.find("KEYVALUE")
    if single is not None:
        path.keys.append(("",) + _key_value(element))
    return path


def _key_value(container):
    key_value = container.find("KEYVALUE")
    if key_value is not None:
        return key_value.get("VALUETYPE", "string"), key_value.text or ""
    reference = container.find("VALUE.REFERENCE")
    if reference is not None:
        return "reference", _reference(reference)
    raise RequestError("KEYBINDING without a value")


def _reference(element):
    for child in element:
        if child.tag == "INSTANCENAME":
            return _instance_name(child)
        if child.tag == "LOCALINSTANCEPATH":
            path = _instance_name(child.find("INSTANCENAME"))
            path.namespace = _namespace(child.find("LOCALNAMESPACEPATH"))
            return path
        if child.tag == "INSTANCEPATH":
            path = _instance_name(child.find("INSTANCENAME"))
            namespace_path = child.find("NAMESPACEPATH")
            if namespace_path is not None:
                path.host = (namespace_path.findtext("HOST") or "").strip()
                path.namespace = _namespace(namespace_path.find("LOCALNAMESPACEPATH"))
            return path
        if child.tag in ("CLASSNAME", "LOCALCLASSPATH", "CLASSPATH"):
            name = child if child.tag == "CLASSNAME" else child.find(".//CLASSNAME")
            return Path(name.get("NAME", "") if name is not None else "")
    raise RequestError("VALUE.REFERENCE without a path")


def _iparam_value(param):
    child = param.find("*")
    if child is None:
        return None
    if child.tag == "CLASSNAME":
        return child.get("NAME", "")
    if child.tag == "INSTANCENAME":
        return _instance_name(child)
    if child.tag == "VALUE":
        text = (child.text or "").strip()
        return {"true": True, "false": False}.get(text.lower(), text)
    if child.tag == "VALUE.ARRAY":
        return [(value.text or "") for value in child.findall("VALUE")]
    if child.tag == "VALUE.REFERENCE":
        return _reference(child)
    return None


def _param_value(param):
    child = param.find("*")
    if child is None:
        return None
    if child.tag == "VALUE.REFERENCE":
        return _reference(child)
    if child.tag == "VALUE":
        return child.text or ""
    if child.tag == "VALUE.ARRAY":
        return [(value.text or "") for value in child.findall("VALUE")]
    if child.tag == "VALUE.REFARRAY":
        return [_reference(value) for value in child.findall("VALUE.REFERENCE")]
    return None
