// The contents of a CIMProperty. An instance keeps its properties' contents
// side by side in one block, and the CIMProperty it hands out points into
// that block rather than owning a copy: a large enumeration has hundreds of
// thousands of properties, and one allocation each would cost more memory
// (and page faults) than the properties themselves.
#ifndef PEGASUS_OBJECTS_PROPERTY_REP_H
#define PEGASUS_OBJECTS_PROPERTY_REP_H

#include <Pegasus/Common/CIMProperty.h>

#include <memory>

#include "objects/qualifier_list.h"

namespace Pegasus {

struct CIMProperty::Rep {
    // What most properties lack, kept apart so that they do not pay for it.
    struct Rare {
        CIMName referenceClassName;
        CIMName classOrigin;
        QualifierList qualifiers;
    };

    // A digest of the name with ASCII letters folded, so that an instance
    // looking for a name (as it does for every property added) compares
    // the texts of few candidates.
    static Uint16 keyOf(const CIMName& name) {
        Uint32 hash = 2166136261u;
        for (char c : name.getString().utf8()) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        }
        return static_cast<Uint16>(hash ^ (hash >> 16));
    }

    CIMName name;
    CIMValue value;
    std::unique_ptr<Rare> rare;
    Uint32 arraySize = 0;
    Uint16 nameKey = keyOf(CIMName());
    Boolean propagated = false;

    Rep() = default;
    Rep(Rep&&) noexcept = default;
    Rep& operator=(Rep&&) noexcept = default;
    Rep(const Rep& other)
        : name(other.name),
          value(other.value),
          rare(other.rare ? std::make_unique<Rare>(*other.rare) : nullptr),
          arraySize(other.arraySize),
          nameKey(other.nameKey),
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
