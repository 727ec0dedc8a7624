#ifndef PEGASUS_COMMON_ARRAY_H
#define PEGASUS_COMMON_ARRAY_H

#include <Pegasus/Common/Config.h>

#include <utility>
#include <vector>

namespace Pegasus {

// Throws IndexOutOfBoundsException; defined in Exception.cpp so that this
// header does not pull in the exception classes.
[[noreturn]] void throwIndexOutOfBounds();

// Growable sequence of T, a plain value type. Element access checks the index
// and throws IndexOutOfBoundsException past the end, as OpenPegasus does.
template <class T>
class Array {
  public:
    Array() = default;
    explicit Array(Uint32 size) : items_(size) {}
    Array(Uint32 size, const T& value) : items_(size, Slot{value}) {}
    Array(const T* items, Uint32 size) {
        items_.reserve(size);
        for (Uint32 i = 0; i < size; ++i) items_.push_back(Slot{items[i]});
    }

    Uint32 size() const { return static_cast<Uint32>(items_.size()); }
    void reserveCapacity(Uint32 capacity) { items_.reserve(capacity); }
    Uint32 getCapacity() const { return static_cast<Uint32>(items_.capacity()); }

    T& operator[](Uint32 index) {
        if (index >= items_.size()) throwIndexOutOfBounds();
        return items_[index].value;
    }
    const T& operator[](Uint32 index) const {
        if (index >= items_.size()) throwIndexOutOfBounds();
        return items_[index].value;
    }

    void append(const T& value) { items_.push_back(Slot{value}); }
    void append(T&& value) { items_.push_back(Slot{std::move(value)}); }
    void appendArray(const Array<T>& other) {
        items_.insert(items_.end(), other.items_.begin(), other.items_.end());
    }
    void prepend(const T& value) { items_.insert(items_.begin(), Slot{value}); }
    void insert(Uint32 index, const T& value) {
        if (index > items_.size()) throwIndexOutOfBounds();
        items_.insert(items_.begin() + index, Slot{value});
    }
    void remove(Uint32 index) { remove(index, 1); }
    void remove(Uint32 index, Uint32 count) {
        if (index > items_.size() || count > items_.size() - index) throwIndexOutOfBounds();
        items_.erase(items_.begin() + index, items_.begin() + index + count);
    }
    void clear() { items_.clear(); }

  private:
    // A wrapper keeps Array<Boolean> away from std::vector<bool>, whose
    // elements cannot be returned by reference.
    struct Slot {
        T value;
    };
    std::vector<Slot> items_;
};

}  // namespace Pegasus

#endif
