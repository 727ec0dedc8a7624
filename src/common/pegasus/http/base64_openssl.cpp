#include <openssl/evp.h>

#include "http/base64.h"

namespace Pegasus {
namespace http {

std::string base64(const std::string& bytes) {
    // Four characters for every three bytes begun, and the terminating zero EVP writes.
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    text.resize(written < 0 ? 0 : static_cast<size_t>(written));
    return text;
}

}  // namespace http
}  // namespace Pegasus
