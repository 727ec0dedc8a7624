// Where each member of an object (a property, a qualifier) stands, by name,
// once it has many: an object adds every member after looking for its name
// (a repeated name replaces the earlier member), so a scan would make a
// server's member count cost its square.
#ifndef PEGASUS_OBJECTS_NAME_INDEX_H
#define PEGASUS_OBJECTS_NAME_INDEX_H

#include <Pegasus/Common/CIMName.h>

#include <map>
#include <memory>

namespace Pegasus {

class NameIndex {
  public:
    // Objects with fewer members are scanned: as quick at that size, and no
    // memory beside the members (a large enumeration holds 10,000 instances
    // of 62 properties each).
    static constexpr Uint32 kIndexedFrom = 128;

    NameIndex() = default;
    NameIndex(const NameIndex& other)
        : positions_(other.positions_ ? std::make_unique<Positions>(*other.positions_) : nullptr) {}
    NameIndex& operator=(const NameIndex& other) {
        if (this != &other) *this = NameIndex(other);
        return *this;
    }
    NameIndex(NameIndex&&) noexcept = default;
    NameIndex& operator=(NameIndex&&) noexcept = default;

    // False while the object is to be scanned instead.
    bool active() const { return positions_ != nullptr; }
    // The position of the member of that name (ASCII letters folded), or
    // PEG_NOT_FOUND. Requires active().
    Uint32 find(const CIMName& name) const {
        auto found = positions_->find(name);
        return found == positions_->end() ? PEG_NOT_FOUND : found->second;
    }
    // The object now has `count` members, the last one just appended;
    // nameAt(i) gives member i's name.
    template <class NameAt>
    void appended(Uint32 count, const NameAt& nameAt) {
        if (positions_) {
            positions_->emplace(nameAt(count - 1), count - 1);
        } else if (count >= kIndexedFrom) {
            rebuild(count, nameAt);
        }
    }
    // The object's members moved (one was removed): indexes them anew.
    template <class NameAt>
    void rebuild(Uint32 count, const NameAt& nameAt) {
        positions_.reset();
        if (count < kIndexedFrom) return;
        positions_ = std::make_unique<Positions>();
        for (Uint32 i = 0; i < count; ++i) positions_->emplace(nameAt(i), i);
    }

  private:
    // Ordered, not hashed: no server can pick names that make it slow.
    struct FoldedLess {
        bool operator()(const CIMName& left, const CIMName& right) const;
    };
    using Positions = std::map<CIMName, Uint32, FoldedLess>;
    std::unique_ptr<Positions> positions_;
};

}  // namespace Pegasus

#endif
