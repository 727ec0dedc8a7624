// Qualifiers of a property or instance, shared by both.
#ifndef PEGASUS_OBJECTS_QUALIFIER_LIST_H
#define PEGASUS_OBJECTS_QUALIFIER_LIST_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMQualifier.h>

#include <utility>

#include "objects/name_index.h"

namespace Pegasus {

class QualifierList {
  public:
    // A qualifier of a name already present replaces it, so that a server that
    // repeats a qualifier cannot make find() and the count disagree.
    void add(CIMQualifier qualifier) {
        Uint32 index = find(qualifier.getName());
        if (index == PEG_NOT_FOUND) {
            qualifiers_.append(std::move(qualifier));
            index_.appended(qualifiers_.size(), [this](Uint32 i) -> const CIMName& {
                return qualifiers_[i].getName();
            });
        } else {
            qualifiers_[index] = std::move(qualifier);
        }
    }
    // Case-insensitive by name; PEG_NOT_FOUND when absent.
    Uint32 find(const CIMName& name) const {
        if (index_.active()) return index_.find(name);
        for (Uint32 i = 0; i < qualifiers_.size(); ++i) {
            if (qualifiers_[i].getName() == name) return i;
        }
        return PEG_NOT_FOUND;
    }
    const CIMQualifier& get(Uint32 index) const { return qualifiers_[index]; }
    Uint32 count() const { return qualifiers_.size(); }

  private:
    Array<CIMQualifier> qualifiers_;
    NameIndex index_;
};

}  // namespace Pegasus

#endif
