"""CIM-XML operation requests read into what the simulator answers: the operation, its namespace,
target and parameters.
"""

import xml.etree.ElementTree as ElementTree

from cim_paths import Path

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
