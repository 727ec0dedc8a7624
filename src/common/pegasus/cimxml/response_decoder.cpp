#include "response_decoder.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <pugixml.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "key_order.h"

namespace Pegasus {
namespace cimxml {

namespace {

bool named(const pugi::xml_node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

// Names of pugixml's parse failures in OpenPegasus's words.
const char* parseFailureText(pugi::xml_parse_status status, bool atEnd) {
    switch (status) {
        case pugi::status_bad_attribute:
            return "Bad attribute name";
        case pugi::status_bad_start_element:
            return "Bad opening element";
        case pugi::status_bad_end_element:
            return "Bad closing element";
        case pugi::status_end_element_mismatch:
            return atEnd ? "One or more tags are still open"
                         : "Closing element does not match opening element";
        case pugi::status_unrecognized_tag:
            return "Bad opening element";
        case pugi::status_bad_comment:
            return "Unterminated comment";
        case pugi::status_bad_cdata:
            return "Unterminated CDATA block";
        case pugi::status_bad_doctype:
            return "Unterminated DOCTYPE";
        case pugi::status_bad_pi:
            return "Bad processing instruction";
        case pugi::status_bad_pcdata:
            return "Malformed reference";
        case pugi::status_no_document_element:
            return "No root element";
        default:
            return "Malformed XML";
    }
}

// Decodes one response document. Errors name the line they were found on,
// counted from the start of the body as OpenPegasus counts.
class Decoder {
  public:
    Decoder(std::string& body, Uint32 messageId) : body_(body) {
        size_t start = body.find_first_not_of(" \t\r\n");
        if (start == std::string::npos || body.compare(start, 5, "<?xml") != 0) {
            throw CIMClientXmlException(
                "Validation error: on line 1: Expected <?xml ... ?> style declaration");
        }
        pugi::xml_parse_result result = document_.load_buffer_inplace(
            &body[0], body.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
            pugi::encoding_utf8);
        if (!result) {
            bool atEnd = static_cast<size_t>(result.offset) >= body.size();
            throw CIMClientXmlException(
                String::fromUtf8(std::string(parseFailureText(result.status, atEnd)) +
                                 ": on line " + std::to_string(lineAt(result.offset))));
        }
        pugi::xml_node cim = document_.document_element();
        if (!named(cim, "CIM")) invalid(cim, "Expected CIM element");
        pugi::xml_node message = onlyChild(cim, "MESSAGE");
        std::string id = message.attribute("ID").value();
        if (id != std::to_string(messageId)) {
            throw CIMClientResponseException(
                String::fromUtf8("Mismatched response message ID:  Got \"" + id +
                                 "\", expected \"" + std::to_string(messageId) + "\"."));
        }
        simpleResponse_ = onlyChild(message, "SIMPLERSP");
    }

    // The IMETHODRESPONSE's IRETURNVALUE, or an empty node when the response
    // has none. A server error is thrown as CIMException.
    pugi::xml_node intrinsicReturn(const char* operation) {
        pugi::xml_node response = onlyChild(simpleResponse_, "IMETHODRESPONSE");
        checkName(response, operation);
        pugi::xml_node first = firstElement(response);
        if (first && named(first, "ERROR")) throwError(first);
        if (first && !named(first, "IRETURNVALUE")) {
            invalid(first,
                    std::string("Expected IRETURNVALUE element, got ") + first.name() + " instead");
        }
        return first;
    }

    pugi::xml_node extrinsicResponse(const std::string& method) {
        pugi::xml_node response = onlyChild(simpleResponse_, "METHODRESPONSE");
        checkName(response, method.c_str());
        pugi::xml_node first = firstElement(response);
        if (first && named(first, "ERROR")) throwError(first);
        return response;
    }

    CIMInstance instance(const pugi::xml_node& node) {
        const char* className = requiredAttribute(node, "CLASSNAME");
        CIMInstance instance{CIMName(className)};
        for (pugi::xml_node child = firstElement(node); child; child = nextElement(child)) {
            if (named(child, "QUALIFIER")) {
                instance.addQualifier(qualifier(child));
            } else if (named(child, "PROPERTY")) {
                instance.addProperty(property(child, false));
            } else if (named(child, "PROPERTY.ARRAY")) {
                instance.addProperty(property(child, true));
            } else if (named(child, "PROPERTY.REFERENCE")) {
                instance.addProperty(referenceProperty(child));
            } else {
                invalid(child,
                        std::string("Expected PROPERTY element, got ") + child.name() + " instead");
            }
        }
        return instance;
    }

    CIMObjectPath instanceName(const pugi::xml_node& node) {
        if (!named(node, "INSTANCENAME")) {
            invalid(node,
                    std::string("Expected INSTANCENAME element, got ") + node.name() + " instead");
        }
        const char* className = requiredAttribute(node, "CLASSNAME");
        Array<CIMKeyBinding> keys;
        for (pugi::xml_node binding = firstElement(node); binding; binding = nextElement(binding)) {
            if (!named(binding, "KEYBINDING")) {
                invalid(binding, std::string("Expected KEYBINDING element, got ") + binding.name() +
                                     " instead");
            }
            CIMName name(requiredAttribute(binding, "NAME"));
            pugi::xml_node value = firstElement(binding);
            if (value && named(value, "KEYVALUE")) {
                keys.append(CIMKeyBinding(name, String(value.child_value()), keyValueType(value)));
            } else if (value && named(value, "VALUE.REFERENCE")) {
                keys.append(
                    CIMKeyBinding(name, reference(value).toString(), CIMKeyBinding::REFERENCE));
            } else {
                invalid(binding, "Expected KEYVALUE or VALUE.REFERENCE element");
            }
        }
        return CIMObjectPath(String(), CIMNamespaceName(), CIMName(className), keys);
    }

    CIMValue returnValue(const pugi::xml_node& response) {
        pugi::xml_node node = response.child("RETURNVALUE");
        if (!node) return CIMValue();
        return parameterValue(node, node.attribute("PARAMTYPE"));
    }

    Array<CIMParamValue> outParameters(const pugi::xml_node& response) {
        Array<CIMParamValue> parameters;
        for (pugi::xml_node node = firstElement(response); node; node = nextElement(node)) {
            if (named(node, "RETURNVALUE")) continue;
            if (!named(node, "PARAMVALUE")) {
                invalid(node, std::string("Expected PARAMVALUE element, got ") + node.name() +
                                  " instead");
            }
            pugi::xml_attribute type = node.attribute("PARAMTYPE");
            parameters.append(CIMParamValue(String(requiredAttribute(node, "NAME")),
                                            parameterValue(node, type), bool(type)));
        }
        return parameters;
    }

    [[noreturn]] void invalid(const pugi::xml_node& node, const std::string& what) const {
        throw CIMClientXmlException(String::fromUtf8("Validation error: on line " +
                                                     std::to_string(lineOf(node)) + ": " + what));
    }

    pugi::xml_node firstElement(const pugi::xml_node& node) const {
        pugi::xml_node child = node.first_child();
        while (child && child.type() != pugi::node_element) child = child.next_sibling();
        return child;
    }

    pugi::xml_node nextElement(const pugi::xml_node& node) const {
        pugi::xml_node sibling = node.next_sibling();
        while (sibling && sibling.type() != pugi::node_element) sibling = sibling.next_sibling();
        return sibling;
    }

  private:
    size_t lineAt(std::ptrdiff_t offset) const {
        size_t end = std::min(static_cast<size_t>(offset < 0 ? 0 : offset), body_.size());
        size_t line = 1;
        for (size_t i = 0; i < end; ++i) {
            if (body_[i] == '\n') ++line;
        }
        return line;
    }

    size_t lineOf(const pugi::xml_node& node) const { return lineAt(node.offset_debug()); }

    pugi::xml_node onlyChild(const pugi::xml_node& parent, const char* name) const {
        pugi::xml_node child = firstElement(parent);
        if (!child) invalid(parent, std::string("Expected ") + name + " element");
        if (!named(child, name)) {
            invalid(child,
                    std::string("Expected ") + name + " element, got " + child.name() + " instead");
        }
        return child;
    }

    const char* requiredAttribute(const pugi::xml_node& node, const char* name) const {
        pugi::xml_attribute attribute = node.attribute(name);
        if (!attribute) {
            invalid(node,
                    std::string("Missing ") + name + " attribute on " + node.name() + " element");
        }
        return attribute.value();
    }

    void checkName(const pugi::xml_node& response, const char* expected) const {
        if (!String::equalNoCase(String(requiredAttribute(response, "NAME")), String(expected))) {
            invalid(response, std::string("Expected ") + response.name() + " NAME=\"" + expected +
                                  "\", got \"" + response.attribute("NAME").value() + "\"");
        }
    }

    [[noreturn]] void throwError(const pugi::xml_node& error) const {
        Uint32 code = static_cast<Uint32>(integer(error, requiredAttribute(error, "CODE"), 0,
                                                  std::numeric_limits<Uint32>::max()));
        throw CIMException(static_cast<CIMStatusCode>(code),
                           String(error.attribute("DESCRIPTION").value()));
    }

    CIMKeyBinding::Type keyValueType(const pugi::xml_node& keyValue) const {
        pugi::xml_attribute type = keyValue.attribute("VALUETYPE");
        if (!type || std::strcmp(type.value(), "string") == 0) return CIMKeyBinding::STRING;
        if (std::strcmp(type.value(), "numeric") == 0) return CIMKeyBinding::NUMERIC;
        if (std::strcmp(type.value(), "boolean") == 0) return CIMKeyBinding::BOOLEAN;
        invalid(keyValue, std::string("Illegal value for VALUETYPE attribute: ") + type.value());
    }

    CIMType typeAttribute(const pugi::xml_node& node, const pugi::xml_attribute& attribute) const {
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

    CIMQualifier qualifier(const pugi::xml_node& node) {
        CIMType type = typeAttribute(node, node.attribute("TYPE"));
        pugi::xml_node content = firstElement(node);
        CIMValue value(type, false);
        if (content && named(content, "VALUE")) {
            value = scalar(content, type);
        } else if (content && named(content, "VALUE.ARRAY")) {
            value = array(content, type);
        } else if (content) {
            invalid(content,
                    std::string("Expected VALUE element, got ") + content.name() + " instead");
        }
        return CIMQualifier(CIMName(requiredAttribute(node, "NAME")), value,
                            node.attribute("PROPAGATED").as_bool());
    }

    // PROPERTY or PROPERTY.ARRAY: qualifiers first, then at most one value.
    CIMProperty property(const pugi::xml_node& node, bool isArray) {
        CIMType type = typeAttribute(node, node.attribute("TYPE"));
        if (type == CIMTYPE_REFERENCE) invalid(node, "Illegal value for TYPE attribute: reference");
        CIMValue value(type, isArray);
        Array<CIMQualifier> qualifiers;
        const char* valueElement = isArray ? "VALUE.ARRAY" : "VALUE";
        for (pugi::xml_node child = firstElement(node); child; child = nextElement(child)) {
            if (named(child, "QUALIFIER")) {
                qualifiers.append(qualifier(child));
            } else if (named(child, valueElement)) {
                value = isArray ? array(child, type) : scalar(child, type);
            } else {
                invalid(child, std::string("Expected ") + valueElement + " element, got " +
                                   child.name() + " instead");
            }
        }
        CIMProperty property(
            CIMName(requiredAttribute(node, "NAME")), value,
            isArray ? static_cast<Uint32>(node.attribute("ARRAYSIZE").as_uint()) : 0, CIMName(),
            CIMName(node.attribute("CLASSORIGIN").value()), node.attribute("PROPAGATED").as_bool());
        for (Uint32 i = 0; i < qualifiers.size(); ++i) property.addQualifier(qualifiers[i]);
        return property;
    }

    CIMProperty referenceProperty(const pugi::xml_node& node) {
        CIMValue value(CIMTYPE_REFERENCE, false);
        Array<CIMQualifier> qualifiers;
        for (pugi::xml_node child = firstElement(node); child; child = nextElement(child)) {
            if (named(child, "QUALIFIER")) {
                qualifiers.append(qualifier(child));
            } else if (named(child, "VALUE.REFERENCE")) {
                value = CIMValue(reference(child));
            } else {
                invalid(child, std::string("Expected VALUE.REFERENCE element, got ") +
                                   child.name() + " instead");
            }
        }
        CIMProperty property(CIMName(requiredAttribute(node, "NAME")), value, 0,
                             CIMName(node.attribute("REFERENCECLASS").value()),
                             CIMName(node.attribute("CLASSORIGIN").value()),
                             node.attribute("PROPAGATED").as_bool());
        for (Uint32 i = 0; i < qualifiers.size(); ++i) property.addQualifier(qualifiers[i]);
        return property;
    }

    CIMNamespaceName localNamespacePath(const pugi::xml_node& node) {
        if (!named(node, "LOCALNAMESPACEPATH"))
            invalid(node, "Expected LOCALNAMESPACEPATH element");
        std::string text;
        for (pugi::xml_node part = firstElement(node); part; part = nextElement(part)) {
            if (!named(part, "NAMESPACE")) invalid(part, "Expected NAMESPACE element");
            if (!text.empty()) text += '/';
            text += requiredAttribute(part, "NAME");
        }
        if (text.empty()) invalid(node, "Expected NAMESPACE element");
        return CIMNamespaceName(String::fromUtf8(std::move(text)));
    }

    // NAMESPACEPATH: HOST and LOCALNAMESPACEPATH.
    void namespacePath(const pugi::xml_node& node, String& host, CIMNamespaceName& nameSpace) {
        if (!named(node, "NAMESPACEPATH")) invalid(node, "Expected NAMESPACEPATH element");
        pugi::xml_node hostNode = firstElement(node);
        if (!hostNode || !named(hostNode, "HOST")) invalid(node, "Expected HOST element");
        host = String(hostNode.child_value());
        pugi::xml_node local = nextElement(hostNode);
        if (!local) invalid(node, "Expected LOCALNAMESPACEPATH element");
        nameSpace = localNamespacePath(local);
    }

    // VALUE.REFERENCE in any of its forms; the path keeps whatever host and
    // namespace the form carries.
    CIMObjectPath reference(const pugi::xml_node& node) {
        pugi::xml_node form = firstElement(node);
        if (!form) invalid(node, "Expected a path element in VALUE.REFERENCE");
        String host;
        CIMNamespaceName nameSpace;
        pugi::xml_node name;
        if (named(form, "INSTANCENAME") || named(form, "CLASSNAME")) {
            name = form;
        } else if (named(form, "LOCALINSTANCEPATH") || named(form, "LOCALCLASSPATH")) {
            pugi::xml_node local = firstElement(form);
            if (!local) invalid(form, "Expected LOCALNAMESPACEPATH element");
            nameSpace = localNamespacePath(local);
            name = nextElement(local);
        } else if (named(form, "INSTANCEPATH") || named(form, "CLASSPATH")) {
            pugi::xml_node path = firstElement(form);
            if (!path) invalid(form, "Expected NAMESPACEPATH element");
            namespacePath(path, host, nameSpace);
            name = nextElement(path);
        } else {
            invalid(form, std::string("Expected a path element in VALUE.REFERENCE, got ") +
                              form.name() + " instead");
        }
        if (!name) invalid(form, "Expected INSTANCENAME or CLASSNAME element");
        CIMObjectPath path;
        if (named(name, "CLASSNAME")) {
            path = CIMObjectPath(String(), CIMNamespaceName(),
                                 CIMName(requiredAttribute(name, "NAME")));
        } else {
            path = instanceName(name);
        }
        path.setHost(host);
        path.setNameSpace(nameSpace);
        return path;
    }

    // PARAMVALUE or RETURNVALUE content. Without a type the server's text
    // arrives as a string, as OpenPegasus reads it.
    CIMValue parameterValue(const pugi::xml_node& node, const pugi::xml_attribute& typeAttr) {
        pugi::xml_node content = firstElement(node);
        CIMType type = typeAttribute(node, typeAttr);
        if (!content) return CIMValue(type, false);
        if (named(content, "VALUE.REFERENCE")) return CIMValue(reference(content));
        if (named(content, "VALUE.REFARRAY")) {
            Array<CIMObjectPath> paths;
            for (pugi::xml_node item = firstElement(content); item; item = nextElement(item)) {
                paths.append(reference(item));
            }
            return CIMValue(paths);
        }
        if (type == CIMTYPE_REFERENCE) invalid(content, "Expected VALUE.REFERENCE element");
        if (named(content, "VALUE")) return scalar(content, type);
        if (named(content, "VALUE.ARRAY")) return array(content, type);
        invalid(content, std::string("Expected VALUE element, got ") + content.name() + " instead");
    }

    Sint64 integer(const pugi::xml_node& node, const char* text, Sint64 minimum,
                   Uint64 maximum) const {
        std::string trimmed(text);
        size_t first = trimmed.find_first_not_of(" \t\r\n");
        size_t last = trimmed.find_last_not_of(" \t\r\n");
        trimmed = first == std::string::npos ? "" : trimmed.substr(first, last - first + 1);
        bool negative = !trimmed.empty() && trimmed[0] == '-';
        size_t digits = (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+')) ? 1 : 0;
        int base = 10;
        if (trimmed.size() > digits + 2 && trimmed[digits] == '0' &&
            (trimmed[digits + 1] == 'x' || trimmed[digits + 1] == 'X')) {
            base = 16;
            digits += 2;
        }
        const char* start = trimmed.c_str() + digits;
        char* end = nullptr;
        errno = 0;
        Uint64 magnitude = std::strtoull(start, &end, base);
        bool valid = *start != '\0' && *start != '-' && *start != '+' && *end == '\0' && errno == 0;
        if (valid && negative) {
            valid = magnitude <= static_cast<Uint64>(-(minimum + 1)) + 1 && minimum < 0;
        } else if (valid) {
            valid = magnitude <= maximum;
        }
        if (!valid) semantic(node, std::string("Illegal integer value \"") + text + "\"");
        return negative ? static_cast<Sint64>(0 - magnitude) : static_cast<Sint64>(magnitude);
    }

    [[noreturn]] void semantic(const pugi::xml_node& node, const std::string& what) const {
        throw CIMClientXmlException(String::fromUtf8("Semantic error: on line " +
                                                     std::to_string(lineOf(node)) + ": " + what));
    }

    template <class T>
    T integerOf(const pugi::xml_node& node, const char* text) const {
        return static_cast<T>(integer(node, text,
                                      static_cast<Sint64>(std::numeric_limits<T>::min()),
                                      static_cast<Uint64>(std::numeric_limits<T>::max())));
    }

    Real64 real(const pugi::xml_node& node, const char* text) const {
        char* end = nullptr;
        Real64 value = std::strtod(text, &end);
        while (end != nullptr && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) {
            ++end;
        }
        if (end == text || *end != '\0') {
            semantic(node, std::string("Illegal real value \"") + text + "\"");
        }
        return value;
    }

    Boolean boolean(const pugi::xml_node& node, const char* text) const {
        String value(text);
        if (String::equalNoCase(value, "TRUE")) return true;
        if (String::equalNoCase(value, "FALSE")) return false;
        semantic(node, std::string("Illegal boolean value \"") + text + "\"");
    }

    CIMDateTime dateTime(const pugi::xml_node& node, const char* text) const {
        try {
            return CIMDateTime(String(text));
        } catch (const InvalidDateTimeFormatException&) {
            semantic(node, std::string("Illegal datetime value \"") + text + "\"");
        }
    }

    static Char16 char16(const char* text) {
        String value(text);
        return value.size() == 0 ? Char16() : value[0];
    }

    // Array<T> of the VALUE elements of a VALUE.ARRAY, each converted by parse.
    template <class T, class Parse>
    CIMValue arrayOf(const pugi::xml_node& node, Parse parse) {
        Array<T> items;
        for (pugi::xml_node item = firstElement(node); item; item = nextElement(item)) {
            if (!named(item, "VALUE")) {
                invalid(item,
                        std::string("Expected VALUE element, got ") + item.name() + " instead");
            }
            items.append(parse(item, item.child_value()));
        }
        return CIMValue(items);
    }

    CIMValue scalar(const pugi::xml_node& node, CIMType type) {
        const char* text = node.child_value();
        switch (type) {
            case CIMTYPE_BOOLEAN:
                return CIMValue(boolean(node, text));
            case CIMTYPE_UINT8:
                return CIMValue(integerOf<Uint8>(node, text));
            case CIMTYPE_SINT8:
                return CIMValue(integerOf<Sint8>(node, text));
            case CIMTYPE_UINT16:
                return CIMValue(integerOf<Uint16>(node, text));
            case CIMTYPE_SINT16:
                return CIMValue(integerOf<Sint16>(node, text));
            case CIMTYPE_UINT32:
                return CIMValue(integerOf<Uint32>(node, text));
            case CIMTYPE_SINT32:
                return CIMValue(integerOf<Sint32>(node, text));
            case CIMTYPE_UINT64:
                return CIMValue(integerOf<Uint64>(node, text));
            case CIMTYPE_SINT64:
                return CIMValue(integerOf<Sint64>(node, text));
            case CIMTYPE_REAL32:
                return CIMValue(static_cast<Real32>(real(node, text)));
            case CIMTYPE_REAL64:
                return CIMValue(real(node, text));
            case CIMTYPE_CHAR16:
                return CIMValue(char16(text));
            case CIMTYPE_DATETIME:
                return CIMValue(dateTime(node, text));
            default:
                return CIMValue(String(text));
        }
    }

    template <class T>
    auto integerParser() {
        return [this](const pugi::xml_node& n, const char* t) { return integerOf<T>(n, t); };
    }

    CIMValue array(const pugi::xml_node& node, CIMType type) {
        auto asBoolean = [this](const pugi::xml_node& n, const char* t) { return boolean(n, t); };
        auto asReal = [this](const pugi::xml_node& n, const char* t) { return real(n, t); };
        switch (type) {
            case CIMTYPE_BOOLEAN:
                return arrayOf<Boolean>(node, asBoolean);
            case CIMTYPE_UINT8:
                return arrayOf<Uint8>(node, integerParser<Uint8>());
            case CIMTYPE_SINT8:
                return arrayOf<Sint8>(node, integerParser<Sint8>());
            case CIMTYPE_UINT16:
                return arrayOf<Uint16>(node, integerParser<Uint16>());
            case CIMTYPE_SINT16:
                return arrayOf<Sint16>(node, integerParser<Sint16>());
            case CIMTYPE_UINT32:
                return arrayOf<Uint32>(node, integerParser<Uint32>());
            case CIMTYPE_SINT32:
                return arrayOf<Sint32>(node, integerParser<Sint32>());
            case CIMTYPE_UINT64:
                return arrayOf<Uint64>(node, integerParser<Uint64>());
            case CIMTYPE_SINT64:
                return arrayOf<Sint64>(node, integerParser<Sint64>());
            case CIMTYPE_REAL32:
                return arrayOf<Real32>(node, [this](const pugi::xml_node& n, const char* t) {
                    return static_cast<Real32>(real(n, t));
                });
            case CIMTYPE_REAL64:
                return arrayOf<Real64>(node, asReal);
            case CIMTYPE_CHAR16:
                return arrayOf<Char16>(
                    node, [](const pugi::xml_node&, const char* t) { return char16(t); });
            case CIMTYPE_DATETIME:
                return arrayOf<CIMDateTime>(node, [this](const pugi::xml_node& n, const char* t) {
                    return dateTime(n, t);
                });
            default:
                return arrayOf<String>(
                    node, [](const pugi::xml_node&, const char* t) { return String(t); });
        }
    }

    std::string& body_;
    pugi::xml_document document_;
    pugi::xml_node simpleResponse_;
};

}  // namespace

Array<CIMInstance> decodeEnumerateInstances(std::string& body, Uint32 messageId) {
    Decoder decoder(body, messageId);
    pugi::xml_node returned = decoder.intrinsicReturn("EnumerateInstances");
    Array<CIMInstance> instances;
    if (!returned) return instances;
    for (pugi::xml_node named = decoder.firstElement(returned); named;
         named = decoder.nextElement(named)) {
        if (std::strcmp(named.name(), "VALUE.NAMEDINSTANCE") != 0) {
            decoder.invalid(named, std::string("Expected close of IRETURNVALUE element, got ") +
                                       named.name() + " instead");
        }
        pugi::xml_node nameNode = decoder.firstElement(named);
        if (!nameNode) decoder.invalid(named, "Expected INSTANCENAME element");
        CIMObjectPath path = decoder.instanceName(nameNode);
        pugi::xml_node instanceNode = decoder.nextElement(nameNode);
        if (!instanceNode || std::strcmp(instanceNode.name(), "INSTANCE") != 0) {
            decoder.invalid(instanceNode ? instanceNode : named, "Expected INSTANCE element");
        }
        CIMInstance instance = decoder.instance(instanceNode);
        instance.setPath(path);
        instances.append(instance);
    }
    return instances;
}

CIMInstance decodeGetInstance(std::string& body, Uint32 messageId) {
    Decoder decoder(body, messageId);
    pugi::xml_node returned = decoder.intrinsicReturn("GetInstance");
    if (!returned)
        throw CIMClientXmlException("Validation error: on line 1: Expected IRETURNVALUE element");
    pugi::xml_node instanceNode = decoder.firstElement(returned);
    if (!instanceNode || std::strcmp(instanceNode.name(), "INSTANCE") != 0) {
        decoder.invalid(instanceNode ? instanceNode : returned, "Expected INSTANCE element");
    }
    if (decoder.nextElement(instanceNode)) {
        decoder.invalid(decoder.nextElement(instanceNode),
                        "Expected close of IRETURNVALUE element, got " +
                            std::string(decoder.nextElement(instanceNode).name()) + " instead");
    }
    CIMInstance instance = decoder.instance(instanceNode);
    instance.setPath(CIMObjectPath(String(), CIMNamespaceName(), instance.getClassName()));
    return instance;
}

CIMValue decodeInvokeMethod(std::string& body, Uint32 messageId, const CIMName& methodName,
                            Array<CIMParamValue>& outParameters) {
    Decoder decoder(body, messageId);
    pugi::xml_node response = decoder.extrinsicResponse(methodName.getString().utf8());
    CIMValue returned = decoder.returnValue(response);
    outParameters = decoder.outParameters(response);
    return returned;
}

}  // namespace cimxml
}  // namespace Pegasus
