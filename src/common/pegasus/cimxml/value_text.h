// The texts of CIM-XML VALUE elements turned into CIMValues of a declared
// CIMType, read as OpenPegasus reads them: integers decimal or 0x-hexadecimal
// with surrounding whitespace, reals as strtod takes them, booleans TRUE or
// FALSE in any case, a char16 as the first character of its text, date-times
// in the CIM form; every other type (string, and reference, whose paths are
// elements rather than texts) keeps the text as a string. No XML here: the
// grammar finds the texts and their lines.
//
// A text that is not a value of its type throws CIMClientXmlException
// "Semantic error: on line N: Illegal <kind> value "TEXT"" with the line
// given, so that the error names the element the text came from.
#ifndef PEGASUS_CIMXML_VALUE_TEXT_H
#define PEGASUS_CIMXML_VALUE_TEXT_H

#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/CIMType.h>
#include <Pegasus/Common/CIMValue.h>

#include <cstdint>
#include <limits>
#include <string>

namespace Pegasus {
namespace cimxml {

// Throws the semantic error above with `what` ("Illegal integer value ...").
[[noreturn]] void throwSemanticError(std::uint64_t line, const std::string& what);

// An integer within [minimum, maximum]; `text` is NUL-terminated.
Sint64 integerFromText(const char* text, Sint64 minimum, Uint64 maximum, std::uint64_t line);

template <class T>
T integerFromText(const char* text, std::uint64_t line) {
    return static_cast<T>(integerFromText(text, static_cast<Sint64>(std::numeric_limits<T>::min()),
                                          static_cast<Uint64>(std::numeric_limits<T>::max()),
                                          line));
}

Real64 realFromText(const char* text, std::uint64_t line);
Boolean booleanFromText(const char* text, std::uint64_t line);
CIMDateTime dateTimeFromText(const char* text, std::uint64_t line);
// Never fails: the empty text is the null character.
Char16 char16FromText(const char* text);

// One value of `type` (never an array).
CIMValue valueFromText(CIMType type, const char* text, std::uint64_t line);

namespace detail {
template <class T, class ForEachText, class Convert>
CIMValue collect(ForEachText& forEachText, Convert convert) {
    Array<T> items;
    forEachText([&](const char* text, std::uint64_t line) { items.append(convert(text, line)); });
    return CIMValue(items);
}

template <class T>
T integerItem(const char* text, std::uint64_t line) {
    return integerFromText<T>(text, line);
}
inline Real32 real32Item(const char* text, std::uint64_t line) {
    return static_cast<Real32>(realFromText(text, line));
}
inline Char16 char16Item(const char* text, std::uint64_t) { return char16FromText(text); }
inline String stringItem(const char* text, std::uint64_t) { return String(text); }
}  // namespace detail

// An array value of `type` from the items' texts. `forEachText(take)` must
// call take(text, line) for each item, in order; it may throw before or
// between items (a grammar error), and the first error thrown wins.
template <class ForEachText>
CIMValue arrayFromTexts(CIMType type, ForEachText forEachText) {
    switch (type) {
        case CIMTYPE_BOOLEAN:
            return detail::collect<Boolean>(forEachText, booleanFromText);
        case CIMTYPE_UINT8:
            return detail::collect<Uint8>(forEachText, detail::integerItem<Uint8>);
        case CIMTYPE_SINT8:
            return detail::collect<Sint8>(forEachText, detail::integerItem<Sint8>);
        case CIMTYPE_UINT16:
            return detail::collect<Uint16>(forEachText, detail::integerItem<Uint16>);
        case CIMTYPE_SINT16:
            return detail::collect<Sint16>(forEachText, detail::integerItem<Sint16>);
        case CIMTYPE_UINT32:
            return detail::collect<Uint32>(forEachText, detail::integerItem<Uint32>);
        case CIMTYPE_SINT32:
            return detail::collect<Sint32>(forEachText, detail::integerItem<Sint32>);
        case CIMTYPE_UINT64:
            return detail::collect<Uint64>(forEachText, detail::integerItem<Uint64>);
        case CIMTYPE_SINT64:
            return detail::collect<Sint64>(forEachText, detail::integerItem<Sint64>);
        case CIMTYPE_REAL32:
            return detail::collect<Real32>(forEachText, detail::real32Item);
        case CIMTYPE_REAL64:
            return detail::collect<Real64>(forEachText, realFromText);
        case CIMTYPE_CHAR16:
            return detail::collect<Char16>(forEachText, detail::char16Item);
        case CIMTYPE_DATETIME:
            return detail::collect<CIMDateTime>(forEachText, dateTimeFromText);
        default:
            return detail::collect<String>(forEachText, detail::stringItem);
    }
}

}  // namespace cimxml
}  // namespace Pegasus

#endif
