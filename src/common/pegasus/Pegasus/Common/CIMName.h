#ifndef PEGASUS_COMMON_CIMNAME_H
#define PEGASUS_COMMON_CIMNAME_H

#include <Pegasus/Common/String.h>

#include <atomic>
#include <utility>

namespace Pegasus {

// Name of a CIM class, property, qualifier, method or parameter. Names compare
// case-insensitively (ASCII folding) and keep the spelling they were given.
// A default-constructed name is null. A plain value type.
class CIMName {
  public:
    CIMName() = default;
    CIMName(const String& name) : name_(name.utf8().empty() ? nullptr : new Text{{1}, name}) {}
    CIMName(const char* name) : CIMName(String(name)) {}
    CIMName(const CIMName& other) noexcept : name_(other.name_) { retain(); }
    CIMName(CIMName&& other) noexcept : name_(other.name_) { other.name_ = nullptr; }
    CIMName& operator=(const CIMName& other) noexcept {
        CIMName copy(other);
        std::swap(name_, copy.name_);
        return *this;
    }
    CIMName& operator=(CIMName&& other) noexcept {
        std::swap(name_, other.name_);
        return *this;
    }
    ~CIMName() { release(); }

    const String& getString() const { return name_ ? name_->text : String::EMPTY; }
    Boolean isNull() const { return name_ == nullptr; }
    void clear() {
        release();
        name_ = nullptr;
    }
    Boolean equal(const CIMName& other) const {
        return name_ == other.name_ || String::equalNoCase(getString(), other.getString());
    }

  private:
    // Copies share one text, counted in place so that a name costs one
    // pointer: a large enumeration holds the same 62 property names 10,000
    // times each.
    struct Text {
        std::atomic<unsigned> references;
        const String text;
    };
    void retain() const {
        if (name_) name_->references.fetch_add(1, std::memory_order_relaxed);
    }
    void release() {
        if (name_ && name_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete name_;
    }
    Text* name_ = nullptr;
};

inline Boolean operator==(const CIMName& left, const CIMName& right) { return left.equal(right); }
inline Boolean operator!=(const CIMName& left, const CIMName& right) { return !left.equal(right); }

// Namespace such as "root/brocade". Compares case-insensitively; a
// default-constructed namespace is null.
class CIMNamespaceName {
  public:
    CIMNamespaceName() = default;
    // A leading '/' is dropped, as OpenPegasus does.
    CIMNamespaceName(const String& name);
    CIMNamespaceName(const char* name) : CIMNamespaceName(String(name)) {}

    const String& getString() const { return name_; }
    Boolean isNull() const { return name_.size() == 0; }
    void clear() { name_.clear(); }
    Boolean equal(const CIMNamespaceName& other) const {
        return String::equalNoCase(name_, other.name_);
    }

  private:
    String name_;
};

inline Boolean operator==(const CIMNamespaceName& left, const CIMNamespaceName& right) {
    return left.equal(right);
}
inline Boolean operator!=(const CIMNamespaceName& left, const CIMNamespaceName& right) {
    return !left.equal(right);
}

}  // namespace Pegasus

#endif
