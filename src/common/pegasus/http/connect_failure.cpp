#include "http/connect_failure.h"

#include <Pegasus/Common/Exception.h>

namespace Pegasus {
namespace http {

void throwCannotConnect(const Endpoint& endpoint, const std::string& reason) {
    const std::string target = endpoint.unixSocket.empty()
                                   ? endpoint.host + ":" + std::to_string(endpoint.port)
                                   : endpoint.unixSocket;
    std::string message = "Cannot connect to " + target + ". Connection failed.";
    if (!reason.empty()) message += " " + reason;
    throw CannotConnectException(String::fromUtf8(message));
}

}  // namespace http
}  // namespace Pegasus
