// The elements of the part of a CIM-XML body being decoded, built from the XML
// parser's events into flat arrays that are reused, and the read-only views
// the grammar walks them with (Node, Attribute). No CIM here: names, attribute
// values, texts and the line each element starts on.
#ifndef PEGASUS_CIMXML_ELEMENT_TREE_H
#define PEGASUS_CIMXML_ELEMENT_TREE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "cimxml/decode_limits.h"
#include "xml/xml_parser.h"

namespace Pegasus {
namespace cimxml {

// Receives the events of one body. For an EnumerateInstances response the
// children of the IRETURNVALUE are handed on one at a time and dropped a few
// later (streamChildrenOf), so that memory holds the instances built, not the
// document.
//
// What it keeps of an element's text: the first run that is not whitespace
// between elements (whitespace alone counts when the element has no other
// content, as in <VALUE> </VALUE>).
//
// Limits: the memory the tree holds stays within its limits' budget (see
// the constructor); an element, attribute, character or line count that
// does not fit 32 bits is refused, never truncated. Both throw
// CIMClientXmlException "Validation error: on line N: ..." with the parser's
// current line. Past the limits' deadline an event throws
// ConnectionTimeoutException.
//
// Not copyable in practice (the parser and consumer are referred to, not
// owned); one tree per body.
class ElementTree : public xml::XmlHandler {
  public:
    // Offsets and counts are 32 bits wide to keep an element small.
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
        // Where the characters of the element and all it holds end, once
        // it has ended: they start at `name`.
        std::uint32_t charactersEnd = 0;
        bool textOpen = false;
        bool textDone = false;
    };
    struct AttributeOffsets {
        std::uint32_t name;
        std::uint32_t value;
    };

    // What the tree may hold, against the bytes of the body received so
    // far (decode_limits.h): markup as dense as `<a/>` costs ten times its
    // size as elements, so without a bound a body could make the client take
    // many times its own size in memory. An enumeration holds a few
    // instances at a time; a GetInstance or GetClass body is held whole, and
    // one shaped like the real server's needs about twice its size. The
    // allowance, 16 MiB under the default response limit, takes bodies of
    // that shape up to some 30 MB, and any shape up to several megabytes.
    // The tree reads the limits' deadline as it goes too.
    explicit ElementTree(std::uint64_t responseLimit) : limits_(responseLimit) {}
    DecodeLimits& limits() { return limits_; }
    // Counts bytes of the body about to be parsed, before their events.
    void received(std::size_t bytes) { limits_.received(bytes); }

    // Called with each completed element whose parent is the streamed one
    // (see streamChildrenOf), and with the one consumed before it while the
    // tree still holds it (-1 otherwise): servers send the instances of an
    // enumeration alike but for their keys, so what repeats the previous one
    // need not be decoded again. Consumed elements are dropped once they hold
    // more than a few instances' worth, and a large one at once.
    //
    // The offset rule: the previous element may have moved since it was
    // consumed (the last one held is moved to where the first was), so its
    // index, and the index of anything within it, is valid only for this
    // call; the distance of an element within it from its root never
    // changes while it is held. Keep distances, not indexes.
    class ChildConsumer {
      public:
        virtual ~ChildConsumer() = default;
        virtual void consume(std::int32_t element, std::int32_t previous) = 0;
    };

    // The parser whose line() errors and elements are stamped with; must be
    // attached before the first event and outlive the tree's use.
    void attach(const xml::XmlParser& parser) { parser_ = &parser; }

    // Children of the element on that path of first elements (e.g. CIM,
    // MESSAGE, SIMPLERSP, IMETHODRESPONSE, IRETURNVALUE) go to the consumer
    // one at a time as they complete. The names must outlive the tree.
    void streamChildrenOf(std::vector<const char*> path, ChildConsumer* consumer) {
        streamPath_ = std::move(path);
        consumer_ = consumer;
    }

    void startElement(std::string_view name, const xml::XmlAttribute* attributes,
                      std::size_t attributeCount) override;
    void endElement(std::string_view name) override;
    void characters(std::string_view text) override;

    // Element 0 is the root; indexes come from Element's links.
    const Element& element(std::int32_t index) const { return elements_[index]; }
    const AttributeOffsets& attribute(std::uint32_t index) const { return attributes_[index]; }
    const char* chars(std::uint32_t offset) const { return characters_.data() + offset; }
    bool empty() const { return elements_.empty(); }

  private:
    // The checks of every event stay inline; what they refuse is worded
    // out of line.
    template <class Number>
    Number fitting(std::uint64_t value) const {
        if (value > static_cast<std::uint64_t>(std::numeric_limits<Number>::max())) {
            tooLarge(std::numeric_limits<Number>::max());
        }
        return static_cast<Number>(value);
    }
    [[noreturn]] void tooLarge(std::uint64_t limit) const;
    std::uint64_t bytesHeld() const;
    template <class Container>
    void grow(Container& container, std::size_t more) {
        if (container.size() + more > container.capacity()) enlarge(container, more);
    }
    template <class Container>
    void enlarge(Container& container, std::size_t more);
    [[noreturn]] void refuse(const std::string& what) const;
    void closeText(Element& element, bool childStarts);
    bool onStreamPath() const;
    void hold(std::int32_t child);
    void keepOnly(std::int32_t child);
    void dropStreamedChildren();

    const xml::XmlParser* parser_ = nullptr;
    std::vector<Element> elements_;
    std::vector<AttributeOffsets> attributes_;
    std::string characters_;
    std::vector<std::int32_t> stack_;
    std::vector<const char*> streamPath_;
    ChildConsumer* consumer_ = nullptr;
    std::int32_t streamed_ = -1;
    std::int32_t heldPrevious_ = -1;
    DecodeLimits limits_;
};

// An attribute as the decoder reads it; a missing one is false and has the
// empty value. Views the tree's characters: valid while the element is held.
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
    unsigned asUint() const;

  private:
    const char* name_ = nullptr;
    const char* value_ = nullptr;
};

// An element of the tree, or none (false). A plain view: valid while the
// element is held by the tree.
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

}  // namespace cimxml
}  // namespace Pegasus

#endif
