#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

#include "certificate_facts.h"

namespace {

std::string Text(const ASN1_STRING* text) {
    if (text == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                       static_cast<std::size_t>(ASN1_STRING_length(text)));
}

}  // namespace

bool ReadCertificate(const std::string& pem, CertificateFacts& facts) {
    try {
        std::unique_ptr<BIO, decltype(&BIO_free)> memory(
            BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
        if (!memory) return false;
        std::unique_ptr<X509, decltype(&X509_free)> certificate(
            PEM_read_bio_X509(memory.get(), nullptr, nullptr, nullptr), X509_free);
        if (!certificate) return false;

        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (X509_digest(certificate.get(), EVP_sha256(), digest, &length) != 1) return false;
        static const char kHex[] = "0123456789abcdef";
        facts.sha256.clear();
        for (unsigned int i = 0; i < length; ++i) {
            facts.sha256 += kHex[digest[i] >> 4];
            facts.sha256 += kHex[digest[i] & 0x0f];
        }

        facts.dnsNames.clear();
        facts.ipAddresses.clear();
        std::unique_ptr<GENERAL_NAMES, decltype(&GENERAL_NAMES_free)> names(
            static_cast<GENERAL_NAMES*>(
                X509_get_ext_d2i(certificate.get(), NID_subject_alt_name, nullptr, nullptr)),
            GENERAL_NAMES_free);
        for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
            if (name->type == GEN_DNS) facts.dnsNames.push_back(Text(name->d.dNSName));
            if (name->type == GEN_IPADD) facts.ipAddresses.push_back(Text(name->d.iPAddress));
        }

        facts.commonName.clear();
        X509_NAME* subject = X509_get_subject_name(certificate.get());
        const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
        if (index >= 0) {
            facts.commonName = Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
        }
        return true;
    } catch (...) {
        return false;
    }
}

