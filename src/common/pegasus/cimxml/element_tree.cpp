#include "cimxml/element_tree.h"

#include <Pegasus/Client/CIMClientException.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <limits>

namespace Pegasus {
namespace cimxml {

namespace {

// A consumed child this large is dropped at once rather than held: instances
// that size are not sent by the hundred.
const std::size_t kLargeChildElements = 4096;
const std::size_t kLargeChildCharacters = 256 * 1024;
// Consumed children are held until they take more elements than this, so
// that the one kept is moved once every few instances rather than for each.
const std::uint64_t kHeldElements = 256;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isBlank(std::string_view text) {
    for (char c : text) {
        if (!isSpace(c)) return false;
    }
    return true;
}

}  // namespace

void ElementTree::tooLarge(std::uint64_t limit) const {
    refuse("Response too large to decode: more than " + std::to_string(limit) +
           " elements, attributes, characters or lines");
}

// What is in use: room reserved and never written is not memory taken.
std::uint64_t ElementTree::bytesHeld() const {
    return elements_.size() * sizeof(Element) + attributes_.size() * sizeof(AttributeOffsets) +
           characters_.size() + stack_.size() * sizeof(std::int32_t);
}

// Makes room for `more` entries (half as many again as there is room
// for, so that growing costs less than doubling), after checking that the
// tree stays within the budget with this container full: it never grows on
// its own, so it is checked again before it outgrows that room.
template <class Container>
void ElementTree::enlarge(Container& container, std::size_t more) {
    std::size_t needed = container.size() + more;
    std::size_t capacity = std::max(needed, container.capacity() + container.capacity() / 2);
    std::uint64_t after = bytesHeld() + (capacity - container.size()) * sizeof(container[0]);
    if (!limits_.treeFits(after)) refuse("Response too dense to decode");
    container.reserve(capacity);
}

void ElementTree::refuse(const std::string& what) const {
    throw CIMClientXmlException(String::fromUtf8("Validation error: on line " +
                                                 std::to_string(parser_->line()) + ": " + what));
}

// Ends the element's current text run, at a child's start or at its own
// end; whitespace between elements is dropped.
void ElementTree::closeText(Element& element, bool childStarts) {
    if (!element.textOpen) return;
    element.textOpen = false;
    const char* text = characters_.data() + element.text;
    bool blank = true;
    for (std::uint32_t i = 0; i < element.textLength && blank; ++i) blank = isSpace(text[i]);
    if (blank && (childStarts || element.firstChild >= 0)) {
        limits_.dropped(element.textLength);
        characters_.resize(element.text);
        element.textLength = 0;
        return;
    }
    characters_.push_back('\0');
    element.textDone = true;
}

bool ElementTree::onStreamPath() const {
    for (size_t depth = 0; depth < stack_.size(); ++depth) {
        const Element& element = elements_[stack_[depth]];
        if (std::strcmp(chars(element.name), streamPath_[depth]) != 0) return false;
        if (element.parent >= 0 && elements_[element.parent].firstChild != stack_[depth]) {
            return false;
        }
    }
    return true;
}

void ElementTree::startElement(std::string_view name, const xml::XmlAttribute* attributes,
                               std::size_t attributeCount) {
    limits_.tick();
    std::int32_t parent = stack_.empty() ? -1 : stack_.back();
    if (parent >= 0) closeText(elements_[parent], true);
    grow(elements_, 1);
    grow(stack_, 1);
    grow(attributes_, attributeCount);
    // The element's strings, each followed by a NUL, are laid down together:
    // one check of room and of size for all of them.
    std::size_t bytes = name.size() + 1;
    for (std::size_t i = 0; i < attributeCount; ++i) {
        bytes += attributes[i].name.size() + attributes[i].value.size() + 2;
    }
    grow(characters_, bytes);
    std::size_t at = characters_.size();
    fitting<std::uint32_t>(at + bytes);
    characters_.resize(at + bytes);
    const auto put = [this, &at](std::string_view text) {
        std::memcpy(&characters_[at], text.data(), text.size());
        const std::size_t offset = at;
        at += text.size() + 1;
        return static_cast<std::uint32_t>(offset);
    };
    std::int32_t index = fitting<std::int32_t>(elements_.size());
    Element element;
    element.name = put(name);
    element.firstAttribute = fitting<std::uint32_t>(attributes_.size());
    element.attributeCount = fitting<std::uint32_t>(attributeCount);
    element.parent = parent;
    element.line = fitting<std::uint32_t>(parser_->line());
    for (std::size_t i = 0; i < attributeCount; ++i) {
        std::uint32_t attributeName = put(attributes[i].name);
        attributes_.push_back({attributeName, put(attributes[i].value)});
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

void ElementTree::endElement(std::string_view) {
    std::int32_t index = stack_.back();
    // The children held are not ones the parent holds unstreamed.
    if (index == streamed_) dropStreamedChildren();
    stack_.pop_back();
    closeText(elements_[index], false);
    elements_[index].charactersEnd = fitting<std::uint32_t>(characters_.size());
    if (streamed_ >= 0 && elements_[index].parent == streamed_) {
        consumer_->consume(index, heldPrevious_);
        hold(index);
    }
}

// Consumed children are held up to kHeldElements (fewer under a small
// allowance), then all but the last are dropped.
void ElementTree::hold(std::int32_t child) {
    const std::size_t count = elements_.size() - static_cast<std::size_t>(child);
    const std::int32_t first = elements_[streamed_].firstChild;
    const std::size_t held = elements_.size() - static_cast<std::size_t>(first);
    if (count > kLargeChildElements ||
        characters_.size() - elements_[child].name > kLargeChildCharacters) {
        dropStreamedChildren();
    } else if (first != child &&
               held > std::min<std::uint64_t>(kHeldElements,
                                              limits_.allowance() / 4 / sizeof(Element))) {
        keepOnly(child);
    } else {
        heldPrevious_ = child;
    }
}

// Drops the streamed parent's children before `child` and moves `child`
// where the first of them was. They are the last elements held, one after
// the other: text of the parent between two would have dropped them. Every
// element, attribute and character of `child` moves by the same shift, so
// an index within it keeps its distance from its root: the contract
// ChildConsumer promises (repeated_instances.h relies on it).
void ElementTree::keepOnly(std::int32_t child) {
    Element& parent = elements_[streamed_];
    const std::int32_t start = parent.firstChild;
    const std::uint32_t charactersFrom = elements_[start].name;
    const std::uint32_t attributesFrom = elements_[start].firstAttribute;
    const std::uint32_t keptCharacters = elements_[child].name;
    const std::uint32_t keptAttributes = elements_[child].firstAttribute;
    parent.lastChild = start;
    heldPrevious_ = start;
    const std::int32_t elementShift = child - start;
    const std::uint32_t characterShift = keptCharacters - charactersFrom;
    const std::uint32_t attributeShift = keptAttributes - attributesFrom;
    const auto moved = [elementShift](std::int32_t at) { return at >= 0 ? at - elementShift : at; };
    for (std::size_t i = static_cast<std::size_t>(child); i < elements_.size(); ++i) {
        Element element = elements_[i];
        element.name -= characterShift;
        if (element.textDone) element.text -= characterShift;
        element.firstAttribute -= attributeShift;
        if (i != static_cast<std::size_t>(child)) element.parent = moved(element.parent);
        element.firstChild = moved(element.firstChild);
        element.lastChild = moved(element.lastChild);
        element.nextSibling = moved(element.nextSibling);
        element.charactersEnd -= characterShift;
        elements_[i - static_cast<std::size_t>(elementShift)] = element;
    }
    for (std::size_t i = keptAttributes; i < attributes_.size(); ++i) {
        AttributeOffsets offsets = attributes_[i];
        offsets.name -= characterShift;
        offsets.value -= characterShift;
        attributes_[i - attributeShift] = offsets;
    }
    characters_.erase(charactersFrom, characterShift);
    attributes_.resize(attributes_.size() - attributeShift);
    elements_.resize(elements_.size() - static_cast<std::size_t>(elementShift));
}

// The streamed parent's children held are the last elements held.
void ElementTree::dropStreamedChildren() {
    heldPrevious_ = -1;
    Element& parent = elements_[streamed_];
    if (parent.firstChild < 0) return;
    const Element& first = elements_[parent.firstChild];
    characters_.resize(first.name);
    attributes_.resize(first.firstAttribute);
    elements_.resize(static_cast<std::size_t>(parent.firstChild));
    parent.firstChild = -1;
    parent.lastChild = -1;
}

void ElementTree::characters(std::string_view text) {
    limits_.tick();
    if (stack_.empty()) return;
    Element& element = elements_[stack_.back()];
    if (element.textDone) return;
    if (!element.textOpen && element.firstChild >= 0 && isBlank(text)) {
        // The line breaks between elements, most of the events of a
        // response: nothing to keep.
        limits_.dropped(text.size());
        return;
    }
    // The parent's text would come between the children held and the next.
    if (stack_.back() == streamed_) dropStreamedChildren();
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

unsigned Attribute::asUint() const {
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

}  // namespace cimxml
}  // namespace Pegasus
