// The UTF-8 check of the Windows XML backend (xml_parser_xmllite.cpp), kept
// apart from it so that it is built, tested and fuzzed on every platform.
#ifndef PEGASUS_XML_UTF8_CHECK_H
#define PEGASUS_XML_UTF8_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define PEGASUS_XML_SSE2 1
#endif

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
            // Eight bytes at once while they are printable ASCII and line
            // ends; any other byte is judged alone below.
            if (continuation_ == 0) {
#ifdef PEGASUS_XML_SSE2
                while (size - i >= 16 && printableAscii16(data + i)) i += 16;
#endif
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
    // Each of the eight bytes at `bytes` is ASCII and no control character
    // but tab and line ends, the bytes nearly all markup is made of.
    static bool printableAscii(const char* bytes) {
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        const std::uint64_t ones = 0x0101010101010101u;
        const std::uint64_t high = ones * 0x80;
        if ((word & high) != 0) return false;
        // A high bit where the byte is below 0x20: adding 0x60 reaches it
        // from 0x20 on, and carries into no other byte.
        const std::uint64_t control = ~(word + ones * 0x60) & high;
        if (control == 0) return true;
        return (control & ~(equalTo(word, '\t') | equalTo(word, '\n') | equalTo(word, '\r'))) == 0;
    }

#ifdef PEGASUS_XML_SSE2
    // The same for sixteen bytes, where the processor has SSE2 (every x86-64).
    static bool printableAscii16(const char* bytes) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        // Signed, bytes from 0x80 on are below 0x20 too.
        const int below = _mm_movemask_epi8(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)));
        if (below == 0) return true;
        const __m128i lineEnds = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')),
                                              _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
        const int allowed =
            _mm_movemask_epi8(_mm_or_si128(lineEnds, _mm_cmpeq_epi8(v, _mm_set1_epi8('\t'))));
        return (below & ~allowed) == 0;
    }
#endif

    // A high bit exactly where a byte of the ASCII `word` is `byte`.
    static std::uint64_t equalTo(std::uint64_t word, char byte) {
        const std::uint64_t ones = 0x0101010101010101u;
        const std::uint64_t low7 = ones * 0x7F;
        const std::uint64_t zeroWhereEqual = word ^ (ones * static_cast<unsigned char>(byte));
        return ~(((zeroWhereEqual & low7) + low7) | zeroWhereEqual | low7);
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
