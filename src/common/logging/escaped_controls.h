// Server text (CIM error descriptions, HTTP error details, key and property values) reaches the
// module's log lines as the server wrote it. A line break in it would let a server add lines of
// its own to the host's log, and a terminal escape would act on whoever reads it.
#ifndef VORNET_ESCAPED_CONTROLS_H
#define VORNET_ESCAPED_CONTROLS_H

#include <string>

namespace Vornet {

// `text` with every control character but the tab written as an escape: CR and LF as \r and
// \n, the other C0 controls and DEL as \xNN, and the C1 controls (U+0080 to U+009F, in UTF-8)
// as \u00NN. Everything else stays as it is: the tab, which the module's own lines use and which
// breaks no line, and the backslash, so a text without controls comes back unchanged.
inline std::string EscapedControls(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string escaped;
    std::string::size_type copied = 0;
    for (std::string::size_type index = 0; index < text.size(); ++index) {
        const unsigned char byte = static_cast<unsigned char>(text[index]);
        const bool c1 = byte == 0xC2 && index + 1 < text.size() &&
                        static_cast<unsigned char>(text[index + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[index + 1]) <= 0x9F;
        if ((byte >= 0x20 || byte == '\t') && byte != 0x7F && !c1) continue;
        escaped.append(text, copied, index - copied);
        if (byte == '\r') {
            escaped += "\\r";
        } else if (byte == '\n') {
            escaped += "\\n";
        } else if (c1) {
            const unsigned char code = static_cast<unsigned char>(text[++index]);
            escaped += "\\u00";
            escaped += kHex[code >> 4];
            escaped += kHex[code & 0xF];
        } else {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        }
        copied = index + 1;
    }
    if (copied == 0) return text;
    escaped.append(text, copied, std::string::npos);
    return escaped;
}

}  // namespace Vornet

#endif
