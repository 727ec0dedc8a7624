// The XML layer under the decoder. The parser of the platform (libxml2 on
// Linux, XmlLite under Wine) stops at a handler's exception and hands it on
// unchanged once control is back in C++, whatever its class. The Windows
// backend's own checks (its markup scan and UTF-8 check) run on every
// platform: each defect is found with its line, whether the document arrives
// whole or one byte at a time.
#include <Pegasus/Client/CIMClientException.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "markup_scan.h"
#include "utf8_check.h"
#include "xml_parser.h"

using namespace Pegasus::xml;

namespace {

struct ScanCase {
    const char* name;
    std::string document;
    bool defect;
    XmlError kind;
    std::uint64_t line;
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }

class MarkupScanCases : public testing::TestWithParam<ScanCase> {};

std::string outcome(const std::string& document, size_t piece) {
    MarkupScan scan;
    for (size_t offset = 0; offset < document.size(); offset += piece) {
        scan.feed(document.data() + offset, std::min(piece, document.size() - offset));
    }
    XmlError kind;
    std::uint64_t line;
    if (!scan.defect(kind, line)) return "no defect";
    return xmlErrorText(kind, line);
}

TEST_P(MarkupScanCases, findTheFirstDefectWithItsLineWholeAndByteByByte) {
    const ScanCase& c = GetParam();
    std::string expected = c.defect ? xmlErrorText(c.kind, c.line) : "no defect";
    EXPECT_EQ(outcome(c.document, c.document.size() + 1), expected);
    EXPECT_EQ(outcome(c.document, 1), expected);
}

std::string repeated(const std::string& text, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += text;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Scan, MarkupScanCases,
    testing::Values(
        ScanCase{"well_formed", "<A x='1' y=\"&amp;\">t&#10;<B/><![CDATA[<]]><!--c--></A>", false,
                 XmlError::Malformed, 0},
        ScanCase{"end_tag_of_another_name", "<A>\n<B>\n</A>", true, XmlError::EndElementMismatch,
                 3},
        ScanCase{"cut_inside_an_element", "<A>\n<B>text", true, XmlError::ElementsStillOpen, 2},
        ScanCase{"cut_inside_an_attribute", "<A x='1", true, XmlError::BadAttribute, 1},
        ScanCase{"unknown_entity", "<A>\n&nbsp;</A>", true, XmlError::BadReference, 2},
        ScanCase{"doctype", "<!DOCTYPE A>\n<A/>", true, XmlError::Doctype, 1},
        ScanCase{"second_root", "<A/>\n<B/>", true, XmlError::JunkAfterRootElement, 2},
        ScanCase{"unclosed_comment", "<A/><!-- c", true, XmlError::BadComment, 1},
        ScanCase{"nesting_257_deep", "<A>\n" + repeated("<a>", 256), true, XmlError::TooDeep, 2},
        ScanCase{"nesting_256_deep_closed", repeated("<a>", 256) + repeated("</a>", 256), false,
                 XmlError::Malformed, 0},
        ScanCase{"start_tag_over_64_KiB", "<A>\n<B" + repeated(" a=''", 13108) + "/></A>", true,
                 XmlError::TooLong, 2},
        ScanCase{"start_tag_of_64_KiB", "<A>\n<B x='" + std::string(65536 - 9, 'v') + "'/></A>",
                 false, XmlError::Malformed, 0},
        ScanCase{"start_tag_one_byte_over_64_KiB",
                 "<A>\n<B x='" + std::string(65537 - 9, 'v') + "'/></A>", true, XmlError::TooLong,
                 2},
        ScanCase{"comment_over_64_KiB", "<A>\n<!--" + std::string(65536, 'c') + "--></A>", true,
                 XmlError::TooLong, 2},
        ScanCase{
            "text_and_cdata_over_64_KiB_are_no_markup",
            "<A>" + std::string(70000, 't') + "<![CDATA[" + std::string(70000, 'c') + "]]></A>",
            false, XmlError::Malformed, 0}),
    [](const testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(Utf8Check, acceptsUtf8SplitAnywhereAndStopsAtTheFirstBadByte) {
    struct Case {
        std::string bytes;
        size_t firstBad;  // bytes.size() when all are good
        bool complete;
    };
    const Case cases[] = {
        {"plain \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 15, true},
        {"cut \xE2\x82", 6, false},
        {"overlong \xC0\xAF", 9, true},
        {"surrogate \xED\xA0\x80", 11, false},
        {"beyond U+10FFFF \xF4\x90\x80\x80", 17, false},
        {"stray continuation \x80", 19, true},
        {"control \x0f", 8, true},
        {"tab\tline\r\nends", 14, true},
    };
    for (const Case& c : cases) {
        for (size_t piece : {c.bytes.size(), size_t(1)}) {
            Utf8Check check;
            size_t firstBad = c.bytes.size();
            for (size_t offset = 0; offset < c.bytes.size() && firstBad == c.bytes.size();
                 offset += piece) {
                size_t size = std::min(piece, c.bytes.size() - offset);
                size_t bad = check.accept(c.bytes.data() + offset, size);
                if (bad < size) firstBad = offset + bad;
            }
            EXPECT_EQ(firstBad, c.firstBad) << c.bytes;
            if (firstBad == c.bytes.size()) {
                EXPECT_EQ(check.complete(), c.complete) << c.bytes;
            }
        }
    }
}

// Throws `Thrown` at the `throwAt`-th event (counting from 1) and counts
// every event after it, which must be none.
template <class Thrown>
class ThrowingHandler : public XmlHandler {
  public:
    ThrowingHandler(int throwAt, Thrown thrown) : throwAt_(throwAt), thrown_(thrown) {}
    void startElement(std::string_view, const XmlAttribute*, std::size_t) override { event(); }
    void endElement(std::string_view) override { event(); }
    void characters(std::string_view) override { event(); }
    int eventsAfterTheThrow = 0;

  private:
    void event() {
        if (++events_ == throwAt_) throw thrown_;
        if (events_ > throwAt_) ++eventsAfterTheThrow;
    }
    int throwAt_;
    Thrown thrown_;
    int events_ = 0;
};

// The text of what left the parser, or "nothing".
template <class Thrown>
std::string escaped(int throwAt, Thrown thrown, size_t piece) {
    const std::string document = "<?xml version=\"1.0\"?>\n<A x=\"1\">text<B/>more<C>c</C></A>\n";
    ThrowingHandler<Thrown> handler(throwAt, thrown);
    std::string what = "nothing";
    {
        XmlParser parser(handler);
        try {
            for (size_t offset = 0; offset < document.size(); offset += piece) {
                parser.feed(document.data() + offset, std::min(piece, document.size() - offset));
            }
            parser.finish();
        } catch (const std::bad_alloc&) {
            what = "bad_alloc";
        } catch (const std::runtime_error& error) {
            what = std::string("runtime_error ") + error.what();
        } catch (const Pegasus::CIMClientXmlException& error) {
            what = "CIMClientXmlException " + error.getMessage().utf8();
        }
    }
    EXPECT_EQ(handler.eventsAfterTheThrow, 0) << what;
    return what;
}

TEST(XmlParser, handsOnAHandlersExceptionUnchangedAndStopsThere) {
    // Events: <A>, text, <B>, </B>, more, <C>, c, </C>, </A>.
    for (int throwAt : {1, 2, 4, 9}) {
        for (size_t piece : {size_t(1), size_t(4096)}) {
            EXPECT_EQ(escaped(throwAt, std::bad_alloc(), piece), "bad_alloc");
            EXPECT_EQ(escaped(throwAt, std::runtime_error("from the handler"), piece),
                      "runtime_error from the handler");
            EXPECT_EQ(
                escaped(throwAt, Pegasus::CIMClientXmlException(Pegasus::String("invalid content")),
                        piece),
                "CIMClientXmlException invalid content");
        }
    }
}

}  // namespace
