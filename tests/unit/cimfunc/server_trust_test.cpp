// The trust setting against HTTPS servers, the same table on Linux and under Wine: cimsim's own
// self-signed CN=cimsim certificate, and a second cimsim whose certificate names IP:127.0.0.1,
// both started and named in the environment by tests/windows/run_with_cimsim.py.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "cim_test_support.h"
#include "cimfunc.h"
#include "loopback_connection.h"
#include "server_trust.h"
#include "test_environment.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

enum Server { Cimsim, SanCertificate };

const char* const kDirectory = "(a directory)";
const char* const kMissing = "(missing)";

struct Case {
    const char* what;
    Server server;
    // The setting's text, its placeholders replaced; nullptr for no variable naming a setting,
    // kMissing for a file that does not exist, kDirectory for a directory in its place.
    const char* setting;
    // Empty when the connection must succeed, else the start of the level-1 line saying why not.
    std::string refusal;
    // Pins keyed by server name others only: one level-2 line says this one is not pinned.
    bool unnamedServer = false;
};

const Case kCases[] = {
    {"no setting", Cimsim, nullptr, ""},
    {"right pin", Cimsim, R"({"pins": ["CIMSIM_PIN"]})", ""},
    {"right pin for this server, no colons, lower case", Cimsim,
     R"({"pins": {"CIMSIM_SERVER": "cimsim_pin_plain"}})", ""},
    {"wrong pin", Cimsim, R"({"pins": ["SAN_PIN"]})", "(pin check); its SHA-256 fingerprint is "},
    {"another server's pin does not apply", SanCertificate,
     R"({"pins": {"CIMSIM_SERVER": "CIMSIM_PIN"}})", "", true},
    {"CA bundle holding the certificate", Cimsim, R"({"ca_bundle": "CIMSIM_PEM"})", ""},
    {"CA bundle without it", Cimsim, R"({"ca_bundle": "SAN_PEM"})",
     "(chain check); its SHA-256 fingerprint is "},
    {"host name against CN=cimsim", Cimsim, R"({"check_host_name": true})",
     "(host name check); its SHA-256 fingerprint is "},
    {"host name against a SAN of 127.0.0.1", SanCertificate,
     R"({"check_host_name": true, "ca_bundle": "SAN_PEM", "pins": ["SAN_PIN"]})", ""},
    {"malformed: not JSON", SanCertificate, R"({"pins": [)", "Trust setting "},
    {"malformed: a misspelt key", SanCertificate, R"({"check_hostname": true})", "Trust setting "},
    {"malformed: a pin of the wrong length", SanCertificate, R"({"pins": ["AB:CD"]})",
     "Trust setting "},
    {"refused: checks nothing", SanCertificate, R"({})", "Trust setting "},
    {"refused: checks nothing, host name off", SanCertificate, R"({"check_host_name": false})",
     "Trust setting "},
    {"refused: a CA bundle that holds no certificate", SanCertificate,
     R"({"ca_bundle": "SETTING_FILE"})", "Trust setting "},
    {"unreadable: not a regular file", SanCertificate, kDirectory, "Trust setting "},
    {"named but missing", SanCertificate, kMissing, "Trust setting "},
};

// Requests cimsim has journaled so far that carried credentials or a CIM operation: a refused
// server must never get one. (Under Wine the request with which connect() makes WinHTTP open the
// TLS connection reaches the server, bare, although the check cancels it; see README.md.)
size_t JournaledRequests() {
    std::ifstream journal(Environment("BROCADE_TEST_CIMSIM_JOURNAL"));
    size_t requests = 0;
    for (std::string line; std::getline(journal, line);) {
        if (line.find("\"authorization\": true") != std::string::npos ||
            line.find("\"operation\": \"\"") == std::string::npos) {
            ++requests;
        }
    }
    return requests;
}

std::string Replaced(std::string text, const std::string& name, const std::string& value) {
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
        text.replace(at, name.size(), value);
        at += value.size();
    }
    return text;
}

std::string Plain(std::string fingerprint) {
    std::string plain;
    for (char c : fingerprint) {
        if (c != ':') plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return plain;
}

// JSON strings hold Windows paths' backslashes only escaped.
std::string JsonPath(const std::string& path) { return Replaced(path, "\\", "\\\\"); }

using ServerTrustTable = CimTest;

}  // namespace

TEST_F(ServerTrustTable, EachSettingConnectsOrRefusesWithOneLineSayingWhy) {
    const std::string cimsimPort = Environment("BROCADE_TEST_CIMSIM_HTTPS_PORT");
    ASSERT_FALSE(cimsimPort.empty()) << "run through tests/windows/run_with_cimsim.py";
    const std::string settingPath = Environment("BROCADE_TEST_TRUST_SETTING");
    const std::string password = Environment("BROCADE_TEST_CIMSIM_PASSWORD");
    // The pins are the certificates' fingerprints as openssl prints them: upper case, colons.
    const std::pair<const char*, std::string> placeholders[] = {
        {"CIMSIM_PEM", JsonPath(Environment("BROCADE_TEST_CIMSIM_CERTIFICATE"))},
        {"SAN_PEM", JsonPath(Environment("BROCADE_TEST_SAN_CERTIFICATE"))},
        {"cimsim_pin_plain", Plain(Environment("BROCADE_TEST_CIMSIM_PIN"))},
        {"CIMSIM_PIN", Environment("BROCADE_TEST_CIMSIM_PIN")},
        {"SAN_PIN", Environment("BROCADE_TEST_SAN_PIN")},
        {"CIMSIM_SERVER", "127.0.0.1:" + cimsimPort},
        {"SETTING_FILE", JsonPath(settingPath)},
    };
    for (const Case& test : kCases) {
        StartCounting();
        std::remove(settingPath.c_str());
        const std::string path = test.setting == kDirectory
                                     ? settingPath.substr(0, settingPath.find_last_of("/\\"))
                                     : settingPath;
        if (test.setting != nullptr && test.setting != kDirectory && test.setting != kMissing) {
            std::string setting = test.setting;
            for (const auto& [name, value] : placeholders) setting = Replaced(setting, name, value);
            std::ofstream(settingPath, std::ios::binary) << setting;
        }
        const ScopedEnvironment trust("VORNET_BROCADE_TRUST", test.setting ? path : "");
        const auto info = LoopbackConnection(
            static_cast<unsigned short>(
                std::stoi(Environment(test.server == Cimsim ? "BROCADE_TEST_CIMSIM_HTTPS_PORT"
                                                            : "BROCADE_TEST_SAN_HTTPS_PORT"))),
            Environment("BROCADE_TEST_CIMSIM_USER"), password, true);
        const size_t journaledBefore = JournaledRequests();
        CimFunc cimFunc(Pegasus::CIMNamespaceName("root/brocade"), info);
        const size_t journaledByConnect = JournaledRequests() - journaledBefore;
        // A client that connected must also be able to ask, twice: the second server closes the
        // connection after each answer, so the second request goes over a new connection that
        // the client opens within the operation, and it must be trusted as well.
        bool usable = cimFunc.GetClient() != nullptr;
        for (int request = 0; usable && request < 2; ++request) {
            try {
                usable = cimFunc.Ask(60000, [&](Pegasus::CIMClient& client) {
                    usable = client
                                 .enumerateInstances(Pegasus::CIMNamespaceName("root/brocade"),
                                                     Pegasus::CIMName("CIM_PhysicalPackage"))
                                 .size() > 0;
                }) && usable;
            } catch (const Pegasus::Exception& error) {
                ADD_FAILURE() << test.what << ": " << error.getMessage().getCString();
                usable = false;
            }
        }
        const auto errors = Lines(1);
        size_t unnamedLines = 0;
        for (const std::string& warning : Lines(2)) {
            unnamedLines += warning.find(" pins no certificate for cimserver 127.0.0.1:" +
                                         std::to_string(info.port)) != std::string::npos;
        }
        EXPECT_EQ(unnamedLines, test.unnamedServer ? 1u : 0u) << test.what;
        for (const std::string& text : log.Texts()) {
            EXPECT_EQ(text.find(password), std::string::npos) << test.what << ": " << text;
        }
        if (test.refusal.empty()) {
            EXPECT_TRUE(usable) << test.what;
            EXPECT_TRUE(errors.empty()) << test.what << ": " << (errors.empty() ? "" : errors[0]);
            continue;
        }
        EXPECT_EQ(cimFunc.GetClient(), nullptr) << test.what;
        EXPECT_EQ(journaledByConnect, 0u) << test.what;
        if (test.refusal == "Trust setting ") {
            // No attempt at all: nothing is sent to any server.
            ASSERT_EQ(errors.size(), 1u) << test.what;
            EXPECT_EQ(errors[0].rfind("Trust setting " + path + " ", 0), 0u) << errors[0];
            EXPECT_EQ(Count(pegasus_testing::ClientEvent::Connect), 0u) << test.what;
            EXPECT_TRUE(pauses.empty()) << test.what;
            continue;
        }
        EXPECT_EQ(Count(pegasus_testing::ClientEvent::Connect), 3u) << test.what;
        ASSERT_EQ(errors.size(), 2u) << test.what;
        EXPECT_EQ(errors[0].rfind("Failed to connect remote cimserver with the reason: ", 0), 0u)
            << errors[0];
        const std::string expected =
            "Refused the certificate of cimserver 127.0.0.1:" + std::to_string(info.port) + " " +
            test.refusal + Environment("BROCADE_TEST_CIMSIM_PIN");
        EXPECT_EQ(errors[1], expected) << test.what;
    }
    std::remove(settingPath.c_str());
}

// The callback decides each connection whole, with the checks of the server it is made for: a
// certificate that passed before is not trusted where no server's checks are in force, and a
// fault OpenSSL reports of an issuer after the server's own certificate was decided takes that
// verdict back.
TEST(ServerTrustCallback, DecidesEveryConnectionWholeAndTakesBackALeafBeforeABrokenChain) {
    std::ifstream file(Environment("BROCADE_TEST_CIMSIM_CERTIFICATE"));
    const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(pem.empty()) << "run through tests/windows/run_with_cimsim.py";
    const auto certificate = [&pem](Pegasus::Uint32 depth, bool preverified) {
        return Pegasus::SSLCertificateInfo("", "", depth, preverified ? 0 : 20, preverified,
                                           Pegasus::String(pem.c_str()));
    };
    TrustSetting setting = ParseTrustSetting(
        R"({"ca_bundle": ")" + JsonPath(Environment("BROCADE_TEST_CIMSIM_CERTIFICATE")) + R"("})",
        "trust.json");
    ASSERT_EQ(setting.state, TrustSetting::State::Valid) << setting.fault;
    ServerTrust trust(setting, "127.0.0.1", 5989);
    Pegasus::SSLCertificateVerifyFunction* verify = trust.Callback();
    {
        const ServerTrust::Attempt attempt(trust);
        auto leaf = certificate(0, true);
        EXPECT_TRUE(verify(leaf));
    }
    auto again = certificate(0, true);
    EXPECT_FALSE(verify(again));
    {
        const ServerTrust::Attempt attempt(trust);
        auto leaf = certificate(0, true);
        auto issuer = certificate(1, false);
        EXPECT_TRUE(verify(leaf));
        EXPECT_FALSE(verify(issuer));
        EXPECT_EQ(trust.Refusal().rfind("Refused the certificate of cimserver 127.0.0.1:5989 "
                                        "(chain check)",
                                        0),
                  0u);
    }
}

// Subject alternative name and common name "good.com\0.evil": read short, they would pass for
// good.com.
TEST(ServerTrustCallback, ANameHoldingANulMatchesNoHost) {
    const char* const kNulNamed =
        "-----BEGIN CERTIFICATE-----\n"
        "MIIBSjCB8qADAgECAgEBMAoGCCqGSM49BAMCMBkxFzAVBgNVBAMMDmdvb2QuY29t\n"
        "AC5ldmlsMCAXDTI2MDEwMTAwMDAwMFoYDzIxMjUxMjA4MDAwMDAwWjAZMRcwFQYD\n"
        "VQQDDA5nb29kLmNvbQAuZXZpbDBZMBMGByqGSM49AgEGCCqGSM49AwEHA0IABP2a\n"
        "iZg5BYHuZ1KL70GbYCa8Md8IRQAS2hoAWyhPLCHWOmGz3E054SfC4yUD2bNJkldC\n"
        "Bx5NeTbaiWpwBFS/7tajKTAnMCUGA1UdEQQeMByCDmdvb2QuY29tAC5ldmlsggpv\n"
        "dGhlci50ZXN0MAoGCCqGSM49BAMCA0cAMEQCIDUP7o3otnyrVoRUP8TGJSAdswTQ\n"
        "1acZpisdEIrNU36sAiAbfx1SOxOx+XLABzYiTihgBbber75KIGOtPabKxkaedg==\n"
        "-----END CERTIFICATE-----\n";
    const TrustSetting setting = ParseTrustSetting(R"({"check_host_name": true})", "trust.json");
    ServerTrust trust(setting, "good.com", 5989);
    const ServerTrust::Attempt attempt(trust);
    Pegasus::SSLCertificateInfo leaf("", "", 0, 0, true, Pegasus::String(kNulNamed));
    EXPECT_FALSE(trust.Callback()(leaf));
    EXPECT_NE(trust.Refusal().find("(host name check)"), std::string::npos);
}
