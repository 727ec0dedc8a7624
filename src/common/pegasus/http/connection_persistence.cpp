#include "http/connection_persistence.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace Pegasus {
namespace http {

bool closesAfterResponse(const HeaderFields& headers, bool httpOneZero) {
    const std::string* connection = findField(headers, "Connection");
    if (connection == nullptr) return httpOneZero;
    std::string value = *connection;
    std::transform(value.begin(), value.end(), value.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (value.find("close") != std::string::npos) return true;
    return httpOneZero && value.find("keep-alive") == std::string::npos;
}

}  // namespace http
}  // namespace Pegasus
