#ifndef VORNET_SERVER_TRUST_H
#define VORNET_SERVER_TRUST_H

#include <Pegasus/Common/SSLContext.h>

#include <string>

#include "trust_setting.h"

// The checks a valid trust setting asks of one HTTPS server (the host and port the module
// connects to), made through the client's certificate verification callback: the chain to the
// CA bundle (the callback's preverification result), the pins and the host name (read from the
// server's certificate in PEM form). Not copyable: the callback finds it through the thread.
class ServerTrust {
  public:
    ServerTrust(const TrustSetting& setting, const std::string& host, unsigned int port);
    ServerTrust(const ServerTrust&) = delete;
    ServerTrust& operator=(const ServerTrust&) = delete;

    // What connect()'s SSLContext is built from: the CA bundle as trust store, and the callback;
    // without a valid setting neither (any certificate is accepted). The callback decides with
    // the checks of the Attempt in force on the thread, whole, for every connection (one the
    // client opens again within a request included); where none is in force it refuses.
    Pegasus::String TrustStore() const;
    Pegasus::SSLCertificateVerifyFunction* Callback() const;

    // While it lives, the callback on this thread applies this object's checks, starting afresh.
    // The client calls the callback on the thread that calls connect().
    class Attempt {
      public:
        explicit Attempt(ServerTrust& trust);
        ~Attempt();
        Attempt(const Attempt&) = delete;
        Attempt& operator=(const Attempt&) = delete;

      private:
        ServerTrust* previous;
    };

    // Why the server was refused in the last attempt, for the operator: which check and the
    // server certificate's SHA-256 fingerprint; empty when no check refused it.
    const std::string& Refusal() const { return refusal; }

  private:
    void ReportUnnamedServer() const;
    static Pegasus::Boolean Verify(Pegasus::SSLCertificateInfo& certificate);
    bool Decide(const Pegasus::SSLCertificateInfo& certificate);
    bool Refuse(const std::string& check, const std::string& fingerprint);

    const TrustSetting& setting;
    std::string host;
    std::string serverKey;  // lower-case "host:port", as pins are keyed
    bool chainBroken = false;
    // The server's own certificate, once it passed every check in this attempt.
    std::string leafFingerprint;
    std::string refusal;
};

#endif
