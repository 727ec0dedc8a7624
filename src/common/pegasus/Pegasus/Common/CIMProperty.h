#ifndef PEGASUS_COMMON_CIMPROPERTY_H
#define PEGASUS_COMMON_CIMPROPERTY_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMValue.h>

#include <memory>

namespace Pegasus {

// A property of an instance: name, value (whose type is the property's type),
// the qualifiers the server sent with it, and the class origin. A plain value
// type; copies (and the instance it came from) share the contents until one
// of them is changed.
class CIMProperty {
  public:
    CIMProperty();
    CIMProperty(const CIMName& name, const CIMValue& value, Uint32 arraySize = 0,
                const CIMName& referenceClassName = CIMName(),
                const CIMName& classOrigin = CIMName(), Boolean propagated = false);
    // The same, taking the value over rather than copying it.
    CIMProperty(const CIMName& name, CIMValue&& value, Uint32 arraySize = 0,
                const CIMName& referenceClassName = CIMName(),
                const CIMName& classOrigin = CIMName(), Boolean propagated = false);
    CIMProperty(const CIMProperty&);
    CIMProperty& operator=(const CIMProperty&);
    ~CIMProperty();

    const CIMName& getName() const;
    const CIMValue& getValue() const;
    void setValue(const CIMValue& value);
    CIMType getType() const;
    Boolean isArray() const;
    Uint32 getArraySize() const;
    const CIMName& getReferenceClassName() const;
    const CIMName& getClassOrigin() const;
    void setClassOrigin(const CIMName& classOrigin);
    Boolean getPropagated() const;
    void setPropagated(Boolean propagated);

    CIMProperty& addQualifier(CIMQualifier qualifier);
    // Index of the qualifier of that name (case-insensitive), or PEG_NOT_FOUND.
    Uint32 findQualifier(const CIMName& name) const;
    // Throws IndexOutOfBoundsException for an index not below getQualifierCount().
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    Uint32 getQualifierCount() const;

  private:
    friend class CIMInstance;
    struct Rep;
    // Either its own contents or a share of the instance that handed it out,
    // pointing at the contents there.
    explicit CIMProperty(std::shared_ptr<Rep> rep);
    std::shared_ptr<Rep> rep_;
    Rep& writable();
};

// Read-only view of a property, as instances hand out from const access.
class CIMConstProperty {
  public:
    CIMConstProperty() = default;
    CIMConstProperty(const CIMProperty& property) : property_(property) {}

    const CIMName& getName() const { return property_.getName(); }
    const CIMValue& getValue() const { return property_.getValue(); }
    CIMType getType() const { return property_.getType(); }
    Boolean isArray() const { return property_.isArray(); }
    Uint32 getArraySize() const { return property_.getArraySize(); }
    const CIMName& getReferenceClassName() const { return property_.getReferenceClassName(); }
    const CIMName& getClassOrigin() const { return property_.getClassOrigin(); }
    Boolean getPropagated() const { return property_.getPropagated(); }
    Uint32 findQualifier(const CIMName& name) const { return property_.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const { return property_.getQualifier(index); }
    Uint32 getQualifierCount() const { return property_.getQualifierCount(); }

  private:
    CIMProperty property_;
};

}  // namespace Pegasus

#endif
