// The XML layer under the decoder, one table for libxml2 (Linux) and XmlLite (Windows, under Wine):
// each document gives the same events, or the same defect on the same line, however it is cut; a
// row says where XmlLite's backend words it otherwise, and what the markup scan of the Windows
// backend (run on every platform) finds by itself.
#include <Pegasus/Client/CIMClientException.h>
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "test_documents.h"
#include "xml/markup_scan.h"
#include "xml/xml_parser.h"
#include "xml_event_text.h"

using namespace Pegasus::xml;

namespace {

std::string scanned(const std::string& document, size_t piece) {
    MarkupScan scan;
    for (size_t offset = 0; offset < document.size(); offset += piece) {
        scan.feed(document.data() + offset, std::min(piece, document.size() - offset));
    }
    XmlError kind;
    std::uint64_t line;
    return scan.defect(kind, line) ? "error: " + xmlErrorText(kind, line) : "no defect";
}

// An empty-element tag of `count` distinct attributes.
std::string manyAttributes(size_t count) {
    std::string tag = "<B";
    for (size_t i = 0; i < count; ++i) tag += " a" + std::to_string(i) + "=''";
    return tag + "/>";
}

const std::string kXml = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

const char kScanFinds[] = "the same";

struct Case {
    const char* name;
    std::string document;
    std::string expected;  // the events, or the defect's text
    // What the markup scan finds by itself: nothing (null), the same defect (kScanFinds), or
    // another one that the backend reports after this one.
    const char* scan = nullptr;
    // Where XmlLite's backend words the document otherwise (null: it does not).
    const char* xmlLite = nullptr;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class XmlDocuments : public testing::TestWithParam<Case> {};

TEST_P(XmlDocuments, giveTheSameEventsOrDefectWhateverTheCut) {
    const Case& c = GetParam();
#ifdef _WIN32
    const std::string expected = c.xmlLite != nullptr ? c.xmlLite : c.expected;
#else
    const std::string& expected = c.expected;
#endif
    for (std::size_t piece : {std::size_t{1}, c.document.size()}) {
        EXPECT_EQ(xml_event_text::eventsOf(c.document, piece), expected) << "pieces of " << piece;
    }
    const std::string scan = c.scan == nullptr      ? "no defect"
                             : c.scan == kScanFinds ? c.expected
                                                    : c.scan;
    EXPECT_EQ(scanned(c.document, c.document.size()), scan);
    EXPECT_EQ(scanned(c.document, 1), scan);
}

const std::string kNotUtf8 = "error: Malformed XML: on line ";
const std::string kNoDeclaration =
    "error: Validation error: on line 1: Expected <?xml ... ?> style declaration";

// clang-format off
INSTANTIATE_TEST_SUITE_P(BothParsers, XmlDocuments, testing::ValuesIn(std::vector<Case>{
    {"events", kXml + "<CIM A=\"1\" B='x &amp; y'>\n<V>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
     "t&lt;x&#65;&#x42;</V><E/><!-- note --><F><![CDATA[a<b]]></F></CIM>\n",
     "<CIM A=1 B=x & y>@2[\n]<V>@3[\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80t<xAB]</V><E>@3</E>"
     "<F>@3[a<b]</F></CIM>"},
    {"whitespace_before_the_declaration", "\n  " + kXml + "<A/>", "<A>@3</A>"},
    {"blanks_from_references", kXml + "<A B=\"x&#10;y\tz\">one&#13;&#10;two&#x9;\r\nthree</A>",
     "<A B=x\ny z>@2[one\r\ntwo\t\nthree]</A>"},
    {"nesting_256_deep", kXml + repeated("<a>", 256) + repeated("</a>", 256),
     repeated("<a>@2", 256) + repeated("</a>", 256)},
    {"start_tag_of_64_KiB", kXml + "<A x='" + std::string(65536 - 9, 'v') + "'/>",
     "<A x=" + std::string(65536 - 9, 'v') + ">@2</A>"},
    {"text_and_cdata_over_64_KiB_are_no_markup",
     kXml + "<A>" + std::string(70000, 't') + "<![CDATA[" + std::string(70000, 'c') +
     "]]></A>", "<A>@2[" + std::string(70000, 't') + std::string(70000, 'c') + "]</A>"},
    {"whitespace_then_no_declaration", "\n\n  HTTP/1.1 200 OK", kNoDeclaration,
     "error: Malformed XML: on line 3"},
    {"byte_order_mark", "\xEF\xBB\xBF" + kXml + "<A/>", kNoDeclaration,
     "error: Malformed XML: on line 1"},
    {"mismatched_end", kXml + "<A>\n<B>\n</C>\n</A>",
     "error: Closing element does not match opening element: on line 4", kScanFinds},
    {"cut_after_an_element", kXml + "<A>\n<B>\n</B>\n",
     "error: One or more tags are still open: on line 5", kScanFinds},
    {"cut_inside_attributes", kXml + "<A>\n<B x=\"1",
     "error: Bad attribute name: on line 3", kScanFinds},
    {"cut_inside_an_end_tag", kXml + "<A>\n</A",
     "error: Bad closing element: on line 3", kScanFinds},
    {"cut_inside_a_comment", kXml + "<A>\n<!-- x",
     "error: Unterminated comment: on line 3", kScanFinds},
    {"no_root", kXml, "error: No root element: on line 2", kScanFinds},
    {"doctype_with_entities", kXml + "<!DOCTYPE A [<!ENTITY e \"eeee\">]>\n<A>&e;</A>",
     "error: DOCTYPE not accepted: on line 2", kScanFinds},
    {"unknown_entity", kXml + "<A>\n&nbsp;</A>",
     "error: Malformed reference: on line 3", kScanFinds},
    // The backends word a bare '&' and a CDATA section cut by the end apart.
    {"bare_ampersand", kXml + "<A>a & b</A>", "error: Bad opening element: on line 2",
     "error: Malformed reference: on line 2", "error: Malformed reference: on line 2"},
    {"second_root", kXml + "<A/>\n<B/>",
     "error: Extra content after the root element: on line 3", kScanFinds},
    {"bad_element_name", kXml + "<A>\n<1B/></A>",
     "error: Bad opening element: on line 3", kScanFinds},
    {"elements_nested_257_deep", kXml + "<A>\n" + repeated("<a>", 256),
     "error: Elements nested too deeply: on line 3", kScanFinds},
    {"start_tag_one_byte_over_64_KiB",
     kXml + "<A>\n<B x='" + std::string(65537 - 9, 'v') + "'/></A>",
     "error: Markup too long: on line 3", kScanFinds},
    {"comment_over_64_KiB", kXml + "<A>\n<!--" + std::string(65530, 'c') + "--></A>",
     "error: Markup too long: on line 3", kScanFinds},
    {"start_tag_of_ten_thousand_attributes", kXml + "<A>\n" + manyAttributes(10000) + "</A>",
     "error: Markup too long: on line 3", kScanFinds},
    {"not_utf8", kXml + "<A>\n\xFF</A>", kNotUtf8 + "3"},
    {"utf8_overlong", kXml + "<A>\xC0\xAF</A>", kNotUtf8 + "2"},
    {"utf8_surrogate", kXml + "<A>\n\n\xED\xA0\x80</A>", kNotUtf8 + "4"},
    {"utf8_beyond_U_10FFFF", kXml + "<A>\xF4\x90\x80\x80</A>", kNotUtf8 + "2"},
    {"utf8_stray_continuation", kXml + "<A x='\x80'/>", kNotUtf8 + "2"},
    {"utf8_cut_at_the_end", kXml + "<A>\n\xE2\x82", kNotUtf8 + "3",
     "error: One or more tags are still open: on line 3"},
    {"control_character", kXml + "<A>\x0f</A>", kNotUtf8 + "2"},
    // Found by fuzzing: libxml2 words a byte that is not UTF-8 by where it stands (as a broken
    // attribute or end tag) and notes the line where it stopped reading, not the byte's.
    {"byte_not_utf8_in_text", kXml + "<A>text \xa9\x91 more\n</A>\n", kNotUtf8 + "2"},
    {"byte_not_utf8_in_an_end_tag", kXml + "<A>\n</A\xdc>\n", kNotUtf8 + "3",
     "error: Closing element does not match opening element: on line 3"},
    // Found by fuzzing: libxml2 stops counting lines before a CDATA section it never saw end, at a
    // place that depends on the cut; XmlLite's backend names the section.
    {"unterminated_cdata_in_the_root",
     kXml + "<CIM>\n<![CDATA[ID=\"1000\">\n<SIMPLERSP>\n</SIMPLERSP>\n</CIM>\n",
     "error: One or more tags are still open: on line 7",
     "error: Unterminated CDATA block: on line 7", "error: Unterminated CDATA block: on line 7"},
    // Found by fuzzing: libxml2 words a control character by what it has read around it, which
    // depends on the cut; XmlLite's backend refuses the character before it parses.
    {"control_character_in_a_start_tag_cut_short",
     kXml + "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"20>.\"\n<MESSAGE ID=\"1003\" "
     "PR\x0f<?xml varsion=\"1OTOCOL.0\" encVERSIoM",
     "error: Bad attribute name: on line 3", kScanFinds, "error: Malformed XML: on line 3"},
}), [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });
// clang-format on

// Calls `thrower` at the `throwAt`-th event (counting from 1) and counts every event.
struct ThrowingHandler : XmlHandler {
    ThrowingHandler(int throwAt, void (*thrower)()) : throwAt(throwAt), thrower(thrower) {}
    void startElement(std::string_view, const XmlAttribute*, std::size_t) override { event(); }
    void endElement(std::string_view) override { event(); }
    void characters(std::string_view) override { event(); }
    void event() {
        if (++events == throwAt) thrower();
    }
    int throwAt;
    void (*thrower)();
    int events = 0;
};

TEST(XmlParser, handsOnAHandlersExceptionUnchangedAndStopsThere) {
    const std::string document = kXml + "<A x=\"1\">text<B/>more<C>c</C></A>\n";
    void (*const throwers[])() = {
        [] { throw std::bad_alloc(); }, [] { throw std::runtime_error("from the handler"); },
        [] { throw Pegasus::CIMClientXmlException(Pegasus::String("invalid content")); }};
    // Events: <A>, text, <B>, </B>, more, <C>, c, </C>, </A>.
    for (int throwAt : {1, 2, 4, 9}) {
        for (size_t piece : {size_t(1), size_t(4096)}) {
            std::string left;
            for (auto thrower : throwers) {
                ThrowingHandler handler(throwAt, thrower);
                XmlParser parser(handler);
                try {
                    for (size_t at = 0; at < document.size(); at += piece) {
                        parser.feed(document.data() + at, std::min(piece, document.size() - at));
                    }
                    parser.finish();
                    left += "nothing";
                } catch (const std::bad_alloc&) {
                    left += "bad_alloc";
                } catch (const std::runtime_error& error) {
                    left += std::string("runtime_error ") + error.what();
                } catch (const Pegasus::CIMClientXmlException& error) {
                    left += "CIMClientXmlException " + error.getMessage().utf8();
                }
                left += handler.events == throwAt ? "; " : " and events after it; ";
            }
            EXPECT_EQ(left,
                      "bad_alloc; runtime_error from the handler; CIMClientXmlException invalid "
                      "content; ")
                << throwAt << " " << piece;
        }
    }
}

}  // namespace
