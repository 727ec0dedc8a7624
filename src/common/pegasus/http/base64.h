#ifndef PEGASUS_HTTP_BASE64_H
#define PEGASUS_HTTP_BASE64_H

#include <string>

namespace Pegasus {
namespace http {

// `bytes` in standard base64 with padding and no line breaks, as Basic credentials are sent.
// Each platform takes it from its own crypto library.
std::string base64(const std::string& bytes);

}  // namespace http
}  // namespace Pegasus

#endif
