#ifndef PEGASUS_COMMON_CIMVALUE_H
#define PEGASUS_COMMON_CIMVALUE_H

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/Char16.h>
#include <Pegasus/Common/String.h>

#include <variant>

namespace Pegasus {

// A typed CIM value, scalar or array, possibly null. A plain value type that
// holds its contents in place: a large enumeration has hundreds of thousands
// of values, and a separate allocation for each would cost more than the
// value itself.
class CIMValue {
  public:
    // A null boolean.
    CIMValue();
    // A null value of the given type.
    CIMValue(CIMType type, Boolean isArray, Uint32 arraySize = 0);

    CIMValue(Boolean x);
    CIMValue(Uint8 x);
    CIMValue(Sint8 x);
    CIMValue(Uint16 x);
    CIMValue(Sint16 x);
    CIMValue(Uint32 x);
    CIMValue(Sint32 x);
    CIMValue(Uint64 x);
    CIMValue(Sint64 x);
    CIMValue(Real32 x);
    CIMValue(Real64 x);
    CIMValue(const Char16& x);
    CIMValue(const String& x);
    CIMValue(String&& x);
    CIMValue(const char* x);
    CIMValue(const CIMDateTime& x);
    CIMValue(const CIMObjectPath& x);
    CIMValue(const Array<Boolean>& x);
    CIMValue(const Array<Uint8>& x);
    CIMValue(const Array<Sint8>& x);
    CIMValue(const Array<Uint16>& x);
    CIMValue(const Array<Sint16>& x);
    CIMValue(const Array<Uint32>& x);
    CIMValue(const Array<Sint32>& x);
    CIMValue(const Array<Uint64>& x);
    CIMValue(const Array<Sint64>& x);
    CIMValue(const Array<Real32>& x);
    CIMValue(const Array<Real64>& x);
    CIMValue(const Array<Char16>& x);
    CIMValue(const Array<String>& x);
    CIMValue(const Array<CIMDateTime>& x);
    CIMValue(const Array<CIMObjectPath>& x);
    CIMValue(const CIMValue&);
    CIMValue(CIMValue&&) noexcept;
    CIMValue& operator=(const CIMValue&);
    CIMValue& operator=(CIMValue&&) noexcept;
    ~CIMValue();

    CIMType getType() const;
    Boolean isArray() const;
    Boolean isNull() const;
    // Number of elements; 0 for scalars and null arrays.
    Uint32 getArraySize() const;
    // Makes this a null value of the given type.
    void setNullValue(CIMType type, Boolean isArray, Uint32 arraySize = 0);
    // Makes this a null boolean.
    void clear();

    // get() copies the value into x when the C++ type matches the CIM type
    // (and arrayness); otherwise throws TypeMismatchException. On a null value
    // of the right type it leaves x unchanged and does not throw.
    void get(Boolean& x) const;
    void get(Uint8& x) const;
    void get(Sint8& x) const;
    void get(Uint16& x) const;
    void get(Sint16& x) const;
    void get(Uint32& x) const;
    void get(Sint32& x) const;
    void get(Uint64& x) const;
    void get(Sint64& x) const;
    void get(Real32& x) const;
    void get(Real64& x) const;
    void get(Char16& x) const;
    void get(String& x) const;
    void get(CIMDateTime& x) const;
    void get(CIMObjectPath& x) const;
    void get(Array<Boolean>& x) const;
    void get(Array<Uint8>& x) const;
    void get(Array<Sint8>& x) const;
    void get(Array<Uint16>& x) const;
    void get(Array<Sint16>& x) const;
    void get(Array<Uint32>& x) const;
    void get(Array<Sint32>& x) const;
    void get(Array<Uint64>& x) const;
    void get(Array<Sint64>& x) const;
    void get(Array<Real32>& x) const;
    void get(Array<Real64>& x) const;
    void get(Array<Char16>& x) const;
    void get(Array<String>& x) const;
    void get(Array<CIMDateTime>& x) const;
    void get(Array<CIMObjectPath>& x) const;

    // The OpenPegasus text form: "" for any null value; TRUE / FALSE; integers
    // in decimal; reals (real32 widened) as printf "%.16e"; strings, char16 and
    // datetimes as they are, without quoting; references as the path's
    // toString(). Arrays: every element followed by one space ("2 3 "), "" when
    // empty.
    String toString() const;

    Boolean equal(const CIMValue& other) const;

  private:
    // Arrays first, then scalars, each in CIMType order, so that the index
    // of an array alternative is the CIM type.
    using Items =
        std::variant<Array<Boolean>, Array<Uint8>, Array<Sint8>, Array<Uint16>, Array<Sint16>,
                     Array<Uint32>, Array<Sint32>, Array<Uint64>, Array<Sint64>, Array<Real32>,
                     Array<Real64>, Array<Char16>, Array<String>, Array<CIMDateTime>,
                     Array<CIMObjectPath>, Boolean, Uint8, Sint8, Uint16, Sint16, Uint32, Sint32,
                     Uint64, Sint64, Real32, Real64, Char16, String, CIMDateTime, CIMObjectPath>;
    struct Access;

    CIMType type_ = CIMTYPE_BOOLEAN;
    bool isArray_ = false;
    bool isNull_ = true;
    // Unused (an empty array) while the value is null.
    Items items_;
};

inline Boolean operator==(const CIMValue& left, const CIMValue& right) { return left.equal(right); }
inline Boolean operator!=(const CIMValue& left, const CIMValue& right) {
    return !left.equal(right);
}

}  // namespace Pegasus

#endif
