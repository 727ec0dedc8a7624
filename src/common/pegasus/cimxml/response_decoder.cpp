#include "response_decoder.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "key_order.h"
#include "observer_hooks.h"
#include "xml_parser.h"

namespace Pegasus {
namespace cimxml {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isBlank(std::string_view text) {
    for (char c : text) {
        if (!isSpace(c)) return false;
    }
    return true;
}

// The elements of the part of the document being decoded, built from the
// parser's events into flat arrays that are reused: for an EnumerateInstances
// response one VALUE.NAMEDINSTANCE at a time, so that memory holds the
// instances built, not the document.
class ElementTree : public xml::XmlHandler {
  public:
    // Offsets and counts are 32 bits wide to keep an element small; one
    // that would not fit is refused (see fitting), never truncated.
    struct Element {
        std::uint32_t name = 0;  // offsets into characters_, NUL-terminated
        std::uint32_t text = 0;
        std::uint32_t textLength = 0;
        std::uint32_t firstAttribute = 0;
        std::uint32_t attributeCount = 0;
        std::int32_t parent = -1;
        std::int32_t firstChild = -1;
        std::int32_t lastChild = -1;
        std::int32_t nextSibling = -1;
        std::uint32_t line = 0;
        // The text kept is the first run that is not whitespace between
        // elements (whitespace alone counts when the element has no other
        // content, as in <VALUE> </VALUE>).
        bool textOpen = false;
        bool textDone = false;
    };
    struct AttributeOffsets {
        std::uint32_t name;
        std::uint32_t value;
    };

    // What the tree may hold, against the bytes of the body received so
    // far: markup as dense as `<a/>` costs ten times its size as elements,
    // so without a bound a body could make the client take many times its
    // own size in memory. An enumeration holds one instance at a time; a
    // GetInstance or GetClass body is held whole, and one shaped like the
    // real server's needs about three times its size at its peak (a block
    // being enlarged is held twice). The allowance, 16 MiB under the
    // default response limit, takes bodies of that shape up to some 20 MB,
    // and any shape up to several megabytes.
    explicit ElementTree(std::uint64_t responseLimit) : allowance_(responseLimit / 64) {}
    std::uint64_t budget() const { return allowance_ + bytesReceived_ * 5 / 2; }
    void received(std::size_t bytes) { bytesReceived_ += bytes; }

    // Called with each completed element whose parent is `streamedParent`
    // (see streamChildrenOf); the element is dropped afterwards.
    class ChildConsumer {
      public:
        virtual ~ChildConsumer() = default;
        virtual void consume(std::int32_t element) = 0;
    };

    void attach(const xml::XmlParser& parser) { parser_ = &parser; }

    // Children of the element on that path of first elements (e.g. CIM,
    // MESSAGE, SIMPLERSP, IMETHODRESPONSE, IRETURNVALUE) go to the consumer
    // one at a time as they complete.
    void streamChildrenOf(std::vector<const char*> path, ChildConsumer* consumer) {
        streamPath_ = std::move(path);
        consumer_ = consumer;
    }

    void startElement(std::string_view name, const xml::XmlAttribute* attributes,
                      std::size_t attributeCount) override {
        std::int32_t parent = stack_.empty() ? -1 : stack_.back();
        if (parent >= 0) closeText(elements_[parent], true);
        grow(elements_, 1);
        grow(stack_, 1);
        grow(attributes_, attributeCount);
        std::int32_t index = fitting<std::int32_t>(elements_.size());
        Element element;
        element.name = store(name);
        element.firstAttribute = fitting<std::uint32_t>(attributes_.size());
        element.attributeCount = fitting<std::uint32_t>(attributeCount);
        element.parent = parent;
        element.line = fitting<std::uint32_t>(parser_->line());
        for (std::size_t i = 0; i < attributeCount; ++i) {
            std::uint32_t attributeName = store(attributes[i].name);
            attributes_.push_back({attributeName, store(attributes[i].value)});
        }
        elements_.push_back(element);
        if (parent >= 0) {
            Element& parentElement = elements_[parent];
            if (parentElement.lastChild >= 0) {
                elements_[parentElement.lastChild].nextSibling = index;
            } else {
                parentElement.firstChild = index;
            }
            parentElement.lastChild = index;
        }
        stack_.push_back(index);
        if (streamPath_.size() == stack_.size() && streamed_ < 0 && onStreamPath()) {
            streamed_ = index;
        }
    }

    void endElement(std::string_view) override {
        std::int32_t index = stack_.back();
        stack_.pop_back();
        closeText(elements_[index], false);
        if (streamed_ >= 0 && elements_[index].parent == streamed_) {
            consumer_->consume(index);
            // The element was the streamed parent's only child: every
            // earlier one has gone the same way.
            const Element& element = elements_[index];
            characters_.resize(element.name);
            attributes_.resize(element.firstAttribute);
            elements_.resize(static_cast<size_t>(index));
            elements_[streamed_].firstChild = -1;
            elements_[streamed_].lastChild = -1;
        }
    }

    void characters(std::string_view text) override {
        if (stack_.empty()) return;
        Element& element = elements_[stack_.back()];
        if (element.textDone) return;
        if (!element.textOpen && element.firstChild >= 0 && isBlank(text)) {
            // The line breaks between elements, most of the events of a
            // response: nothing to keep.
            return;
        }
        // The terminating NUL closeText adds is counted now.
        grow(characters_, text.size() + 1);
        if (!element.textOpen) {
            element.textOpen = true;
            element.text = fitting<std::uint32_t>(characters_.size());
            element.textLength = 0;
        }
        element.textLength = fitting<std::uint32_t>(element.textLength + text.size());
        characters_.append(text.data(), text.size());
    }

    const Element& element(std::int32_t index) const { return elements_[index]; }
    const AttributeOffsets& attribute(std::uint32_t index) const { return attributes_[index]; }
    const char* chars(std::uint32_t offset) const { return characters_.data() + offset; }
    bool empty() const { return elements_.empty(); }

  private:
    std::uint32_t store(std::string_view text) {
        grow(characters_, text.size() + 1);
        std::uint32_t offset = fitting<std::uint32_t>(characters_.size());
        fitting<std::uint32_t>(characters_.size() + text.size());
        characters_.append(text.data(), text.size());
        characters_.push_back('\0');
        return offset;
    }

    template <class Number>
    Number fitting(std::uint64_t value) const {
        if (value > static_cast<std::uint64_t>(std::numeric_limits<Number>::max())) {
            refuse("Response too large to decode: more than " +
                   std::to_string(std::numeric_limits<Number>::max()) +
                   " elements, attributes, characters or lines");
        }
        return static_cast<Number>(value);
    }

    std::uint64_t bytesHeld() const {
        return elements_.capacity() * sizeof(Element) +
               attributes_.capacity() * sizeof(AttributeOffsets) + characters_.capacity() +
               stack_.capacity() * sizeof(std::int32_t);
    }

    // Makes room for `more` entries (half as many again as there is room
    // for, so that growing costs less than doubling), after checking that the old and the new block
    // together stay within the budget: the container never grows on its own.
    template <class Container>
    void grow(Container& container, std::size_t more) {
        std::size_t needed = container.size() + more;
        if (needed <= container.capacity()) return;
        std::size_t capacity = std::max(needed, container.capacity() + container.capacity() / 2);
        std::uint64_t after = bytesHeld() + capacity * sizeof(container[0]);
        if (after > budget()) refuse("Response too dense to decode");
        container.reserve(capacity);
    }

    [[noreturn]] void refuse(const std::string& what) const {
        throw CIMClientXmlException(String::fromUtf8(
            "Validation error: on line " + std::to_string(parser_->line()) + ": " + what));
    }

    // Ends the element's current text run, at a child's start or at its own
    // end; whitespace between elements is dropped.
    void closeText(Element& element, bool childStarts) {
        if (!element.textOpen) return;
        element.textOpen = false;
        const char* text = characters_.data() + element.text;
        bool blank = true;
        for (std::uint32_t i = 0; i < element.textLength && blank; ++i) blank = isSpace(text[i]);
        if (blank && (childStarts || element.firstChild >= 0)) {
            characters_.resize(element.text);
            element.textLength = 0;
            return;
        }
        characters_.push_back('\0');
        element.textDone = true;
    }

    bool onStreamPath() const {
        for (size_t depth = 0; depth < stack_.size(); ++depth) {
            const Element& element = elements_[stack_[depth]];
            if (std::strcmp(chars(element.name), streamPath_[depth]) != 0) return false;
            if (element.parent >= 0 && elements_[element.parent].firstChild != stack_[depth]) {
                return false;
            }
        }
        return true;
    }

    const xml::XmlParser* parser_ = nullptr;
    std::vector<Element> elements_;
    std::vector<AttributeOffsets> attributes_;
    std::string characters_;
    std::vector<std::int32_t> stack_;
    std::vector<const char*> streamPath_;
    ChildConsumer* consumer_ = nullptr;
    std::int32_t streamed_ = -1;
    std::uint64_t allowance_;
    std::uint64_t bytesReceived_ = 0;
};

// An attribute as the decoder reads it; a missing one is false and has the
// empty value.
class Attribute {
  public:
    Attribute() = default;
    Attribute(const char* name, const char* value) : name_(name), value_(value) {}
    explicit operator bool() const { return name_ != nullptr; }
    const char* name() const { return name_ ? name_ : ""; }
    const char* value() const { return value_ ? value_ : ""; }
    // "true", "1", "yes" and their kin, as OpenPegasus reads PROPAGATED.
    bool asBool() const {
        char first = value()[0];
        return first == '1' || first == 't' || first == 'T' || first == 'y' || first == 'Y';
    }
    // Decimal or 0x-hexadecimal digits up to the first other character;
    // 0 when there are none, the largest value on overflow.
    unsigned asUint() const {
        const char* text = value();
        while (isSpace(*text)) ++text;
        if (*text == '-') return 0;
        if (*text == '+') ++text;
        int base = 10;
        if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text += 2;
        }
        errno = 0;
        unsigned long long value = std::strtoull(text, nullptr, base);
        if (errno == ERANGE || value > UINT_MAX) return UINT_MAX;
        return static_cast<unsigned>(value);
    }

  private:
    const char* name_ = nullptr;
    const char* value_ = nullptr;
};

// An element of the tree, or none (false).
class Node {
  public:
    Node() = default;
    Node(const ElementTree* tree, std::int32_t index) : tree_(tree), index_(index) {}
    explicit operator bool() const { return index_ >= 0; }
    std::int32_t index() const { return index_; }
    // A missing element has no name and is reported on line 1.
    const char* name() const { return index_ >= 0 ? tree_->chars(element().name) : ""; }
    std::uint64_t line() const { return index_ >= 0 ? element().line : 1; }
    const char* text() const { return element().textDone ? tree_->chars(element().text) : ""; }
    Attribute attribute(const char* name) const {
        if (index_ < 0) return Attribute();
        const ElementTree::Element& self = element();
        for (std::uint32_t i = 0; i < self.attributeCount; ++i) {
            const ElementTree::AttributeOffsets& offsets =
                tree_->attribute(self.firstAttribute + i);
            if (std::strcmp(tree_->chars(offsets.name), name) == 0) {
                return Attribute(tree_->chars(offsets.name), tree_->chars(offsets.value));
            }
        }
        return Attribute();
    }
    // Several attributes in one pass over the element's, for the elements
    // that come by the hundred thousand; found[i] is names[i]'s.
    template <std::size_t N>
    void attributes(const char* const (&names)[N], Attribute (&found)[N]) const {
        if (index_ < 0) return;
        const ElementTree::Element& self = element();
        for (std::uint32_t i = 0; i < self.attributeCount; ++i) {
            const ElementTree::AttributeOffsets& offsets =
                tree_->attribute(self.firstAttribute + i);
            const char* name = tree_->chars(offsets.name);
            for (std::size_t k = 0; k < N; ++k) {
                if (!found[k] && name[0] == names[k][0] && std::strcmp(name, names[k]) == 0) {
                    found[k] = Attribute(name, tree_->chars(offsets.value));
                    break;
                }
            }
        }
    }
    Node firstElement() const { return Node(tree_, index_ >= 0 ? element().firstChild : -1); }
    Node nextElement() const { return Node(tree_, index_ >= 0 ? element().nextSibling : -1); }
    Node child(const char* name) const {
        Node node = firstElement();
        while (node && std::strcmp(node.name(), name) != 0) node = node.nextElement();
        return node;
    }

  private:
    const ElementTree::Element& element() const { return tree_->element(index_); }

    const ElementTree* tree_ = nullptr;
    std::int32_t index_ = -1;
};

bool named(const Node& node, const char* name) { return std::strcmp(node.name(), name) == 0; }

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

    // One VALUE.NAMEDINSTANCE of an EnumerateInstances response.
    CIMInstance namedInstance(const Node& named) {
        if (std::strcmp(named.name(), "VALUE.NAMEDINSTANCE") != 0) {
            invalid(named, std::string("Expected close of IRETURNVALUE element, got ") +
                               named.name() + " instead");
        }
        Node nameNode = named.firstElement();
        if (!nameNode) invalid(named, "Expected INSTANCENAME element");
        CIMObjectPath path = instanceName(nameNode);
        Node instanceNode = nameNode.nextElement();
        if (!instanceNode || std::strcmp(instanceNode.name(), "INSTANCE") != 0) {
            invalid(instanceNode ? instanceNode : named, "Expected INSTANCE element");
        }
        CIMInstance result = instance(instanceNode);
        result.setPath(path);
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

    CIMObjectPath instanceName(const Node& node) {
        if (!named(node, "INSTANCENAME")) {
            invalid(node,
                    std::string("Expected INSTANCENAME element, got ") + node.name() + " instead");
        }
        const char* className = requiredAttribute(node, "CLASSNAME");
        Array<CIMKeyBinding> keys;
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
                keys.append(
                    CIMKeyBinding(keyName, reference(value).toString(), CIMKeyBinding::REFERENCE));
            } else {
                invalid(binding, "Expected KEYVALUE or VALUE.REFERENCE element");
            }
        }
        return CIMObjectPath(String(), CIMNamespaceName(), name(className), keys);
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
        Uint32 code = static_cast<Uint32>(integer(error, requiredAttribute(error, "CODE"), 0,
                                                  std::numeric_limits<Uint32>::max()));
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
                value = CIMValue(reference(child));
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

    Sint64 integer(const Node& node, const char* text, Sint64 minimum, Uint64 maximum) const {
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

    [[noreturn]] void semantic(const Node& node, const std::string& what) const {
        throw CIMClientXmlException(String::fromUtf8("Semantic error: on line " +
                                                     std::to_string(node.line()) + ": " + what));
    }

    template <class T>
    T integerOf(const Node& node, const char* text) const {
        return static_cast<T>(integer(node, text,
                                      static_cast<Sint64>(std::numeric_limits<T>::min()),
                                      static_cast<Uint64>(std::numeric_limits<T>::max())));
    }

    Real64 real(const Node& node, const char* text) const {
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

    Boolean boolean(const Node& node, const char* text) const {
        String value(text);
        if (String::equalNoCase(value, "TRUE")) return true;
        if (String::equalNoCase(value, "FALSE")) return false;
        semantic(node, std::string("Illegal boolean value \"") + text + "\"");
    }

    CIMDateTime dateTime(const Node& node, const char* text) const {
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
    CIMValue arrayOf(const Node& node, Parse parse) {
        Array<T> items;
        for (Node item = node.firstElement(); item; item = item.nextElement()) {
            if (!named(item, "VALUE")) {
                invalid(item,
                        std::string("Expected VALUE element, got ") + item.name() + " instead");
            }
            items.append(parse(item, item.text()));
        }
        return CIMValue(items);
    }

    CIMValue scalar(const Node& node, CIMType type) {
        const char* text = node.text();
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
        return [this](const Node& n, const char* t) { return integerOf<T>(n, t); };
    }

    CIMValue array(const Node& node, CIMType type) {
        auto asBoolean = [this](const Node& n, const char* t) { return boolean(n, t); };
        auto asReal = [this](const Node& n, const char* t) { return real(n, t); };
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
                return arrayOf<Real32>(node, [this](const Node& n, const char* t) {
                    return static_cast<Real32>(real(n, t));
                });
            case CIMTYPE_REAL64:
                return arrayOf<Real64>(node, asReal);
            case CIMTYPE_CHAR16:
                return arrayOf<Char16>(node, [](const Node&, const char* t) { return char16(t); });
            case CIMTYPE_DATETIME:
                return arrayOf<CIMDateTime>(
                    node, [this](const Node& n, const char* t) { return dateTime(n, t); });
            default:
                return arrayOf<String>(node, [](const Node&, const char* t) { return String(t); });
        }
    }

    const ElementTree& tree_;
    Node simpleResponse_;
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
    void consume(std::int32_t element) override {
        if (contentFailure_) return;
        try {
            if (!enveloped_) {
                decoder_.checkEnvelope(messageId_);
                enveloped_ = true;
                decoder_.intrinsicReturn("EnumerateInstances");
            }
            instances_.append(decoder_.namedInstance(Node(&tree_, element)));
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
