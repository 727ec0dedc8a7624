// Every response that OpenPegasus's client received in the captures, decoded by our layers below
// the socket, must give the values, path texts and exceptions that the real client printed.
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

// The probe's lines to compare: of a GetClass probe all but what it printed about methods, which
// CIMClass does not keep; of the others those about objects and failures (starting with
// "INSTANCE" or blanks), without the timing lines.
std::vector<std::string> expectedLines(const std::string& probeOutput, bool classProbe) {
    static const std::regex methodCount(" methods=[0-9]+");
    std::vector<std::string> kept;
    for (const std::string& line : splitLines(probeOutput)) {
        if (classProbe && line.rfind("  method ", 0) != 0) {
            kept.push_back(std::regex_replace(line, methodCount, ""));
        } else if (!classProbe && (line.rfind("INSTANCE", 0) == 0 || line.rfind("  ", 0) == 0)) {
            kept.push_back(line);
        }
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

// Our objects printed in the form the capture probe printed the real library's, so that the two can
// be compared line by line. Qualifier values may hold line breaks; the probe printed them as they
// are.
void add(std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : splitLines(text)) lines.push_back(line);
}

std::string flag(bool value) { return value ? "1" : "0"; }
std::string text(const CIMName& name) { return name.getString().utf8(); }
std::string count(Uint32 number) { return std::to_string(number); }
std::string indexText(Uint32 index) { return std::to_string(static_cast<int>(index)); }
std::string found(Uint32 index) { return index == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"; }

std::string valueText(const CIMValue& value) {
    return std::string("value type=") + cimTypeToString(value.getType()) +
           " isArray=" + flag(value.isArray()) + " isNull=" + flag(value.isNull()) + " toString=[" +
           value.toString().utf8() + "]" +
           (value.isArray() ? " arraySize=" + count(value.getArraySize()) : "");
}

void renderQualifier(const CIMConstQualifier& qualifier, const std::string& indent,
                     std::vector<std::string>& lines) {
    add(lines, indent + "qualifier " + text(qualifier.getName()) + " type=" +
                   cimTypeToString(qualifier.getType()) + " isArray=" + flag(qualifier.isArray()) +
                   " propagated=" + flag(qualifier.getPropagated()) +
                   " value=" + qualifier.getValue().toString().utf8());
}

void renderClass(const CIMConstClass& theClass, std::vector<std::string>& lines) {
    add(lines, "class " + text(theClass.getClassName()) +
                   " super=" + text(theClass.getSuperClassName()) +
                   " properties=" + count(theClass.getPropertyCount()) +
                   " qualifiers=" + count(theClass.getQualifierCount()));
    for (Uint32 i = 0; i < theClass.getQualifierCount(); ++i) {
        renderQualifier(theClass.getQualifier(i), "  ", lines);
    }
    for (Uint32 i = 0; i < theClass.getPropertyCount(); ++i) {
        CIMConstProperty property = theClass.getProperty(i);
        add(lines, "  property " + text(property.getName()) +
                       " type=" + cimTypeToString(property.getType()) + " isArray=" +
                       flag(property.isArray()) + " origin=" + text(property.getClassOrigin()) +
                       " propagated=" + flag(property.getPropagated()) +
                       " null=" + flag(property.getValue().isNull()) +
                       " value=" + property.getValue().toString().utf8() +
                       " qualifiers=" + count(property.getQualifierCount()));
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            renderQualifier(property.getQualifier(q), "    ", lines);
        }
        add(lines, "    findQualifier(valuemap)=" + indexText(property.findQualifier("valuemap")));
    }
    add(lines, "findProperty(jobstate)=" + indexText(theClass.findProperty("jobstate")));
}

void renderClassException(const Exception& error, std::vector<std::string>& lines) {
    auto* cim = dynamic_cast<const CIMException*>(&error);
    add(lines, failure_text::exceptionName(error) + (cim ? " code=" + count(cim->getCode()) : "") +
                   " message=" + error.getMessage().utf8());
}

void renderInstance(const CIMInstance& instance, std::vector<std::string>& lines) {
    const CIMObjectPath& path = instance.getPath();
    add(lines, "INSTANCE class=" + text(instance.getClassName()));
    add(lines, "  path.toString=[" + path.toString().utf8() + "] host=[" + path.getHost().utf8() +
                   "] ns=[" + path.getNameSpace().getString().utf8() + "]");
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); ++i) {
        add(lines, "  key " + text(keys[i].getName()) + " = [" + keys[i].getValue().utf8() +
                       "] kbtype=" + count(keys[i].getType()));
    }
    add(lines, "  instanceQualifierCount=" + count(instance.getQualifierCount()));
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
        CIMConstProperty property = instance.getProperty(i);
        add(lines,
            "  PROP " + text(property.getName()) + " type=" + cimTypeToString(property.getType()) +
                " isArray=" + flag(property.isArray()) + " classOrigin=[" +
                text(property.getClassOrigin()) + "] propagated=" + flag(property.getPropagated()) +
                " qualCount=" + count(property.getQualifierCount()));
        add(lines, "     " + valueText(property.getValue()));
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            CIMConstQualifier qualifier = property.getQualifier(q);
            add(lines,
                "     QUAL " + text(qualifier.getName()) + " " + valueText(qualifier.getValue()));
        }
    }
    add(lines, "  findProperty(deviceid lowercase) -> " + found(instance.findProperty("deviceid")));
    add(lines, "  findProperty(NoSuchProp) -> " + found(instance.findProperty("NoSuchProp")));
    Uint32 enabledDefault = instance.findProperty("EnabledDefault");
    if (enabledDefault == PEG_NOT_FOUND) return;
    CIMConstProperty property = instance.getProperty(enabledDefault);
    Uint32 valueMap = property.findQualifier("valuemap");
    add(lines, "  EnabledDefault.findQualifier(valuemap) -> " + found(valueMap));
    if (valueMap != PEG_NOT_FOUND) {
        Array<String> entries;
        property.getQualifier(valueMap).getValue().get(entries);
        add(lines, "  ValueMap size=" + count(entries.size()) + " first=" + entries[0].utf8());
    }
    Uint16 code = 0;
    property.getValue().get(code);
    add(lines, "  EnabledDefault get(Uint16) -> " + count(code));
}

void renderException(const Exception& error, std::vector<std::string>& lines) {
    add(lines, "  getMessage=[" + error.getMessage().utf8() + "]");
    if (auto* cim = dynamic_cast<const CIMException*>(&error)) {
        add(lines, "  is CIMException code=" + count(cim->getCode()));
    } else if (auto* http = dynamic_cast<const CIMClientHTTPErrorException*>(&error)) {
        add(lines, "  is CIMClientHTTPErrorException code=" + count(http->getCode()) +
                       " cimError=[" + http->getCIMError().utf8() + "] detail=[" +
                       http->getCIMErrorDetail().utf8() + "]");
    } else {
        add(lines, "  is " + failure_text::exceptionName(error));
    }
}

void renderMethodResult(const CIMValue& returned, const Array<CIMParamValue>& out,
                        std::vector<std::string>& lines) {
    add(lines, "  return " + valueText(returned));
    for (Uint32 i = 0; i < out.size(); ++i) {
        add(lines, "  OUT " + out[i].getParameterName().utf8() +
                       " isTyped=" + flag(out[i].isTyped()) + " " + valueText(out[i].getValue()));
    }
}

template <class T>
void append(std::vector<T>& to, const std::vector<T>& items) {
    to.insert(to.end(), items.begin(), items.end());
}

// The requests and responses of cimserver/TAG-conn1 streams, or of fake/TAG-NN.req and .rsp files
// in their order. Each response file is read alone: a response that ends with the connection ends
// with its file.
void readExchanges(const std::string& tag, std::vector<capture::Request>& requests,
                   std::vector<http::HttpResponse>& responses) {
    const std::string stream = "cimserver/" + tag + "-conn1";
    const bool streamed = capture::exists(stream + ".c2s");
    for (int number = 1; number < (streamed ? 2 : 20); ++number) {
        const std::string base =
            streamed ? stream : "fake/" + tag + (number < 10 ? "-0" : "-") + std::to_string(number);
        const std::string sent = base + (streamed ? ".c2s" : ".req");
        const std::string received = base + (streamed ? ".s2c" : ".rsp");
        if (capture::exists(sent)) append(requests, capture::requestsIn(capture::readFile(sent)));
        if (capture::exists(received))
            append(responses, capture::responsesIn(capture::readFile(received)));
    }
}

// What CIMClient does with each exchange, minus the socket: the one retry after a Basic challenge,
// the response checks and the decoding. Returns the type of the exception it ended with, or "". The
// GetClass probe printed in a form of its own, exceptions included.
std::string replay(const std::string& tag, bool classProbe, std::vector<std::string>& lines) {
    std::vector<capture::Request> requests;
    std::vector<http::HttpResponse> responses;
    readExchanges(tag, requests, responses);
    EXPECT_EQ(requests.size(), responses.size());
    bool challenged = false;
    for (size_t i = 0; i < requests.size() && i < responses.size(); ++i) {
        const std::string& body = responses[i].body;
        const std::string method = requests[i].header("CIMMethod");
        const Uint32 messageId = requests[i].messageId();
        try {
            if (!challenged && asksForBasicCredentials(responses[i])) {
                challenged = true;
                continue;
            }
            checkOperationResponse(responses[i]);
            if (method == "EnumerateInstances") {
                Array<CIMInstance> instances = cimxml::decodeEnumerateInstances(body, messageId);
                for (Uint32 n = 0; n < instances.size(); ++n) renderInstance(instances[n], lines);
            } else if (method == "GetInstance") {
                renderInstance(cimxml::decodeGetInstance(body, messageId), lines);
            } else if (method == "GetClass") {
                renderClass(cimxml::decodeGetClass(body, messageId), lines);
            } else {
                Array<CIMParamValue> out;
                CIMValue returned =
                    cimxml::decodeInvokeMethod(body, messageId, CIMName(method.c_str()), out);
                renderMethodResult(returned, out, lines);
            }
        } catch (const Exception& error) {
            (classProbe ? renderClassException : renderException)(error, lines);
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
    const std::string tag = GetParam();
    const bool classProbe = tag.rfind("getclass-", 0) == 0;
    const std::string probeOutput = capture::readFile(
        (capture::exists("cimserver/" + tag + ".client.txt") ? "cimserver/" : "fake/") + tag +
        ".client.txt");
    std::vector<std::string> lines;
    const std::string thrown = replay(tag, classProbe, lines);
    if (!classProbe) {
        EXPECT_EQ(thrown, thrownType(probeOutput));
    }
    EXPECT_EQ(lines, expectedLines(probeOutput, classProbe));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(FakeServer, CaptureReplay, testing::Values(
    "enum-ok", "get-ok", "invoke-ok", "err-badcode", "err-escaped", "err-failed", "err-invclass",
    "err-invns", "err-notfound", "err-notfound-nodesc", "m-badctype", "m-bare_instances",
    "m-chunked_ok", "m-ctype_nocharset", "m-empty", "m-http400", "m-http500", "m-invoke-noreturn",
    "m-malformed", "m-nocimop", "m-notxml", "m-trailer", "m-truncated", "m-wrongid", "auth",
    "auth-always", "auth-noheader", "auth-norealm", "auth-nouser", "auth-pegasus", "keepalive",
    "connclose"), testName);

INSTANTIATE_TEST_SUITE_P(OpenPegasusServer, CaptureReplay, testing::Values(
    "enum-fcport-deep", "enum-fcport-shallow", "enum-fcport-noqual", "get-fcport",
    "enum-CIM_PhysicalPackage", "enum-CIM_PortController", "enum-CIM_EthernetPort",
    "enum-CIM_SoftwareIdentity", "enum-CIM_Realizes", "enum-CIM_ControlledBy",
    "enum-CIM_ElementSoftwareIdentity", "get-missing", "get-badclass", "enum-badclass",
    "enum-badns", "invoke-noprovider", "auth-good", "auth-bad", "auth-none", "getclass-concretejob",
    "getclass-completionrecord", "getclass-fcport", "getclass-fcport-local", "getclass-proplist",
    "getclass-noqual", "getclass-badclass"), testName);
// clang-format on

}  // namespace
