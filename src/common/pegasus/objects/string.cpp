#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/String.h>

#include <cstring>
#include <ostream>

namespace Pegasus {

const String String::EMPTY;

namespace {

bool isContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// UTF-16 code units of the UTF-8 sequence that starts with `lead`.
Uint32 unitsOfSequence(unsigned char lead) { return lead >= 0xF0 ? 2 : 1; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

String::String(const char* text) {
    if (text != nullptr) utf8_ = text;
}

String::String(const char* text, Uint32 byteCount) {
    if (text != nullptr) utf8_.assign(text, byteCount);
}

String String::fromUtf8(std::string bytes) {
    String result;
    result.utf8_ = std::move(bytes);
    return result;
}

Uint32 String::size() const {
    Uint32 units = 0;
    for (unsigned char byte : utf8_) {
        if (!isContinuationByte(byte)) units += unitsOfSequence(byte);
    }
    return units;
}

Char16 String::operator[](Uint32 index) const {
    Uint32 unit = 0;
    for (size_t i = 0; i < utf8_.size();) {
        unsigned char lead = static_cast<unsigned char>(utf8_[i]);
        size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        Uint32 codePoint = length == 1   ? lead
                           : length == 2 ? (lead & 0x1F)
                           : length == 3 ? (lead & 0x0F)
                                         : (lead & 0x07);
        for (size_t k = 1; k < length && i + k < utf8_.size(); ++k) {
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(utf8_[i + k]) & 0x3F);
        }
        if (codePoint >= 0x10000) {
            Uint32 offset = codePoint - 0x10000;
            if (unit == index) return Char16(static_cast<Uint16>(0xD800 + (offset >> 10)));
            if (unit + 1 == index) return Char16(static_cast<Uint16>(0xDC00 + (offset & 0x3FF)));
            unit += 2;
        } else {
            if (unit == index) return Char16(static_cast<Uint16>(codePoint));
            unit += 1;
        }
        i += length;
    }
    throw IndexOutOfBoundsException();
}

String& String::append(const String& text) {
    utf8_ += text.utf8_;
    return *this;
}

String& String::append(const char* text, Uint32 byteCount) {
    utf8_.append(text, byteCount);
    return *this;
}

String& String::append(Char16 character) {
    Uint16 code = character;
    if (code < 0x80) {
        utf8_ += static_cast<char>(code);
    } else if (code < 0x800) {
        utf8_ += static_cast<char>(0xC0 | (code >> 6));
        utf8_ += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        utf8_ += static_cast<char>(0xE0 | (code >> 12));
        utf8_ += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8_ += static_cast<char>(0x80 | (code & 0x3F));
    }
    return *this;
}

Boolean String::equal(const String& left, const String& right) { return left.utf8_ == right.utf8_; }

Boolean String::equalNoCase(const String& left, const String& right) {
    if (left.utf8_.size() != right.utf8_.size()) return false;
    for (size_t i = 0; i < left.utf8_.size(); ++i) {
        if (foldAscii(left.utf8_[i]) != foldAscii(right.utf8_[i])) return false;
    }
    return true;
}

Boolean operator<(const String& left, const String& right) { return left.utf8() < right.utf8(); }

String operator+(const String& left, const String& right) {
    return String::fromUtf8(left.utf8() + right.utf8());
}

std::ostream& operator<<(std::ostream& stream, const String& text) { return stream << text.utf8(); }

}  // namespace Pegasus
