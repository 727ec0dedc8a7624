// What a client call threw, as one text naming the exception class (what callers catch) and its
// message (what the host logs), for tables of failures.
#ifndef TESTS_PEGASUS_FAILURE_TEXT_H
#define TESTS_PEGASUS_FAILURE_TEXT_H

#include <Pegasus/Common/Exception.h>

#include <cctype>
#include <functional>
#include <string>
#include <typeinfo>

namespace failure_text {

// "N7Pegasus21CIMClientXmlExceptionE" -> "CIMClientXmlException" (GCC's names, mingw's too).
inline std::string exceptionName(const Pegasus::Exception& error) {
    std::string name = typeid(error).name();
    size_t start = name.find("Pegasus") + 7;
    while (start < name.size() && std::isdigit(static_cast<unsigned char>(name[start]))) ++start;
    return name.substr(start, name.size() - start - 1);
}

// "ExceptionClass: message" of what `operation` threw, or "no exception".
inline std::string of(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const Pegasus::Exception& error) {
        return exceptionName(error) + ": " + error.getMessage().utf8();
    }
    return "no exception";
}

}  // namespace failure_text

#endif
