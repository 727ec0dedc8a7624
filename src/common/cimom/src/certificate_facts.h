#ifndef VORNET_CERTIFICATE_FACTS_H
#define VORNET_CERTIFICATE_FACTS_H

#include <string>
#include <vector>

// What the trust checks read from one certificate. Each platform takes it from its own crypto
// library (OpenSSL on Linux, CryptoAPI on Windows), so that both decide alike.
struct CertificateFacts {
    std::string sha256;                    // of the DER bytes, 64 lower-case hex digits
    std::vector<std::string> dnsNames;     // subject alternative names of type DNS
    std::vector<std::string> ipAddresses;  // of type IP: 4 or 16 bytes each
    std::string commonName;                // the subject's first CN, empty when none
};

// Reads the certificate in `pem` (one "CERTIFICATE" block). False when it is not one; `facts` is
// then unspecified. Never throws.
bool ReadCertificate(const std::string& pem, CertificateFacts& facts);

#endif
