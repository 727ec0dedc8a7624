// One HTTP response as the transport delivers it.
#ifndef PEGASUS_HTTP_HTTP_RESPONSE_H
#define PEGASUS_HTTP_HTTP_RESPONSE_H

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
    std::string body;
    // The server will close the connection after this response.
    bool closesConnection = false;
};

// Value of the first field of that name (case-insensitive), or null.
const std::string* findField(const HeaderFields& fields, const char* name);

}  // namespace http
}  // namespace Pegasus

#endif
