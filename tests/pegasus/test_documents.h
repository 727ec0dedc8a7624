// Documents for the XML and decoder tests: text of a given size or depth, and the ends of an
// EnumerateInstances response (message ID 1000) whose instances start on line 7.
#ifndef TESTS_PEGASUS_TEST_DOCUMENTS_H
#define TESTS_PEGASUS_TEST_DOCUMENTS_H

#include <string>

inline std::string repeated(const std::string& text, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += text;
    return out;
}

// `text` with the first `what` in it replaced by `by`.
inline std::string replaced(std::string text, const std::string& what, const std::string& by) {
    return text.replace(text.find(what), what.size(), by);
}

const std::string kEnumerationHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
    "<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n"
    "<SIMPLERSP>\n<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
const std::string kEnumerationTail =
    "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";

#endif
