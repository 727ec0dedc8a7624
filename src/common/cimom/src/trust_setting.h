#ifndef VORNET_TRUST_SETTING_H
#define VORNET_TRUST_SETTING_H

#include <map>
#include <string>
#include <vector>

// How the module decides whether to trust an HTTPS server before it sends it credentials, as an
// operator set it in a JSON file (the README's "Trusting HTTPS servers" shows the form).
struct TrustSetting {
    enum class State {
        Absent,  // no file: any certificate is accepted, as without the setting
        Valid,
        Faulty,  // a file that cannot be used: no HTTPS server is to be connected
    };
    State state = State::Absent;
    std::string path;   // the file looked at
    std::string fault;  // why a Faulty setting cannot be used
    // A PEM file of certificates the server's chain must lead to; empty for no chain check.
    std::string caBundle;
    // SHA-256 fingerprints of acceptable server certificates, 64 lower-case hex digits each.
    // `pinsForEveryServer` applies to all servers; `pinsByServer`, keyed by lower-case
    // "host:port", to the server named (and a server not named there is not pinned).
    std::vector<std::string> pinsForEveryServer;
    std::map<std::string, std::vector<std::string>> pinsByServer;
    bool checkHostName = false;
};

// The setting in the file named by VORNET_BROCADE_TRUST, else in brocade_trust.json beside the
// module's library file. Absent only when the default file does not exist: a file the variable
// names must exist. Never throws.
TrustSetting LoadTrustSetting();

// The setting in `text`, read from `path`; a `ca_bundle` that is a relative path is taken
// relative to the directory of `path`. Never throws.
TrustSetting ParseTrustSetting(const std::string& text, const std::string& path);

#endif
