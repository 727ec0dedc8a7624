#ifndef PEGASUS_COMMON_CIMCLASS_H
#define PEGASUS_COMMON_CIMCLASS_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <memory>

namespace Pegasus {

// A CIM class as GetClass returns it: its name, its superclass's name, the
// class qualifiers and the properties in the order the server sent them,
// each with its qualifiers (ValueMap, Values, ...), class origin, PROPAGATED
// flag and default value (the property's value; null when there is none).
//
// Methods are not kept: a client reads a class for its properties' value
// maps, so the decoder checks the METHOD elements of a response and drops
// them, and there is no getMethod / getMethodCount.
//
// A plain value type; copies share the contents until one of them is
// changed, and what getProperty/getQualifier hand out are copies.
class CIMClass {
  public:
    // An uninitialized class (no class name).
    CIMClass();
    explicit CIMClass(const CIMName& className, const CIMName& superClassName = CIMName());
    CIMClass(const CIMClass&);
    CIMClass& operator=(const CIMClass&);
    ~CIMClass();

    Boolean isUninitialized() const;
    const CIMName& getClassName() const;
    // Null for a class without a superclass.
    const CIMName& getSuperClassName() const;
    void setSuperClassName(const CIMName& superClassName);

    // A property of a name already present replaces it.
    CIMClass& addProperty(const CIMProperty& property);
    // Index of the property of that name (case-insensitive), or PEG_NOT_FOUND.
    Uint32 findProperty(const CIMName& name) const;
    // Throws IndexOutOfBoundsException for an index not below getPropertyCount().
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    Uint32 getPropertyCount() const;

    // A qualifier of a name already present replaces it.
    CIMClass& addQualifier(const CIMQualifier& qualifier);
    // Index of the qualifier of that name (case-insensitive), or PEG_NOT_FOUND.
    Uint32 findQualifier(const CIMName& name) const;
    // Throws IndexOutOfBoundsException for an index not below getQualifierCount().
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    Uint32 getQualifierCount() const;

  private:
    struct Rep;
    std::shared_ptr<Rep> rep_;
    Rep& writable();
};

// Read-only view of a class.
class CIMConstClass {
  public:
    CIMConstClass() = default;
    CIMConstClass(const CIMClass& theClass) : class_(theClass) {}

    Boolean isUninitialized() const { return class_.isUninitialized(); }
    const CIMName& getClassName() const { return class_.getClassName(); }
    const CIMName& getSuperClassName() const { return class_.getSuperClassName(); }
    Uint32 findProperty(const CIMName& name) const { return class_.findProperty(name); }
    CIMConstProperty getProperty(Uint32 index) const { return class_.getProperty(index); }
    Uint32 getPropertyCount() const { return class_.getPropertyCount(); }
    Uint32 findQualifier(const CIMName& name) const { return class_.findQualifier(name); }
    CIMConstQualifier getQualifier(Uint32 index) const { return class_.getQualifier(index); }
    Uint32 getQualifierCount() const { return class_.getQualifierCount(); }

  private:
    CIMClass class_;
};

}  // namespace Pegasus

#endif
