// The server certificate check of the WinHTTP transport, made by the client itself so that it
// decides as the OpenSSL transport does: WinHTTP is told to accept any certificate, and then this
// check runs on the certificate chain the server presented before a request goes out.
#ifndef PEGASUS_HTTP_WINHTTP_SERVER_CHECK_H
#define PEGASUS_HTTP_WINHTTP_SERVER_CHECK_H

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <Pegasus/Common/SSLContext.h>

#include <string>

namespace Pegasus {
namespace http {

struct ServerCheckVerdict {
    bool accepted = false;
    // The caller's callback threw (the certificate is then refused), and what it said.
    bool threw = false;
    std::string thrownText;
};

// Whether the chain of `leaf` (with the certificates the server sent, in its store) is accepted
// as `tls` asks. With a trust store, the chain must lead, signature by signature and within each
// certificate's validity, to a certificate of that PEM file (an unreadable file accepts
// nothing), its extensions allowing what OpenSSL allows a TLS server's chain. With a callback, it
// is called for each certificate from the top of the chain down to the server's own (depth 0), with
// its subject and issuer, depth, an OpenSSL error number, whether the chain verified against the
// trust store up to there, and its PEM text; every certificate must be accepted. Never throws.
ServerCheckVerdict checkServerCertificate(const CERT_CONTEXT* leaf, const SSLContext& tls);

}  // namespace http
}  // namespace Pegasus

#endif
