// One HTTP response as the transport delivers it.
#ifndef PEGASUS_HTTP_HTTP_RESPONSE_H
#define PEGASUS_HTTP_HTTP_RESPONSE_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace Pegasus {
namespace http {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
    unsigned status = 0;
    std::string reasonPhrase;
    HeaderFields headers;
    // Fields of the trailer of a chunked body (CIMStatusCode, ...).
    HeaderFields trailers;
    // Empty when a BodySink took the body.
    std::string body;
    // The server will close the connection after this response.
    bool closesConnection = false;
};

// Takes the body of a response as it arrives, in place of HttpResponse::body,
// so that the transport never holds a large body whole and it can be decoded
// while it is received. Used by one exchange at a time, from the thread
// running it.
class BodySink {
  public:
    virtual ~BodySink() = default;
    // Called once per response, when its status line and header fields are
    // read and before any byte of its body (interim 1xx answers are not
    // shown). True: every body byte goes to body() and HttpResponse::body
    // stays empty; false: the body is collected in HttpResponse::body.
    virtual bool accept(const HttpResponse& head) = 0;
    // The next `size` body bytes (framing removed), valid during the call
    // only. An exception thrown here leaves exchange() and makes the
    // connection unusable.
    virtual void body(const char* data, std::size_t size) = 0;
};

// Value of the first field of that name (case-insensitive), or null.
const std::string* findField(const HeaderFields& fields, const char* name);

}  // namespace http
}  // namespace Pegasus

#endif
