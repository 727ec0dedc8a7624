// The Windows XML backend's own checks (its markup scan and UTF-8 check), run
// here on every platform: each defect is found with its line, whether the
// document arrives whole or one byte at a time.
#include <gtest/gtest.h>

#include <string>

#include "markup_scan.h"
#include "utf8_check.h"

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

}  // namespace
