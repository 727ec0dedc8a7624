// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <wincrypt.h>

#include <memory>
#include <vector>

#include "certificate_facts.h"

namespace {

std::string Narrow(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

struct ContextFree {
    void operator()(const CERT_CONTEXT* context) const { CertFreeCertificateContext(context); }
};

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
    for (DWORD i = 0; i < names->cAltEntry; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
            facts.dnsNames.push_back(Narrow(entry.pwszDNSName));
        } else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
            facts.ipAddresses.emplace_back(reinterpret_cast<const char*>(entry.IPAddress.pbData),
                                           entry.IPAddress.cbData);
        }
    }
    LocalFree(names);
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

        wchar_t commonName[256] = L"";
        CertGetNameStringW(certificate.get(), CERT_NAME_ATTR_TYPE, 0,
                           const_cast<char*>(szOID_COMMON_NAME), commonName, 256);
        facts.commonName = Narrow(commonName);
        return true;
    } catch (...) {
        return false;
    }
}

