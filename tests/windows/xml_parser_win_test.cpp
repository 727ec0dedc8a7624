// The XmlLite backend of the XML parser interface, under Wine: the events of a document however
// it is cut into feeds, and each defect worded as the shared mapping words it, with its line.
// Wine's XmlLite is laxer than the interface (it closes open elements at the end, passes unknown
// references on); these cases guard the checks that make up for it.

#include <Pegasus/Client/CIMClientException.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "xml_parser.h"

using Pegasus::CIMClientXmlException;
using Pegasus::xml::XmlAttribute;
using Pegasus::xml::XmlHandler;
using Pegasus::xml::XmlParser;

namespace {

// Events as text: "<NAME a=v>" (with the line of its '<'), "</NAME>", "[text]".
class Recorder : public XmlHandler {
  public:
    void startElement(std::string_view name, const XmlAttribute* attributes,
                      std::size_t count) override {
        std::string event = "<" + std::string(name);
        for (std::size_t i = 0; i < count; ++i) {
            event += " " + std::string(attributes[i].name) + "=" + std::string(attributes[i].value);
        }
        events.push_back(event + ">@" + std::to_string(parser->line()));
    }
    void endElement(std::string_view name) override {
        events.push_back("</" + std::string(name) + ">");
    }
    void characters(std::string_view text) override {
        if (!events.empty() && events.back().front() == '[') {
            events.back().insert(events.back().size() - 1, std::string(text));
        } else {
            events.push_back("[" + std::string(text) + "]");
        }
    }

    XmlParser* parser = nullptr;
    std::vector<std::string> events;
};

// Feeds the document in slices of `slice` bytes; the events, or "error: " and the message.
std::vector<std::string> Parse(const std::string& document, std::size_t slice) {
    Recorder recorder;
    try {
        XmlParser parser(recorder);
        recorder.parser = &parser;
        for (std::size_t at = 0; at < document.size(); at += slice) {
            parser.feed(document.data() + at, std::min(slice, document.size() - at));
        }
        parser.finish();
    } catch (const CIMClientXmlException& error) {
        return {"error: " + error.getMessage().utf8()};
    }
    return recorder.events;
}

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n";

struct Case {
    const char* name;
    std::string document;
    std::vector<std::string> expected;
};

class XmlLiteParser : public ::testing::TestWithParam<Case> {};

TEST_P(XmlLiteParser, ReportsTheSameWhateverTheSlices) {
    for (std::size_t slice : {std::size_t{1}, std::size_t{7}, GetParam().document.size()}) {
        EXPECT_EQ(Parse(GetParam().document, slice), GetParam().expected) << "slices of " << slice;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlLiteParser,
    ::testing::Values(
        Case{"events",
             kDeclaration + "<CIM A=\"1\" B='x &amp; y'>\n<V>t&lt;x&#65;&#x42;</V><E/><!-- note -->"
                            "<F><![CDATA[a<b]]></F></CIM>\n",
             {"<CIM A=1 B=x & y>@2", "[\n]", "<V>@3", "[t<xAB]", "</V>", "<E>@3", "</E>", "<F>@3",
              "[a<b]", "</F>", "</CIM>"}},
        Case{
            "whitespace_before_the_declaration", "\n  " + kDeclaration + "<A/>", {"<A>@3", "</A>"}},
        Case{"no_declaration",
             "<A/>",
             {"error: Validation error: on line 1: Expected <?xml ... ?> style declaration"}},
        Case{"byte_order_mark",
             "\xEF\xBB\xBF" + kDeclaration + "<A/>",
             {"error: Validation error: on line 1: Expected <?xml ... ?> style declaration"}},
        Case{"mismatched_end",
             kDeclaration + "<A>\n<B>\n</C>\n</A>",
             {"error: Closing element does not match opening element: on line 4"}},
        Case{"end_tag_of_the_parent",
             kDeclaration + "<A>\n<B></A>\n",
             {"error: Closing element does not match opening element: on line 3"}},
        Case{"blanks_from_references",
             kDeclaration + "<A B=\"x&#10;y\tz\">one&#13;&#10;two&#x9;\r\nthree</A>",
             {"<A B=x\ny z>@2", "[one\r\ntwo\t\nthree]", "</A>"}},
        Case{"cut_after_an_element",
             kDeclaration + "<A>\n<B>\n</B>\n",
             {"error: One or more tags are still open: on line 5"}},
        Case{"cut_inside_attributes",
             kDeclaration + "<A>\n<B x=\"1",
             {"error: Bad attribute name: on line 3"}},
        Case{"cut_inside_an_end_tag",
             kDeclaration + "<A>\n</A",
             {"error: Bad closing element: on line 3"}},
        Case{"cut_inside_a_comment",
             kDeclaration + "<A>\n<!-- x",
             {"error: Unterminated comment: on line 3"}},
        Case{"no_root", kDeclaration, {"error: No root element: on line 2"}},
        Case{"doctype",
             kDeclaration + "<!DOCTYPE A []>\n<A/>",
             {"error: DOCTYPE not accepted: on line 2"}},
        Case{"unknown_entity",
             kDeclaration + "<A>\n&foo;</A>",
             {"error: Malformed reference: on line 3"}},
        Case{"bare_ampersand",
             kDeclaration + "<A>a & b</A>",
             {"error: Malformed reference: on line 2"}},
        Case{"second_root",
             kDeclaration + "<A/>\n<B/>",
             {"error: Extra content after the root element: on line 3"}},
        Case{"bad_element_name",
             kDeclaration + "<A>\n<1B/></A>",
             {"error: Bad opening element: on line 3"}},
        Case{"not_utf8", kDeclaration + "<A>\n\xFF</A>", {"error: Malformed XML: on line 3"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
