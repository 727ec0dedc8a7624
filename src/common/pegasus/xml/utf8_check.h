// The UTF-8 check of the Windows XML backend (xml_parser_xmllite.cpp), kept
// apart from it so that it is built, tested and fuzzed on every platform.
#ifndef PEGASUS_XML_UTF8_CHECK_H
#define PEGASUS_XML_UTF8_CHECK_H

#include <cstddef>

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
