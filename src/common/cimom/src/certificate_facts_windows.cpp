// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "certificate_facts.h"

namespace {

// `units` UTF-16 units of `text` as UTF-8, NULs included: a name is compared whole.
std::string Narrow(const wchar_t* text, size_t units) {
    if (text == nullptr || units == 0) return std::string();
    const int count = static_cast<int>(units);
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, count, &out[0], length, nullptr, nullptr);
    return out;
}

struct ContextFree {
    void operator()(const CERT_CONTEXT* context) const { CertFreeCertificateContext(context); }
};

struct LocalMemoryFree {
    void operator()(void* memory) const { LocalFree(memory); }
};

// Whether encoding the decoded names again gives the extension's bytes. CryptoAPI hands a DNS
// name over NUL-terminated, so one holding a NUL ("good.com\0.evil") is read short; encoded
// again, it no longer gives the certificate's bytes.
bool ReadWhole(CERT_ALT_NAME_INFO* names, const CRYPT_OBJID_BLOB& extension) {
    BYTE* encoded = nullptr;
    DWORD size = 0;
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, names, CRYPT_ENCODE_ALLOC_FLAG,
                             nullptr, &encoded, &size)) {
        return false;
    }
    std::unique_ptr<void, LocalMemoryFree> held(encoded);
    return size == extension.cbData && std::memcmp(encoded, extension.pbData, size) == 0;
}

void ReadAlternativeNames(const CERT_INFO& info, CertificateFacts& facts) {
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    if (extension == nullptr) return;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                             &size)) {
        return;
    }
    std::unique_ptr<void, LocalMemoryFree> held(names);
    // Names that were not read whole keep a NUL at their end, so that no host matches them and
    // the common name is not consulted in their stead.
    const std::string unread = ReadWhole(names, extension->Value) ? "" : std::string(1, '\0');
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
            facts.dnsNames.push_back(
                Narrow(entry.pwszDNSName, entry.pwszDNSName ? wcslen(entry.pwszDNSName) : 0) +
                unread);
        } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
            facts.ipAddresses.emplace_back(reinterpret_cast<const char*>(entry.IPAddress.pbData),
                                           entry.IPAddress.cbData);
        }
    }
}

// The subject's first common name, decoded with its length.
std::string CommonName(const CERT_INFO& info) {
    CERT_NAME_INFO* name = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_UNICODE_NAME, info.Subject.pbData,
                             info.Subject.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &name, &size)) {
        return std::string();
    }
    std::unique_ptr<void, LocalMemoryFree> held(name);
    for (DWORD i = 0; i < name->cRDN; ++i) {
        for (DWORD j = 0; j < name->rgRDN[i].cRDNAttr; ++j) {
            const CERT_RDN_ATTR& attribute = name->rgRDN[i].rgRDNAttr[j];
            if (std::strcmp(attribute.pszObjId, szOID_COMMON_NAME) == 0) {
                return Narrow(reinterpret_cast<const wchar_t*>(attribute.Value.pbData),
                              attribute.Value.cbData / sizeof(wchar_t));
            }
        }
    }
    return std::string();
}

}  // namespace

bool ReadCertificate(const std::string& pem, CertificateFacts& facts) {
    try {
        DWORD size = 0;
        if (pem.empty() ||
            !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                  CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
            return false;
        }
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()),
                                  CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
            return false;
        }
        std::unique_ptr<const CERT_CONTEXT, ContextFree> certificate(
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), size));
        if (!certificate) return false;

        BYTE digest[32];
        DWORD digestSize = sizeof digest;
        if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, der.data(), size, digest,
                                   &digestSize) ||
            digestSize != sizeof digest) {
            return false;
        }
        static const char kHex[] = "0123456789abcdef";
        facts.sha256.clear();
        for (BYTE byte : digest) {
            facts.sha256 += kHex[byte >> 4];
            facts.sha256 += kHex[byte & 0x0f];
        }

        facts.dnsNames.clear();
        facts.ipAddresses.clear();
        ReadAlternativeNames(*certificate->pCertInfo, facts);

        facts.commonName = CommonName(*certificate->pCertInfo);
        return true;
    } catch (...) {
        return false;
    }
}
