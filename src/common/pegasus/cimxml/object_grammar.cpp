#include "cimxml/object_grammar.h"

#include <Pegasus/Common/Exception.h>

#include <string>
#include <utility>

#include "cimxml/node_checks.h"
#include "cimxml/value_text.h"

namespace Pegasus {
namespace cimxml {

namespace {

// A server sending ever new names gets no sharing, not unbounded memory.
const std::size_t kMostSharedNames = 4096;

CIMKeyBinding::Type keyValueType(const Node& keyValue) {
    Attribute type = keyValue.attribute("VALUETYPE");
    if (!type || std::strcmp(type.value(), "string") == 0) return CIMKeyBinding::STRING;
    if (std::strcmp(type.value(), "numeric") == 0) return CIMKeyBinding::NUMERIC;
    if (std::strcmp(type.value(), "boolean") == 0) return CIMKeyBinding::BOOLEAN;
    invalid(keyValue, std::string("Illegal value for VALUETYPE attribute: ") + type.value());
}

CIMType typeAttribute(const Node& node, const Attribute& attribute) {
    if (!attribute) return CIMTYPE_STRING;
    const char* text = attribute.value();
    // Ordered by how often servers send them.
    static const CIMType types[] = {
        CIMTYPE_STRING, CIMTYPE_UINT16, CIMTYPE_BOOLEAN, CIMTYPE_UINT32,   CIMTYPE_UINT64,
        CIMTYPE_UINT8,  CIMTYPE_SINT8,  CIMTYPE_SINT16,  CIMTYPE_SINT32,   CIMTYPE_SINT64,
        CIMTYPE_REAL32, CIMTYPE_REAL64, CIMTYPE_CHAR16,  CIMTYPE_DATETIME, CIMTYPE_REFERENCE};
    for (CIMType type : types) {
        const char* name = cimTypeToString(type);
        if (name[0] == text[0] && std::strcmp(name, text) == 0) return type;
    }
    invalid(node, std::string("Illegal value for ") + attribute.name() +
                      " attribute: " + attribute.value());
}

// OpenPegasus types a string property that an EmbeddedObject qualifier
// marks as object (EmbeddedInstance: instance). Embedded objects are not
// decoded here, so only a null value takes that type; a value stays its
// string.
CIMType embeddedType(const Array<CIMQualifier>& qualifiers) {
    for (Uint32 i = 0; i < qualifiers.size(); ++i) {
        const CIMQualifier& qualifier = qualifiers[i];
        if (qualifier.getValue().isNull()) continue;
        if (qualifier.getName() == CIMName("EmbeddedObject") &&
            qualifier.getType() == CIMTYPE_BOOLEAN && !qualifier.isArray()) {
            Boolean marked = false;
            qualifier.getValue().get(marked);
            if (marked) return CIMTYPE_OBJECT;
        } else if (qualifier.getName() == CIMName("EmbeddedInstance")) {
            return CIMTYPE_INSTANCE;
        }
    }
    return CIMTYPE_STRING;
}

CIMValue scalar(const Node& node, CIMType type) {
    return valueFromText(type, node.text(), node.line());
}

// The VALUE elements of a VALUE.ARRAY.
CIMValue array(const Node& node, CIMType type) {
    return arrayFromTexts(type, [&](auto&& take) {
        for (Node item = node.firstElement(); item; item = item.nextElement()) {
            if (!named(item, "VALUE")) {
                invalid(item,
                        std::string("Expected VALUE element, got ") + item.name() + " instead");
            }
            take(item.text(), item.line());
        }
    });
}

}  // namespace

CIMInstance ObjectGrammar::namedInstance(const Node& namedInstance, Shortcuts* shortcuts) {
    if (!named(namedInstance, "VALUE.NAMEDINSTANCE")) {
        invalid(namedInstance, std::string("Expected close of IRETURNVALUE element, got ") +
                                   namedInstance.name() + " instead");
    }
    Node nameNode = namedInstance.firstElement();
    if (!nameNode) invalid(namedInstance, "Expected INSTANCENAME element");
    CIMObjectPath path = instanceName(nameNode, shortcuts);
    Node instanceNode = nameNode.nextElement();
    if (!instanceNode || !named(instanceNode, "INSTANCE")) {
        invalid(instanceNode ? instanceNode : namedInstance, "Expected INSTANCE element");
    }
    CIMInstance result;
    if (!shortcuts || !shortcuts->repeatedInstance(instanceNode, result)) {
        result = instance(instanceNode, shortcuts);
    }
    result.setPath(path);
    return result;
}

template <class Object>
bool ObjectGrammar::member(Object& object, const Node& child, Shortcuts* shortcuts) {
    if (limits_) limits_->tick();
    if (named(child, "QUALIFIER")) {
        object.addQualifier(qualifier(child));
    } else if (named(child, "PROPERTY")) {
        object.addProperty(property(child, false));
    } else if (named(child, "PROPERTY.ARRAY")) {
        object.addProperty(property(child, true));
    } else if (named(child, "PROPERTY.REFERENCE")) {
        object.addProperty(referenceProperty(child, shortcuts));
    } else {
        return false;
    }
    return true;
}

CIMClass ObjectGrammar::classElement(const Node& node) {
    CIMClass result(name(requiredAttribute(node, "NAME")),
                    name(node.attribute("SUPERCLASS").value()));
    for (Node child = node.firstElement(); child; child = child.nextElement()) {
        if (member(result, child, nullptr)) continue;
        if (named(child, "METHOD")) {
            method(child);
        } else {
            invalid(child,
                    std::string("Expected PROPERTY element, got ") + child.name() + " instead");
        }
    }
    return result;
}

CIMInstance ObjectGrammar::instance(const Node& node, Shortcuts* shortcuts) {
    const char* className = requiredAttribute(node, "CLASSNAME");
    CIMInstance instance{name(className)};
    Uint32 children = 0;
    for (Node child = node.firstElement(); child; child = child.nextElement()) ++children;
    instance.reserveProperties(children);
    for (Node child = node.firstElement(); child; child = child.nextElement()) {
        if (!member(instance, child, shortcuts)) {
            invalid(child,
                    std::string("Expected PROPERTY element, got ") + child.name() + " instead");
        }
    }
    return instance;
}

CIMObjectPath ObjectGrammar::instanceName(const Node& node, Shortcuts* shortcuts) {
    if (!named(node, "INSTANCENAME")) {
        invalid(node,
                std::string("Expected INSTANCENAME element, got ") + node.name() + " instead");
    }
    const char* className = requiredAttribute(node, "CLASSNAME");
    Array<CIMKeyBinding> keys;
    Uint32 count = 0;
    for (Node binding = node.firstElement(); binding; binding = binding.nextElement()) ++count;
    keys.reserveCapacity(count);
    for (Node binding = node.firstElement(); binding; binding = binding.nextElement()) {
        if (!named(binding, "KEYBINDING")) {
            invalid(binding,
                    std::string("Expected KEYBINDING element, got ") + binding.name() + " instead");
        }
        CIMName keyName = name(requiredAttribute(binding, "NAME"));
        Node value = binding.firstElement();
        if (value && named(value, "KEYVALUE")) {
            keys.append(CIMKeyBinding(keyName, String(value.text()), keyValueType(value)));
        } else if (value && named(value, "VALUE.REFERENCE")) {
            CIMObjectPath path = shortcuts ? shortcuts->keyPath(value) : reference(value);
            String text = path.toString();
            if (limits_) {
                limits_->tick();
                if (!limits_->madeFits(text.utf8().size())) {
                    invalid(binding, "Response too dense to decode");
                }
            }
            keys.append(CIMKeyBinding(keyName, std::move(text), CIMKeyBinding::REFERENCE));
        } else {
            invalid(binding, "Expected KEYVALUE or VALUE.REFERENCE element");
        }
    }
    return CIMObjectPath(String(), CIMNamespaceName(), name(className), std::move(keys));
}

CIMValue ObjectGrammar::returnValue(const Node& response) {
    Node node = response.child("RETURNVALUE");
    if (!node) return CIMValue();
    return parameterValue(node, node.attribute("PARAMTYPE"));
}

Array<CIMParamValue> ObjectGrammar::outParameters(const Node& response) {
    Array<CIMParamValue> parameters;
    for (Node node = response.firstElement(); node; node = node.nextElement()) {
        if (named(node, "RETURNVALUE")) continue;
        if (!named(node, "PARAMVALUE")) {
            invalid(node,
                    std::string("Expected PARAMVALUE element, got ") + node.name() + " instead");
        }
        Attribute type = node.attribute("PARAMTYPE");
        parameters.append(CIMParamValue(String(requiredAttribute(node, "NAME")),
                                        parameterValue(node, type), bool(type)));
    }
    return parameters;
}

CIMName ObjectGrammar::name(const char* text) const {
    if (*text == '\0') return CIMName();
    auto known = names_.find(std::string_view(text));
    if (known != names_.end()) return known->second;
    CIMName made(text);
    if (names_.size() < kMostSharedNames) names_.emplace(made.getString().utf8(), made);
    return made;
}

CIMQualifier ObjectGrammar::qualifier(const Node& node) {
    CIMType type = typeAttribute(node, node.attribute("TYPE"));
    Node content = node.firstElement();
    CIMValue value(type, false);
    if (content && named(content, "VALUE")) {
        value = scalar(content, type);
    } else if (content && named(content, "VALUE.ARRAY")) {
        value = array(content, type);
    } else if (content) {
        invalid(content, std::string("Expected VALUE element, got ") + content.name() + " instead");
    }
    return CIMQualifier(name(requiredAttribute(node, "NAME")), value,
                        node.attribute("PROPAGATED").asBool());
}

// PROPERTY or PROPERTY.ARRAY: qualifiers first, then at most one value.
CIMProperty ObjectGrammar::property(const Node& node, bool isArray) {
    enum { kName, kType, kPropagated, kArraySize, kClassOrigin, kCount };
    static const char* const names[kCount] = {"NAME", "TYPE", "PROPAGATED", "ARRAYSIZE",
                                              "CLASSORIGIN"};
    Attribute found[kCount];
    node.attributes(names, found);
    CIMType type = typeAttribute(node, found[kType]);
    if (type == CIMTYPE_REFERENCE) invalid(node, "Illegal value for TYPE attribute: reference");
    CIMValue value(type, isArray);
    Array<CIMQualifier> qualifiers;
    const char* valueElement = isArray ? "VALUE.ARRAY" : "VALUE";
    for (Node child = node.firstElement(); child; child = child.nextElement()) {
        if (named(child, "QUALIFIER")) {
            qualifiers.append(qualifier(child));
        } else if (named(child, valueElement)) {
            value = isArray ? array(child, type) : scalar(child, type);
        } else {
            invalid(child, std::string("Expected ") + valueElement + " element, got " +
                               child.name() + " instead");
        }
    }
    if (type == CIMTYPE_STRING && value.isNull()) {
        CIMType embedded = embeddedType(qualifiers);
        if (embedded != CIMTYPE_STRING) value = CIMValue(embedded, isArray);
    }
    CIMProperty property(name(required(node, found[kName], "NAME")), std::move(value),
                         isArray ? static_cast<Uint32>(found[kArraySize].asUint()) : 0, CIMName(),
                         name(found[kClassOrigin].value()), found[kPropagated].asBool());
    for (Uint32 i = 0; i < qualifiers.size(); ++i) property.addQualifier(qualifiers[i]);
    return property;
}

CIMProperty ObjectGrammar::referenceProperty(const Node& node, Shortcuts* shortcuts) {
    CIMValue value(CIMTYPE_REFERENCE, false);
    Array<CIMQualifier> qualifiers;
    for (Node child = node.firstElement(); child; child = child.nextElement()) {
        if (named(child, "QUALIFIER")) {
            qualifiers.append(qualifier(child));
        } else if (named(child, "VALUE.REFERENCE")) {
            value = CIMValue(shortcuts ? shortcuts->propertyPath(child) : reference(child));
        } else {
            invalid(child, std::string("Expected VALUE.REFERENCE element, got ") + child.name() +
                               " instead");
        }
    }
    CIMProperty property(name(requiredAttribute(node, "NAME")), std::move(value), 0,
                         name(node.attribute("REFERENCECLASS").value()),
                         name(node.attribute("CLASSORIGIN").value()),
                         node.attribute("PROPAGATED").asBool());
    for (Uint32 i = 0; i < qualifiers.size(); ++i) property.addQualifier(qualifiers[i]);
    return property;
}

// A METHOD is not kept, but a defective one fails the response as it
// would in OpenPegasus: its qualifiers and parameters are read through.
void ObjectGrammar::method(const Node& node) {
    requiredAttribute(node, "NAME");
    typeAttribute(node, node.attribute("TYPE"));
    for (Node child = node.firstElement(); child; child = child.nextElement()) {
        if (named(child, "QUALIFIER")) {
            qualifier(child);
            continue;
        }
        bool typed = named(child, "PARAMETER") || named(child, "PARAMETER.ARRAY");
        if (!typed && !named(child, "PARAMETER.REFERENCE") && !named(child, "PARAMETER.REFARRAY")) {
            invalid(child,
                    std::string("Expected PARAMETER element, got ") + child.name() + " instead");
        }
        requiredAttribute(child, "NAME");
        if (typed) typeAttribute(child, child.attribute("TYPE"));
        for (Node part = child.firstElement(); part; part = part.nextElement()) {
            if (!named(part, "QUALIFIER")) {
                invalid(part,
                        std::string("Expected QUALIFIER element, got ") + part.name() + " instead");
            }
            qualifier(part);
        }
    }
}

CIMNamespaceName ObjectGrammar::localNamespacePath(const Node& node) {
    if (!named(node, "LOCALNAMESPACEPATH")) invalid(node, "Expected LOCALNAMESPACEPATH element");
    std::string text;
    for (Node part = node.firstElement(); part; part = part.nextElement()) {
        if (!named(part, "NAMESPACE")) invalid(part, "Expected NAMESPACE element");
        if (!text.empty()) text += '/';
        text += requiredAttribute(part, "NAME");
    }
    if (text.empty()) invalid(node, "Expected NAMESPACE element");
    return CIMNamespaceName(String::fromUtf8(std::move(text)));
}

// NAMESPACEPATH: HOST and LOCALNAMESPACEPATH.
void ObjectGrammar::namespacePath(const Node& node, String& host, CIMNamespaceName& nameSpace) {
    if (!named(node, "NAMESPACEPATH")) invalid(node, "Expected NAMESPACEPATH element");
    Node hostNode = node.firstElement();
    if (!hostNode || !named(hostNode, "HOST")) invalid(node, "Expected HOST element");
    host = String(hostNode.text());
    Node local = hostNode.nextElement();
    if (!local) invalid(node, "Expected LOCALNAMESPACEPATH element");
    nameSpace = localNamespacePath(local);
}

// VALUE.REFERENCE in any of its forms; the path keeps whatever host and
// namespace the form carries.
CIMObjectPath ObjectGrammar::reference(const Node& node) {
    Node form = node.firstElement();
    if (!form) invalid(node, "Expected a path element in VALUE.REFERENCE");
    String host;
    CIMNamespaceName nameSpace;
    Node name;
    if (named(form, "INSTANCENAME") || named(form, "CLASSNAME")) {
        name = form;
    } else if (named(form, "LOCALINSTANCEPATH") || named(form, "LOCALCLASSPATH")) {
        Node local = form.firstElement();
        if (!local) invalid(form, "Expected LOCALNAMESPACEPATH element");
        nameSpace = localNamespacePath(local);
        name = local.nextElement();
    } else if (named(form, "INSTANCEPATH") || named(form, "CLASSPATH")) {
        Node path = form.firstElement();
        if (!path) invalid(form, "Expected NAMESPACEPATH element");
        namespacePath(path, host, nameSpace);
        name = path.nextElement();
    } else {
        invalid(form, std::string("Expected a path element in VALUE.REFERENCE, got ") +
                          form.name() + " instead");
    }
    if (!name) invalid(form, "Expected INSTANCENAME or CLASSNAME element");
    CIMObjectPath path;
    if (named(name, "CLASSNAME")) {
        path =
            CIMObjectPath(String(), CIMNamespaceName(), CIMName(requiredAttribute(name, "NAME")));
    } else {
        path = instanceName(name);
    }
    path.setHost(host);
    path.setNameSpace(nameSpace);
    return path;
}

// PARAMVALUE or RETURNVALUE content. Without a type the server's text
// arrives as a string, as OpenPegasus reads it.
CIMValue ObjectGrammar::parameterValue(const Node& node, const Attribute& typeAttr) {
    Node content = node.firstElement();
    CIMType type = typeAttribute(node, typeAttr);
    if (!content) return CIMValue(type, false);
    if (named(content, "VALUE.REFERENCE")) return CIMValue(reference(content));
    if (named(content, "VALUE.REFARRAY")) {
        Array<CIMObjectPath> paths;
        for (Node item = content.firstElement(); item; item = item.nextElement()) {
            paths.append(reference(item));
        }
        return CIMValue(paths);
    }
    if (type == CIMTYPE_REFERENCE) invalid(content, "Expected VALUE.REFERENCE element");
    if (named(content, "VALUE")) return scalar(content, type);
    if (named(content, "VALUE.ARRAY")) return array(content, type);
    invalid(content, std::string("Expected VALUE element, got ") + content.name() + " instead");
}

}  // namespace cimxml
}  // namespace Pegasus
