// Every response that OpenPegasus's client received in the captures, decoded
// by our layers below the socket, must give the values, path texts and
// exceptions that the real client printed.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "capture_files.h"
#include "failure_text.h"
#include "response_checks.h"
#include "response_decoder.h"

using namespace Pegasus;

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// The probe's lines about objects and failures: lines that start with "INSTANCE" or with blanks;
// timing lines are left out.
std::vector<std::string> detailLines(const std::string& probeOutput) {
    std::vector<std::string> details;
    for (const std::string& line : splitLines(probeOutput)) {
        if (line.rfind("INSTANCE", 0) == 0 || line.rfind("  ", 0) == 0) details.push_back(line);
    }
    return details;
}

// The lines of a GetClass probe's output without what it printed about methods, which CIMClass
// does not keep.
std::vector<std::string> classProbeLines(const std::string& probeOutput) {
    static const std::regex methodCount(" methods=[0-9]+");
    std::vector<std::string> kept;
    for (const std::string& line : splitLines(probeOutput)) {
        if (line.rfind("  method ", 0) == 0) continue;
        kept.push_back(line.rfind("class ", 0) == 0 ? std::regex_replace(line, methodCount, "")
                                                    : line);
    }
    return kept;
}

// The exception class the probe saw ("N7Pegasus12CIMExceptionE"), or "".
std::string thrownType(const std::string& probeOutput) {
    size_t at = probeOutput.find("typeid=");
    if (at == std::string::npos) return "";
    size_t end = probeOutput.find_first_of(" \n", at);
    return probeOutput.substr(at + 7, end - at - 7);
}

// Our objects printed in the form the capture probe printed the real library's, so that the two
// can be compared line by line.
std::string flag(bool value) { return value ? "1" : "0"; }

std::string valueText(const CIMValue& value) {
    std::string text = std::string("value type=") + cimTypeToString(value.getType()) +
                       " isArray=" + flag(value.isArray()) + " isNull=" + flag(value.isNull()) +
                       " toString=[" + value.toString().utf8() + "]";
    if (value.isArray()) text += " arraySize=" + std::to_string(value.getArraySize());
    return text;
}

// Qualifier values may hold line breaks; the probe printed them as they are.
void appendLines(const std::string& text, std::vector<std::string>& lines) {
    for (const std::string& line : splitLines(text)) lines.push_back(line);
}

std::string indexText(Uint32 index) { return std::to_string(static_cast<int>(index)); }

std::string found(Uint32 index) { return index == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"; }

void renderQualifier(const CIMConstQualifier& qualifier, const std::string& indent,
                     std::vector<std::string>& lines) {
    appendLines(indent + "qualifier " + qualifier.getName().getString().utf8() + " type=" +
                    cimTypeToString(qualifier.getType()) + " isArray=" + flag(qualifier.isArray()) +
                    " propagated=" + flag(qualifier.getPropagated()) +
                    " value=" + qualifier.getValue().toString().utf8(),
                lines);
}

void renderClass(const CIMConstClass& theClass, std::vector<std::string>& lines) {
    lines.push_back("class " + theClass.getClassName().getString().utf8() +
                    " super=" + theClass.getSuperClassName().getString().utf8() +
                    " properties=" + std::to_string(theClass.getPropertyCount()) +
                    " qualifiers=" + std::to_string(theClass.getQualifierCount()));
    for (Uint32 i = 0; i < theClass.getQualifierCount(); ++i) {
        renderQualifier(theClass.getQualifier(i), "  ", lines);
    }
    for (Uint32 i = 0; i < theClass.getPropertyCount(); ++i) {
        CIMConstProperty property = theClass.getProperty(i);
        appendLines("  property " + property.getName().getString().utf8() +
                        " type=" + cimTypeToString(property.getType()) +
                        " isArray=" + flag(property.isArray()) +
                        " origin=" + property.getClassOrigin().getString().utf8() +
                        " propagated=" + flag(property.getPropagated()) +
                        " null=" + flag(property.getValue().isNull()) +
                        " value=" + property.getValue().toString().utf8() +
                        " qualifiers=" + std::to_string(property.getQualifierCount()),
                    lines);
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            renderQualifier(property.getQualifier(q), "    ", lines);
        }
        lines.push_back("    findQualifier(valuemap)=" +
                        indexText(property.findQualifier("valuemap")));
    }
    lines.push_back("findProperty(jobstate)=" + indexText(theClass.findProperty("jobstate")));
}

void renderClassException(const Exception& error, std::vector<std::string>& lines) {
    std::string text = failure_text::exceptionName(error);
    if (auto* cim = dynamic_cast<const CIMException*>(&error)) {
        text += " code=" + std::to_string(cim->getCode());
    }
    appendLines(text + " message=" + error.getMessage().utf8(), lines);
}

void renderInstance(const CIMInstance& instance, std::vector<std::string>& lines) {
    const CIMObjectPath& path = instance.getPath();
    lines.push_back("INSTANCE class=" + instance.getClassName().getString().utf8());
    lines.push_back("  path.toString=[" + path.toString().utf8() + "] host=[" +
                    path.getHost().utf8() + "] ns=[" + path.getNameSpace().getString().utf8() +
                    "]");
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); ++i) {
        lines.push_back("  key " + keys[i].getName().getString().utf8() + " = [" +
                        keys[i].getValue().utf8() +
                        "] kbtype=" + std::to_string(static_cast<int>(keys[i].getType())));
    }
    lines.push_back("  instanceQualifierCount=" + std::to_string(instance.getQualifierCount()));
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
        CIMConstProperty property = instance.getProperty(i);
        lines.push_back("  PROP " + property.getName().getString().utf8() +
                        " type=" + cimTypeToString(property.getType()) +
                        " isArray=" + flag(property.isArray()) + " classOrigin=[" +
                        property.getClassOrigin().getString().utf8() +
                        "] propagated=" + flag(property.getPropagated()) +
                        " qualCount=" + std::to_string(property.getQualifierCount()));
        lines.push_back("     " + valueText(property.getValue()));
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            CIMConstQualifier qualifier = property.getQualifier(q);
            lines.push_back("     QUAL " + qualifier.getName().getString().utf8() + " " +
                            valueText(qualifier.getValue()));
        }
    }
    lines.push_back("  findProperty(deviceid lowercase) -> " +
                    found(instance.findProperty("deviceid")));
    lines.push_back("  findProperty(NoSuchProp) -> " + found(instance.findProperty("NoSuchProp")));
    Uint32 enabledDefault = instance.findProperty("EnabledDefault");
    if (enabledDefault == PEG_NOT_FOUND) return;
    CIMConstProperty property = instance.getProperty(enabledDefault);
    Uint32 valueMap = property.findQualifier("valuemap");
    lines.push_back("  EnabledDefault.findQualifier(valuemap) -> " + found(valueMap));
    if (valueMap != PEG_NOT_FOUND) {
        Array<String> entries;
        property.getQualifier(valueMap).getValue().get(entries);
        lines.push_back("  ValueMap size=" + std::to_string(entries.size()) +
                        " first=" + entries[0].utf8());
    }
    Uint16 code = 0;
    property.getValue().get(code);
    lines.push_back("  EnabledDefault get(Uint16) -> " + std::to_string(code));
}

void renderException(const Exception& error, std::vector<std::string>& lines) {
    lines.push_back("  getMessage=[" + error.getMessage().utf8() + "]");
    if (auto* cim = dynamic_cast<const CIMException*>(&error)) {
        lines.push_back("  is CIMException code=" + std::to_string(cim->getCode()));
    } else if (auto* http = dynamic_cast<const CIMClientHTTPErrorException*>(&error)) {
        lines.push_back("  is CIMClientHTTPErrorException code=" + std::to_string(http->getCode()) +
                        " cimError=[" + http->getCIMError().utf8() + "] detail=[" +
                        http->getCIMErrorDetail().utf8() + "]");
    } else {
        lines.push_back("  is " + failure_text::exceptionName(error));
    }
}

void renderMethodResult(const CIMValue& returned, const Array<CIMParamValue>& out,
                        std::vector<std::string>& lines) {
    lines.push_back("  return " + valueText(returned));
    for (Uint32 i = 0; i < out.size(); ++i) {
        lines.push_back("  OUT " + out[i].getParameterName().utf8() +
                        " isTyped=" + flag(out[i].isTyped()) + " " + valueText(out[i].getValue()));
    }
}

struct Exchange {
    capture::Request request;
    http::HttpResponse response;
};

// fake/TAG-NN.req and .rsp files in their order, or cimserver/TAG-conn1 streams.
std::vector<Exchange> exchangesOf(const std::string& tag) {
    std::vector<std::string> sent, received;
    if (capture::exists("cimserver/" + tag + "-conn1.c2s")) {
        sent = {"cimserver/" + tag + "-conn1.c2s"};
        received = {"cimserver/" + tag + "-conn1.s2c"};
    }
    const bool fake = sent.empty();
    for (int number = 1; fake && number < 20; ++number) {
        std::string base = "fake/" + tag + (number < 10 ? "-0" : "-") + std::to_string(number);
        if (capture::exists(base + ".req")) sent.push_back(base + ".req");
        if (capture::exists(base + ".rsp")) received.push_back(base + ".rsp");
    }
    std::vector<capture::Request> requests;
    std::vector<http::HttpResponse> responses;
    for (const std::string& file : sent) {
        for (auto& request : capture::requestsIn(capture::readFile(file)))
            requests.push_back(request);
    }
    // Each file alone: a response that ends with the connection ends with its file.
    for (const std::string& file : received) {
        for (auto& response : capture::responsesIn(capture::readFile(file)))
            responses.push_back(response);
    }
    EXPECT_EQ(requests.size(), responses.size()) << tag;
    std::vector<Exchange> exchanges;
    for (size_t i = 0; i < requests.size() && i < responses.size(); ++i) {
        exchanges.push_back({requests[i], responses[i]});
    }
    return exchanges;
}

std::string probeOutputOf(const std::string& tag) {
    return capture::exists("cimserver/" + tag + ".client.txt")
               ? capture::readFile("cimserver/" + tag + ".client.txt")
               : capture::readFile("fake/" + tag + ".client.txt");
}

// The GetClass probe printed in a form of its own, exceptions included.
bool isClassProbe(const std::string& tag) { return tag.rfind("getclass-", 0) == 0; }

// What CIMClient does with each exchange, minus the socket: the one retry
// after a Basic challenge, the response checks and the decoding.
std::string replay(const std::vector<Exchange>& exchanges, bool classProbe,
                   std::vector<std::string>& lines) {
    bool challenged = false;
    for (const Exchange& exchange : exchanges) {
        http::HttpResponse response = exchange.response;
        try {
            if (!challenged && asksForBasicCredentials(response)) {
                challenged = true;
                continue;
            }
            checkOperationResponse(response);
            const std::string method = exchange.request.header("CIMMethod");
            const Uint32 messageId = exchange.request.messageId();
            if (method == "EnumerateInstances") {
                Array<CIMInstance> instances =
                    cimxml::decodeEnumerateInstances(response.body, messageId);
                for (Uint32 i = 0; i < instances.size(); ++i) {
                    renderInstance(instances[i], lines);
                }
            } else if (method == "GetInstance") {
                renderInstance(cimxml::decodeGetInstance(response.body, messageId), lines);
            } else if (method == "GetClass") {
                renderClass(cimxml::decodeGetClass(response.body, messageId), lines);
            } else {
                Array<CIMParamValue> out;
                CIMValue returned = cimxml::decodeInvokeMethod(response.body, messageId,
                                                               CIMName(method.c_str()), out);
                renderMethodResult(returned, out, lines);
            }
        } catch (const Exception& error) {
            if (classProbe) {
                renderClassException(error, lines);
            } else {
                renderException(error, lines);
            }
            return typeid(error).name();
        }
    }
    return "";
}

std::string testName(const testing::TestParamInfo<const char*>& info) {
    return capture::testName(info.param);
}

class CaptureReplay : public testing::TestWithParam<const char*> {};

TEST_P(CaptureReplay, decodesWhatTheRealClientDecoded) {
    std::string tag = GetParam();
    std::string probeOutput = probeOutputOf(tag);
    std::vector<std::string> lines;
    std::string thrown = replay(exchangesOf(tag), isClassProbe(tag), lines);
    std::vector<std::string> expected;
    if (isClassProbe(tag)) {
        expected = classProbeLines(probeOutput);
    } else {
        EXPECT_EQ(thrown, thrownType(probeOutput));
        expected = detailLines(probeOutput);
    }
    EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(FakeServer, CaptureReplay,
                         testing::Values("enum-ok", "get-ok", "invoke-ok", "err-badcode",
                                         "err-escaped", "err-failed", "err-invclass", "err-invns",
                                         "err-notfound", "err-notfound-nodesc", "m-badctype",
                                         "m-bare_instances", "m-chunked_ok", "m-ctype_nocharset",
                                         "m-empty", "m-http400", "m-http500", "m-invoke-noreturn",
                                         "m-malformed", "m-nocimop", "m-notxml", "m-trailer",
                                         "m-truncated", "m-wrongid", "auth", "auth-always",
                                         "auth-noheader", "auth-norealm", "auth-nouser",
                                         "auth-pegasus", "keepalive", "connclose"),
                         testName);

INSTANTIATE_TEST_SUITE_P(
    OpenPegasusServer, CaptureReplay,
    testing::Values("enum-fcport-deep", "enum-fcport-shallow", "enum-fcport-noqual", "get-fcport",
                    "enum-CIM_PhysicalPackage", "enum-CIM_PortController", "enum-CIM_EthernetPort",
                    "enum-CIM_SoftwareIdentity", "enum-CIM_Realizes", "enum-CIM_ControlledBy",
                    "enum-CIM_ElementSoftwareIdentity", "get-missing", "get-badclass",
                    "enum-badclass", "enum-badns", "invoke-noprovider", "auth-good", "auth-bad",
                    "auth-none", "getclass-concretejob", "getclass-completionrecord",
                    "getclass-fcport", "getclass-fcport-local", "getclass-proplist",
                    "getclass-noqual", "getclass-badclass"),
    testName);

}  // namespace
