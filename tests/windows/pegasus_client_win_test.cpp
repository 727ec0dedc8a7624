// Our CIM client on Windows (WinHTTP transport, XmlLite parser) against servers on the build
// machine, started by run_client_tests.py: cimsim with the sample estate, Basic authentication, a
// journal and a class whose enumeration is never answered; a capture server keeping the bytes of
// one request; a port nobody listens on.

#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>
#include <Pegasus/Common/SSLContext.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "testing/client_observer.h"
#include "windows_test_support.h"

using namespace Pegasus;

namespace {

const CIMNamespaceName kNamespace("root/brocade");

Uint32 Port(const char* name) { return static_cast<Uint32>(std::atoi(Environment(name).c_str())); }

std::vector<nlohmann::json> Journal() {
    std::vector<nlohmann::json> entries;
    std::ifstream stream(Environment("BROCADE_TEST_CIMSIM_JOURNAL"));
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty()) entries.push_back(nlohmann::json::parse(line));
    }
    return entries;
}

// The journal entries written since this object was made.
class JournalSince {
  public:
    JournalSince() : start_(Journal().size()) {}
    std::vector<nlohmann::json> entries() const {
        std::vector<nlohmann::json> all = Journal();
        return std::vector<nlohmann::json>(all.begin() + static_cast<long>(start_), all.end());
    }

  private:
    size_t start_;
};

struct Transport {
    const char* name;
    bool tls;
};

void Connect(CIMClient& client, bool tls, const std::string& password) {
    const String user = String::fromUtf8(Environment("BROCADE_TEST_CIMSIM_USER"));
    if (tls) {
        client.connect("127.0.0.1", Port("BROCADE_TEST_CIMSIM_HTTPS_PORT"), SSLContext(String()),
                       user, String::fromUtf8(password));
    } else {
        client.connect("127.0.0.1", Port("BROCADE_TEST_CIMSIM_HTTP_PORT"), user,
                       String::fromUtf8(password));
    }
}

std::set<std::string> Serials(const Array<CIMInstance>& instances) {
    std::set<std::string> serials;
    for (Uint32 i = 0; i < instances.size(); ++i) {
        Uint32 index = instances[i].findProperty("SerialNumber");
        if (index != PEG_NOT_FOUND) {
            serials.insert(instances[i].getProperty(index).getValue().toString().utf8());
        }
    }
    return serials;
}

const std::set<std::string> kSerials = {"BA8250A1742", "CN1020B0913", "BA8250A1788"};

class ClientOverWinHttp : public ::testing::TestWithParam<Transport> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(Environment("BROCADE_TEST_CIMSIM_JOURNAL").empty())
            << "run through run_client_tests.py";
    }
    std::string password = Environment("BROCADE_TEST_CIMSIM_PASSWORD");
};

// The first request goes without credentials, the 401 makes the client repeat it with them, and
// every later request carries them at once: all on one connection.
TEST_P(ClientOverWinHttp, AnswersAfterOneBasicChallengeAndKeepsOneConnection) {
    JournalSince journal;
    CIMClient client;
    Connect(client, GetParam().tls, password);
    EXPECT_EQ(Serials(client.enumerateInstances(kNamespace, "XX_PhysicalPackage")), kSerials);
    EXPECT_EQ(Serials(client.enumerateInstances(kNamespace, "XX_PhysicalPackage")), kSerials);
    client.disconnect();

    std::vector<nlohmann::json> entries = journal.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries[0]["authorization"].get<bool>());
    EXPECT_EQ(entries[0].value("result", ""), "http 401");
    EXPECT_TRUE(entries[1]["authorization"].get<bool>());
    EXPECT_TRUE(entries[2]["authorization"].get<bool>());
    EXPECT_EQ(entries[0]["connection"], entries[1]["connection"]);
    EXPECT_EQ(entries[1]["connection"], entries[2]["connection"]);
}

// Errors of each layer arrive as the same exceptions as on Linux: a CIM error from the body (no
// trailers here), an HTTP error after the single retry.
TEST_P(ClientOverWinHttp, ServerErrorsKeepTheirClassAndText) {
    CIMClient client;
    Connect(client, GetParam().tls, password);
    try {
        client.getInstance(kNamespace, CIMObjectPath("XX_PhysicalPackage.Tag=\"no-such-card\""));
        ADD_FAILURE() << "no CIMException";
    } catch (const CIMException& error) {
        EXPECT_EQ(error.getCode(), CIM_ERR_NOT_FOUND);
        EXPECT_EQ(error.getMessage().utf8().rfind("CIM_ERR_NOT_FOUND: ", 0), 0u)
            << error.getMessage().utf8();
    }

    CIMClient refused;
    Connect(refused, GetParam().tls, "wrong password");
    try {
        refused.enumerateInstances(kNamespace, "XX_PhysicalPackage");
        ADD_FAILURE() << "no CIMClientHTTPErrorException";
    } catch (const CIMClientHTTPErrorException& error) {
        EXPECT_EQ(error.getCode(), 401u);
        EXPECT_EQ(error.getMessage().utf8(), "HTTP Error (401 Unauthorized).");
    }
}

// A request the server never answers ends with ConnectionTimeoutException; that connection is
// dropped (its late answer must not be taken for the next one), and the next operation opens a
// new one by itself and starts again without credentials.
TEST_P(ClientOverWinHttp, TimeoutDropsTheConnectionAndTheNextOperationReconnects) {
    JournalSince journal;
    CIMClient client;
    client.setTimeout(60000);
    Connect(client, GetParam().tls, password);
    EXPECT_EQ(Serials(client.enumerateInstances(kNamespace, "XX_PhysicalPackage")), kSerials);
    // Short only for the request the server ignores: the answered ones keep a time-out that a
    // busy machine under Wine cannot outlast.
    client.setTimeout(1500);
    try {
        client.enumerateInstances(
            kNamespace, CIMName(String::fromUtf8(Environment("BROCADE_TEST_SILENT_CLASS"))));
        ADD_FAILURE() << "no ConnectionTimeoutException";
    } catch (const ConnectionTimeoutException& error) {
        EXPECT_EQ(error.getMessage().utf8(), "connection timed out");
    }
    client.setTimeout(60000);
    EXPECT_EQ(Serials(client.enumerateInstances(kNamespace, "XX_PhysicalPackage")), kSerials);

    std::vector<nlohmann::json> entries = journal.entries();
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2]["class"], Environment("BROCADE_TEST_SILENT_CLASS"));
    EXPECT_EQ(entries[2]["connection"], entries[0]["connection"]);
    EXPECT_NE(entries[3]["connection"], entries[2]["connection"]);
    EXPECT_FALSE(entries[3]["authorization"].get<bool>());
    EXPECT_TRUE(entries[4]["authorization"].get<bool>());
}

// The largest time-out a caller can give neither fails at once nor waits without end; where it
// meets select() in connect() and WinHTTP's time-outs it is a count they take.
TEST_P(ClientOverWinHttp, TheLargestTimeoutLetsAnAnsweredRequestThrough) {
    CIMClient client;
    client.setTimeout(0xFFFFFFFF);
    Connect(client, GetParam().tls, password);
    EXPECT_EQ(Serials(client.enumerateInstances(kNamespace, "XX_PhysicalPackage")), kSerials);
}

struct RefusedSettingScope {
    explicit RefusedSettingScope(const std::string& setting) {
        pegasus_testing::refuseTransportSetting(setting);
    }
    ~RefusedSettingScope() { pegasus_testing::refuseTransportSetting(""); }
};

// Going on with WinHTTP's default would break a promise: automatic authentication or a
// redirect sends a request the client did not ask for, a wait without the caller's time-out
// may never end. WinHTTP takes most of these per request, so the first operation fails, with
// the connect failure's class and text and before anything is sent.
TEST_P(ClientOverWinHttp, ARefusedSettingFailsNamingItAndSendsNothing) {
    std::vector<const char*> settings = {"WINHTTP_OPTION_DISABLE_FEATURE", "WinHttpSetTimeouts",
                                         "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT"};
    if (GetParam().tls) {
        settings.push_back("WINHTTP_OPTION_SECURE_PROTOCOLS");
        settings.push_back("WINHTTP_OPTION_SECURITY_FLAGS");
    }
    const std::string port = Environment(GetParam().tls ? "BROCADE_TEST_CIMSIM_HTTPS_PORT"
                                                        : "BROCADE_TEST_CIMSIM_HTTP_PORT");
    for (const char* setting : settings) {
        SCOPED_TRACE(setting);
        JournalSince journal;
        RefusedSettingScope refused(setting);
        CIMClient client;
        try {
            Connect(client, GetParam().tls, password);
            client.enumerateInstances(kNamespace, "XX_PhysicalPackage");
            ADD_FAILURE() << "no CannotConnectException";
        } catch (const CannotConnectException& error) {
            EXPECT_EQ(error.getMessage().utf8(), "Cannot connect to 127.0.0.1:" + port +
                                                     ". Connection failed. WinHTTP refused " +
                                                     setting + " (error 12009)");
        }
        EXPECT_TRUE(journal.entries().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, ClientOverWinHttp,
                         ::testing::Values(Transport{"http", false}, Transport{"https", true}),
                         [](const ::testing::TestParamInfo<Transport>& info) {
                             return std::string(info.param.name);
                         });

// WinHTTP connects only with the first request; connect() must still fail at once, with the
// Linux client's exception and text.
TEST(ClientConnect, FailsInConnectForAClosedPortAndAnUnknownHost) {
    const Uint32 closed = Port("BROCADE_TEST_CLOSED_PORT");
    ASSERT_NE(closed, 0u);
    CIMClient client;
    // A refused port and an unknown host fail at once; the time-out only bounds a hang.
    client.setTimeout(60000);
    try {
        client.connect("127.0.0.1", closed, "", "");
        ADD_FAILURE() << "no CannotConnectException";
    } catch (const CannotConnectException& error) {
        EXPECT_EQ(error.getMessage().utf8(),
                  "Cannot connect to 127.0.0.1:" + std::to_string(closed) + ". Connection failed.");
    }
    try {
        client.connect("no-such-host.invalid", 5988, "", "");
        ADD_FAILURE() << "no InvalidLocatorException";
    } catch (const InvalidLocatorException& error) {
        EXPECT_EQ(error.getMessage().utf8(), "Invalid locator: no-such-host.invalid:5988");
    }
    EXPECT_THROW(client.enumerateInstances(kNamespace, "XX_PhysicalPackage"),
                 NotConnectedException);
}

// The request as a server sees it. WinHTTP writes the request line and framing itself; what it
// cannot keep as OpenPegasus writes it is named below.
TEST(ClientRequest, HeaderLinesAreOpenPegasusOnesAsFarAsWinHttpAllows) {
    const Uint32 port = Port("BROCADE_TEST_CAPTURE_PORT");
    CIMClient client;
    client.connect("127.0.0.1", port, "", "");
    // The capture server closes without answering.
    EXPECT_THROW(client.enumerateInstances(kNamespace, "CIM_FCPort"),
                 CIMClientMalformedHTTPException);

    std::ifstream stream(Environment("BROCADE_TEST_CAPTURE_FILE"), std::ios::binary);
    ASSERT_TRUE(stream.good()) << "no request captured";
    std::stringstream bytes;
    bytes << stream.rdbuf();
    const std::string request = bytes.str();
    const size_t headerEnd = request.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    std::vector<std::string> lines;
    for (size_t start = 0; start <= headerEnd;) {
        size_t end = request.find("\r\n", start);
        lines.push_back(request.substr(start, end - start));
        start = end + 2;
    }
    const std::string body = request.substr(headerEnd + 4);
    char length[16];
    std::snprintf(length, sizeof length, "%010u", static_cast<unsigned>(body.size()));
    // WinHTTP writes "Host" (not "HOST") itself, and "Connection: Keep-Alive"; "TE: chunked,
    // trailers" is left out on purpose (WinHTTP hands no trailers over).
    std::vector<std::string> ours;
    std::vector<std::string> winHttps;
    for (const std::string& line : lines) {
        bool byWinHttp = line.rfind("Host: ", 0) == 0 || line.rfind("Connection: ", 0) == 0;
        (byWinHttp ? winHttps : ours).push_back(line);
    }
    const std::vector<std::string> expected = {
        "POST /cimom HTTP/1.1",
        "Content-Type: application/xml; charset=utf-8",
        std::string("content-length: ") + length,
        "CIMOperation: MethodCall",
        "CIMMethod: EnumerateInstances",
        "CIMObject: root%2Fbrocade",
    };
    EXPECT_EQ(ours, expected);
    EXPECT_EQ(std::set<std::string>(winHttps.begin(), winHttps.end()),
              (std::set<std::string>{"Host: 127.0.0.1:" + std::to_string(port),
                                     "Connection: Keep-Alive"}));
    EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n", 0), 0u);
}

}  // namespace
