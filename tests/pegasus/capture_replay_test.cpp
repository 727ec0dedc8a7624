// Every response that OpenPegasus's client received in the captures, decoded by our layers below
// the socket, must give the values, path texts and exceptions that the real client printed.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "capture_files.h"
#include "cimxml/response_decoder.h"
#include "client/response_checks.h"
#include "failure_text.h"

using namespace Pegasus;

namespace {

// The probe's lines to compare: of a GetClass probe all but what it printed about methods, which
// CIMClass does not keep; of the others those about objects and failures (starting with
// "INSTANCE" or blanks), without the timing lines.
std::string expectedText(const std::string& probeOutput, bool classProbe) {
    static const std::regex methodCount(" methods=[0-9]+");
    std::istringstream lines(probeOutput);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (classProbe && line.rfind("  method ", 0) != 0) {
            kept += std::regex_replace(line, methodCount, "") + "\n";
        } else if (!classProbe && (line.rfind("INSTANCE", 0) == 0 || line.rfind("  ", 0) == 0)) {
            kept += line + "\n";
        }
    }
    return kept;
}

// Our objects printed as the capture probe printed the real library's, to be compared line by line.
std::string found(Uint32 index) { return index == PEG_NOT_FOUND ? "PEG_NOT_FOUND" : "found"; }

std::string valueText(const CIMValue& value) {
    std::ostringstream out;
    out << "value type=" << cimTypeToString(value.getType()) << " isArray=" << value.isArray()
        << " isNull=" << value.isNull() << " toString=[" << value.toString() << "]";
    if (value.isArray()) out << " arraySize=" << value.getArraySize();
    return out.str();
}

// The qualifiers of a class or of one of its properties.
template <class Owner>
void renderQualifiers(std::ostream& out, const Owner& owner, const char* indent) {
    for (Uint32 i = 0; i < owner.getQualifierCount(); ++i) {
        const CIMConstQualifier qualifier = owner.getQualifier(i);
        out << indent << "qualifier " << qualifier.getName().getString()
            << " type=" << cimTypeToString(qualifier.getType())
            << " isArray=" << qualifier.isArray() << " propagated=" << qualifier.getPropagated()
            << " value=" << qualifier.getValue().toString() << "\n";
    }
}

void renderClass(std::ostream& out, const CIMConstClass& theClass) {
    out << "class " << theClass.getClassName().getString()
        << " super=" << theClass.getSuperClassName().getString()
        << " properties=" << theClass.getPropertyCount()
        << " qualifiers=" << theClass.getQualifierCount() << "\n";
    renderQualifiers(out, theClass, "  ");
    for (Uint32 i = 0; i < theClass.getPropertyCount(); ++i) {
        const CIMConstProperty property = theClass.getProperty(i);
        out << "  property " << property.getName().getString()
            << " type=" << cimTypeToString(property.getType()) << " isArray=" << property.isArray()
            << " origin=" << property.getClassOrigin().getString()
            << " propagated=" << property.getPropagated()
            << " null=" << property.getValue().isNull()
            << " value=" << property.getValue().toString()
            << " qualifiers=" << property.getQualifierCount() << "\n";
        renderQualifiers(out, property, "    ");
        out << "    findQualifier(valuemap)=" << int(property.findQualifier("valuemap")) << "\n";
    }
    out << "findProperty(jobstate)=" << int(theClass.findProperty("jobstate")) << "\n";
}

void renderInstance(std::ostream& out, const CIMInstance& instance) {
    const CIMObjectPath& path = instance.getPath();
    out << "INSTANCE class=" << instance.getClassName().getString() << "\n  path.toString=["
        << path.toString() << "] host=[" << path.getHost() << "] ns=["
        << path.getNameSpace().getString() << "]\n";
    const Array<CIMKeyBinding>& keys = path.getKeyBindings();
    for (Uint32 i = 0; i < keys.size(); ++i) {
        out << "  key " << keys[i].getName().getString() << " = [" << keys[i].getValue()
            << "] kbtype=" << keys[i].getType() << "\n";
    }
    out << "  instanceQualifierCount=" << instance.getQualifierCount() << "\n";
    for (Uint32 i = 0; i < instance.getPropertyCount(); ++i) {
        const CIMConstProperty property = instance.getProperty(i);
        out << "  PROP " << property.getName().getString()
            << " type=" << cimTypeToString(property.getType()) << " isArray=" << property.isArray()
            << " classOrigin=[" << property.getClassOrigin().getString()
            << "] propagated=" << property.getPropagated()
            << " qualCount=" << property.getQualifierCount() << "\n     "
            << valueText(property.getValue()) << "\n";
        for (Uint32 q = 0; q < property.getQualifierCount(); ++q) {
            const CIMConstQualifier qualifier = property.getQualifier(q);
            out << "     QUAL " << qualifier.getName().getString() << " "
                << valueText(qualifier.getValue()) << "\n";
        }
    }
    out << "  findProperty(deviceid lowercase) -> " << found(instance.findProperty("deviceid"))
        << "\n  findProperty(NoSuchProp) -> " << found(instance.findProperty("NoSuchProp")) << "\n";
    const Uint32 enabledDefault = instance.findProperty("EnabledDefault");
    if (enabledDefault == PEG_NOT_FOUND) return;
    const CIMConstProperty property = instance.getProperty(enabledDefault);
    const Uint32 valueMap = property.findQualifier("valuemap");
    out << "  EnabledDefault.findQualifier(valuemap) -> " << found(valueMap) << "\n";
    if (valueMap != PEG_NOT_FOUND) {
        Array<String> entries;
        property.getQualifier(valueMap).getValue().get(entries);
        out << "  ValueMap size=" << entries.size() << " first=" << entries[0] << "\n";
    }
    Uint16 code = 0;
    property.getValue().get(code);
    out << "  EnabledDefault get(Uint16) -> " << code << "\n";
}

// As the GetClass probe printed an exception, or as the others did.
void renderException(std::ostream& out, const Exception& error, bool classProbe) {
    auto* cim = dynamic_cast<const CIMException*>(&error);
    auto* http = dynamic_cast<const CIMClientHTTPErrorException*>(&error);
    if (classProbe) {
        out << failure_text::exceptionName(error);
        if (cim) out << " code=" << cim->getCode();
        out << " message=" << error.getMessage() << "\n";
    } else {
        out << "  getMessage=[" << error.getMessage() << "]\n  is ";
        if (cim) {
            out << "CIMException code=" << cim->getCode() << "\n";
        } else if (http) {
            out << "CIMClientHTTPErrorException code=" << http->getCode() << " cimError=["
                << http->getCIMError() << "] detail=[" << http->getCIMErrorDetail() << "]\n";
        } else {
            out << failure_text::exceptionName(error) << "\n";
        }
    }
}

// What CIMClient does with each exchange, minus the socket: the one retry after a Basic challenge,
// the response checks and the decoding, up to the first exception.
void replay(const std::string& tag, bool classProbe, std::ostream& out) {
    // A cimserver/TAG-conn1 stream, or fake/TAG-NN.req and .rsp files in their order, each response
    // file read alone: a response that ends with the connection ends with its file.
    std::vector<capture::Request> requests;
    std::vector<http::HttpResponse> responses;
    const auto read = [](const std::string& file) {
        return capture::exists(file) ? capture::readFile(file) : std::string();
    };
    const bool streamed = capture::exists("cimserver/" + tag + "-conn1.c2s");
    for (int number = 1; number < (streamed ? 2 : 20); ++number) {
        const std::string base =
            streamed ? "cimserver/" + tag + "-conn1"
                     : "fake/" + tag + (number < 10 ? "-0" : "-") + std::to_string(number);
        const auto sent = capture::requestsIn(read(base + (streamed ? ".c2s" : ".req")));
        const auto received = capture::responsesIn(read(base + (streamed ? ".s2c" : ".rsp")));
        requests.insert(requests.end(), sent.begin(), sent.end());
        responses.insert(responses.end(), received.begin(), received.end());
    }
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
                for (Uint32 n = 0; n < instances.size(); ++n) renderInstance(out, instances[n]);
            } else if (method == "GetInstance") {
                renderInstance(out, cimxml::decodeGetInstance(body, messageId));
            } else if (method == "GetClass") {
                renderClass(out, cimxml::decodeGetClass(body, messageId));
            } else {
                Array<CIMParamValue> parameters;
                const CIMValue returned = cimxml::decodeInvokeMethod(
                    body, messageId, CIMName(method.c_str()), parameters);
                out << "  return " << valueText(returned) << "\n";
                for (Uint32 n = 0; n < parameters.size(); ++n) {
                    out << "  OUT " << parameters[n].getParameterName()
                        << " isTyped=" << parameters[n].isTyped() << " "
                        << valueText(parameters[n].getValue()) << "\n";
                }
            }
        } catch (const Exception& error) {
            return renderException(out, error, classProbe);
        }
    }
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
    std::ostringstream out;
    replay(tag, classProbe, out);
    EXPECT_EQ(out.str(), expectedText(probeOutput, classProbe));
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
