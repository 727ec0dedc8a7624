"""CIM-XML responses of the simulator: instances, classes, method results and errors, written as
OpenPegasus's cimserver writes them (one element per line, its attribute order and spacing), so
that a client tested here meets the same bytes as in the field.
"""

import functools

from cim_paths import escape, instance_name_lines, reference_lines, scalar_text

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
