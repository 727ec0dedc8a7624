// Our requests, compared byte for byte and by their CIM headers with the requests OpenPegasus's
// client sent for the same calls (fake/*.req, the first of cimserver/*-conn1.c2s in captures/).
#include <gtest/gtest.h>

#include <sstream>

#include "capture_files.h"
#include "cimxml/request_encoder.h"

using namespace Pegasus;

namespace {

const CIMNamespaceName kNamespace("root/brocade");

Array<CIMParamValue> diagnosticParameters() {
    const CIMParamValue parameter(
        "ManagedElement",
        CIMValue(CIMObjectPath("CIM_FCPort.SystemName=\"switch-A\",DeviceID=\"port \\\"1\\\"\"")));
    return Array<CIMParamValue>(&parameter, 1);
}

Array<CIMParamValue> variedParameters() {
    const Uint16 codes[] = {1, 2};
    const CIMParamValue parameters[] = {
        CIMParamValue("ManagedElement",
                      CIMValue(CIMObjectPath("//h1/root/x:CIM_FCPort.DeviceID=\"p\""))),
        CIMParamValue("Timeout", CIMValue(Uint32(30))),
        CIMParamValue("Untyped", CIMValue(String("s")), false),
        CIMParamValue("Codes", CIMValue(Array<Uint16>(codes, 2))),
        CIMParamValue("NullStr", CIMValue(CIMTYPE_STRING, false)),
        CIMParamValue("Flag", CIMValue(true))};
    return Array<CIMParamValue>(parameters, 6);
}

// One call of the client. `target` is a class name, or an instance path for GetInstance and
// methods; `flags` are the call's booleans in their order; `properties` is null for no list.
struct Call {
    const char* capture;
    const char* operation;
    const char* target;
    const char* flags;
    const char* properties;
    Array<CIMParamValue> (*parameters)();
};

void PrintTo(const Call& c, std::ostream* out) { *out << c.capture; }

CIMPropertyList propertyList(const char* text) {
    if (text == nullptr) return CIMPropertyList();
    Array<CIMName> names;
    std::istringstream stream(text);
    for (std::string name; std::getline(stream, name, ',');) names.append(CIMName(name.c_str()));
    return CIMPropertyList(names);
}

cimxml::EncodedRequest encode(const Call& c, Uint32 id) {
    auto flag = [&](int i) { return c.flags[i] == '1'; };
    const std::string operation = c.operation;
    const CIMPropertyList properties = propertyList(c.properties);
    if (operation == "EnumerateInstances") {
        return cimxml::encodeEnumerateInstances(id, kNamespace, c.target, flag(0), flag(1), flag(2),
                                                flag(3), properties);
    }
    if (operation == "GetInstance") {
        return cimxml::encodeGetInstance(id, kNamespace, CIMObjectPath(c.target), flag(0), flag(1),
                                         flag(2), properties);
    }
    if (operation == "GetClass") {
        return cimxml::encodeGetClass(id, kNamespace, c.target, flag(0), flag(1), flag(2),
                                      properties);
    }
    return cimxml::encodeInvokeMethod(id, kNamespace, CIMObjectPath(c.target), c.operation,
                                      c.parameters ? c.parameters() : Array<CIMParamValue>());
}

class RequestEncoding : public testing::TestWithParam<Call> {};

TEST_P(RequestEncoding, matchesTheRealClientsRequest) {
    const std::string name = GetParam().capture;
    const capture::Request captured = capture::requestsIn(capture::readFile(
        capture::exists("fake/" + name + ".req") ? "fake/" + name + ".req"
                                                 : "cimserver/" + name + "-conn1.c2s"))[0];

    cimxml::EncodedRequest request = encode(GetParam(), captured.messageId());

    EXPECT_EQ(request.cimMethod, captured.header("CIMMethod"));
    EXPECT_EQ(request.cimObject, captured.header("CIMObject"));
    EXPECT_EQ(request.body, captured.body);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CapturedCalls, RequestEncoding, testing::Values(
    Call{"enum-ok-01", "EnumerateInstances", "CIM_FCPort", "1110", nullptr, nullptr},
    Call{"variants-01", "EnumerateInstances", "CIM_FCPort", "0001", "DeviceID,ElementName", nullptr},
    Call{"variants-03", "EnumerateInstances", "CIM_FCPort", "1100", "", nullptr},
    Call{"get-ok-01", "GetInstance", "CIM_FCPort.SystemName=\"switch-A\",DeviceID=\"port \\\"1\\\" \\\\ x\",CreationClassName=\"CIM_FCPort\",SystemCreationClassName=\"CIM_ComputerSystem\"", "111", nullptr, nullptr},
    Call{"variants-05", "GetInstance", "CIM_SoftwareIdentity.On=true,Num=5,InstanceID=\"a<b>&c\"", "000", "DeviceID,ElementName", nullptr},
    Call{"variants-07", "GetInstance", "//otherhost:5988/root/other:CIM_SoftwareIdentity.On=true,Num=5,InstanceID=\"a<b>&c\"", "100", nullptr, nullptr},
    Call{"getclass-concretejob", "GetClass", "CIM_ConcreteJob", "010", nullptr, nullptr},
    Call{"getclass-fcport-local", "GetClass", "CIM_FCPort", "111", nullptr, nullptr},
    Call{"getclass-proplist", "GetClass", "CIM_ConcreteJob", "010", "JobState,PercentComplete", nullptr},
    Call{"getclass-noqual", "GetClass", "CIM_ConcreteJob", "000", nullptr, nullptr},
    Call{"invoke-ok-01", "RunDiagnostic", "XX_DiagnosticTest.Name=\"diag-1\",CreationClassName=\"XX_DiagnosticTest\"", "", nullptr, diagnosticParameters},
    Call{"variants-09", "Go", "//h2/root/other:XX_Svc.Name=\"n\"", "", nullptr, variedParameters},
    Call{"variants-11", "Go", "XX_Svc", "", nullptr, nullptr}),
    [](const testing::TestParamInfo<Call>& info) { return capture::testName(info.param.capture); });
// clang-format on

}  // namespace
