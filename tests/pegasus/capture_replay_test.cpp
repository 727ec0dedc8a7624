// Every response that OpenPegasus's client received in the captures, decoded
// by our layers below the socket, must give the values, path texts and
// exceptions that the real client printed.
#include <gtest/gtest.h>

#include <regex>

#include "capture_files.h"
#include "response_checks.h"
#include "response_decoder.h"

using namespace Pegasus;

namespace {

struct Request {
    std::string method;  // CIMMethod header
    Uint32 messageId = 0;
};

// Splits a client-to-server byte stream into its requests.
std::vector<Request> requestsIn(const std::string& bytes) {
    std::vector<Request> requests;
    static const std::regex method("CIMMethod: ([^\r]+)\r\n");
    static const std::regex id("<MESSAGE ID=\"([0-9]+)\"");
    size_t offset = 0;
    while (true) {
        size_t headerEnd = bytes.find("\r\n\r\n", offset);
        if (headerEnd == std::string::npos) break;
        std::string head = bytes.substr(offset, headerEnd - offset + 2);
        size_t lengthAt = head.find("content-length: ");
        size_t length = std::stoul(head.substr(lengthAt + 16, 10));
        std::string body = bytes.substr(headerEnd + 4, length);
        std::smatch match;
        Request request;
        if (std::regex_search(head, match, method)) request.method = match[1];
        if (std::regex_search(body, match, id)) request.messageId = std::stoul(match[1]);
        requests.push_back(request);
        offset = headerEnd + 4 + length;
    }
    return requests;
}

struct Exchange {
    Request request;
    http::HttpResponse response;
};

// fake/TAG-NN.req and .rsp files in their order, or cimserver/TAG-conn1 streams.
std::vector<Exchange> exchangesOf(const std::string& tag) {
    std::vector<Request> requests;
    std::vector<http::HttpResponse> responses;
    if (capture::exists("cimserver/" + tag + "-conn1.c2s")) {
        requests = requestsIn(capture::readFile("cimserver/" + tag + "-conn1.c2s"));
        responses = capture::responsesIn(capture::readFile("cimserver/" + tag + "-conn1.s2c"));
    } else {
        for (int number = 1; number < 20; ++number) {
            char suffix[8];
            std::snprintf(suffix, sizeof suffix, "-%02d", number);
            std::string base = "fake/" + tag + suffix;
            if (capture::exists(base + ".req")) {
                for (const Request& request : requestsIn(capture::readFile(base + ".req"))) {
                    requests.push_back(request);
                }
            } else if (capture::exists(base + ".rsp")) {
                for (auto& response : capture::responsesIn(capture::readFile(base + ".rsp"))) {
                    responses.push_back(response);
                }
            }
        }
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
            const std::string& method = exchange.request.method;
            if (method == "EnumerateInstances") {
                Array<CIMInstance> instances =
                    cimxml::decodeEnumerateInstances(response.body, exchange.request.messageId);
                for (Uint32 i = 0; i < instances.size(); ++i) {
                    capture::renderInstance(instances[i], lines);
                }
            } else if (method == "GetInstance") {
                capture::renderInstance(
                    cimxml::decodeGetInstance(response.body, exchange.request.messageId), lines);
            } else if (method == "GetClass") {
                capture::renderClass(
                    cimxml::decodeGetClass(response.body, exchange.request.messageId), lines);
            } else {
                Array<CIMParamValue> out;
                CIMValue returned = cimxml::decodeInvokeMethod(
                    response.body, exchange.request.messageId, CIMName(method.c_str()), out);
                capture::renderMethodResult(returned, out, lines);
            }
        } catch (const Exception& error) {
            if (classProbe) {
                capture::renderClassException(error, lines);
            } else {
                capture::renderException(error, lines);
            }
            return typeid(error).name();
        }
    }
    return "";
}

class CaptureReplay : public testing::TestWithParam<const char*> {};

TEST_P(CaptureReplay, decodesWhatTheRealClientDecoded) {
    std::string tag = GetParam();
    std::string probeOutput = probeOutputOf(tag);
    std::vector<std::string> lines;
    std::string thrown = replay(exchangesOf(tag), isClassProbe(tag), lines);
    std::vector<std::string> expected;
    if (isClassProbe(tag)) {
        expected = capture::classProbeLines(probeOutput);
    } else {
        EXPECT_EQ(thrown, capture::thrownType(probeOutput));
        expected = capture::detailLines(probeOutput);
    }
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
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
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::regex_replace(info.param, std::regex("[^A-Za-z0-9]"), "_");
                         });

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
    [](const testing::TestParamInfo<const char*>& info) {
        return std::regex_replace(info.param, std::regex("[^A-Za-z0-9]"), "_");
    });

}  // namespace
