#include "server_trust.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>

#include "certificate_facts.h"
#include "log_line.h"

namespace {

thread_local ServerTrust* current = nullptr;

// The 4 or 16 bytes of an IPv4 or IPv6 literal, as a certificate's IP names hold them; empty when
// `host` is a name.
std::string AddressBytes(const std::string& host) {
    unsigned char bytes[16];
    if (inet_pton(AF_INET, host.c_str(), bytes) == 1) {
        return std::string(reinterpret_cast<char*>(bytes), 4);
    }
    if (inet_pton(AF_INET6, host.c_str(), bytes) == 1) {
        return std::string(reinterpret_cast<char*>(bytes), 16);
    }
    return std::string();
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// As certificate tools print it, so that an operator can compare it with theirs.
std::string Printed(const std::string& fingerprint) {
    std::string printed;
    for (std::size_t i = 0; i < fingerprint.size(); i += 2) {
        if (!printed.empty()) printed += ':';
        printed += fingerprint.substr(i, 2);
    }
    std::transform(printed.begin(), printed.end(), printed.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return printed;
}

// A certificate's DNS name against the host: case-insensitive; a wildcard only as the whole
// leftmost label, standing for exactly one label, and never for an address.
bool NameMatches(const std::string& pattern, const std::string& host) {
    const std::string name = LowerCase(pattern);
    if (name.compare(0, 2, "*.") != 0) return name == host;
    const std::size_t dot = host.find('.');
    return dot != std::string::npos && dot > 0 &&
           host.compare(dot, std::string::npos, name, 1, std::string::npos) == 0 &&
           std::count(name.begin(), name.end(), '.') >= 2;
}

bool HostMatches(const CertificateFacts& facts, const std::string& host) {
    const std::string address = AddressBytes(host);
    if (facts.dnsNames.empty() && facts.ipAddresses.empty()) {
        return !facts.commonName.empty() && (address.empty() ? NameMatches(facts.commonName, host)
                                                             : LowerCase(facts.commonName) == host);
    }
    if (!address.empty()) {
        return std::find(facts.ipAddresses.begin(), facts.ipAddresses.end(), address) !=
               facts.ipAddresses.end();
    }
    return std::any_of(facts.dnsNames.begin(), facts.dnsNames.end(),
                       [&](const std::string& name) { return NameMatches(name, host); });
}

}  // namespace

ServerTrust::ServerTrust(const TrustSetting& setting, const std::string& host, unsigned int port)
    : setting(setting),
      host(LowerCase(host)),
      serverKey(LowerCase(host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
                std::to_string(port)) {
    ReportUnnamedServer();
}

// Pins keyed by server leave a server they do not name unpinned: right for another server, but
// a key written otherwise than the module names this one (an IPv6 address without brackets, a
// short name for a full one) would switch its pins off silently. Said once a process for each
// setting and server.
void ServerTrust::ReportUnnamedServer() const {
    if (setting.state != TrustSetting::State::Valid || setting.pinsByServer.empty() ||
        setting.pinsByServer.count(serverKey) != 0) {
        return;
    }
    static std::mutex lock;
    static std::set<std::string> reported;
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (reported.size() >= 1024 || !reported.insert(setting.path + "\n" + serverKey).second) {
            return;
        }
    }
    std::string named;
    for (const auto& pinned : setting.pinsByServer) {
        named += (named.empty() ? "" : ", ") + pinned.first;
    }
    VORNET_LOG(2) << "Trust setting " << setting.path << " pins no certificate for cimserver "
                  << serverKey << " (its \"pins\" name " << named << ")";
}

Pegasus::String ServerTrust::TrustStore() const {
    return setting.state == TrustSetting::State::Valid ? Pegasus::String(setting.caBundle.c_str())
                                                       : Pegasus::String();
}

Pegasus::SSLCertificateVerifyFunction* ServerTrust::Callback() const {
    return setting.state == TrustSetting::State::Valid ? &ServerTrust::Verify : nullptr;
}

ServerTrust::Attempt::Attempt(ServerTrust& trust) : previous(current) {
    trust.chainBroken = false;
    trust.leafFingerprint.clear();
    trust.refusal.clear();
    current = &trust;
}

ServerTrust::Attempt::~Attempt() { current = previous; }

Pegasus::Boolean ServerTrust::Verify(Pegasus::SSLCertificateInfo& certificate) {
    try {
        // A connection opened where no server's checks are in force trusts nobody.
        return current != nullptr && current->Decide(certificate);
    } catch (...) {
        return false;
    }
}

bool ServerTrust::Refuse(const std::string& check, const std::string& fingerprint) {
    refusal = "Refused the certificate of cimserver " + serverKey + " (" + check +
              " check); its SHA-256 fingerprint is " +
              (fingerprint.empty() ? "unknown" : Printed(fingerprint));
    return false;
}

// The certificates above the server's own are only looked at for the chain; the verdict waits
// for the server's own (depth 0, always the last), so that the operator is shown the
// fingerprint to pin, not an issuer's.
bool ServerTrust::Decide(const Pegasus::SSLCertificateInfo& certificate) {
    const bool chainChecked = !setting.caBundle.empty();
    if (chainChecked && !certificate.getResponseCode()) chainBroken = true;
    if (certificate.getErrorDepth() != 0) {
        // OpenSSL may report a fault of an issuer after the leaf was decided (name constraints,
        // policies): the verdict given is taken back.
        if (chainBroken && !leafFingerprint.empty()) return Refuse("chain", leafFingerprint);
        return true;
    }

    CertificateFacts facts;
    const std::string pem(static_cast<const char*>(certificate.getPeerCertificate().getCString()));
    if (!ReadCertificate(pem, facts)) {
        return Refuse("certificate", std::string());
    }
    if (chainBroken) return Refuse("chain", facts.sha256);
    const auto pinned = setting.pinsByServer.find(serverKey);
    const std::vector<std::string>* pins =
        pinned != setting.pinsByServer.end() ? &pinned->second : &setting.pinsForEveryServer;
    if (!pins->empty() && std::find(pins->begin(), pins->end(), facts.sha256) == pins->end()) {
        return Refuse("pin", facts.sha256);
    }
    if (setting.checkHostName && !HostMatches(facts, host)) {
        return Refuse("host name", facts.sha256);
    }
    leafFingerprint = facts.sha256;
    return true;
}
