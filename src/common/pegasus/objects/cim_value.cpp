#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace Pegasus {

template <class T>
struct IsArray : std::false_type {};
template <class T>
struct IsArray<Array<T>> : std::true_type {};

namespace {

template <class Items>
Items emptyItems(CIMType type) {
    switch (type) {
        case CIMTYPE_BOOLEAN:
            return Array<Boolean>();
        case CIMTYPE_UINT8:
            return Array<Uint8>();
        case CIMTYPE_SINT8:
            return Array<Sint8>();
        case CIMTYPE_UINT16:
            return Array<Uint16>();
        case CIMTYPE_SINT16:
            return Array<Sint16>();
        case CIMTYPE_UINT32:
            return Array<Uint32>();
        case CIMTYPE_SINT32:
            return Array<Sint32>();
        case CIMTYPE_UINT64:
            return Array<Uint64>();
        case CIMTYPE_SINT64:
            return Array<Sint64>();
        case CIMTYPE_REAL32:
            return Array<Real32>();
        case CIMTYPE_REAL64:
            return Array<Real64>();
        case CIMTYPE_CHAR16:
            return Array<Char16>();
        case CIMTYPE_STRING:
            return Array<String>();
        case CIMTYPE_DATETIME:
            return Array<CIMDateTime>();
        case CIMTYPE_REFERENCE:
            return Array<CIMObjectPath>();
        case CIMTYPE_OBJECT:
        case CIMTYPE_INSTANCE:
            break;
    }
    // Embedded objects are not supported by this client; such a null value is
    // kept as a null string so that it still prints and compares.
    return Array<String>();
}

void appendText(std::string& out, Boolean x) { out += x ? "TRUE" : "FALSE"; }
void appendText(std::string& out, Uint8 x) { out += std::to_string(x); }
void appendText(std::string& out, Sint8 x) { out += std::to_string(x); }
void appendText(std::string& out, Uint16 x) { out += std::to_string(x); }
void appendText(std::string& out, Sint16 x) { out += std::to_string(x); }
void appendText(std::string& out, Uint32 x) { out += std::to_string(x); }
void appendText(std::string& out, Sint32 x) { out += std::to_string(x); }
void appendText(std::string& out, Uint64 x) { out += std::to_string(x); }
void appendText(std::string& out, Sint64 x) { out += std::to_string(x); }
void appendText(std::string& out, Real64 x) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.16e", x);
    out += buffer;
}
// OpenPegasus widens real32 before printing, so 0.1f shows its float error.
void appendText(std::string& out, Real32 x) { appendText(out, static_cast<Real64>(x)); }
void appendText(std::string& out, Char16 x) {
    String text;
    text.append(x);
    out += text.utf8();
}
void appendText(std::string& out, const String& x) { out += x.utf8(); }
void appendText(std::string& out, const CIMDateTime& x) { out += x.toString().utf8(); }
void appendText(std::string& out, const CIMObjectPath& x) { out += x.toString().utf8(); }

template <class T>
bool sameElements(const Array<T>& left, const Array<T>& right) {
    if (left.size() != right.size()) return false;
    for (Uint32 i = 0; i < left.size(); ++i) {
        if (!(left[i] == right[i])) return false;
    }
    return true;
}

bool sameElements(const Array<Char16>& left, const Array<Char16>& right) {
    if (left.size() != right.size()) return false;
    for (Uint32 i = 0; i < left.size(); ++i) {
        if (Uint16(left[i]) != Uint16(right[i])) return false;
    }
    return true;
}

template <class T>
bool sameScalar(const T& left, const T& right) {
    return left == right;
}

bool sameScalar(const Char16& left, const Char16& right) { return Uint16(left) == Uint16(right); }

}  // namespace

struct CIMValue::Access {
    template <class T>
    static CIMType typeOf() {
        return static_cast<CIMType>(Items(Array<T>()).index());
    }

    static void makeNull(CIMValue& value, CIMType type, bool isArray) {
        value.type_ = type;
        value.isArray_ = isArray;
        value.isNull_ = true;
        value.items_ = emptyItems<Items>(type);
    }

    template <class T>
    static void makeScalar(CIMValue& value, T&& x) {
        using Item = std::decay_t<T>;
        value.type_ = typeOf<Item>();
        value.isArray_ = false;
        value.isNull_ = false;
        value.items_.emplace<Item>(std::forward<T>(x));
    }

    template <class T>
    static void makeArray(CIMValue& value, const Array<T>& x) {
        value.type_ = typeOf<T>();
        value.isArray_ = true;
        value.isNull_ = false;
        value.items_ = x;
    }

    template <class T>
    static void getScalar(const CIMValue& value, T& x) {
        if (value.isArray_ || value.type_ != typeOf<T>()) throw TypeMismatchException();
        if (!value.isNull_) x = std::get<T>(value.items_);
    }

    template <class T>
    static void getArray(const CIMValue& value, Array<T>& x) {
        if (!value.isArray_ || value.type_ != typeOf<T>()) throw TypeMismatchException();
        if (!value.isNull_) x = std::get<Array<T>>(value.items_);
    }
};

CIMValue::CIMValue() = default;
CIMValue::CIMValue(CIMType type, Boolean isArray, Uint32) {
    Access::makeNull(*this, type, isArray);
}
CIMValue::CIMValue(Boolean x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Uint8 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Sint8 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Uint16 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Sint16 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Uint32 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Sint32 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Uint64 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Sint64 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Real32 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(Real64 x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(const Char16& x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(const String& x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(String&& x) { Access::makeScalar(*this, std::move(x)); }
CIMValue::CIMValue(const char* x) { Access::makeScalar(*this, String(x)); }
CIMValue::CIMValue(const CIMDateTime& x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(const CIMObjectPath& x) { Access::makeScalar(*this, x); }
CIMValue::CIMValue(const Array<Boolean>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Uint8>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Sint8>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Uint16>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Sint16>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Uint32>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Sint32>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Uint64>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Sint64>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Real32>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Real64>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<Char16>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<String>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<CIMDateTime>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const Array<CIMObjectPath>& x) { Access::makeArray(*this, x); }
CIMValue::CIMValue(const CIMValue&) = default;
CIMValue::CIMValue(CIMValue&&) noexcept = default;
CIMValue& CIMValue::operator=(const CIMValue&) = default;
CIMValue& CIMValue::operator=(CIMValue&&) noexcept = default;
CIMValue::~CIMValue() = default;

CIMType CIMValue::getType() const { return type_; }
Boolean CIMValue::isArray() const { return isArray_; }
Boolean CIMValue::isNull() const { return isNull_; }

Uint32 CIMValue::getArraySize() const {
    if (!isArray_ || isNull_) return 0;
    return std::visit(
        [](const auto& items) -> Uint32 {
            if constexpr (IsArray<std::decay_t<decltype(items)>>::value) {
                return items.size();
            } else {
                return 0;
            }
        },
        items_);
}

void CIMValue::setNullValue(CIMType type, Boolean isArray, Uint32) {
    Access::makeNull(*this, type, isArray);
}
void CIMValue::clear() { Access::makeNull(*this, CIMTYPE_BOOLEAN, false); }

void CIMValue::get(Boolean& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Uint8& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Sint8& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Uint16& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Sint16& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Uint32& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Sint32& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Uint64& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Sint64& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Real32& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Real64& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Char16& x) const { Access::getScalar(*this, x); }
void CIMValue::get(String& x) const { Access::getScalar(*this, x); }
void CIMValue::get(CIMDateTime& x) const { Access::getScalar(*this, x); }
void CIMValue::get(CIMObjectPath& x) const { Access::getScalar(*this, x); }
void CIMValue::get(Array<Boolean>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Uint8>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Sint8>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Uint16>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Sint16>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Uint32>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Sint32>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Uint64>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Sint64>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Real32>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Real64>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<Char16>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<String>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<CIMDateTime>& x) const { Access::getArray(*this, x); }
void CIMValue::get(Array<CIMObjectPath>& x) const { Access::getArray(*this, x); }

String CIMValue::toString() const {
    if (isNull_) return String();
    std::string out;
    std::visit(
        [&out](const auto& items) {
            if constexpr (IsArray<std::decay_t<decltype(items)>>::value) {
                for (Uint32 i = 0; i < items.size(); ++i) {
                    appendText(out, items[i]);
                    // OpenPegasus ends every array element with a blank, the last one too.
                    out += ' ';
                }
            } else {
                appendText(out, items);
            }
        },
        items_);
    return String::fromUtf8(std::move(out));
}

Boolean CIMValue::equal(const CIMValue& other) const {
    if (type_ != other.type_ || isArray_ != other.isArray_ || isNull_ != other.isNull_) {
        return false;
    }
    if (isNull_) return true;
    return std::visit(
        [&other](const auto& items) {
            using ItemsType = std::decay_t<decltype(items)>;
            if constexpr (IsArray<ItemsType>::value) {
                return sameElements(items, std::get<ItemsType>(other.items_));
            } else {
                return sameScalar(items, std::get<ItemsType>(other.items_));
            }
        },
        items_);
}

}  // namespace Pegasus
