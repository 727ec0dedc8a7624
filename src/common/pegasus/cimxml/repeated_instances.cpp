#include "cimxml/repeated_instances.h"

#include <cstring>
#include <functional>
#include <string_view>

#include "cimxml/node_checks.h"

namespace Pegasus {
namespace cimxml {

namespace {

// Elements are held in document order, so a subtree is its root and the
// elements up to its root's last descendant.
std::int32_t subtreeSize(const ElementTree& tree, std::int32_t root) {
    std::int32_t last = root;
    while (tree.element(last).lastChild >= 0) last = tree.element(last).lastChild;
    return last - root + 1;
}

}  // namespace

// The characters of a subtree are one run from its root's name on, so one
// comparison covers every name, attribute and text; the offsets then say
// that each falls at the same place. In document order, each element's
// parent fixes the shape.
bool sameContent(const ElementTree& tree, std::int32_t left, std::int32_t right) {
    const std::int32_t count = subtreeSize(tree, left);
    if (count != subtreeSize(tree, right)) return false;
    const ElementTree::Element& leftRoot = tree.element(left);
    const ElementTree::Element& rightRoot = tree.element(right);
    const std::uint32_t length = leftRoot.charactersEnd - leftRoot.name;
    if (rightRoot.charactersEnd - rightRoot.name != length) return false;
    const auto offset = [](std::uint32_t at, std::uint32_t start) { return at - start; };
    for (std::int32_t i = 0; i < count; ++i) {
        const ElementTree::Element& a = tree.element(left + i);
        const ElementTree::Element& b = tree.element(right + i);
        if (offset(a.name, leftRoot.name) != offset(b.name, rightRoot.name) ||
            a.textDone != b.textDone || a.textLength != b.textLength ||
            (a.textDone && offset(a.text, leftRoot.name) != offset(b.text, rightRoot.name)) ||
            a.attributeCount != b.attributeCount ||
            (i > 0 && a.parent - left != b.parent - right)) {
            return false;
        }
        for (std::uint32_t k = 0; k < a.attributeCount; ++k) {
            const ElementTree::AttributeOffsets& x = tree.attribute(a.firstAttribute + k);
            const ElementTree::AttributeOffsets& y = tree.attribute(b.firstAttribute + k);
            if (offset(x.name, leftRoot.name) != offset(y.name, rightRoot.name) ||
                offset(x.value, leftRoot.name) != offset(y.value, rightRoot.name)) {
                return false;
            }
        }
    }
    return std::memcmp(tree.chars(leftRoot.name), tree.chars(rightRoot.name), length) == 0;
}

std::size_t contentHash(const ElementTree& tree, std::int32_t element) {
    const ElementTree::Element& root = tree.element(element);
    return std::hash<std::string_view>()(
        std::string_view(tree.chars(root.name), root.charactersEnd - root.name));
}

CIMInstance RepeatedInstances::namedInstance(const Node& node, const Node& previous) {
    struct Forget {
        RepeatedInstances& cache;
        ~Forget() {
            cache.nameReferences_.clear();
            cache.nameReferencesByHash_.clear();
        }
    } forget{*this};
    previousRoot_ = previousInstanceOffset_ >= 0 ? previous : Node();
    model_ = previousRoot_ ? Node(&tree_, previous.index() + previousInstanceOffset_) : Node();
    // Nothing is remembered of an instance that fails.
    previousInstanceOffset_ = -1;
    CIMInstance result = grammar_.namedInstance(node, this);
    remember(node, node.firstElement().nextElement(), result);
    return result;
}

// The previous instance's reference key that this one repeats, or a new path.
CIMObjectPath RepeatedInstances::keyPath(const Node& valueReference) {
    const std::size_t hash = contentHash(tree_, valueReference.index());
    CIMObjectPath path;
    bool known = false;
    if (previousRoot_) {
        auto candidate = previousReferencesByHash_.find(hash);
        if (candidate != previousReferencesByHash_.end()) {
            const auto& [offset, previousPath] = previousReferences_[candidate->second];
            if (sameContent(tree_, previousRoot_.index() + offset, valueReference.index())) {
                path = previousPath;
                known = true;
            }
        }
    }
    if (!known) path = grammar_.reference(valueReference);
    nameReferencesByHash_.emplace(hash, nameReferences_.size());
    nameReferences_.push_back({valueReference, path, hash});
    return path;
}

// A reference property that repeats a key of its instance's name element for
// element gets the key's path, and its text with it.
CIMObjectPath RepeatedInstances::propertyPath(const Node& valueReference) {
    if (!nameReferences_.empty()) {
        auto candidate = nameReferencesByHash_.find(contentHash(tree_, valueReference.index()));
        if (candidate != nameReferencesByHash_.end()) {
            const KnownReference& known = nameReferences_[candidate->second];
            if (sameContent(tree_, known.element.index(), valueReference.index())) {
                return known.path;
            }
        }
    }
    return grammar_.reference(valueReference);
}

// The INSTANCE built from the previous one when it differs from it only in
// the contents of some properties: each child the same as the model's,
// element for element, is what the model's made of it, and only the others
// are decoded. False when it differs in more.
bool RepeatedInstances::repeatedInstance(const Node& node, CIMInstance& result) {
    if (!model_ || !previousOneToOne_) return false;
    if (std::strcmp(requiredAttribute(node, "CLASSNAME"), model_.attribute("CLASSNAME").value()) !=
        0) {
        return false;
    }
    changed_.clear();
    Uint32 propertyIndex = 0;
    Node child = node.firstElement();
    Node was = model_.firstElement();
    for (; child && was; child = child.nextElement(), was = was.nextElement()) {
        const bool isProperty = !named(child, "QUALIFIER");
        if (!sameContent(tree_, child.index(), was.index())) {
            if (!isProperty || std::strcmp(child.name(), was.name()) != 0 ||
                std::strcmp(child.attribute("NAME").value(), was.attribute("NAME").value()) != 0) {
                return false;
            }
            changed_.push_back({propertyIndex, child});
        }
        if (isProperty) ++propertyIndex;
    }
    if (child || was) return false;
    result = previousInstance_;
    for (const auto& [index, element] : changed_) {
        result.setProperty(index,
                           named(element, "PROPERTY.REFERENCE")
                               ? grammar_.referenceProperty(element, this)
                               : grammar_.property(element, named(element, "PROPERTY.ARRAY")));
    }
    return true;
}

// Keeps what the next instance may repeat.
void RepeatedInstances::remember(const Node& root, const Node& instanceNode,
                                 const CIMInstance& result) {
    Uint32 qualifiers = 0;
    Uint32 properties = 0;
    for (Node child = instanceNode.firstElement(); child; child = child.nextElement()) {
        ++(named(child, "QUALIFIER") ? qualifiers : properties);
    }
    previousInstance_ = result;
    previousOneToOne_ =
        result.getQualifierCount() == qualifiers && result.getPropertyCount() == properties;
    previousInstanceOffset_ = instanceNode.index() - root.index();
    previousReferences_.clear();
    previousReferencesByHash_.clear();
    for (const KnownReference& known : nameReferences_) {
        previousReferencesByHash_.emplace(known.hash, previousReferences_.size());
        previousReferences_.push_back({known.element.index() - root.index(), known.path});
    }
}

}  // namespace cimxml
}  // namespace Pegasus
