// The CIM-XML object grammar: one function per element, each taking a node
// of the element tree and giving the CIM object it describes. No envelope
// and no streaming here: whoever holds the tree hands in the element.
//
// What it gives is a plain value that owns its contents, valid for as long as
// the caller keeps it, whatever becomes of the tree. A defect throws
// CIMClientXmlException worded as OpenPegasus words it, naming the line the
// element starts on.
//
// Names (class, property, qualifier names) are made once per grammar and
// shared by every object it gives, so one grammar serves one response.
#ifndef PEGASUS_CIMXML_OBJECT_GRAMMAR_H
#define PEGASUS_CIMXML_OBJECT_GRAMMAR_H

#include <Pegasus/Common/CIMClass.h>
#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMParamValue.h>
#include <Pegasus/Common/CIMValue.h>

#include <string_view>
#include <unordered_map>

#include "cimxml/decode_limits.h"
#include "cimxml/element_tree.h"

namespace Pegasus {
namespace cimxml {

class ObjectGrammar {
  public:
    // What a caller that has decoded like elements before may hand the
    // grammar instead of its decoding them again (see repeated_instances.h).
    // Each is asked only for elements of the VALUE.NAMEDINSTANCE being read.
    class Shortcuts {
      public:
        virtual ~Shortcuts() = default;
        // The path of a VALUE.REFERENCE that is a key of the instance name.
        virtual CIMObjectPath keyPath(const Node& valueReference) = 0;
        // The path of a VALUE.REFERENCE that is a reference property's value.
        virtual CIMObjectPath propertyPath(const Node& valueReference) = 0;
        // The INSTANCE built without decoding it whole; false: decode it.
        virtual bool repeatedInstance(const Node& instance, CIMInstance& result) = 0;
    };

    // From now on the texts the grammar makes count against these limits'
    // memory budget (a reference key's text, which quotes its path's, so
    // that nested references double it at every level) and decoding reads
    // their deadline. A text past the budget throws CIMClientXmlException
    // "Validation error: on line N: Response too dense to decode"; the
    // deadline, ConnectionTimeoutException. Without limits, none apply.
    // They must outlive the grammar's use.
    void limitBy(DecodeLimits& limits) { limits_ = &limits; }

    // VALUE.NAMEDINSTANCE: the INSTANCE with its path taken from the
    // INSTANCENAME (no host, no namespace). Its wording of a wrong element
    // is that of an enumeration's IRETURNVALUE, the only place it comes.
    CIMInstance namedInstance(const Node& node, Shortcuts* shortcuts = nullptr);
    CIMInstance instance(const Node& node, Shortcuts* shortcuts = nullptr);
    // CLASS; its METHOD elements are checked and dropped.
    CIMClass classElement(const Node& node);
    CIMObjectPath instanceName(const Node& node, Shortcuts* shortcuts = nullptr);
    // PROPERTY (isArray false) or PROPERTY.ARRAY.
    CIMProperty property(const Node& node, bool isArray);
    CIMProperty referenceProperty(const Node& node, Shortcuts* shortcuts = nullptr);
    // VALUE.REFERENCE in any of its forms; the path keeps whatever host and
    // namespace the form carries.
    CIMObjectPath reference(const Node& node);
    // The RETURNVALUE of a METHODRESPONSE (a null boolean when it has none)
    // and its PARAMVALUEs.
    CIMValue returnValue(const Node& methodResponse);
    Array<CIMParamValue> outParameters(const Node& methodResponse);

  private:
    CIMName name(const char* text) const;
    CIMQualifier qualifier(const Node& node);
    // Adds a QUALIFIER or PROPERTY child to a class or an instance, which share them; false for
    // any other child.
    template <class Object>
    bool member(Object& object, const Node& child, Shortcuts* shortcuts);
    void method(const Node& node);
    CIMNamespaceName localNamespacePath(const Node& node);
    void namespacePath(const Node& node, String& host, CIMNamespaceName& nameSpace);
    CIMValue parameterValue(const Node& node, const Attribute& typeAttr);

    // Keys view the names' own texts, which never change.
    mutable std::unordered_map<std::string_view, CIMName> names_;
    DecodeLimits* limits_ = nullptr;
};

}  // namespace cimxml
}  // namespace Pegasus

#endif
