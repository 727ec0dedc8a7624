// The CannotConnectException of both transports.
#ifndef PEGASUS_HTTP_CONNECT_FAILURE_H
#define PEGASUS_HTTP_CONNECT_FAILURE_H

#include <string>

#include "http/http_connection.h"

namespace Pegasus {
namespace http {

// Throws CannotConnectException with OpenPegasus's text, "Cannot connect to
// HOST:PORT. Connection failed." (the socket file in place of HOST:PORT for a
// Unix domain socket), followed, when the client knows more than
// OpenPegasus would say (a setting the HTTP library refused, the caller's
// certificate callback failing), by " " and `reason`.
[[noreturn]] void throwCannotConnect(const Endpoint& endpoint,
                                     const std::string& reason = std::string());

}  // namespace http
}  // namespace Pegasus

#endif
