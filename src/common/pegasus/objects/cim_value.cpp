#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace Pegasus {

// Arrays first, then scalars, each in CIMType order, so that the index of an
// array alternative is the CIM type. A scalar is held in place: a large
// enumeration has hundreds of thousands of them, and an array of one would
// cost another allocation each.
using Items =
    std::variant<Array<Boolean>, Array<Uint8>, Array<Sint8>, Array<Uint16>, Array<Sint16>,
                 Array<Uint32>, Array<Sint32>, Array<Uint64>, Array<Sint64>, Array<Real32>,
                 Array<Real64>, Array<Char16>, Array<String>, Array<CIMDateTime>,
                 Array<CIMObjectPath>, Boolean, Uint8, Sint8, Uint16, Sint16, Uint32, Sint32,
                 Uint64, Sint64, Real32, Real64, Char16, String, CIMDateTime, CIMObjectPath>;

template <class T>
struct IsArray : std::false_type {};
template <class T>
struct IsArray<Array<T>> : std::true_type {};

namespace {

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

template <class T>
CIMType typeOf() {
    return static_cast<CIMType>(Items(Array<T>()).index());
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

struct CIMValue::Rep {
    CIMType type;
    bool isArray;
    bool isNull;
    Items items;

    // Null values are immutable and common (servers send every property of
    // the class), so each kind of null is made once and shared.
    static std::shared_ptr<const Rep> nullRep(CIMType type, bool isArray) {
        static const auto nulls = [] {
            std::vector<std::shared_ptr<const Rep>> all;
            for (int kind = 0; kind <= CIMTYPE_INSTANCE; ++kind) {
                for (bool array : {false, true}) {
                    CIMType each = static_cast<CIMType>(kind);
                    all.push_back(
                        std::make_shared<const Rep>(Rep{each, array, true, emptyItems(each)}));
                }
            }
            return all;
        }();
        int kind = static_cast<int>(type);
        if (kind < 0 || kind > CIMTYPE_INSTANCE) kind = CIMTYPE_STRING;
        return nulls[static_cast<size_t>(kind * 2 + (isArray ? 1 : 0))];
    }

    template <class T>
    static std::shared_ptr<const Rep> scalarRep(T value) {
        return std::make_shared<const Rep>(
            Rep{typeOf<T>(), false, false, Items(std::in_place_type<T>, std::move(value))});
    }

    template <class T>
    static std::shared_ptr<const Rep> arrayRep(const Array<T>& values) {
        return std::make_shared<const Rep>(Rep{typeOf<T>(), true, false, values});
    }

    template <class T>
    static void getScalar(const Rep& rep, T& x) {
        if (rep.isArray || rep.type != typeOf<T>()) throw TypeMismatchException();
        if (!rep.isNull) x = std::get<T>(rep.items);
    }

    template <class T>
    static void getArray(const Rep& rep, Array<T>& x) {
        if (!rep.isArray || rep.type != typeOf<T>()) throw TypeMismatchException();
        if (!rep.isNull) x = std::get<Array<T>>(rep.items);
    }
};

CIMValue::CIMValue() : rep_(Rep::nullRep(CIMTYPE_BOOLEAN, false)) {}
CIMValue::CIMValue(CIMType type, Boolean isArray, Uint32) : rep_(Rep::nullRep(type, isArray)) {}
CIMValue::CIMValue(Boolean x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Uint8 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Sint8 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Uint16 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Sint16 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Uint32 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Sint32 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Uint64 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Sint64 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Real32 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(Real64 x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(const Char16& x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(const String& x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(String&& x) : rep_(Rep::scalarRep(std::move(x))) {}
CIMValue::CIMValue(const char* x) : rep_(Rep::scalarRep(String(x))) {}
CIMValue::CIMValue(const CIMDateTime& x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(const CIMObjectPath& x) : rep_(Rep::scalarRep(x)) {}
CIMValue::CIMValue(const Array<Boolean>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Uint8>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Sint8>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Uint16>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Sint16>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Uint32>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Sint32>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Uint64>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Sint64>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Real32>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Real64>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<Char16>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<String>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<CIMDateTime>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const Array<CIMObjectPath>& x) : rep_(Rep::arrayRep(x)) {}
CIMValue::CIMValue(const CIMValue&) = default;
CIMValue& CIMValue::operator=(const CIMValue&) = default;
CIMValue::~CIMValue() = default;

CIMType CIMValue::getType() const { return rep_->type; }
Boolean CIMValue::isArray() const { return rep_->isArray; }
Boolean CIMValue::isNull() const { return rep_->isNull; }

Uint32 CIMValue::getArraySize() const {
    if (!rep_->isArray || rep_->isNull) return 0;
    return std::visit(
        [](const auto& items) -> Uint32 {
            if constexpr (IsArray<std::decay_t<decltype(items)>>::value) {
                return items.size();
            } else {
                return 0;
            }
        },
        rep_->items);
}

void CIMValue::setNullValue(CIMType type, Boolean isArray, Uint32) {
    rep_ = Rep::nullRep(type, isArray);
}
void CIMValue::clear() { rep_ = Rep::nullRep(CIMTYPE_BOOLEAN, false); }

void CIMValue::get(Boolean& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Uint8& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Sint8& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Uint16& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Sint16& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Uint32& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Sint32& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Uint64& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Sint64& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Real32& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Real64& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Char16& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(String& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(CIMDateTime& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(CIMObjectPath& x) const { Rep::getScalar(*rep_, x); }
void CIMValue::get(Array<Boolean>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Uint8>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Sint8>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Uint16>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Sint16>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Uint32>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Sint32>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Uint64>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Sint64>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Real32>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Real64>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<Char16>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<String>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<CIMDateTime>& x) const { Rep::getArray(*rep_, x); }
void CIMValue::get(Array<CIMObjectPath>& x) const { Rep::getArray(*rep_, x); }

String CIMValue::toString() const {
    if (rep_->isNull) return String();
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
        rep_->items);
    return String::fromUtf8(std::move(out));
}

Boolean CIMValue::equal(const CIMValue& other) const {
    if (rep_ == other.rep_) return true;
    if (rep_->type != other.rep_->type || rep_->isArray != other.rep_->isArray ||
        rep_->isNull != other.rep_->isNull) {
        return false;
    }
    if (rep_->isNull) return true;
    return std::visit(
        [&other](const auto& items) {
            using ItemsType = std::decay_t<decltype(items)>;
            if constexpr (IsArray<ItemsType>::value) {
                return sameElements(items, std::get<ItemsType>(other.rep_->items));
            } else {
                return sameScalar(items, std::get<ItemsType>(other.rep_->items));
            }
        },
        rep_->items);
}

}  // namespace Pegasus
