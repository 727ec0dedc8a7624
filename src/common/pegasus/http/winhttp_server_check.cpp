#include "http/winhttp_server_check.h"

#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace Pegasus {
namespace http {

namespace {

// OpenSSL's numbers for what a callback is told, so that it reads alike on both platforms.
const Uint32 kCertificateNotYetValid = 9;
const Uint32 kCertificateHasExpired = 10;
const Uint32 kSelfSignedAtDepthZero = 18;
const Uint32 kSelfSignedInChain = 19;
const Uint32 kIssuerNotFound = 20;
const Uint32 kNotACertificateAuthority = 24;
// A chain longer than this is not followed further (OpenSSL's default limit is 100).
const size_t kLongestChain = 16;

struct ContextFree {
    void operator()(const CERT_CONTEXT* context) const { CertFreeCertificateContext(context); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, ContextFree>;

std::vector<Certificate> trustStoreCertificates(const std::string& path, bool& readable) {
    std::vector<Certificate> certificates;
    std::ifstream file(path, std::ios::binary);
    readable = static_cast<bool>(file);
    std::ostringstream text;
    text << file.rdbuf();
    const std::string pem = text.str();
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string kEnd = "-----END CERTIFICATE-----";
    for (size_t begin = pem.find(kBegin); begin != std::string::npos;
         begin = pem.find(kBegin, begin + 1)) {
        const size_t end = pem.find(kEnd, begin);
        if (end == std::string::npos) break;
        const std::string block = pem.substr(begin, end + kEnd.size() - begin);
        DWORD size = 0;
        if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                                  CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
            continue;
        }
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                                  CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
            continue;
        }
        Certificate certificate(CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
        if (certificate) certificates.push_back(std::move(certificate));
    }
    return certificates;
}

bool sameCertificate(const CERT_CONTEXT* a, const CERT_CONTEXT* b) {
    return a->cbCertEncoded == b->cbCertEncoded &&
           std::equal(a->pbCertEncoded, a->pbCertEncoded + a->cbCertEncoded, b->pbCertEncoded);
}

bool selfIssued(const CERT_CONTEXT* certificate) {
    return CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                      &certificate->pCertInfo->Issuer) != FALSE;
}

bool issuedBy(const CERT_CONTEXT* subject, const CERT_CONTEXT* issuer) {
    return CertCompareCertificateName(X509_ASN_ENCODING, &subject->pCertInfo->Issuer,
                                      &issuer->pCertInfo->Subject) &&
           CryptVerifyCertificateSignatureEx(
               0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
               const_cast<CERT_CONTEXT*>(subject), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
               const_cast<CERT_CONTEXT*>(issuer), 0, nullptr);
}

// A certificate that issues another must say it may: a basic constraints extension that denies
// it refuses the chain (one without the extension, an old root, is let be).
bool mayIssue(const CERT_CONTEXT* certificate) {
    const CERT_INFO& info = *certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_BASIC_CONSTRAINTS2, info.cExtension, info.rgExtension);
    if (extension == nullptr) return true;
    CERT_BASIC_CONSTRAINTS2_INFO constraints{};
    DWORD size = sizeof constraints;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, extension->Value.pbData,
                               extension->Value.cbData, 0, nullptr, &constraints, &size) &&
           constraints.fCA;
}

std::string nameLine(const CERT_NAME_BLOB& name) {
    const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_SEMICOLON_FLAG |
                        CERT_NAME_STR_NO_QUOTING_FLAG | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD length =
        CertNameToStrA(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), flags, nullptr, 0);
    if (length <= 1) return std::string();
    std::string text(length, '\0');
    CertNameToStrA(X509_ASN_ENCODING, const_cast<CERT_NAME_BLOB*>(&name), flags, &text[0], length);
    text.resize(length - 1);
    // OpenSSL's one-line form: "/C=US/O=Example/CN=host".
    std::string line = "/";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "; ") == 0) {
            line += '/';
            ++i;
        } else {
            line += text[i];
        }
    }
    return line;
}

// PEM as OpenSSL writes it: 64 characters a line, each ended by a line feed alone.
std::string pemOf(const CERT_CONTEXT* certificate) {
    const DWORD flags = CRYPT_STRING_BASE64HEADER;
    DWORD length = 0;
    if (!CryptBinaryToStringA(certificate->pbCertEncoded, certificate->cbCertEncoded, flags,
                              nullptr, &length)) {
        return std::string();
    }
    std::string text(length, '\0');
    if (!CryptBinaryToStringA(certificate->pbCertEncoded, certificate->cbCertEncoded, flags,
                              &text[0], &length)) {
        return std::string();
    }
    text.resize(length);
    std::string pem;
    for (char c : text) {
        if (c != '\r' && c != '\0') pem += c;
    }
    return pem;
}

// The chain from the server's certificate up: through the trust store's certificates and those
// the server sent, each issuer's signature verified, until a certificate of the trust store or
// one that issued itself.
std::vector<const CERT_CONTEXT*> buildChain(const CERT_CONTEXT* leaf,
                                            const std::vector<Certificate>& trusted,
                                            size_t& anchor) {
    std::vector<const CERT_CONTEXT*> chain{leaf};
    anchor = SIZE_MAX;
    while (chain.size() <= kLongestChain) {
        const CERT_CONTEXT* current = chain.back();
        for (const Certificate& certificate : trusted) {
            if (sameCertificate(current, certificate.get())) anchor = chain.size() - 1;
        }
        if (anchor != SIZE_MAX || selfIssued(current)) break;
        const CERT_CONTEXT* issuer = nullptr;
        for (const Certificate& certificate : trusted) {
            if (issuer == nullptr && issuedBy(current, certificate.get())) {
                issuer = certificate.get();
            }
        }
        for (const CERT_CONTEXT* sent = leaf->hCertStore != nullptr
                                            ? CertEnumCertificatesInStore(leaf->hCertStore, nullptr)
                                            : nullptr;
             issuer == nullptr && sent != nullptr;
             sent = CertEnumCertificatesInStore(leaf->hCertStore, sent)) {
            if (!sameCertificate(sent, current) && issuedBy(current, sent)) {
                // Kept past the enumeration, which would free it.
                issuer = CertDuplicateCertificateContext(sent);
                CertFreeCertificateContext(sent);
                break;
            }
        }
        if (issuer == nullptr) break;
        chain.push_back(issuer);
    }
    return chain;
}

}  // namespace

ServerCheckVerdict checkServerCertificate(const CERT_CONTEXT* leaf, const SSLContext& tls) {
    ServerCheckVerdict verdict;
    std::vector<const CERT_CONTEXT*> owned;  // issuers duplicated from the server's store
    try {
        const std::string& trustStore = tls.getTrustStore().utf8();
        bool readable = true;
        std::vector<Certificate> trusted;
        if (!trustStore.empty()) {
            trusted = trustStoreCertificates(trustStore, readable);
            // As OpenSSL: a trust store that cannot be loaded fails the handshake.
            if (!readable || trusted.empty()) return verdict;
        }
        size_t anchor = SIZE_MAX;
        const std::vector<const CERT_CONTEXT*> chain = buildChain(leaf, trusted, anchor);
        for (const CERT_CONTEXT* certificate : chain) {
            bool fromTrustStore = false;
            for (const Certificate& own : trusted) fromTrustStore |= own.get() == certificate;
            if (certificate != leaf && !fromTrustStore) owned.push_back(certificate);
        }
        const size_t top = anchor != SIZE_MAX ? anchor : chain.size() - 1;
        // Each certificate's own error, and whether the chain verified from the top down to it.
        std::vector<Uint32> errors(top + 1, 0);
        std::vector<bool> verified(top + 1, false);
        bool sound = anchor != SIZE_MAX;
        for (size_t depth = top + 1; depth-- > 0;) {
            const CERT_CONTEXT* certificate = chain[depth];
            const LONG validity = CertVerifyTimeValidity(nullptr, certificate->pCertInfo);
            if (depth == top && anchor == SIZE_MAX) {
                errors[depth] = !selfIssued(certificate) ? kIssuerNotFound
                                : depth == 0             ? kSelfSignedAtDepthZero
                                                         : kSelfSignedInChain;
            } else if (validity < 0) {
                errors[depth] = kCertificateNotYetValid;
            } else if (validity > 0) {
                errors[depth] = kCertificateHasExpired;
            } else if (depth > 0 && !mayIssue(certificate)) {
                errors[depth] = kNotACertificateAuthority;
            }
            sound = sound && errors[depth] == 0;
            verified[depth] = sound;
        }
        SSLCertificateVerifyFunction* callback = tls.getVerifyFunction();
        if (callback == nullptr) {
            verdict.accepted = verified[0];
        } else {
            verdict.accepted = true;
            for (size_t depth = top + 1; verdict.accepted && depth-- > 0;) {
                const CERT_CONTEXT* certificate = chain[depth];
                SSLCertificateInfo info(String::fromUtf8(nameLine(certificate->pCertInfo->Subject)),
                                        String::fromUtf8(nameLine(certificate->pCertInfo->Issuer)),
                                        static_cast<Uint32>(depth), errors[depth], verified[depth],
                                        String::fromUtf8(pemOf(certificate)));
                verdict.accepted = callback(info);
            }
        }
    } catch (const Exception& error) {
        verdict = ServerCheckVerdict{false, true, error.getMessage().utf8()};
    } catch (const std::exception& error) {
        verdict = ServerCheckVerdict{false, true, error.what()};
    } catch (...) {
        verdict = ServerCheckVerdict{false, true, "an exception of unknown type"};
    }
    for (const CERT_CONTEXT* certificate : owned) CertFreeCertificateContext(certificate);
    return verdict;
}

}  // namespace http
}  // namespace Pegasus
