#include "response_decoder.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "element_tree.h"
#include "key_order.h"
#include "observer_hooks.h"
#include "value_text.h"
#include "xml_parser.h"

namespace Pegasus {
namespace cimxml {

namespace {

bool named(const Node& node, const char* name) { return std::strcmp(node.name(), name) == 0; }

// A reference key of the instance name being decoded.
struct KnownReference {
    Node element;  // its VALUE.REFERENCE
    CIMObjectPath path;
};

// What was decoded of the enumeration's previous VALUE.NAMEDINSTANCE, while the
// tree still holds it; its elements are found by their distance from its root,
// since the tree moves it.
struct PreviousInstance {
    CIMInstance instance;
    std::int32_t instanceOffset = -1;  // its INSTANCE
    // Each QUALIFIER and PROPERTY child became a qualifier or property of
    // its own, in order (no name repeated), so the n-th property child is
    // property n.
    bool oneToOne = false;
    // Its reference keys: each VALUE.REFERENCE's distance from the root, and path.
    std::vector<std::pair<std::int32_t, CIMObjectPath>> references;
};

// Turns the elements of one response into CIM objects. Errors name the line
// the element starts on, counted from the start of the body as OpenPegasus
// counts.
class Decoder {
  public:
    explicit Decoder(const ElementTree& tree) : tree_(tree) {}

    // CIM, MESSAGE (with the request's ID) and SIMPLERSP, in that order.
    void checkEnvelope(Uint32 messageId) {
        Node cim(&tree_, tree_.empty() ? -1 : 0);
        if (!named(cim, "CIM")) invalid(cim, "Expected CIM element");
        Node message = onlyChild(cim, "MESSAGE");
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
    Node intrinsicReturn(const char* operation) {
        Node response = onlyChild(simpleResponse_, "IMETHODRESPONSE");
        checkName(response, operation);
        Node first = response.firstElement();
        if (first && named(first, "ERROR")) throwError(first);
        if (first && !named(first, "IRETURNVALUE")) {
            invalid(first,
                    std::string("Expected IRETURNVALUE element, got ") + first.name() + " instead");
        }
        return first;
    }

    Node extrinsicResponse(const std::string& method) {
        Node response = onlyChild(simpleResponse_, "METHODRESPONSE");
        checkName(response, method.c_str());
        Node first = response.firstElement();
        if (first && named(first, "ERROR")) throwError(first);
        return response;
    }

    // One VALUE.NAMEDINSTANCE of an EnumerateInstances response; `previous`,
    // when given, is the one decoded before it, which it may repeat in part.
    CIMInstance namedInstance(const Node& named, const Node& previous = Node()) {
        if (std::strcmp(named.name(), "VALUE.NAMEDINSTANCE") != 0) {
            invalid(named, std::string("Expected close of IRETURNVALUE element, got ") +
                               named.name() + " instead");
        }
        Node nameNode = named.firstElement();
        if (!nameNode) invalid(named, "Expected INSTANCENAME element");
        // The nodes recorded are valid only while this instance's elements are.
        struct Forget {
            std::vector<KnownReference>& references;
            ~Forget() { references.clear(); }
        } forget{nameReferences_};
        previousRoot_ = previous_.instanceOffset >= 0 ? previous : Node();
        Node model =
            previousRoot_ ? Node(&tree_, previous.index() + previous_.instanceOffset) : Node();
        previous_.instanceOffset = -1;
        CIMObjectPath path = instanceName(nameNode, &nameReferences_);
        Node instanceNode = nameNode.nextElement();
        if (!instanceNode || std::strcmp(instanceNode.name(), "INSTANCE") != 0) {
            invalid(instanceNode ? instanceNode : named, "Expected INSTANCE element");
        }
        CIMInstance result;
        if (!model || !previous_.oneToOne || !repeated(instanceNode, model, result)) {
            result = instance(instanceNode);
        }
        result.setPath(path);
        remember(named, instanceNode, result);
        return result;
    }

    // The one element of the IRETURNVALUE of a GetInstance or GetClass
    // response.
    Node onlyReturned(const char* operation, const char* element) {
        Node returned = intrinsicReturn(operation);
        if (!returned) invalid(Node(), "Expected IRETURNVALUE element");
        Node only = returned.firstElement();
        if (!only || !named(only, element)) {
            invalid(only ? only : returned, std::string("Expected ") + element + " element");
        }
        Node extra = only.nextElement();
        if (extra) {
            invalid(extra, std::string("Expected close of IRETURNVALUE element, got ") +
                               extra.name() + " instead");
        }
        return only;
    }

    CIMClass classElement(const Node& node) {
        CIMClass result(name(requiredAttribute(node, "NAME")),
                        name(node.attribute("SUPERCLASS").value()));
        for (Node child = node.firstElement(); child; child = child.nextElement()) {
            if (named(child, "QUALIFIER")) {
                result.addQualifier(qualifier(child));
            } else if (named(child, "PROPERTY")) {
                result.addProperty(property(child, false));
            } else if (named(child, "PROPERTY.ARRAY")) {
                result.addProperty(property(child, true));
            } else if (named(child, "PROPERTY.REFERENCE")) {
                result.addProperty(referenceProperty(child));
            } else if (named(child, "METHOD")) {
                method(child);
            } else {
                invalid(child,
                        std::string("Expected PROPERTY element, got ") + child.name() + " instead");
            }
        }
        return result;
    }

    CIMInstance instance(const Node& node) {
        const char* className = requiredAttribute(node, "CLASSNAME");
        CIMInstance instance{name(className)};
        Uint32 children = 0;
        for (Node child = node.firstElement(); child; child = child.nextElement()) ++children;
        instance.reserveProperties(children);
        for (Node child = node.firstElement(); child; child = child.nextElement()) {
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

    // `references`, when given, gets each reference key's VALUE.REFERENCE and path.
    CIMObjectPath instanceName(const Node& node,
                               std::vector<KnownReference>* references = nullptr) {
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
                invalid(binding, std::string("Expected KEYBINDING element, got ") + binding.name() +
                                     " instead");
            }
            CIMName keyName = name(requiredAttribute(binding, "NAME"));
            Node value = binding.firstElement();
            if (value && named(value, "KEYVALUE")) {
                keys.append(CIMKeyBinding(keyName, String(value.text()), keyValueType(value)));
            } else if (value && named(value, "VALUE.REFERENCE")) {
                CIMObjectPath path =
                    references != nullptr ? repeatedReference(value) : reference(value);
                keys.append(CIMKeyBinding(keyName, path.toString(), CIMKeyBinding::REFERENCE));
                if (references != nullptr) references->push_back({value, path});
            } else {
                invalid(binding, "Expected KEYVALUE or VALUE.REFERENCE element");
            }
        }
        return CIMObjectPath(String(), CIMNamespaceName(), name(className), std::move(keys));
    }

    CIMValue returnValue(const Node& response) {
        Node node = response.child("RETURNVALUE");
        if (!node) return CIMValue();
        return parameterValue(node, node.attribute("PARAMTYPE"));
    }

    Array<CIMParamValue> outParameters(const Node& response) {
        Array<CIMParamValue> parameters;
        for (Node node = response.firstElement(); node; node = node.nextElement()) {
            if (named(node, "RETURNVALUE")) continue;
            if (!named(node, "PARAMVALUE")) {
                invalid(node, std::string("Expected PARAMVALUE element, got ") + node.name() +
                                  " instead");
            }
            Attribute type = node.attribute("PARAMTYPE");
            parameters.append(CIMParamValue(String(requiredAttribute(node, "NAME")),
                                            parameterValue(node, type), bool(type)));
        }
        return parameters;
    }

    [[noreturn]] void invalid(const Node& node, const std::string& what) const {
        throw CIMClientXmlException(String::fromUtf8("Validation error: on line " +
                                                     std::to_string(node.line()) + ": " + what));
    }

  private:
    // The previous instance's reference key that `node` repeats, or a new path.
    CIMObjectPath repeatedReference(const Node& node) {
        if (previousRoot_) {
            for (const auto& [offset, path] : previous_.references) {
                if (Node(&tree_, previousRoot_.index() + offset).sameContent(node)) return path;
            }
        }
        return reference(node);
    }

    // The INSTANCE `node` built from the previous one, `model`, when it
    // differs from it only in the contents of some properties: each child
    // the same as the model's, element for element, is what the model's made
    // of it, and only the others are decoded. False when it differs in more.
    bool repeated(const Node& node, const Node& model, CIMInstance& result) {
        if (std::strcmp(requiredAttribute(node, "CLASSNAME"),
                        model.attribute("CLASSNAME").value()) != 0) {
            return false;
        }
        changed_.clear();
        Uint32 propertyIndex = 0;
        Node child = node.firstElement();
        Node was = model.firstElement();
        for (; child && was; child = child.nextElement(), was = was.nextElement()) {
            const bool isProperty = !named(child, "QUALIFIER");
            if (!child.sameContent(was)) {
                if (!isProperty || std::strcmp(child.name(), was.name()) != 0 ||
                    std::strcmp(child.attribute("NAME").value(), was.attribute("NAME").value()) !=
                        0) {
                    return false;
                }
                changed_.push_back({propertyIndex, child});
            }
            if (isProperty) ++propertyIndex;
        }
        if (child || was) return false;
        result = previous_.instance;
        for (const auto& [index, element] : changed_) {
            result.setProperty(index, named(element, "PROPERTY.REFERENCE")
                                          ? referenceProperty(element)
                                          : property(element, named(element, "PROPERTY.ARRAY")));
        }
        return true;
    }

    // Keeps what the next instance may repeat.
    void remember(const Node& root, const Node& instanceNode, const CIMInstance& result) {
        Uint32 qualifiers = 0;
        Uint32 properties = 0;
        for (Node child = instanceNode.firstElement(); child; child = child.nextElement()) {
            ++(named(child, "QUALIFIER") ? qualifiers : properties);
        }
        previous_.instance = result;
        previous_.oneToOne =
            result.getQualifierCount() == qualifiers && result.getPropertyCount() == properties;
        previous_.instanceOffset = instanceNode.index() - root.index();
        previous_.references.clear();
        for (const KnownReference& known : nameReferences_) {
            previous_.references.push_back({known.element.index() - root.index(), known.path});
        }
    }

    // The names of a response are few and repeated in every instance: each
    // is made once and shared.
    CIMName name(const char* text) const {
        if (*text == '\0') return CIMName();
        auto known = names_.find(std::string_view(text));
        if (known != names_.end()) return known->second;
        CIMName made(text);
        // A server sending ever new names gets no sharing, not unbounded memory.
        if (names_.size() < 4096) names_.emplace(made.getString().utf8(), made);
        return made;
    }

    Node onlyChild(const Node& parent, const char* name) const {
        Node child = parent.firstElement();
        if (!child) invalid(parent, std::string("Expected ") + name + " element");
        if (!named(child, name)) {
            invalid(child,
                    std::string("Expected ") + name + " element, got " + child.name() + " instead");
        }
        return child;
    }

    const char* requiredAttribute(const Node& node, const char* name) const {
        return required(node, node.attribute(name), name);
    }

    const char* required(const Node& node, const Attribute& attribute, const char* name) const {
        if (!attribute) {
            invalid(node,
                    std::string("Missing ") + name + " attribute on " + node.name() + " element");
        }
        return attribute.value();
    }

    void checkName(const Node& response, const char* expected) const {
        if (!String::equalNoCase(String(requiredAttribute(response, "NAME")), String(expected))) {
            invalid(response, std::string("Expected ") + response.name() + " NAME=\"" + expected +
                                  "\", got \"" + response.attribute("NAME").value() + "\"");
        }
    }

    [[noreturn]] void throwError(const Node& error) const {
        Uint32 code = static_cast<Uint32>(integerFromText(
            requiredAttribute(error, "CODE"), 0, std::numeric_limits<Uint32>::max(), error.line()));
        throw CIMException(static_cast<CIMStatusCode>(code),
                           String(error.attribute("DESCRIPTION").value()));
    }

    CIMKeyBinding::Type keyValueType(const Node& keyValue) const {
        Attribute type = keyValue.attribute("VALUETYPE");
        if (!type || std::strcmp(type.value(), "string") == 0) return CIMKeyBinding::STRING;
        if (std::strcmp(type.value(), "numeric") == 0) return CIMKeyBinding::NUMERIC;
        if (std::strcmp(type.value(), "boolean") == 0) return CIMKeyBinding::BOOLEAN;
        invalid(keyValue, std::string("Illegal value for VALUETYPE attribute: ") + type.value());
    }

    CIMType typeAttribute(const Node& node, const Attribute& attribute) const {
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

    CIMQualifier qualifier(const Node& node) {
        CIMType type = typeAttribute(node, node.attribute("TYPE"));
        Node content = node.firstElement();
        CIMValue value(type, false);
        if (content && named(content, "VALUE")) {
            value = scalar(content, type);
        } else if (content && named(content, "VALUE.ARRAY")) {
            value = array(content, type);
        } else if (content) {
            invalid(content,
                    std::string("Expected VALUE element, got ") + content.name() + " instead");
        }
        return CIMQualifier(name(requiredAttribute(node, "NAME")), value,
                            node.attribute("PROPAGATED").asBool());
    }

    // OpenPegasus types a string property that an EmbeddedObject qualifier
    // marks as object (EmbeddedInstance: instance). Embedded objects are not
    // decoded here, so only a null value takes that type; a value stays its
    // string.
    static CIMType embeddedType(const Array<CIMQualifier>& qualifiers) {
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

    // PROPERTY or PROPERTY.ARRAY: qualifiers first, then at most one value.
    CIMProperty property(const Node& node, bool isArray) {
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
                             isArray ? static_cast<Uint32>(found[kArraySize].asUint()) : 0,
                             CIMName(), name(found[kClassOrigin].value()),
                             found[kPropagated].asBool());
        for (Uint32 i = 0; i < qualifiers.size(); ++i) property.addQualifier(qualifiers[i]);
        return property;
    }

    CIMProperty referenceProperty(const Node& node) {
        CIMValue value(CIMTYPE_REFERENCE, false);
        Array<CIMQualifier> qualifiers;
        for (Node child = node.firstElement(); child; child = child.nextElement()) {
            if (named(child, "QUALIFIER")) {
                qualifiers.append(qualifier(child));
            } else if (named(child, "VALUE.REFERENCE")) {
                value = CIMValue(knownReference(child));
            } else {
                invalid(child, std::string("Expected VALUE.REFERENCE element, got ") +
                                   child.name() + " instead");
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
    void method(const Node& node) {
        requiredAttribute(node, "NAME");
        typeAttribute(node, node.attribute("TYPE"));
        for (Node child = node.firstElement(); child; child = child.nextElement()) {
            if (named(child, "QUALIFIER")) {
                qualifier(child);
                continue;
            }
            bool typed = named(child, "PARAMETER") || named(child, "PARAMETER.ARRAY");
            if (!typed && !named(child, "PARAMETER.REFERENCE") &&
                !named(child, "PARAMETER.REFARRAY")) {
                invalid(child, std::string("Expected PARAMETER element, got ") + child.name() +
                                   " instead");
            }
            requiredAttribute(child, "NAME");
            if (typed) typeAttribute(child, child.attribute("TYPE"));
            for (Node part = child.firstElement(); part; part = part.nextElement()) {
                if (!named(part, "QUALIFIER")) {
                    invalid(part, std::string("Expected QUALIFIER element, got ") + part.name() +
                                      " instead");
                }
                qualifier(part);
            }
        }
    }

    CIMNamespaceName localNamespacePath(const Node& node) {
        if (!named(node, "LOCALNAMESPACEPATH"))
            invalid(node, "Expected LOCALNAMESPACEPATH element");
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
    void namespacePath(const Node& node, String& host, CIMNamespaceName& nameSpace) {
        if (!named(node, "NAMESPACEPATH")) invalid(node, "Expected NAMESPACEPATH element");
        Node hostNode = node.firstElement();
        if (!hostNode || !named(hostNode, "HOST")) invalid(node, "Expected HOST element");
        host = String(hostNode.text());
        Node local = hostNode.nextElement();
        if (!local) invalid(node, "Expected LOCALNAMESPACEPATH element");
        nameSpace = localNamespacePath(local);
    }

    // A reference property's path. Servers write an association's references
    // twice, as keys of its name and as properties: a property that repeats
    // a key element for element gets the key's path, and its text with it.
    CIMObjectPath knownReference(const Node& node) {
        for (const KnownReference& known : nameReferences_) {
            if (known.element.sameContent(node)) return known.path;
        }
        return reference(node);
    }

    // VALUE.REFERENCE in any of its forms; the path keeps whatever host and
    // namespace the form carries.
    CIMObjectPath reference(const Node& node) {
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
    CIMValue parameterValue(const Node& node, const Attribute& typeAttr) {
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

    const ElementTree& tree_;
    Node simpleResponse_;
    std::vector<KnownReference> nameReferences_;
    PreviousInstance previous_;
    // The previous VALUE.NAMEDINSTANCE while the one after it is decoded.
    Node previousRoot_;
    std::vector<std::pair<Uint32, Node>> changed_;
    // Keys view the names' own texts, which never change.
    mutable std::unordered_map<std::string_view, CIMName> names_;
};

}  // namespace

class ResponseDecoder::Impl : public ElementTree::ChildConsumer {
  public:
    Impl(Operation operation, Uint32 messageId)
        : operation_(operation), messageId_(messageId), parser_(tree_), decoder_(tree_) {
        tree_.attach(parser_);
        if (operation == Operation::EnumerateInstances) {
            tree_.streamChildrenOf(
                {"CIM", "MESSAGE", "SIMPLERSP", "IMETHODRESPONSE", "IRETURNVALUE"}, this);
        }
    }

    // The body is handed to the parser in pieces so that the tree's budget
    // follows the bytes parsed, however the caller cuts the body.
    void feed(const char* data, std::size_t size) {
        if (syntaxFailure_) return;
        try {
            const std::size_t piece = 64 * 1024;
            do {
                std::size_t now = std::min(size, piece);
                bodySize_ += now;
                if (bodySize_ > bodyLimit_) {
                    throw CIMClientMalformedHTTPException(
                        String::fromUtf8("Response from CIM Server exceeds the limit of " +
                                         std::to_string(bodyLimit_) + " bytes."));
                }
                tree_.received(now);
                parser_.feed(data, now);
                data += now;
                size -= now;
            } while (size > 0);
        } catch (...) {
            syntaxFailure_ = std::current_exception();
        }
    }

    // Throws the first defect: of the XML first, then of its content.
    void finish() {
        if (syntaxFailure_) std::rethrow_exception(syntaxFailure_);
        parser_.finish();
        if (contentFailure_) std::rethrow_exception(contentFailure_);
        if (!enveloped_) decoder_.checkEnvelope(messageId_);
    }

    // A defect of the content is kept until the whole body is known to be
    // well-formed XML, since OpenPegasus reports an XML error first.
    void consume(std::int32_t element, std::int32_t previous) override {
        if (contentFailure_) return;
        try {
            if (!enveloped_) {
                decoder_.checkEnvelope(messageId_);
                enveloped_ = true;
                decoder_.intrinsicReturn("EnumerateInstances");
            }
            instances_.append(
                decoder_.namedInstance(Node(&tree_, element), Node(&tree_, previous)));
        } catch (...) {
            contentFailure_ = std::current_exception();
        }
    }

    Operation operation_;
    Uint32 messageId_;
    // The transport's limit, applied here too for bodies that arrive whole.
    std::uint64_t bodyLimit_ = responseLimit();
    std::uint64_t bodySize_ = 0;
    ElementTree tree_{bodyLimit_};
    xml::XmlParser parser_;
    Decoder decoder_;
    bool enveloped_ = false;
    std::exception_ptr syntaxFailure_;
    std::exception_ptr contentFailure_;
    Array<CIMInstance> instances_;
};

ResponseDecoder::ResponseDecoder(Operation operation, Uint32 messageId)
    : impl_(std::make_unique<Impl>(operation, messageId)) {}
ResponseDecoder::~ResponseDecoder() = default;

void ResponseDecoder::feed(const char* data, std::size_t size) { impl_->feed(data, size); }

Array<CIMInstance> ResponseDecoder::finishEnumerateInstances() {
    impl_->finish();
    Node returned = impl_->decoder_.intrinsicReturn("EnumerateInstances");
    if (returned) {
        // Children left here were not streamed (none, in a response of the
        // usual shape).
        for (Node named = returned.firstElement(); named; named = named.nextElement()) {
            impl_->instances_.append(impl_->decoder_.namedInstance(named));
        }
    }
    Array<CIMInstance> instances;
    std::swap(instances, impl_->instances_);
    return instances;
}

CIMInstance ResponseDecoder::finishGetInstance() {
    impl_->finish();
    Decoder& decoder = impl_->decoder_;
    CIMInstance instance = decoder.instance(decoder.onlyReturned("GetInstance", "INSTANCE"));
    instance.setPath(CIMObjectPath(String(), CIMNamespaceName(), instance.getClassName()));
    return instance;
}

CIMClass ResponseDecoder::finishGetClass() {
    impl_->finish();
    Decoder& decoder = impl_->decoder_;
    return decoder.classElement(decoder.onlyReturned("GetClass", "CLASS"));
}

CIMValue ResponseDecoder::finishInvokeMethod(const CIMName& methodName,
                                             Array<CIMParamValue>& outParameters) {
    impl_->finish();
    Decoder& decoder = impl_->decoder_;
    Node response = decoder.extrinsicResponse(methodName.getString().utf8());
    CIMValue returned = decoder.returnValue(response);
    outParameters = decoder.outParameters(response);
    return returned;
}

Array<CIMInstance> decodeEnumerateInstances(const std::string& body, Uint32 messageId) {
    ResponseDecoder decoder(ResponseDecoder::Operation::EnumerateInstances, messageId);
    decoder.feed(body.data(), body.size());
    return decoder.finishEnumerateInstances();
}

CIMInstance decodeGetInstance(const std::string& body, Uint32 messageId) {
    ResponseDecoder decoder(ResponseDecoder::Operation::GetInstance, messageId);
    decoder.feed(body.data(), body.size());
    return decoder.finishGetInstance();
}

CIMClass decodeGetClass(const std::string& body, Uint32 messageId) {
    ResponseDecoder decoder(ResponseDecoder::Operation::GetClass, messageId);
    decoder.feed(body.data(), body.size());
    return decoder.finishGetClass();
}

CIMValue decodeInvokeMethod(const std::string& body, Uint32 messageId, const CIMName& methodName,
                            Array<CIMParamValue>& outParameters) {
    ResponseDecoder decoder(ResponseDecoder::Operation::InvokeMethod, messageId);
    decoder.feed(body.data(), body.size());
    return decoder.finishInvokeMethod(methodName, outParameters);
}

}  // namespace cimxml
}  // namespace Pegasus
