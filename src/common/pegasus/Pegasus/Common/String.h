#ifndef PEGASUS_COMMON_STRING_H
#define PEGASUS_COMMON_STRING_H

#include <Pegasus/Common/Char16.h>
#include <Pegasus/Common/Config.h>

#include <iosfwd>
#include <string>

namespace Pegasus {

// NUL-terminated UTF-8 copy of a String, as returned by String::getCString().
// It owns its bytes; the pointer stays valid as long as this object lives.
class CString {
  public:
    CString() = default;
    explicit CString(std::string bytes) : bytes_(std::move(bytes)) {}
    operator const char*() const { return bytes_.c_str(); }

  private:
    std::string bytes_;
};

// Text as CIM carries it. Held as UTF-8; lengths and indexes count UTF-16 code
// units, as the OpenPegasus String does, so size() of "café" is 4.
// A plain value type.
class String {
  public:
    static const String EMPTY;

    String() = default;
    // Requires valid UTF-8 (or ASCII); a null pointer gives the empty string.
    String(const char* text);
    String(const char* text, Uint32 byteCount);
    String(const String&) = default;
    String(String&&) noexcept = default;
    String& operator=(const String&) = default;
    String& operator=(String&&) noexcept = default;
    String& operator=(const char* text) { return *this = String(text); }

    // Number of UTF-16 code units.
    Uint32 size() const;
    // The code unit at `index`; throws IndexOutOfBoundsException past the end.
    Char16 operator[](Uint32 index) const;
    CString getCString() const { return CString(utf8_); }
    void clear() { utf8_.clear(); }

    String& append(const String& text);
    String& append(const char* text, Uint32 byteCount);
    String& append(Char16 character);

    static Boolean equal(const String& left, const String& right);
    // Compares with ASCII letters folded to lower case.
    static Boolean equalNoCase(const String& left, const String& right);

    // The UTF-8 bytes without a copy (not part of the OpenPegasus API; used by
    // this library's own layers).
    const std::string& utf8() const { return utf8_; }
    static String fromUtf8(std::string bytes);

  private:
    std::string utf8_;
};

inline Boolean operator==(const String& left, const String& right) {
    return String::equal(left, right);
}
inline Boolean operator==(const String& left, const char* right) { return left == String(right); }
inline Boolean operator==(const char* left, const String& right) { return String(left) == right; }
inline Boolean operator!=(const String& left, const String& right) { return !(left == right); }
inline Boolean operator!=(const String& left, const char* right) { return !(left == right); }
inline Boolean operator!=(const char* left, const String& right) { return !(left == right); }
// Byte-wise order of the UTF-8 text.
Boolean operator<(const String& left, const String& right);
String operator+(const String& left, const String& right);

std::ostream& operator<<(std::ostream& stream, const String& text);

}  // namespace Pegasus

#endif
