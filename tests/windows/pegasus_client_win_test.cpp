// Our CIM client on Windows (WinHTTP transport, XmlLite parser) against the servers that
// run_with_cimsim.py starts on the build machine (its usage text lists them).

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <Pegasus/Client/CIMClient.h>
#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/SSLContext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "client/local_authentication.h"
#include "http/winhttp_server_check.h"
#include "shared_wire_cases.h"
#include "test_environment.h"
#include "windows_test_support.h"

using namespace Pegasus;

namespace {

const CIMNamespaceName kNamespace("root/brocade");

Uint32 Port(const char* name) { return static_cast<Uint32>(std::atoi(Environment(name).c_str())); }
Uint32 CimsimPort(bool tls) {
    return Port(tls ? "BROCADE_TEST_CIMSIM_HTTPS_PORT" : "BROCADE_TEST_CIMSIM_HTTP_PORT");
}

std::vector<nlohmann::json> Journal(size_t from = 0,
                                    const char* variable = "BROCADE_TEST_CIMSIM_JOURNAL") {
    std::vector<nlohmann::json> entries;
    std::ifstream stream(Environment(variable));
    for (std::string line; std::getline(stream, line);)
        entries.push_back(nlohmann::json::parse(line));
    entries.erase(entries.begin(), entries.begin() + std::min(from, entries.size()));
    return entries;
}

void Connect(CIMClient& client, bool tls,
             const std::string& password = Environment("BROCADE_TEST_CIMSIM_PASSWORD")) {
    const String user = String::fromUtf8(Environment("BROCADE_TEST_CIMSIM_USER"));
    const String secret = String::fromUtf8(password);
    if (!tls) return client.connect("127.0.0.1", CimsimPort(tls), user, secret);
    client.connect("127.0.0.1", CimsimPort(tls), SSLContext(String()), user, secret);
}

// The parameter: whether the connection uses TLS.
class ClientOverWinHttp : public ::testing::TestWithParam<bool> {};

// One 401, then credentials on every request, all on one connection, even under the largest
// time-out (a count for select() and WinHTTP: it must neither fail at once nor wait without end).
// A time-out, waiting or decoding, drops the connection lest its late answer be taken for the
// next request's; the next operation opens a new one, again without credentials at first.
TEST_P(ClientOverWinHttp, OneChallengeOneConnectionUntilATimeoutDropsIt) {
    const size_t journaled = Journal().size();
    CIMClient client;
    client.setTimeout(0xFFFFFFFF);
    Connect(client, GetParam());
    EXPECT_EQ(client.enumerateInstances(kNamespace, "XX_PhysicalPackage").size(), 3u);
    EXPECT_EQ(client.enumerateInstances(kNamespace, "XX_PhysicalPackage").size(), 3u);
    // Short only for the request the server ignores: the answered ones keep a time-out that a
    // busy machine under Wine cannot outlast.
    client.setTimeout(1500);
    const String silentClass = String::fromUtf8(Environment("BROCADE_TEST_SILENT_CLASS"));
    EXPECT_EQ(failure_text::of([&] { client.enumerateInstances(kNamespace, silentClass); }),
              "ConnectionTimeoutException: connection timed out");
    client.setTimeout(60000);
    // Decoding (XmlLite's runs in the finish call) past the deadline fails as a late answer.
    pegasus_testing::setDecodingDeadlinePassed(true);
    EXPECT_EQ(
        failure_text::of([&] { client.enumerateInstances(kNamespace, "XX_PhysicalPackage"); }),
        "ConnectionTimeoutException: connection timed out");
    pegasus_testing::setDecodingDeadlinePassed(false);
    EXPECT_EQ(client.enumerateInstances(kNamespace, "XX_PhysicalPackage").size(), 3u);

    const std::vector<nlohmann::json> entries = Journal(journaled);
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].value("result", ""), "http 401");
    EXPECT_EQ(entries[3]["class"], Environment("BROCADE_TEST_SILENT_CLASS"));
    // Per request: "a" on the first connection, "b" on another; "+" with credentials, "-" without.
    std::string requests;
    for (const nlohmann::json& entry : entries) {
        requests += entry["connection"] == entries[0]["connection"] ? "a" : "b";
        requests += entry["authorization"] == "Basic" ? "+" : "-";
    }
    EXPECT_EQ(requests, "a-a+a+a+b-b+b-b+");
}

// A second 401, after the one retry with credentials, is an HTTP error with its status text. (CIM
// errors come in the body, no trailers being asked for: the capture replay decodes them.)
TEST_P(ClientOverWinHttp, RefusedCredentialsAreAnHttpError) {
    CIMClient refused;
    Connect(refused, GetParam(), "wrong password");
    EXPECT_EQ(
        failure_text::of([&] { refused.enumerateInstances(kNamespace, "XX_PhysicalPackage"); }),
        "CIMClientHTTPErrorException: HTTP Error (401 Unauthorized).");
}

// Going on with WinHTTP's default would break a promise: automatic authentication or a
// redirect sends a request the client did not ask for, a wait without the caller's time-out
// may never end. WinHTTP takes most of these per request, so the first operation fails, with
// the connect failure's class and text and before anything is sent.
TEST_P(ClientOverWinHttp, ARefusedSettingFailsNamingItAndSendsNothing) {
    for (const char* setting :
         {"WINHTTP_OPTION_DISABLE_FEATURE", "WinHttpSetTimeouts",
          "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT", "WINHTTP_OPTION_SECURE_PROTOCOLS",
          "WINHTTP_OPTION_SECURITY_FLAGS"}) {
        if (!GetParam() && std::strstr(setting, "_SECUR") != nullptr) continue;  // TLS only
        SCOPED_TRACE(setting);
        const size_t journaled = Journal().size();
        shared_wire_cases::RefusedSettingScope refused(setting);
        CIMClient client;
        EXPECT_EQ(failure_text::of([&] {
                      Connect(client, GetParam());
                      client.enumerateInstances(kNamespace, "XX_PhysicalPackage");
                  }),
                  shared_wire_cases::cannotConnect(CimsimPort(GetParam())) + " WinHTTP refused " +
                      setting + " (error 12009)");
        EXPECT_EQ(Journal(journaled), std::vector<nlohmann::json>{});
    }
}

// The local server over TCP, as OpenPegasus reaches it on Windows: the user's name, then the
// secret from the file the server names on every request, since the server judges each one;
// HTTPS is not verified. Last of the suite: Wine's WinHTTP keeps the connection let in for the
// process's later clients, which would then skip the challenges the tests above count.
TEST_P(ClientOverWinHttp, PassesTheLocalAuthenticationWithTheSecretTheServerWrote) {
    const size_t journaled = Journal().size();
    ScopedEnvironment local("CIMCLIENT_LOCAL_URL",
                            std::string(GetParam() ? "https" : "http") +
                                "://127.0.0.1:" + std::to_string(CimsimPort(GetParam())));
    CIMClient client;
    client.connectLocal();
    EXPECT_EQ(client.enumerateInstances(kNamespace, "XX_PhysicalPackage").size(), 3u);
    EXPECT_EQ(client.enumerateInstances(kNamespace, "XX_PhysicalPackage").size(), 3u);
    std::vector<std::string> carried;
    for (const nlohmann::json& entry : Journal(journaled)) {
        carried.push_back(entry["authorization"].get<std::string>());
    }
    EXPECT_EQ(carried, (std::vector<std::string>{"Local-user", "Local-secret", "Local-secret"}));
}

INSTANTIATE_TEST_SUITE_P(HttpAndHttps, ClientOverWinHttp, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "https" : "http"; });

// WinHTTP connects only with the first request; connect() must still fail at once, as on Linux.
TEST(ClientConnect, FailsInConnectForAClosedPortAndAnUnknownHost) {
    ASSERT_NE(Port("BROCADE_TEST_CLOSED_PORT"), 0u);
    shared_wire_cases::expectConnectFailures(Port("BROCADE_TEST_CLOSED_PORT"));
}

// The request as a server sees it. WinHTTP writes the request line and framing itself; what it
// cannot keep as OpenPegasus writes it is named below.
TEST(ClientRequest, HeaderLinesAreOpenPegasusOnesAsFarAsWinHttpAllows) {
    const Uint32 port = Port("BROCADE_TEST_SCRIPTED_PORT");
    CIMClient client;
    client.connect("127.0.0.1", port, "", "");
    // The scripted server closes without answering.
    EXPECT_THROW(client.enumerateInstances(kNamespace, "CIM_FCPort"),
                 CIMClientMalformedHTTPException);

    const std::vector<nlohmann::json> journal = Journal(0, "BROCADE_TEST_SCRIPTED_JOURNAL");
    ASSERT_FALSE(journal.empty()) << "no request journaled";
    const std::string head = journal[0]["head"], body = journal[0]["body"];
    // WinHTTP writes "Host" (not "HOST") and "Connection: Keep-Alive" itself, where it likes;
    // "TE: chunked, trailers" is left out on purpose (WinHTTP hands no trailers over).
    const std::regex winHttps("\r\n((Host|Connection): [^\r]*)");
    EXPECT_EQ(
        std::set<std::string>(std::sregex_token_iterator(head.begin(), head.end(), winHttps, 1),
                              std::sregex_token_iterator()),
        (std::set<std::string>{"Host: 127.0.0.1:" + std::to_string(port),
                               "Connection: Keep-Alive"}));
    char ours[256];
    std::snprintf(ours, sizeof ours,
                  "POST /cimom HTTP/1.1\r\nContent-Type: application/xml; charset=utf-8\r\n"
                  "content-length: %010u\r\nCIMOperation: MethodCall\r\n"
                  "CIMMethod: EnumerateInstances\r\nCIMObject: root%%2Fbrocade",
                  static_cast<unsigned>(body.size()));
    EXPECT_EQ(std::regex_replace(head, winHttps, ""), ours);
    EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n", 0), 0u);
}

// Without CIMCLIENT_LOCAL_URL the usual ports are tried only where LocalSystem listens. Under
// Wine none of its processes does, and a Linux process's socket has no owner to be learnt.
TEST(ClientConnectLocal, FallsBackOnlyToAServerThatSystemStarted) {
    ScopedEnvironment unnamed("CIMCLIENT_LOCAL_URL", "");
    CIMClient client;
    EXPECT_EQ(failure_text::of([&] { client.connectLocal(); }),
              shared_wire_cases::cannotConnect(5989) +
                  " The fallback to port 5989 was not tried: no server that SYSTEM started "
                  "listens there.");
}

// A secret is read only from a folder that no other account may change, nor reach through a
// link, up to the drive (run_with_cimsim.py makes them; Wine shows Unix modes as lists).
TEST(LocalSecret, ReadOnlyFromAFolderNoOtherAccountMayChange) {
    const std::string folders = Environment("BROCADE_TEST_FOLDERS");
    const struct {
        std::string folder, refusal;
    } cases[] = {
        {folders + "\\private", ""},
        {folders + "\\open\\localauth", "whose folder " + folders + "\\open others may change."},
        {folders + "\\link", "whose folder " + folders + "\\link is a link."},
        {"",
         "but no folder of local authentication secrets is set (CIMCLIENT_LOCAL_AUTH_DIR, "
         "with CIMCLIENT_LOCAL_URL)."},
    };
    for (const auto& row : cases) {
        const std::string file =
            (row.folder.empty() ? folders + "\\private" : row.folder) + "\\secret";
        std::string outcome;
        try {
            outcome = localAnswerField("me", file, row.folder, kUnknownOwner);
        } catch (const LocalSecretRefused& refused) {
            outcome = refused.what();
        }
        const std::string named = row.folder.empty() ? file : row.folder + "/secret";
        EXPECT_EQ(outcome, row.refusal.empty() ? "Local \"me:" + file + ":s3cret\""
                                               : "The server's local authentication names \"" +
                                                     named + "\", " + row.refusal);
    }
}

std::string reported;  // "DEPTH:ERROR " of each certificate the callback is told fails

Boolean Report(SSLCertificateInfo& info) {
    if (info.getErrorCode() != 0) {
        reported +=
            std::to_string(info.getErrorDepth()) + ":" + std::to_string(info.getErrorCode()) + " ";
    }
    return true;
}

// The chains run_with_cimsim.py makes, as the server would send them (server first), against a
// trust store: the errors the check reports, OpenSSL 3's first one at each depth (as `openssl
// verify -purpose sslserver` prints it), and the certificate refused without a callback.
TEST(ServerCertificateCheck, RefusesWhatOpenSslRefusesForATlsServer) {
    const std::string chains = Environment("BROCADE_TEST_CHAINS") + "\\";
    const struct {
        const char *sent, *trustStore, *errors;
    } cases[] = {
        {"server ca", "root", ""},
        {"server-of-unconstrained ca-unconstrained", "root", "1:79 "},
        {"server-of-no-cert-sign ca-without-cert-sign", "root", "1:79 "},
        {"server-too-deep ca-under-pathlen-0", "root-pathlen-0", "2:25 "},
        {"client-only", "root", "0:26 "},
        {"cert-sign-only", "root", "0:26 "},
        {"unknown-critical", "root", "0:34 "},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.sent);
        HCERTSTORE sent = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
        std::istringstream names(row.sent);
        const CERT_CONTEXT* server = nullptr;
        for (std::string name; names >> name;) {
            std::ifstream file(chains + name + ".der", std::ios::binary);
            const std::string der((std::istreambuf_iterator<char>(file)), {});
            ASSERT_TRUE(CertAddEncodedCertificateToStore(
                sent, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, server ? nullptr : &server));
        }
        const String trustStore = String::fromUtf8(chains + row.trustStore + ".pem");
        reported.clear();
        EXPECT_TRUE(http::checkServerCertificate(server, SSLContext(trustStore, Report)).accepted);
        EXPECT_EQ(reported, row.errors);
        EXPECT_EQ(http::checkServerCertificate(server, SSLContext(trustStore)).accepted,
                  reported.empty());
        CertFreeCertificateContext(server);
        CertCloseStore(sent, 0);
    }
}

}  // namespace
