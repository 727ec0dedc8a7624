#include "cimxml/request_encoder.h"

#include <Pegasus/Common/CIMValue.h>

#include <cctype>

namespace Pegasus {
namespace cimxml {

namespace {

void appendEscaped(std::string& out, const std::string& text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

class Writer {
  public:
    explicit Writer(Uint32 messageId) {
        out_ +=
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
            "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
            "<MESSAGE ID=\"";
        out_ += std::to_string(messageId);
        out_ += "\" PROTOCOLVERSION=\"1.0\">\n<SIMPLEREQ>\n";
    }

    std::string finish() {
        out_ += "</SIMPLEREQ>\n</MESSAGE>\n</CIM>\n";
        return std::move(out_);
    }

    void line(const char* text) {
        out_ += text;
        out_ += '\n';
    }

    // <TAG NAME="name"> (or <TAG NAME="name"/> when closed is true).
    void named(const char* tag, const std::string& name, bool closed = false) {
        out_ += '<';
        out_ += tag;
        out_ += " NAME=\"";
        appendEscaped(out_, name);
        out_ += closed ? "\"/>\n" : "\">\n";
    }

    void localNamespacePath(const CIMNamespaceName& nameSpace) {
        line("<LOCALNAMESPACEPATH>");
        const std::string& text = nameSpace.getString().utf8();
        size_t start = 0;
        while (start <= text.size()) {
            size_t slash = text.find('/', start);
            size_t end = slash == std::string::npos ? text.size() : slash;
            if (end > start) named("NAMESPACE", text.substr(start, end - start), true);
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        line("</LOCALNAMESPACEPATH>");
    }

    void instanceName(const CIMObjectPath& path) {
        out_ += "<INSTANCENAME CLASSNAME=\"";
        appendEscaped(out_, path.getClassName().getString().utf8());
        out_ += "\">\n";
        const Array<CIMKeyBinding>& keys = path.getKeyBindings();
        for (Uint32 i = 0; i < keys.size(); ++i) {
            named("KEYBINDING", keys[i].getName().getString().utf8());
            if (keys[i].getType() == CIMKeyBinding::REFERENCE) {
                valueReference(CIMObjectPath(keys[i].getValue()));
            } else {
                static const char* const valueTypes[] = {"boolean", "string", "numeric"};
                out_ += "<KEYVALUE VALUETYPE=\"";
                out_ += valueTypes[keys[i].getType()];
                out_ += "\">";
                appendEscaped(out_, keys[i].getValue().utf8());
                out_ += "</KEYVALUE>\n";
            }
            line("</KEYBINDING>");
        }
        line("</INSTANCENAME>");
    }

    // The path form follows what the path carries: host and namespace,
    // namespace only, or neither; a keyless path names a class.
    void valueReference(const CIMObjectPath& path) {
        line("<VALUE.REFERENCE>");
        bool isClass = path.getKeyBindings().size() == 0;
        bool hasNamespace = !path.getNameSpace().isNull();
        bool hasHost = path.getHost().size() > 0 && hasNamespace;
        if (hasHost) {
            line(isClass ? "<CLASSPATH>" : "<INSTANCEPATH>");
            line("<NAMESPACEPATH>");
            out_ += "<HOST>";
            appendEscaped(out_, path.getHost().utf8());
            out_ += "</HOST>\n";
            localNamespacePath(path.getNameSpace());
            line("</NAMESPACEPATH>");
        } else if (hasNamespace) {
            line(isClass ? "<LOCALCLASSPATH>" : "<LOCALINSTANCEPATH>");
            localNamespacePath(path.getNameSpace());
        }
        if (isClass) {
            named("CLASSNAME", path.getClassName().getString().utf8(), true);
        } else {
            instanceName(path);
        }
        if (hasHost) {
            line(isClass ? "</CLASSPATH>" : "</INSTANCEPATH>");
        } else if (hasNamespace) {
            line(isClass ? "</LOCALCLASSPATH>" : "</LOCALINSTANCEPATH>");
        }
        line("</VALUE.REFERENCE>");
    }

    void value(const CIMValue& value) {
        if (value.isNull()) return;
        if (value.getType() == CIMTYPE_REFERENCE) {
            if (value.isArray()) {
                Array<CIMObjectPath> paths;
                value.get(paths);
                line("<VALUE.REFARRAY>");
                for (Uint32 i = 0; i < paths.size(); ++i) valueReference(paths[i]);
                line("</VALUE.REFARRAY>");
            } else {
                CIMObjectPath path;
                value.get(path);
                valueReference(path);
            }
            return;
        }
        if (!value.isArray()) {
            simpleValue(value.toString().utf8());
            return;
        }
        line("<VALUE.ARRAY>");
        for (Uint32 i = 0; i < value.getArraySize(); ++i) simpleValue(elementText(value, i));
        line("</VALUE.ARRAY>");
    }

    void simpleValue(const std::string& text) {
        out_ += "<VALUE>";
        appendEscaped(out_, text);
        out_ += "</VALUE>\n";
    }

    void propertyList(const CIMPropertyList& propertyList) {
        if (propertyList.isNull()) return;
        named("IPARAMVALUE", "PropertyList");
        line("<VALUE.ARRAY>");
        for (Uint32 i = 0; i < propertyList.size(); ++i) {
            simpleValue(propertyList[i].getString().utf8());
        }
        line("</VALUE.ARRAY>");
        line("</IPARAMVALUE>");
    }

    void booleanParameter(const char* name, bool value) {
        named("IPARAMVALUE", name);
        line(value ? "<VALUE>TRUE</VALUE>" : "<VALUE>FALSE</VALUE>");
        line("</IPARAMVALUE>");
    }

  private:
    // One element of an array value in its own text form: the array's text
    // form cannot be split, since its elements may contain blanks.
    template <class T>
    static std::string elementOf(const CIMValue& value, Uint32 index) {
        Array<T> items;
        value.get(items);
        return CIMValue(items[index]).toString().utf8();
    }

    static std::string elementText(const CIMValue& value, Uint32 index) {
        switch (value.getType()) {
            case CIMTYPE_BOOLEAN:
                return elementOf<Boolean>(value, index);
            case CIMTYPE_UINT8:
                return elementOf<Uint8>(value, index);
            case CIMTYPE_SINT8:
                return elementOf<Sint8>(value, index);
            case CIMTYPE_UINT16:
                return elementOf<Uint16>(value, index);
            case CIMTYPE_SINT16:
                return elementOf<Sint16>(value, index);
            case CIMTYPE_UINT32:
                return elementOf<Uint32>(value, index);
            case CIMTYPE_SINT32:
                return elementOf<Sint32>(value, index);
            case CIMTYPE_UINT64:
                return elementOf<Uint64>(value, index);
            case CIMTYPE_SINT64:
                return elementOf<Sint64>(value, index);
            case CIMTYPE_REAL32:
                return elementOf<Real32>(value, index);
            case CIMTYPE_REAL64:
                return elementOf<Real64>(value, index);
            case CIMTYPE_CHAR16:
                return elementOf<Char16>(value, index);
            case CIMTYPE_DATETIME:
                return elementOf<CIMDateTime>(value, index);
            default:
                return elementOf<String>(value, index);
        }
    }

    std::string out_;
};

}  // namespace

std::string uriEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::string("-_.!~*'()").find(c) != std::string::npos) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

EncodedRequest encodeEnumerateInstances(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                        const CIMName& className, bool deepInheritance,
                                        bool localOnly, bool includeQualifiers,
                                        bool includeClassOrigin,
                                        const CIMPropertyList& propertyList) {
    Writer writer(messageId);
    writer.named("IMETHODCALL", "EnumerateInstances");
    writer.localNamespacePath(nameSpace);
    writer.named("IPARAMVALUE", "ClassName");
    writer.named("CLASSNAME", className.getString().utf8(), true);
    writer.line("</IPARAMVALUE>");
    // Only values that differ from the DSP0200 defaults are sent.
    if (!localOnly) writer.booleanParameter("LocalOnly", false);
    if (!deepInheritance) writer.booleanParameter("DeepInheritance", false);
    if (includeQualifiers) writer.booleanParameter("IncludeQualifiers", true);
    if (includeClassOrigin) writer.booleanParameter("IncludeClassOrigin", true);
    writer.propertyList(propertyList);
    writer.line("</IMETHODCALL>");
    return {"EnumerateInstances", uriEncode(nameSpace.getString().utf8()), writer.finish()};
}

EncodedRequest encodeGetInstance(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                 const CIMObjectPath& instanceName, bool localOnly,
                                 bool includeQualifiers, bool includeClassOrigin,
                                 const CIMPropertyList& propertyList) {
    Writer writer(messageId);
    writer.named("IMETHODCALL", "GetInstance");
    writer.localNamespacePath(nameSpace);
    writer.named("IPARAMVALUE", "InstanceName");
    writer.instanceName(instanceName);
    writer.line("</IPARAMVALUE>");
    if (!localOnly) writer.booleanParameter("LocalOnly", false);
    if (includeQualifiers) writer.booleanParameter("IncludeQualifiers", true);
    if (includeClassOrigin) writer.booleanParameter("IncludeClassOrigin", true);
    writer.propertyList(propertyList);
    writer.line("</IMETHODCALL>");
    return {"GetInstance", uriEncode(nameSpace.getString().utf8()), writer.finish()};
}

// GetClass's IncludeQualifiers defaults to true, unlike the instance
// operations', so it is the false value that is sent.
EncodedRequest encodeGetClass(Uint32 messageId, const CIMNamespaceName& nameSpace,
                              const CIMName& className, bool localOnly, bool includeQualifiers,
                              bool includeClassOrigin, const CIMPropertyList& propertyList) {
    Writer writer(messageId);
    writer.named("IMETHODCALL", "GetClass");
    writer.localNamespacePath(nameSpace);
    writer.named("IPARAMVALUE", "ClassName");
    writer.named("CLASSNAME", className.getString().utf8(), true);
    writer.line("</IPARAMVALUE>");
    if (!localOnly) writer.booleanParameter("LocalOnly", false);
    if (!includeQualifiers) writer.booleanParameter("IncludeQualifiers", false);
    if (includeClassOrigin) writer.booleanParameter("IncludeClassOrigin", true);
    writer.propertyList(propertyList);
    writer.line("</IMETHODCALL>");
    return {"GetClass", uriEncode(nameSpace.getString().utf8()), writer.finish()};
}

EncodedRequest encodeInvokeMethod(Uint32 messageId, const CIMNamespaceName& nameSpace,
                                  const CIMObjectPath& instanceName, const CIMName& methodName,
                                  const Array<CIMParamValue>& inParameters) {
    CIMObjectPath target(String(), nameSpace, instanceName.getClassName(),
                         instanceName.getKeyBindings());
    bool isClass = target.getKeyBindings().size() == 0;
    Writer writer(messageId);
    writer.named("METHODCALL", methodName.getString().utf8());
    writer.line(isClass ? "<LOCALCLASSPATH>" : "<LOCALINSTANCEPATH>");
    writer.localNamespacePath(nameSpace);
    if (isClass) {
        writer.named("CLASSNAME", target.getClassName().getString().utf8(), true);
    } else {
        writer.instanceName(target);
    }
    writer.line(isClass ? "</LOCALCLASSPATH>" : "</LOCALINSTANCEPATH>");
    for (Uint32 i = 0; i < inParameters.size(); ++i) {
        const CIMParamValue& parameter = inParameters[i];
        std::string open = "<PARAMVALUE NAME=\"";
        appendEscaped(open, parameter.getParameterName().utf8());
        open += '"';
        if (parameter.isTyped()) {
            open += " PARAMTYPE=\"";
            open += cimTypeToString(parameter.getValue().getType());
            open += '"';
        }
        open += '>';
        writer.line(open.c_str());
        writer.value(parameter.getValue());
        writer.line("</PARAMVALUE>");
    }
    writer.line("</METHODCALL>");
    return {methodName.getString().utf8(), uriEncode(target.toString().utf8()), writer.finish()};
}

}  // namespace cimxml
}  // namespace Pegasus
