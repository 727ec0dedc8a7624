// The UTF-8 check of the Windows XML backend (xml_parser_xmllite.cpp), kept
// apart from it so that it is built, tested and fuzzed on every platform.
#ifndef PEGASUS_XML_UTF8_CHECK_H
#define PEGASUS_XML_UTF8_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Pegasus {
namespace xml {

// Checks UTF-8 as it arrives, a sequence possibly split across feeds: XmlLite
// would replace a bad byte silently instead of refusing the document. Control
// characters other than tab and line ends, which XML allows nowhere, are
// refused alike: libxml2 words them by where they stand (a broken tag, an
// instruction), which depends on how much of the document it has read.
class Utf8Check {
  public:
    // The index of the first byte that cannot be part of UTF-8 text, or size.
    std::size_t accept(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            // Markup is nearly all printable ASCII: eight such bytes are
            // passed at once, the others one by one below.
            if (continuation_ == 0) {
                while (size - i >= 8 && printableAscii(data + i)) i += 8;
                if (i == size) break;
            }
            unsigned char byte = static_cast<unsigned char>(data[i]);
            if (continuation_ > 0) {
                if ((byte & 0xC0) != 0x80) return i;
                if (first_ && ((lead_ == 0xE0 && byte < 0xA0) || (lead_ == 0xED && byte > 0x9F) ||
                               (lead_ == 0xF0 && byte < 0x90) || (lead_ == 0xF4 && byte > 0x8F))) {
                    return i;
                }
                first_ = false;
                --continuation_;
            } else if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') {
                return i;
            } else if (byte < 0x80) {
                continue;
            } else if (byte >= 0xC2 && byte <= 0xDF) {
                start(byte, 1);
            } else if (byte >= 0xE0 && byte <= 0xEF) {
                start(byte, 2);
            } else if (byte >= 0xF0 && byte <= 0xF4) {
                start(byte, 3);
            } else {
                return i;
            }
        }
        return size;
    }
    bool complete() const { return continuation_ == 0; }

  private:
    // No byte of the eight at `bytes` is 0x80 or above or below 0x20. A byte
    // below 0x20 borrows in the subtraction and sets its lane's high bit (a
    // borrow it passes on may also mark the next lane, which only sends
    // those bytes the slow way).
    static bool printableAscii(const char* bytes) {
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        const std::uint64_t ones = 0x0101010101010101u;
        return ((word | (word - ones * 0x20)) & (ones * 0x80)) == 0;
    }

    void start(unsigned char lead, int continuation) {
        lead_ = lead;
        continuation_ = continuation;
        first_ = true;
    }
    unsigned char lead_ = 0;
    int continuation_ = 0;
    bool first_ = false;
};

}  // namespace xml
}  // namespace Pegasus

#endif
