// The checks every part of the decoder makes of an element, worded as
// OpenPegasus words them: "Validation error: on line N: ...", with the line
// the element starts on (line 1 for a missing one). Each failing check throws
// CIMClientXmlException; what a passing one returns views the tree's
// characters and is valid while the element is held.
#ifndef PEGASUS_CIMXML_NODE_CHECKS_H
#define PEGASUS_CIMXML_NODE_CHECKS_H

#include <cstring>
#include <string>

#include "cimxml/element_tree.h"

namespace Pegasus {
namespace cimxml {

inline bool named(const Node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

[[noreturn]] void invalid(const Node& node, const std::string& what);

// The attribute's value; "Missing NAME attribute on X element" when absent.
inline const char* required(const Node& node, const Attribute& attribute, const char* name) {
    if (!attribute) {
        invalid(node, std::string("Missing ") + name + " attribute on " + node.name() + " element");
    }
    return attribute.value();
}

inline const char* requiredAttribute(const Node& node, const char* name) {
    return required(node, node.attribute(name), name);
}

// The parent's first child, which must be named `name`.
inline Node onlyChild(const Node& parent, const char* name) {
    Node child = parent.firstElement();
    if (!child) invalid(parent, std::string("Expected ") + name + " element");
    if (!named(child, name)) {
        invalid(child,
                std::string("Expected ") + name + " element, got " + child.name() + " instead");
    }
    return child;
}

}  // namespace cimxml
}  // namespace Pegasus

#endif
