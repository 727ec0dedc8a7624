// The enumeration's repeated-instance cache. Servers send the instances of a
// class alike but for their keys, and an association's references twice (as
// keys of its name and as properties), so what repeats an element decoded
// before, byte for byte, takes what was made of it instead of being decoded.
//
// Takes each VALUE.NAMEDINSTANCE of an enumeration in order, with the one
// consumed before it while the element tree still holds it; gives the
// instance, a plain value that stays valid whatever becomes of the tree.
//
// What it keeps of the previous instance are distances of its elements from
// its root, never indexes: the tree may move a held child down to where an
// earlier one was (ElementTree::ChildConsumer), and a moved element keeps its
// distance from its root. What it keeps is only used while the tree holds
// that instance: the caller passes no previous node once it is dropped.
#ifndef PEGASUS_CIMXML_REPEATED_INSTANCES_H
#define PEGASUS_CIMXML_REPEATED_INSTANCES_H

#include <Pegasus/Common/CIMInstance.h>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cimxml/element_tree.h"
#include "cimxml/object_grammar.h"

namespace Pegasus {
namespace cimxml {

// Two ended elements of the tree whose subtrees are the same, byte for byte
// and in the same shape (names, attributes in order, texts, children):
// whatever is read of one is read of the other. Lines do not count.
bool sameContent(const ElementTree& tree, std::int32_t left, std::int32_t right);

// A hash of what sameContent compares (the subtree's characters), so that an
// element is compared only with the one earlier element of the same hash.
std::size_t contentHash(const ElementTree& tree, std::int32_t element);

class RepeatedInstances : private ObjectGrammar::Shortcuts {
  public:
    // Both must outlive the cache.
    RepeatedInstances(const ElementTree& tree, ObjectGrammar& grammar)
        : tree_(tree), grammar_(grammar) {}
    RepeatedInstances(const RepeatedInstances&) = delete;
    RepeatedInstances& operator=(const RepeatedInstances&) = delete;

    // `previous`: the VALUE.NAMEDINSTANCE consumed before `node`, or none.
    CIMInstance namedInstance(const Node& node, const Node& previous = Node());

  private:
    // A reference key of the instance name being decoded.
    struct KnownReference {
        Node element;  // its VALUE.REFERENCE
        CIMObjectPath path;
        std::size_t hash;
    };
    // Which reference of a list has a content of that hash: the first one
    // of it, so that however many keys a server sends alike, each new one is
    // compared with one, never with all.
    using ByHash = std::unordered_map<std::size_t, std::size_t>;

    CIMObjectPath keyPath(const Node& valueReference) override;
    CIMObjectPath propertyPath(const Node& valueReference) override;
    bool repeatedInstance(const Node& instance, CIMInstance& result) override;
    void remember(const Node& root, const Node& instanceNode, const CIMInstance& result);

    const ElementTree& tree_;
    ObjectGrammar& grammar_;
    // The keys recorded are valid only while this instance's elements are.
    std::vector<KnownReference> nameReferences_;
    ByHash nameReferencesByHash_;
    // What was decoded of the previous VALUE.NAMEDINSTANCE.
    CIMInstance previousInstance_;
    std::int32_t previousInstanceOffset_ = -1;  // its INSTANCE
    // Each QUALIFIER and PROPERTY child became a qualifier or property of its
    // own, in order (no name repeated), so the n-th property child is property n.
    bool previousOneToOne_ = false;
    // Its reference keys: each VALUE.REFERENCE's distance from the root, and path.
    std::vector<std::pair<std::int32_t, CIMObjectPath>> previousReferences_;
    ByHash previousReferencesByHash_;
    // The previous VALUE.NAMEDINSTANCE and its INSTANCE while the one after
    // it is decoded.
    Node previousRoot_;
    Node model_;
    std::vector<std::pair<Uint32, Node>> changed_;
};

}  // namespace cimxml
}  // namespace Pegasus

#endif
