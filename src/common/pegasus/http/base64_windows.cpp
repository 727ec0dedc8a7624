#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include "http/base64.h"

namespace Pegasus {
namespace http {

std::string base64(const std::string& bytes) {
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const auto size = static_cast<DWORD>(bytes.size());
    DWORD length = 0;  // characters, the terminating zero included
    if (bytes.empty() || !CryptBinaryToStringA(data, size, flags, nullptr, &length)) {
        return std::string();
    }
    std::string text(length, '\0');
    if (!CryptBinaryToStringA(data, size, flags, &text[0], &length)) {
        return std::string();
    }
    text.resize(length);  // the second call counts without the zero
    return text;
}

}  // namespace http
}  // namespace Pegasus
