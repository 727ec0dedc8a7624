// Our requests, compared byte for byte and by their CIM headers with the
// requests OpenPegasus's client sent for the same calls (captures/fake/*.req,
// and the first request of captures/cimserver/*-conn1.c2s).
#include <gtest/gtest.h>

#include <functional>

#include "capture_files.h"
#include "request_encoder.h"

using namespace Pegasus;

namespace {

std::string headerValue(const std::string& request, const std::string& name) {
    size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<missing>";
    size_t start = at + name.size() + 4;
    return request.substr(start, request.find("\r\n", start) - start);
}

Array<CIMKeyBinding> keys(std::initializer_list<CIMKeyBinding> bindings) {
    Array<CIMKeyBinding> array;
    for (const CIMKeyBinding& binding : bindings) array.append(binding);
    return array;
}

Array<CIMName> names(std::initializer_list<const char*> list) {
    Array<CIMName> array;
    for (const char* name : list) array.append(CIMName(name));
    return array;
}

const CIMNamespaceName kNamespace("root/brocade");

CIMObjectPath fcPort() {
    return CIMObjectPath(
        "", CIMNamespaceName(), "CIM_FCPort",
        keys({CIMKeyBinding("SystemName", "switch-A", CIMKeyBinding::STRING),
              CIMKeyBinding("DeviceID", "port \"1\" \\ x", CIMKeyBinding::STRING),
              CIMKeyBinding("CreationClassName", "CIM_FCPort", CIMKeyBinding::STRING),
              CIMKeyBinding("SystemCreationClassName", "CIM_ComputerSystem",
                            CIMKeyBinding::STRING)}));
}

Array<CIMKeyBinding> softwareKeys() {
    return keys({CIMKeyBinding("On", "true", CIMKeyBinding::BOOLEAN),
                 CIMKeyBinding("Num", "5", CIMKeyBinding::NUMERIC),
                 CIMKeyBinding("InstanceID", "a<b>&c", CIMKeyBinding::STRING)});
}

Array<CIMParamValue> diagnosticParameters() {
    Array<CIMParamValue> parameters;
    parameters.append(CIMParamValue(
        "ManagedElement",
        CIMValue(CIMObjectPath(
            "", CIMNamespaceName(), "CIM_FCPort",
            keys({CIMKeyBinding("SystemName", "switch-A", CIMKeyBinding::STRING),
                  CIMKeyBinding("DeviceID", "port \"1\"", CIMKeyBinding::STRING)})))));
    return parameters;
}

Array<CIMParamValue> variedParameters() {
    Array<CIMParamValue> parameters;
    parameters.append(CIMParamValue(
        "ManagedElement",
        CIMValue(CIMObjectPath("h1", CIMNamespaceName("root/x"), "CIM_FCPort",
                               keys({CIMKeyBinding("DeviceID", "p", CIMKeyBinding::STRING)})))));
    parameters.append(CIMParamValue("Timeout", CIMValue(Uint32(30))));
    parameters.append(CIMParamValue("Untyped", CIMValue(String("s")), false));
    Array<Uint16> codes;
    codes.append(1);
    codes.append(2);
    parameters.append(CIMParamValue("Codes", CIMValue(codes)));
    parameters.append(CIMParamValue("NullStr", CIMValue(CIMTYPE_STRING, false)));
    parameters.append(CIMParamValue("Flag", CIMValue(true)));
    return parameters;
}

struct RequestCase {
    const char* capture;
    std::function<cimxml::EncodedRequest(Uint32 messageId)> encode;
};

// ctest shows the case by its name rather than as a dump of its bytes.
void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.capture; }

class RequestEncoding : public testing::TestWithParam<RequestCase> {};

// The first request of the capture, headers and body.
std::string capturedRequest(const std::string& name) {
    if (capture::exists("fake/" + name + ".req")) return capture::readFile("fake/" + name + ".req");
    std::string stream = capture::readFile("cimserver/" + name + "-conn1.c2s");
    size_t bodyStart = stream.find("\r\n\r\n") + 4;
    return stream.substr(0, bodyStart + std::stoul(headerValue(stream, "content-length")));
}

TEST_P(RequestEncoding, matchesTheRealClientsRequest) {
    std::string captured = capturedRequest(GetParam().capture);
    std::string capturedBody = captured.substr(captured.find("\r\n\r\n") + 4);
    Uint32 messageId = std::stoul(capturedBody.substr(capturedBody.find("MESSAGE ID=\"") + 12));

    cimxml::EncodedRequest request = GetParam().encode(messageId);

    EXPECT_EQ(request.cimMethod, headerValue(captured, "CIMMethod"));
    EXPECT_EQ(request.cimObject, headerValue(captured, "CIMObject"));
    EXPECT_EQ(request.body, capturedBody);
    EXPECT_EQ(std::stoul(headerValue(captured, "content-length")), request.body.size());
}

INSTANTIATE_TEST_SUITE_P(
    CapturedCalls, RequestEncoding,
    testing::Values(
        RequestCase{"enum-ok-01",
                    [](Uint32 id) {
                        return cimxml::encodeEnumerateInstances(id, kNamespace, "CIM_FCPort", true,
                                                                true, true, false,
                                                                CIMPropertyList());
                    }},
        RequestCase{"variants-01",
                    [](Uint32 id) {
                        return cimxml::encodeEnumerateInstances(
                            id, kNamespace, "CIM_FCPort", false, false, false, true,
                            CIMPropertyList(names({"DeviceID", "ElementName"})));
                    }},
        RequestCase{"variants-03",
                    [](Uint32 id) {
                        return cimxml::encodeEnumerateInstances(id, kNamespace, "CIM_FCPort", true,
                                                                true, false, false,
                                                                CIMPropertyList(names({})));
                    }},
        RequestCase{"get-ok-01",
                    [](Uint32 id) {
                        return cimxml::encodeGetInstance(id, kNamespace, fcPort(), true, true, true,
                                                         CIMPropertyList());
                    }},
        RequestCase{
            "variants-05",
            [](Uint32 id) {
                return cimxml::encodeGetInstance(
                    id, kNamespace,
                    CIMObjectPath("", CIMNamespaceName(), "CIM_SoftwareIdentity", softwareKeys()),
                    false, false, false, CIMPropertyList(names({"DeviceID", "ElementName"})));
            }},
        RequestCase{"variants-07",
                    [](Uint32 id) {
                        return cimxml::encodeGetInstance(
                            id, kNamespace,
                            CIMObjectPath("otherhost:5988", CIMNamespaceName("root/other"),
                                          "CIM_SoftwareIdentity", softwareKeys()),
                            true, false, false, CIMPropertyList());
                    }},
        RequestCase{"invoke-ok-01",
                    [](Uint32 id) {
                        return cimxml::encodeInvokeMethod(
                            id, kNamespace,
                            CIMObjectPath(
                                "", CIMNamespaceName(), "XX_DiagnosticTest",
                                keys({CIMKeyBinding("Name", "diag-1", CIMKeyBinding::STRING),
                                      CIMKeyBinding("CreationClassName", "XX_DiagnosticTest",
                                                    CIMKeyBinding::STRING)})),
                            "RunDiagnostic", diagnosticParameters());
                    }},
        RequestCase{"getclass-concretejob",
                    [](Uint32 id) {
                        return cimxml::encodeGetClass(id, kNamespace, "CIM_ConcreteJob", false,
                                                      true, false, CIMPropertyList());
                    }},
        RequestCase{"getclass-fcport-local",
                    [](Uint32 id) {
                        return cimxml::encodeGetClass(id, kNamespace, "CIM_FCPort", true, true,
                                                      true, CIMPropertyList());
                    }},
        RequestCase{"getclass-proplist",
                    [](Uint32 id) {
                        return cimxml::encodeGetClass(
                            id, kNamespace, "CIM_ConcreteJob", false, true, false,
                            CIMPropertyList(names({"JobState", "PercentComplete"})));
                    }},
        RequestCase{"getclass-noqual",
                    [](Uint32 id) {
                        return cimxml::encodeGetClass(id, kNamespace, "CIM_ConcreteJob", false,
                                                      false, false, CIMPropertyList());
                    }},
        RequestCase{"variants-09",
                    [](Uint32 id) {
                        return cimxml::encodeInvokeMethod(
                            id, kNamespace,
                            CIMObjectPath(
                                "h2", CIMNamespaceName("root/other"), "XX_Svc",
                                keys({CIMKeyBinding("Name", "n", CIMKeyBinding::STRING)})),
                            "Go", variedParameters());
                    }},
        RequestCase{"variants-11",
                    [](Uint32 id) {
                        return cimxml::encodeInvokeMethod(
                            id, kNamespace, CIMObjectPath("", CIMNamespaceName(), "XX_Svc"), "Go",
                            Array<CIMParamValue>());
                    }}),
    [](const testing::TestParamInfo<RequestCase>& info) {
        std::string name = info.param.capture;
        for (char& c : name) {
            if (c == '-') c = '_';
        }
        return name;
    });

}  // namespace
