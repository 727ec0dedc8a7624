#ifndef PEGASUS_COMMON_SSLCONTEXT_H
#define PEGASUS_COMMON_SSLCONTEXT_H

#include <Pegasus/Common/String.h>

namespace Pegasus {

// What a certificate-verification callback is told about one certificate of
// the server's chain.
class SSLCertificateInfo {
  public:
    SSLCertificateInfo(const String& subjectName, const String& issuerName, Uint32 errorDepth,
                       Uint32 errorCode, Boolean preverified,
                       const String& peerCertificate = String::EMPTY)
        : subjectName_(subjectName),
          issuerName_(issuerName),
          errorDepth_(errorDepth),
          errorCode_(errorCode),
          preverified_(preverified),
          peerCertificate_(peerCertificate) {}

    // One-line form, e.g. "/CN=fake-cimom".
    const String& getSubjectName() const { return subjectName_; }
    const String& getIssuerName() const { return issuerName_; }
    // Position in the chain, 0 for the server's own certificate.
    Uint32 getErrorDepth() const { return errorDepth_; }
    // OpenSSL's verification error for this certificate, 0 when none.
    Uint32 getErrorCode() const { return errorCode_; }
    // Whether the chain up to this certificate verified against the trust
    // store (always false without one).
    Boolean getResponseCode() const { return preverified_; }
    // This certificate (the one at getErrorDepth()) in PEM form, with its
    // "-----BEGIN CERTIFICATE-----" and "-----END CERTIFICATE-----" lines.
    const String& getPeerCertificate() const { return peerCertificate_; }

  private:
    String subjectName_;
    String issuerName_;
    Uint32 errorDepth_;
    Uint32 errorCode_;
    Boolean preverified_;
    String peerCertificate_;
};

// Decides whether a certificate is accepted; called for every certificate of
// the chain during the TLS handshake.
typedef Boolean(SSLCertificateVerifyFunction)(SSLCertificateInfo& certInfo);

// TLS settings for CIMClient::connect. The client offers TLS 1.2 only and never
// checks the host name against the certificate. With an empty trust store and
// no callback the server's certificate is not verified at all. With a trust
// store (a PEM file of certificates) the chain must lead to one of its
// certificates; the system's own store is never consulted. With a callback,
// it is called at least once for each certificate of the chain (depth 0 is
// the server's own), told whether the chain verified against the trust store
// up to there, and it decides: one refusal fails the handshake. A trust store that
// cannot be read makes connect() fail. A plain value type.
class SSLContext {
  public:
    // `randomFile` is accepted for compatibility; OpenSSL seeds itself.
    SSLContext(const String& trustStore, SSLCertificateVerifyFunction* verifyCert = nullptr,
               const String& randomFile = String::EMPTY)
        : trustStore_(trustStore), verifyCert_(verifyCert), randomFile_(randomFile) {}

    const String& getTrustStore() const { return trustStore_; }
    SSLCertificateVerifyFunction* getVerifyFunction() const { return verifyCert_; }

  private:
    String trustStore_;
    SSLCertificateVerifyFunction* verifyCert_;
    String randomFile_;
};

}  // namespace Pegasus

#endif
