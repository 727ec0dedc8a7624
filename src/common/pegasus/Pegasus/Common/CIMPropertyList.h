#ifndef PEGASUS_COMMON_CIMPROPERTYLIST_H
#define PEGASUS_COMMON_CIMPROPERTYLIST_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>

namespace Pegasus {

// Which properties a request asks for. A default-constructed list is null and
// means "all properties" (nothing is sent); a list set from an array, even an
// empty one, is sent as it is. A plain value type.
class CIMPropertyList {
  public:
    CIMPropertyList() = default;
    CIMPropertyList(const Array<CIMName>& propertyNames) : names_(propertyNames), isNull_(false) {}

    void set(const Array<CIMName>& propertyNames) {
        names_ = propertyNames;
        isNull_ = false;
    }
    // Back to the null list.
    void clear() {
        names_.clear();
        isNull_ = true;
    }
    Boolean isNull() const { return isNull_; }
    Uint32 size() const { return names_.size(); }
    const CIMName& operator[](Uint32 index) const { return names_[index]; }
    Array<CIMName> getPropertyNameArray() const { return names_; }

  private:
    Array<CIMName> names_;
    Boolean isNull_ = true;
};

}  // namespace Pegasus

#endif
