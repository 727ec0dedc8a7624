// Documents of a given size or depth for the XML and decoder tests.
#ifndef TESTS_PEGASUS_REPEATED_TEXT_H
#define TESTS_PEGASUS_REPEATED_TEXT_H

#include <string>

inline std::string repeated(const std::string& text, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

#endif
