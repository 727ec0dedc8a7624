#include "http/winhttp_server_check.h"

#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
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
const Uint32 kNotACertificateAuthority = 79;  // OpenSSL 3; 24 before it
const Uint32 kPathLengthExceeded = 25;
const Uint32 kWrongPurpose = 26;
const Uint32 kUnhandledCriticalExtension = 34;
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

const CERT_EXTENSION* extension(const CERT_CONTEXT* certificate, const char* oid) {
    const CERT_INFO& info = *certificate->pCertInfo;
    return CertFindExtension(oid, info.cExtension, info.rgExtension);
}

// The basic constraints, when the certificate has them.
bool basicConstraints(const CERT_CONTEXT* certificate, CERT_BASIC_CONSTRAINTS2_INFO& constraints) {
    const CERT_EXTENSION* found = extension(certificate, szOID_BASIC_CONSTRAINTS2);
    DWORD size = sizeof constraints;
    return found != nullptr &&
           CryptDecodeObjectEx(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, found->Value.pbData,
                               found->Value.cbData, 0, nullptr, &constraints, &size);
}

// Whether a key usage extension is there, and which usages it grants (its first byte, which holds
// every usage checked here).
bool keyUsage(const CERT_CONTEXT* certificate, BYTE& usages) {
    const CERT_EXTENSION* found = extension(certificate, szOID_KEY_USAGE);
    if (found == nullptr) return false;
    BYTE decoded[64];
    DWORD size = sizeof decoded;
    usages = 0;
    if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_KEY_USAGE, found->Value.pbData,
                            found->Value.cbData, 0, nullptr, decoded, &size)) {
        const auto* bits = reinterpret_cast<const CRYPT_BIT_BLOB*>(decoded);
        if (bits->cbData > 0) usages = bits->pbData[0];
    }
    return true;
}

// What OpenSSL finds wrong with the extensions of the certificate at `depth` of a chain whose
// top is at `top`, checking for a TLS server as it does: critical extensions it would not
// know, a certificate that issues another without being a CA (only the top may be a CA by its
// key usage alone, or an old version 1 root), extended key usages without serverAuth, a leaf whose
// key usage allows no TLS key exchange, and a CA's path length. `belowIssuers` counts the
// certificates under this one, but the leaf, that did not issue themselves.
Uint32 extensionError(const CERT_CONTEXT* certificate, size_t depth, size_t top,
                      size_t belowIssuers) {
    static const char* const kHandled[] = {
        szOID_KEY_USAGE,          szOID_SUBJECT_ALT_NAME2,
        szOID_BASIC_CONSTRAINTS2, szOID_CERT_POLICIES,
        szOID_ENHANCED_KEY_USAGE, szOID_POLICY_CONSTRAINTS,
        szOID_POLICY_MAPPINGS,    "2.5.29.54" /* inhibitAnyPolicy */,
        "2.16.840.1.113730.1.1" /* Netscape certificate type */};
    const CERT_INFO& info = *certificate->pCertInfo;
    for (DWORD i = 0; i < info.cExtension; ++i) {
        const CERT_EXTENSION& each = info.rgExtension[i];
        if (each.fCritical &&
            std::none_of(std::begin(kHandled), std::end(kHandled), [&each](const char* oid) {
                return std::strcmp(oid, each.pszObjId) == 0;
            })) {
            return kUnhandledCriticalExtension;
        }
    }
    CERT_BASIC_CONSTRAINTS2_INFO constraints{};
    const bool constrained = basicConstraints(certificate, constraints);
    BYTE usages = 0;
    const bool usageListed = keyUsage(certificate, usages);
    if (depth > 0) {
        const bool certificateAuthority =
            (!usageListed || (usages & CERT_KEY_CERT_SIGN_KEY_USAGE) != 0) &&
            (constrained ? constraints.fCA != FALSE
                         : depth == top && (usageListed || (info.dwVersion == CERT_V1 &&
                                                            selfIssued(certificate))));
        if (!certificateAuthority) return kNotACertificateAuthority;
    }
    if (const CERT_EXTENSION* found = extension(certificate, szOID_ENHANCED_KEY_USAGE)) {
        std::vector<BYTE> decoded;
        DWORD size = 0;
        bool server = false;
        if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, found->Value.pbData,
                                found->Value.cbData, 0, nullptr, nullptr, &size)) {
            decoded.resize(size);
            if (CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, found->Value.pbData,
                                    found->Value.cbData, 0, nullptr, decoded.data(), &size)) {
                const auto* purposes = reinterpret_cast<const CERT_ENHKEY_USAGE*>(decoded.data());
                for (DWORD i = 0; i < purposes->cUsageIdentifier; ++i) {
                    const char* oid = purposes->rgpszUsageIdentifier[i];
                    // Server authentication, or the server gated cryptography of old.
                    server |= std::strcmp(oid, szOID_PKIX_KP_SERVER_AUTH) == 0 ||
                              std::strcmp(oid, szOID_SERVER_GATED_CRYPTO) == 0 ||
                              std::strcmp(oid, szOID_SGC_NETSCAPE) == 0;
                }
            }
        }
        if (!server) return kWrongPurpose;
    }
    const BYTE keyExchange = CERT_DIGITAL_SIGNATURE_KEY_USAGE | CERT_KEY_ENCIPHERMENT_KEY_USAGE |
                             CERT_KEY_AGREEMENT_KEY_USAGE;
    if (depth == 0 && usageListed && (usages & keyExchange) == 0) return kWrongPurpose;
    if (depth > 1 && constrained && constraints.fPathLenConstraint &&
        belowIssuers > constraints.dwPathLenConstraint) {
        return kPathLengthExceeded;
    }
    return 0;
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
        // The certificates between the leaf and each depth that did not issue themselves.
        std::vector<size_t> belowIssuers(top + 1, 0);
        for (size_t depth = 2; depth <= top; ++depth) {
            belowIssuers[depth] = belowIssuers[depth - 1] + (selfIssued(chain[depth - 1]) ? 0 : 1);
        }
        for (size_t depth = top + 1; depth-- > 0;) {
            const CERT_CONTEXT* certificate = chain[depth];
            const LONG validity = CertVerifyTimeValidity(nullptr, certificate->pCertInfo);
            if (depth == top && anchor == SIZE_MAX) {
                errors[depth] = !selfIssued(certificate) ? kIssuerNotFound
                                : depth == 0             ? kSelfSignedAtDepthZero
                                                         : kSelfSignedInChain;
            } else if (const Uint32 error =
                           extensionError(certificate, depth, top, belowIssuers[depth])) {
                // OpenSSL checks the extensions of the whole chain before the validity.
                errors[depth] = error;
            } else if (validity < 0) {
                errors[depth] = kCertificateNotYetValid;
            } else if (validity > 0) {
                errors[depth] = kCertificateHasExpired;
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
