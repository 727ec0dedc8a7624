#ifndef PEGASUS_COMMON_CIMINSTANCE_H
#define PEGASUS_COMMON_CIMINSTANCE_H

#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMProperty.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <memory>

namespace Pegasus {

// A CIM instance: class name, path, properties in the order the server sent
// them and instance-level qualifiers. A plain value type; copies share the
// contents until one of them is changed.
class CIMInstance {
  public:
    // An uninitialized instance (no class name).
    CIMInstance();
    explicit CIMInstance(const CIMName& className);
    CIMInstance(const CIMInstance&);
    CIMInstance& operator=(const CIMInstance&);
    ~CIMInstance();

    Boolean isUninitialized() const;
    const CIMName& getClassName() const;
    const CIMObjectPath& getPath() const;
    void setPath(const CIMObjectPath& path);

    CIMInstance& addProperty(const CIMProperty& property);
    // The same, taking the contents over when nothing else shares them.
    CIMInstance& addProperty(CIMProperty&& property);
    // Room for that many properties in all, so that adding them does not move
    // the ones already there (not part of the OpenPegasus API; used by this
    // library's decoder, which knows the count before it adds them).
    void reserveProperties(Uint32 count);
    // Puts `property` in the place of property `index`, whose name it must
    // have (not part of the OpenPegasus API; used by this library's decoder
    // for an instance that repeats another but for some properties).
    void setProperty(Uint32 index, CIMProperty&& property);
    // Index of the property of that name (case-insensitive), or PEG_NOT_FOUND.
    Uint32 findProperty(const CIMName& name) const;
    // Throws IndexOutOfBoundsException for an index not below getPropertyCount().
    CIMProperty getProperty(Uint32 index);
    CIMConstProperty getProperty(Uint32 index) const;
    void removeProperty(Uint32 index);
    Uint32 getPropertyCount() const;

    CIMInstance& addQualifier(CIMQualifier qualifier);
    Uint32 findQualifier(const CIMName& name) const;
    CIMQualifier getQualifier(Uint32 index);
    CIMConstQualifier getQualifier(Uint32 index) const;
    Uint32 getQualifierCount() const;

  private:
    struct Rep;
    std::shared_ptr<Rep> rep_;
    Rep& writable();
    static CIMProperty::Rep taken(CIMProperty&& property);
};

}  // namespace Pegasus

#endif
