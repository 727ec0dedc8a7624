// Reading the captured traffic of OpenPegasus's client (tests/pegasus/captures).
#ifndef TESTS_PEGASUS_CAPTURE_FILES_H
#define TESTS_PEGASUS_CAPTURE_FILES_H

#include <Pegasus/Client/CIMClient.h>

#include <string>
#include <vector>

#include "http/http_response.h"

namespace capture {

std::string directory();
std::string readFile(const std::string& relativePath);
bool exists(const std::string& relativePath);
// A gtest name for a capture tag ("enum-ok" -> "enum_ok").
std::string testName(std::string tag);

// One request of a client-to-server byte stream.
struct Request {
    std::string head;  // request line and header fields
    std::string body;
    std::string header(const std::string& name) const;  // "<missing>" if absent
    Pegasus::Uint32 messageId() const;
};
std::vector<Request> requestsIn(const std::string& bytes);

// Every HTTP response of a byte stream, in order; fed one byte at a time, so every split is tried.
std::vector<Pegasus::http::HttpResponse> responsesIn(const std::string& bytes);

}  // namespace capture

#endif
