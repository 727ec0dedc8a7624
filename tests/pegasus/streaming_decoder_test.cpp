// Defects of a body are reported alike whether it arrives whole or one byte at a time, and an XML
// error wins over a defect of the content found earlier in the body, as OpenPegasus (which parses
// the whole body first) reports it. The XML defects themselves are xml_layer_test.cpp's.
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "cimxml/response_decoder.h"
#include "failure_text.h"
#include "test_documents.h"

using namespace Pegasus;
using Operation = cimxml::ResponseDecoder::Operation;

namespace {

const char kInstance[] =
    "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"X\">\n<KEYBINDING NAME=\"K\">"
    "<KEYVALUE>k</KEYVALUE></KEYBINDING>\n</INSTANCENAME>\n<INSTANCE CLASSNAME=\"X\">\n"
    "<PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>7</VALUE></PROPERTY>\n</INSTANCE>\n"
    "</VALUE.NAMEDINSTANCE>\n";
const char kBadInteger[] =
    "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\"/>\n<INSTANCE CLASSNAME=\"X\">"
    "<PROPERTY NAME=\"P\" TYPE=\"uint8\"><VALUE>300</VALUE></PROPERTY></INSTANCE>"
    "</VALUE.NAMEDINSTANCE>\n";

// A GetClass response whose class holds `content` after one property.
std::string classBody(const std::string& content) {
    return replaced(kEnumerationHead, "EnumerateInstances", "GetClass") +
           "<CLASS NAME=\"X\" SUPERCLASS=\"Y\">\n<PROPERTY NAME=\"P\" TYPE=\"uint8\"/>\n" +
           content + "</CLASS>\n" + kEnumerationTail;
}

struct DefectCase {
    const char* name;
    std::string body;
    const char* message;
    Operation operation = Operation::EnumerateInstances;
    // The decoder's response limit; its memory allowance scales with it.
    std::uint64_t responseLimit = cimxml::kDefaultResponseLimit;
};

void PrintTo(const DefectCase& c, std::ostream* out) { *out << c.name; }

// The finish call of the decoder's operation (of a method named M).
void finish(cimxml::ResponseDecoder& decoder, Operation operation) {
    Array<CIMParamValue> out;
    if (operation == Operation::EnumerateInstances) {
        decoder.finishEnumerateInstances();
    } else if (operation == Operation::GetInstance) {
        decoder.finishGetInstance();
    } else if (operation == Operation::GetClass) {
        decoder.finishGetClass();
    } else {
        decoder.finishInvokeMethod(CIMName("M"), out);
    }
}

std::string messageOf(const DefectCase& defect, size_t piece) {
    const std::string& body = defect.body;
    cimxml::ResponseDecoder decoder(defect.operation, 1000, defect.responseLimit);
    for (size_t offset = 0; offset < body.size(); offset += piece) {
        decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
    }
    try {
        finish(decoder, defect.operation);
    } catch (const Exception& error) {
        return error.getMessage().utf8();
    }
    return "no exception";
}

class StreamedDefects : public testing::TestWithParam<DefectCase> {};

TEST_P(StreamedDefects, areReportedAlikeWholeAndByteByByte) {
    EXPECT_EQ(messageOf(GetParam(), GetParam().body.size()), GetParam().message);
    EXPECT_EQ(messageOf(GetParam(), 1), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Decoder, StreamedDefects,
    testing::ValuesIn(std::vector<DefectCase>{
        {"bad_integer_then_mismatched_tag",
         kEnumerationHead + kInstance + kBadInteger + "</IRETURNVALUE>\n</WRONG>",
         "Closing element does not match opening element: on line 18"},
        {"bad_integer_alone", kEnumerationHead + kBadInteger + kEnumerationTail,
         "Semantic error: on line 8: Illegal integer value \"300\""},
        {"wrong_message_id_before_a_bad_instance",
         replaced(kEnumerationHead, "1000", "999") + "<INSTANCE/>\n" + kEnumerationTail,
         "Mismatched response message ID:  Got \"999\", expected \"1000\"."},
        {"class_method_holding_a_property",
         classBody("<METHOD NAME=\"M\" TYPE=\"uint32\">\n<PROPERTY NAME=\"Q\"/>\n</METHOD>\n"),
         "Validation error: on line 10: Expected PARAMETER element, got PROPERTY instead",
         Operation::GetClass},
        {"class_parameter_of_no_known_type",
         classBody("<METHOD NAME=\"M\">\n<PARAMETER.REFERENCE NAME=\"R\"/>\n"
                   "<PARAMETER NAME=\"A\" TYPE=\"uint17\"/>\n</METHOD>\n"),
         "Validation error: on line 11: Illegal value for TYPE attribute: uint17",
         Operation::GetClass},
        {"class_answered_with_an_instance",
         replaced(kEnumerationHead, "EnumerateInstances", "GetClass") +
             "<INSTANCE CLASSNAME=\"X\"/>\n" + kEnumerationTail,
         "Validation error: on line 7: Expected CLASS element", Operation::GetClass},
        // Markup far denser than a response costs the decoder many times its size; the allowance is
        // 1 KiB under a 64 KiB limit.
        {"empty_elements_filling_one_instance",
         kEnumerationHead +
             "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\"/>\n"
             "<INSTANCE CLASSNAME=\"X\">" +
             repeated("<a/>", 4000),
         "Validation error: on line 8: Response too dense to decode", Operation::EnumerateInstances,
         64 * 1024},
        // Each level of reference keys quotes the text of the one inside it, doubling it: 3 KiB
        // would make 64 MiB, which counts against the elements' allowance (16 MiB here).
        {"nested_reference_keys_doubling_their_texts",
         kEnumerationHead + "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"X\">" +
             repeated("<KEYBINDING NAME=\"K\"><VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"X\">",
                      24) +
             "<KEYBINDING NAME=\"K\"><KEYVALUE>k</KEYVALUE></KEYBINDING>" +
             repeated("</INSTANCENAME></VALUE.REFERENCE></KEYBINDING>", 24) +
             "</INSTANCENAME>\n<INSTANCE CLASSNAME=\"X\"/></VALUE.NAMEDINSTANCE>\n" +
             kEnumerationTail,
         "Validation error: on line 7: Response too dense to decode"},
    }),
    [](const testing::TestParamInfo<DefectCase>& info) { return std::string(info.param.name); });

// A body received whole meets the transport's limit too.
TEST(WholeBodyDecode, refusesABodyOverTheResponseLimitForEveryOperation) {
    const std::string body = kEnumerationHead + kInstance + kEnumerationTail;
    const std::string refused =
        "CIMClientMalformedHTTPException: Response from CIM Server exceeds the limit of " +
        std::to_string(body.size() - 1) + " bytes.";
    Array<CIMParamValue> out;
    const std::uint64_t limit = body.size() - 1;
    EXPECT_EQ(failure_text::of([&] { cimxml::decodeEnumerateInstances(body, 1000, limit); }),
              refused);
    EXPECT_EQ(failure_text::of([&] { cimxml::decodeGetInstance(body, 1000, limit); }), refused);
    EXPECT_EQ(failure_text::of([&] { cimxml::decodeGetClass(body, 1000, limit); }), refused);
    EXPECT_EQ(
        failure_text::of([&] { cimxml::decodeInvokeMethod(body, 1000, CIMName("M"), out, limit); }),
        refused);
}

// Decoding past the request's deadline fails as the transport's read does: from feed() when it has
// passed as the body arrives (so that the transport stops reading), and from the finish call when
// it passes after the last byte (XmlLite parses there, and a body held whole is decoded there).
TEST(DecodingDeadline, failsWithTheTimeOutTextInFeedAndInFinishForEveryOperation) {
    const auto passed = std::chrono::steady_clock::now() - std::chrono::milliseconds(1);
    const std::string timedOut = "ConnectionTimeoutException: connection timed out";
    const struct {
        Operation operation;
        std::string body;
    } answers[] = {
        {Operation::EnumerateInstances, kEnumerationHead + kInstance + kEnumerationTail},
        {Operation::GetInstance, replaced(kEnumerationHead, "EnumerateInstances", "GetInstance") +
                                     "<INSTANCE CLASSNAME=\"X\"/>\n" + kEnumerationTail},
        {Operation::GetClass, classBody("")},
        {Operation::InvokeMethod,
         "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
         "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
         "<METHODRESPONSE NAME=\"M\"><RETURNVALUE PARAMTYPE=\"uint32\"><VALUE>0</VALUE>"
         "</RETURNVALUE></METHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n"},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.body);
        cimxml::ResponseDecoder onArrival(answer.operation, 1000);
        onArrival.setDeadline(passed);
        EXPECT_EQ(failure_text::of([&] { onArrival.feed(answer.body.data(), answer.body.size()); }),
                  timedOut);

        cimxml::ResponseDecoder afterArrival(answer.operation, 1000);
        afterArrival.feed(answer.body.data(), answer.body.size());
        afterArrival.setDeadline(passed);
        EXPECT_EQ(failure_text::of([&] { finish(afterArrival, answer.operation); }), timedOut);
    }
}

}  // namespace
