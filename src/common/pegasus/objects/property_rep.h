// The contents of a CIMProperty. An instance keeps its properties' contents
// side by side in one block, and the CIMProperty it hands out points into
// that block rather than owning a copy: a large enumeration has hundreds of
// thousands of properties, and one allocation each would cost more memory
// (and page faults) than the properties themselves.
#ifndef PEGASUS_OBJECTS_PROPERTY_REP_H
#define PEGASUS_OBJECTS_PROPERTY_REP_H

#include <Pegasus/Common/CIMProperty.h>

#include <memory>

#include "qualifier_list.h"

namespace Pegasus {

struct CIMProperty::Rep {
    // What most properties lack, kept apart so that they do not pay for it.
    struct Rare {
        CIMName referenceClassName;
        CIMName classOrigin;
        QualifierList qualifiers;
    };

    CIMName name;
    CIMValue value;
    std::unique_ptr<Rare> rare;
    Uint32 arraySize = 0;
    Boolean propagated = false;

    Rep() = default;
    Rep(Rep&&) noexcept = default;
    Rep& operator=(Rep&&) noexcept = default;
    Rep(const Rep& other)
        : name(other.name),
          value(other.value),
          rare(other.rare ? std::make_unique<Rare>(*other.rare) : nullptr),
          arraySize(other.arraySize),
          propagated(other.propagated) {}
    Rep& operator=(const Rep& other) {
        if (this != &other) *this = Rep(other);
        return *this;
    }

    Rare& writableRare() {
        if (!rare) rare = std::make_unique<Rare>();
        return *rare;
    }
};

}  // namespace Pegasus

#endif
