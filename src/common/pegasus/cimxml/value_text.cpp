#include "cimxml/value_text.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace Pegasus {
namespace cimxml {

void throwSemanticError(std::uint64_t line, const std::string& what) {
    throw CIMClientXmlException(
        String::fromUtf8("Semantic error: on line " + std::to_string(line) + ": " + what));
}

Sint64 integerFromText(const char* text, Sint64 minimum, Uint64 maximum, std::uint64_t line) {
    std::string trimmed(text);
    size_t first = trimmed.find_first_not_of(" \t\r\n");
    size_t last = trimmed.find_last_not_of(" \t\r\n");
    trimmed = first == std::string::npos ? "" : trimmed.substr(first, last - first + 1);
    bool negative = !trimmed.empty() && trimmed[0] == '-';
    size_t digits = (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+')) ? 1 : 0;
    int base = 10;
    if (trimmed.size() > digits + 2 && trimmed[digits] == '0' &&
        (trimmed[digits + 1] == 'x' || trimmed[digits + 1] == 'X')) {
        base = 16;
        digits += 2;
    }
    const char* start = trimmed.c_str() + digits;
    char* end = nullptr;
    errno = 0;
    Uint64 magnitude = std::strtoull(start, &end, base);
    bool valid = *start != '\0' && *start != '-' && *start != '+' && *end == '\0' && errno == 0;
    if (valid && negative) {
        valid = magnitude <= static_cast<Uint64>(-(minimum + 1)) + 1 && minimum < 0;
    } else if (valid) {
        valid = magnitude <= maximum;
    }
    if (!valid) throwSemanticError(line, std::string("Illegal integer value \"") + text + "\"");
    return negative ? static_cast<Sint64>(0 - magnitude) : static_cast<Sint64>(magnitude);
}

Real64 realFromText(const char* text, std::uint64_t line) {
    char* end = nullptr;
    Real64 value = std::strtod(text, &end);
    while (end != nullptr && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')) {
        ++end;
    }
    if (end == text || *end != '\0') {
        throwSemanticError(line, std::string("Illegal real value \"") + text + "\"");
    }
    return value;
}

Boolean booleanFromText(const char* text, std::uint64_t line) {
    String value(text);
    if (String::equalNoCase(value, "TRUE")) return true;
    if (String::equalNoCase(value, "FALSE")) return false;
    throwSemanticError(line, std::string("Illegal boolean value \"") + text + "\"");
}

CIMDateTime dateTimeFromText(const char* text, std::uint64_t line) {
    try {
        return CIMDateTime(String(text));
    } catch (const InvalidDateTimeFormatException&) {
        throwSemanticError(line, std::string("Illegal datetime value \"") + text + "\"");
    }
}

Char16 char16FromText(const char* text) {
    String value(text);
    return value.size() == 0 ? Char16() : value[0];
}

CIMValue valueFromText(CIMType type, const char* text, std::uint64_t line) {
    switch (type) {
        case CIMTYPE_BOOLEAN:
            return CIMValue(booleanFromText(text, line));
        case CIMTYPE_UINT8:
            return CIMValue(integerFromText<Uint8>(text, line));
        case CIMTYPE_SINT8:
            return CIMValue(integerFromText<Sint8>(text, line));
        case CIMTYPE_UINT16:
            return CIMValue(integerFromText<Uint16>(text, line));
        case CIMTYPE_SINT16:
            return CIMValue(integerFromText<Sint16>(text, line));
        case CIMTYPE_UINT32:
            return CIMValue(integerFromText<Uint32>(text, line));
        case CIMTYPE_SINT32:
            return CIMValue(integerFromText<Sint32>(text, line));
        case CIMTYPE_UINT64:
            return CIMValue(integerFromText<Uint64>(text, line));
        case CIMTYPE_SINT64:
            return CIMValue(integerFromText<Sint64>(text, line));
        case CIMTYPE_REAL32:
            return CIMValue(static_cast<Real32>(realFromText(text, line)));
        case CIMTYPE_REAL64:
            return CIMValue(realFromText(text, line));
        case CIMTYPE_CHAR16:
            return CIMValue(char16FromText(text));
        case CIMTYPE_DATETIME:
            return CIMValue(dateTimeFromText(text, line));
        default:
            return CIMValue(String(text));
    }
}

}  // namespace cimxml
}  // namespace Pegasus
