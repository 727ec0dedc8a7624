#include "http/http_connection.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>
#include <curl/curl.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <exception>
#include <mutex>

#include "http/connect_failure.h"
#include "http/http_response_reader.h"
#include "http/milliseconds_until.h"
#include "testing/test_seams.h"

namespace Pegasus {
namespace http {

namespace {

void initializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURL* handle(void* curl) { return static_cast<CURL*>(curl); }

std::string nameLine(X509_NAME* name) {
    if (name == nullptr) return std::string();
    char* text = X509_NAME_oneline(name, nullptr, 0);
    std::string result = text != nullptr ? text : "";
    OPENSSL_free(text);
    return result;
}

std::string pemOf(X509* certificate) {
    if (certificate == nullptr) return std::string();
    std::unique_ptr<BIO, decltype(&BIO_free)> memory(BIO_new(BIO_s_mem()), BIO_free);
    if (!memory || PEM_write_bio_X509(memory.get(), certificate) != 1) return std::string();
    char* bytes = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &bytes);
    return length > 0 ? std::string(bytes, static_cast<size_t>(length)) : std::string();
}

int verifyIndex() {
    static int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

void keepThrownText(HttpConnection::TlsVerification& verification, const char* text) noexcept {
    verification.threw = true;
    try {
        verification.thrownText = text;
    } catch (...) {
        // Without memory for the text the certificate is still rejected.
    }
}

// The caller's verification callback decides on each certificate, whatever
// OpenSSL's own verdict was. OpenSSL calls this from C, so nothing may unwind
// out of it: whatever throws rejects the certificate, and what it said is
// kept for connect() to report.
int verifyWithCallback(int preverified, X509_STORE_CTX* store) noexcept {
    SSL* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl == nullptr) return 0;
    auto* verification = static_cast<HttpConnection::TlsVerification*>(
        SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), verifyIndex()));
    if (verification == nullptr || !verification->context) return 0;
    SSLCertificateVerifyFunction* verify = verification->context->getVerifyFunction();
    if (verify == nullptr) return 0;
    bool accepted = false;
    try {
        X509* certificate = X509_STORE_CTX_get_current_cert(store);
        SSLCertificateInfo info(
            String::fromUtf8(nameLine(certificate ? X509_get_subject_name(certificate) : nullptr)),
            String::fromUtf8(nameLine(certificate ? X509_get_issuer_name(certificate) : nullptr)),
            static_cast<Uint32>(X509_STORE_CTX_get_error_depth(store)),
            static_cast<Uint32>(X509_STORE_CTX_get_error(store)), preverified != 0,
            String::fromUtf8(pemOf(certificate)));
        accepted = verify(info);
    } catch (const Exception& error) {
        keepThrownText(*verification, error.getMessage().utf8().c_str());
        return 0;
    } catch (const std::exception& error) {
        keepThrownText(*verification, error.what());
        return 0;
    } catch (...) {
        keepThrownText(*verification, "an exception of unknown type");
        return 0;
    }
    if (accepted) X509_STORE_CTX_set_error(store, X509_V_OK);
    return accepted ? 1 : 0;
}

// The callback's preverification result must mean "chains to the trust
// store" and nothing else, so the store holds the trust store's certificates
// alone (none of the system's, whatever libcurl loaded), or none at all.
bool trustOnly(SSL_CTX* context, const std::string& trustStore) noexcept {
    X509_STORE* store = X509_STORE_new();
    if (store == nullptr) return false;
    SSL_CTX_set_cert_store(context, store);
    return trustStore.empty() ||
           SSL_CTX_load_verify_locations(context, trustStore.c_str(), nullptr) == 1;
}

// libcurl calls this from C as well; nothing in it throws.
CURLcode configureTls(CURL*, void* sslContext, void* data) noexcept {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    auto* verification = static_cast<HttpConnection::TlsVerification*>(data);
    // Without its data the callback would have no verdict to ask for.
    if (verifyIndex() < 0 || SSL_CTX_set_ex_data(context, verifyIndex(), verification) != 1) {
        return CURLE_SSL_CERTPROBLEM;
    }
    if (!trustOnly(context, verification->context->getTrustStore().utf8())) {
        return CURLE_SSL_CACERT_BADFILE;
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verifyWithCallback);
    return CURLE_OK;
}

// Sets the options of one connection attempt. Each carries a promise: only
// our bytes on the wire (connect only, no redirect, no proxy, HTTP(S) only),
// no signals in the host's process, a bounded connect, TLS 1.2 only and the
// certificate checked as the SSLContext asks. So a refused option (a libcurl
// built without it, a value it does not take) fails connect() rather than
// leave libcurl's default in force.
class CheckedOptions {
  public:
    CheckedOptions(CURL* curl, const Endpoint& endpoint) : curl_(curl), endpoint_(endpoint) {}

    template <class Value>
    void set(CURLoption option, Value value) {
        CURLcode result = curl_easy_setopt(curl_, option, value);
        if (seams::kEnabled && seams::refuses(nameOf(option))) {
            result = CURLE_UNKNOWN_OPTION;
        }
        if (result != CURLE_OK) {
            throwCannotConnect(
                endpoint_, "libcurl refused " + nameOf(option) + ": " + curl_easy_strerror(result));
        }
    }

  private:
    static std::string nameOf(CURLoption option) {
        const curl_easyoption* known = curl_easy_option_by_id(option);
        return known != nullptr ? std::string("CURLOPT_") + known->name
                                : "option " + std::to_string(static_cast<int>(option));
    }

    CURL* curl_;
    const Endpoint& endpoint_;
};

// A child the host starts must not inherit a connection: one a local server let in needs no
// further credential.
curl_socket_t openCloseOnExec(void*, curlsocktype, curl_sockaddr* address) {
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

[[noreturn]] void connectionClosed() {
    throw CIMClientMalformedHTTPException("Connection closed by CIM Server.");
}

}  // namespace

HttpConnection::HttpConnection(const Endpoint& endpoint, std::chrono::milliseconds timeout) {
    initializeCurlOnce();
    curl_ = curl_easy_init();
    if (curl_ == nullptr) throwCannotConnect(endpoint);
    CURL* curl = handle(curl_);
    // A constructor that throws runs no destructor: the handle is released here.
    try {
        configure(endpoint, timeout);
    } catch (...) {
        curl_easy_cleanup(curl);
        curl_ = nullptr;
        throw;
    }
    CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK) {
        curl_socket_t socket = CURL_SOCKET_BAD;
        if (curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
            socket != CURL_SOCKET_BAD) {
            socket_ = static_cast<long>(socket);
            return;
        }
    }
    curl_easy_cleanup(curl);
    curl_ = nullptr;
    if (result == CURLE_COULDNT_RESOLVE_HOST) {
        throw InvalidLocatorException(
            String::fromUtf8(endpoint.host + ":" + std::to_string(endpoint.port)));
    }
    if (verification_.threw) {
        throwCannotConnect(
            endpoint, "The certificate verification callback threw: " + verification_.thrownText);
    }
    throwCannotConnect(endpoint);
}

void HttpConnection::configure(const Endpoint& endpoint, std::chrono::milliseconds timeout) {
    CheckedOptions options(handle(curl_), endpoint);
    configureTarget(endpoint);
    options.set(CURLOPT_PROTOCOLS_STR, "http,https");
    options.set(CURLOPT_OPENSOCKETFUNCTION, openCloseOnExec);
    options.set(CURLOPT_CONNECT_ONLY, 1L);
    options.set(CURLOPT_FOLLOWLOCATION, 0L);
    options.set(CURLOPT_NOSIGNAL, 1L);
    options.set(CURLOPT_PROXY, "");
    options.set(CURLOPT_CONNECTTIMEOUT_MS,
                std::clamp<long>(static_cast<long>(timeout.count()), 1, INT_MAX));
    if (!endpoint.useTls) return;
    verification_.context = endpoint.tls;
    const SSLContext& tls = *verification_.context;
    // OpenPegasus offers TLS 1.2 only and never compares the host name with
    // the certificate.
    options.set(CURLOPT_SSLVERSION,
                static_cast<long>(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
    options.set(CURLOPT_SSL_VERIFYHOST, 0L);
    const std::string& trustStore = tls.getTrustStore().utf8();
    if (tls.getVerifyFunction() != nullptr) {
        // The caller's callback alone decides (configureTls puts it and the
        // trust store into OpenSSL's verification), so libcurl is not asked
        // to verify as well.
        options.set(CURLOPT_SSL_VERIFYPEER, 0L);
        options.set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(&verification_));
        options.set(CURLOPT_SSL_CTX_FUNCTION, configureTls);
    } else if (!trustStore.empty()) {
        options.set(CURLOPT_SSL_VERIFYPEER, 1L);
        options.set(CURLOPT_CAINFO, trustStore.c_str());
        options.set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    } else {
        options.set(CURLOPT_SSL_VERIFYPEER, 0L);
    }
}

void HttpConnection::configureTarget(const Endpoint& endpoint) {
    CheckedOptions options(handle(curl_), endpoint);
    if (!endpoint.unixSocket.empty()) {
        // libcurl needs a host in the URL; over the socket nothing resolves it.
        options.set(CURLOPT_UNIX_SOCKET_PATH, endpoint.unixSocket.c_str());
        options.set(CURLOPT_URL, endpoint.useTls ? "https://localhost/" : "http://localhost/");
        return;
    }
    bool ipv6 = endpoint.host.find(':') != std::string::npos;
    std::string url = std::string(endpoint.useTls ? "https://" : "http://") +
                      (ipv6 ? "[" + endpoint.host + "]" : endpoint.host) + ":" +
                      std::to_string(endpoint.port) + "/";
    options.set(CURLOPT_URL, url.c_str());
}

HttpConnection::~HttpConnection() {
    if (curl_ != nullptr) curl_easy_cleanup(handle(curl_));
}

bool HttpConnection::wait(bool forWriting, Clock::time_point deadline) {
    while (true) {
        pollfd entry{static_cast<int>(socket_), static_cast<short>(forWriting ? POLLOUT : POLLIN),
                     0};
        int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
        if (ready > 0) return true;
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) connectionClosed();
        if (Clock::now() >= deadline) return false;
    }
}

bool HttpConnection::isStale() {
    pollfd entry{static_cast<int>(socket_), POLLIN, 0};
    if (::poll(&entry, 1, 0) <= 0) return false;
    char byte;
    size_t received = 0;
    CURLcode result = curl_easy_recv(handle(curl_), &byte, 1, &received);
    // TLS records without application data (e.g. a close alert still in
    // flight) leave nothing to read yet.
    return result != CURLE_AGAIN;
}

void HttpConnection::send(const std::string& bytes, Clock::time_point deadline) {
    size_t offset = 0;
    while (offset < bytes.size()) {
        size_t sent = 0;
        CURLcode result =
            curl_easy_send(handle(curl_), bytes.data() + offset, bytes.size() - offset, &sent);
        if (result == CURLE_AGAIN) {
            if (!wait(true, deadline)) throw ConnectionTimeoutException();
            continue;
        }
        if (result != CURLE_OK) connectionClosed();
        offset += sent;
    }
}

HttpResponse HttpConnection::exchange(const std::string& request, Clock::time_point deadline,
                                      std::uint64_t bodyLimit, BodySink* sink) {
    send(request, deadline);
    HttpResponseReader reader(bodyLimit, sink);
    static const size_t kBufferBytes = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    while (true) {
        if (Clock::now() >= deadline) throw ConnectionTimeoutException();
        size_t received = 0;
        CURLcode result = curl_easy_recv(handle(curl_), buffer.get(), kBufferBytes, &received);
        if (result == CURLE_AGAIN) {
            if (!wait(false, deadline)) throw ConnectionTimeoutException();
            continue;
        }
        if (result != CURLE_OK) connectionClosed();
        if (received == 0) {
            reader.endOfStream();
            HttpResponse response = std::move(reader.response());
            response.closesConnection = true;
            return response;
        }
        if (reader.feed(buffer.get(), received)) return std::move(reader.response());
    }
}

}  // namespace http
}  // namespace Pegasus
