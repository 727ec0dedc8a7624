// Defects of a body are reported alike whether it arrives whole or one byte
// at a time, and an XML error wins over a defect of the content found
// earlier in the body, as OpenPegasus (which parses the whole body first)
// reports it.
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "response_decoder.h"
#include "testing/client_observer.h"

using namespace Pegasus;

namespace {

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
    "<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n"
    "<SIMPLERSP>\n<IMETHODRESPONSE NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
const char kTail[] = "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
const char kInstance[] =
    "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"X\">\n<KEYBINDING NAME=\"K\">"
    "<KEYVALUE>k</KEYVALUE></KEYBINDING>\n</INSTANCENAME>\n<INSTANCE CLASSNAME=\"X\">\n"
    "<PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>7</VALUE></PROPERTY>\n</INSTANCE>\n"
    "</VALUE.NAMEDINSTANCE>\n";

// A GetClass body: the class's elements go between the two.
const char kClassHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
    "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
    "<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n"
    "<SIMPLERSP>\n<IMETHODRESPONSE NAME=\"GetClass\">\n<IRETURNVALUE>\n"
    "<CLASS NAME=\"X\" SUPERCLASS=\"Y\">\n<PROPERTY NAME=\"P\" TYPE=\"uint8\"/>\n";
const char kClassTail[] =
    "</CLASS>\n"
    "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";

struct DefectCase {
    const char* name;
    std::string body;
    const char* message;
    cimxml::ResponseDecoder::Operation operation =
        cimxml::ResponseDecoder::Operation::EnumerateInstances;
    // The response limit in force (0: the default); the decoder's memory
    // allowance scales with it.
    std::uint64_t responseLimit = 0;
};

std::string repeated(const std::string& text, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += text;
    return out;
}

// One start tag of `count` distinct attributes.
std::string manyAttributes(size_t count) {
    std::string tag = "<a";
    for (size_t i = 0; i < count; ++i) tag += " a" + std::to_string(i) + "=\"\"";
    return tag + "/>";
}

// An empty-element tag of exactly `length` bytes.
std::string tagOfLength(size_t length) { return "<a x=\"" + std::string(length - 9, 'v') + "\"/>"; }

const char kNamedInstanceStart[] =
    "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\"/>\n<INSTANCE CLASSNAME=\"X\">";

void PrintTo(const DefectCase& c, std::ostream* out) { *out << c.name; }

class StreamedDefects : public testing::TestWithParam<DefectCase> {};

std::string messageOf(const DefectCase& defect, size_t piece) {
    const std::string& body = defect.body;
    pegasus_testing::setResponseLimit(defect.responseLimit);
    cimxml::ResponseDecoder decoder(defect.operation, 1000);
    pegasus_testing::setResponseLimit(0);
    for (size_t offset = 0; offset < body.size(); offset += piece) {
        decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
    }
    try {
        if (defect.operation == cimxml::ResponseDecoder::Operation::GetClass) {
            decoder.finishGetClass();
        } else {
            decoder.finishEnumerateInstances();
        }
    } catch (const Exception& error) {
        return error.getMessage().utf8();
    }
    return "no exception";
}

TEST_P(StreamedDefects, areReportedAlikeWholeAndByteByByte) {
    EXPECT_EQ(messageOf(GetParam(), GetParam().body.size()), GetParam().message);
    EXPECT_EQ(messageOf(GetParam(), 1), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, StreamedDefects,
    testing::Values(
        DefectCase{"bad_integer_then_mismatched_tag",
                   std::string(kHead) + kInstance +
                       "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\"/><INSTANCE "
                       "CLASSNAME=\"X\"><PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>300</VALUE>"
                       "</PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE>\n</IRETURNVALUE>\n</WRONG>",
                   "Closing element does not match opening element: on line 17"},
        DefectCase{"bad_integer_alone",
                   std::string(kHead) +
                       "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\"/>\n<INSTANCE "
                       "CLASSNAME=\"X\"><PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>300</VALUE>"
                       "</PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE>\n" +
                       kTail,
                   "Semantic error: on line 8: Illegal integer value \"300\""},
        DefectCase{"bare_instance", std::string(kHead) + "<INSTANCE CLASSNAME=\"X\"/>\n" + kTail,
                   "Validation error: on line 7: Expected close of IRETURNVALUE element, got "
                   "INSTANCE instead"},
        DefectCase{"wrong_message_id_before_a_bad_instance",
                   std::string(kHead).replace(std::string(kHead).find("1000"), 4, "999") +
                       "<INSTANCE/>\n" + kTail,
                   "Mismatched response message ID:  Got \"999\", expected \"1000\"."},
        DefectCase{"cut_inside_a_start_tag",
                   std::string(kHead) + "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"X",
                   "Bad attribute name: on line 8"},
        DefectCase{"cut_between_elements", std::string(kHead) + kInstance,
                   "One or more tags are still open: on line 15"},
        DefectCase{"whitespace_then_not_xml", "\n\n  HTTP/1.1 200 OK",
                   "Validation error: on line 1: Expected <?xml ... ?> style declaration"},
        DefectCase{"doctype_with_entities",
                   "<?xml version=\"1.0\"?>\n<!DOCTYPE CIM [<!ENTITY a \"aaaa\">]>\n<CIM/>",
                   "DOCTYPE not accepted: on line 2"},
        DefectCase{
            "unknown_entity",
            std::string(kHead) + "<VALUE.NAMEDINSTANCE>&nbsp;</VALUE.NAMEDINSTANCE>\n" + kTail,
            "Malformed reference: on line 7"},
        DefectCase{"class_method_holding_a_property",
                   std::string(kClassHead) +
                       "<METHOD NAME=\"M\" TYPE=\"uint32\">\n<PROPERTY NAME=\"Q\"/>\n"
                       "</METHOD>\n" +
                       kClassTail,
                   "Validation error: on line 10: Expected PARAMETER element, got PROPERTY "
                   "instead",
                   cimxml::ResponseDecoder::Operation::GetClass},
        DefectCase{"class_parameter_of_no_known_type",
                   std::string(kClassHead) +
                       "<METHOD NAME=\"M\">\n<PARAMETER.REFERENCE NAME=\"R\"/>\n"
                       "<PARAMETER NAME=\"A\" TYPE=\"uint17\"/>\n</METHOD>\n" +
                       kClassTail,
                   "Validation error: on line 11: Illegal value for TYPE attribute: uint17",
                   cimxml::ResponseDecoder::Operation::GetClass},
        DefectCase{"class_answered_with_an_instance",
                   std::string(kHead).replace(std::string(kHead).find("EnumerateInstances"), 18,
                                              "GetClass") +
                       "<INSTANCE CLASSNAME=\"X\"/>\n" + kTail,
                   "Validation error: on line 7: Expected CLASS element",
                   cimxml::ResponseDecoder::Operation::GetClass},
        // Found by fuzzing: libxml2 words a byte that is not UTF-8 by where
        // it stands (here as a broken attribute) and notes the line where it
        // stopped reading, not the byte's.
        DefectCase{"byte_not_utf8_in_text",
                   std::string(kHead) +
                       "<VALUE.NAMEDINSTANCE>text \xa9\x91 more\n</VALUE.NAMEDINSTANCE>\n" + kTail,
                   "Malformed XML: on line 7"},
        DefectCase{
            "byte_not_utf8_in_an_end_tag",
            std::string(kHead) + "<VALUE.NAMEDINSTANCE>\n</VALUE.NAMEDINSTANCE\xdc>\n" + kTail,
            "Malformed XML: on line 8"},
        // Found by fuzzing: libxml2 stops counting lines before a CDATA
        // section it never saw end, at a place that depends on the cut.
        DefectCase{"unterminated_cdata_in_the_root",
                   "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
                   "DTDVERSION=\"2.0\">\n<![CDATA[ID=\"1000\">\n<SIMPLERSP>\n</SIMPLERSP>\n"
                   "</CIM>\n",
                   "One or more tags are still open: on line 7"},
        // Found by fuzzing: libxml2 words a control character by what it
        // has read around it, which depends on the cut.
        DefectCase{"control_character_in_a_start_tag_cut_short",
                   "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
                   "DTDVERSION=\"20>.\"\n<MESSAGE ID=\"1003\" PR\x0f<?xml varsion=\"1OTOCOL.0\" "
                   "encVERSIoM",
                   "Bad attribute name: on line 3"},
        // Markup far denser than a response costs the decoder many times
        // its size; the allowance is 1 KiB under a 64 KiB limit.
        DefectCase{"empty_elements_filling_one_instance",
                   std::string(kHead) + kNamedInstanceStart + repeated("<a/>", 4000),
                   "Validation error: on line 8: Response too dense to decode",
                   cimxml::ResponseDecoder::Operation::EnumerateInstances, 64 * 1024},
        DefectCase{"elements_nested_257_deep",
                   std::string(kHead) + "<VALUE.NAMEDINSTANCE>\n" + repeated("<a>", 251),
                   "Elements nested too deeply: on line 8"},
        // The limit holds whether a tag arrives in one piece or in many.
        DefectCase{"start_tag_one_byte_over_64_KiB",
                   std::string(kHead) + kNamedInstanceStart + "\n" + tagOfLength(65537),
                   "Markup too long: on line 9"},
        DefectCase{"comment_one_byte_over_64_KiB",
                   std::string(kHead) + "<!--" + std::string(65530, 'c') + "-->",
                   "Markup too long: on line 7"},
        DefectCase{"one_start_tag_of_ten_thousand_attributes",
                   std::string(kHead) + kNamedInstanceStart + "\n" + manyAttributes(10000),
                   "Markup too long: on line 9"}),
    [](const testing::TestParamInfo<DefectCase>& info) { return std::string(info.param.name); });

TEST(StreamedDecoder, keepsInstancesOfEveryPieceAndTheirLeadingWhitespaceRule) {
    std::string body = std::string("\n ") + kHead + kInstance + kInstance + kTail;
    for (size_t piece : {body.size(), size_t(1), size_t(5)}) {
        cimxml::ResponseDecoder decoder(cimxml::ResponseDecoder::Operation::EnumerateInstances,
                                        1000);
        for (size_t offset = 0; offset < body.size(); offset += piece) {
            decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
        }
        Array<CIMInstance> instances = decoder.finishEnumerateInstances();
        ASSERT_EQ(instances.size(), 2u);
        EXPECT_EQ(instances[1].getPath().toString().utf8(), "X.K=\"k\"");
        EXPECT_EQ(instances[1].getProperty(0).getValue().toString().utf8(), "7");
    }
}

// A body received whole meets the transport's limit too.
TEST(WholeBodyDecode, refusesABodyOverTheResponseLimitForEveryOperation) {
    const std::string body = std::string(kHead) + kInstance + kTail;
    const std::function<void()> decodes[] = {
        [&] { cimxml::decodeEnumerateInstances(body, 1000); },
        [&] { cimxml::decodeGetInstance(body, 1000); }, [&] { cimxml::decodeGetClass(body, 1000); },
        [&] {
            Array<CIMParamValue> out;
            cimxml::decodeInvokeMethod(body, 1000, CIMName("M"), out);
        }};
    pegasus_testing::setResponseLimit(body.size() - 1);
    for (const std::function<void()>& decode : decodes) {
        try {
            decode();
            ADD_FAILURE() << "decoded a body over the limit";
        } catch (const CIMClientMalformedHTTPException& error) {
            EXPECT_EQ(error.getMessage().utf8(), "Response from CIM Server exceeds the limit of " +
                                                     std::to_string(body.size() - 1) + " bytes.");
        }
    }
    pegasus_testing::setResponseLimit(0);
}

}  // namespace
