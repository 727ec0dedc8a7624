#ifndef PEGASUS_COMMON_CIMQUALIFIER_H
#define PEGASUS_COMMON_CIMQUALIFIER_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMValue.h>

namespace Pegasus {

// A qualifier (ValueMap, Values, Description, Key, ...) on an instance or
// property: a name and a value. A plain value type.
class CIMQualifier {
  public:
    CIMQualifier() = default;
    CIMQualifier(const CIMName& name, const CIMValue& value, Boolean propagated = false)
        : name_(name), value_(value), propagated_(propagated) {}

    const CIMName& getName() const { return name_; }
    const CIMValue& getValue() const { return value_; }
    void setValue(const CIMValue& value) { value_ = value; }
    CIMType getType() const { return value_.getType(); }
    Boolean isArray() const { return value_.isArray(); }
    Boolean getPropagated() const { return propagated_; }

  private:
    CIMName name_;
    CIMValue value_;
    Boolean propagated_ = false;
};

// Read-only view of a qualifier, as returned by const properties and instances.
class CIMConstQualifier {
  public:
    CIMConstQualifier() = default;
    CIMConstQualifier(const CIMQualifier& qualifier) : qualifier_(qualifier) {}

    const CIMName& getName() const { return qualifier_.getName(); }
    const CIMValue& getValue() const { return qualifier_.getValue(); }
    CIMType getType() const { return qualifier_.getType(); }
    Boolean isArray() const { return qualifier_.isArray(); }
    Boolean getPropagated() const { return qualifier_.getPropagated(); }

  private:
    CIMQualifier qualifier_;
};

}  // namespace Pegasus

#endif
