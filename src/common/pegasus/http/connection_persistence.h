// Whether a connection stays open after a response, the one rule for every transport.
#ifndef PEGASUS_HTTP_CONNECTION_PERSISTENCE_H
#define PEGASUS_HTTP_CONNECTION_PERSISTENCE_H

#include "http/http_response.h"

namespace Pegasus {
namespace http {

// True when the server closes the connection after the response with these header fields:
// a Connection field naming "close" always does; HTTP/1.0 (`httpOneZero`) does unless that field
// names "keep-alive"; HTTP/1.1 otherwise keeps it open. Tokens are matched without regard to case.
// Framing is the caller's: a body that ends only with the connection closes it whatever this says.
bool closesAfterResponse(const HeaderFields& headers, bool httpOneZero);

}  // namespace http
}  // namespace Pegasus

#endif
