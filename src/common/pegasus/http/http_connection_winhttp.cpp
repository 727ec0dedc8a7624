// HttpConnection on WinHTTP. WinHTTP writes the request line and the framing
// itself and keeps the TCP (or TLS) connection in its session's pool, so one
// session per HttpConnection gives one persistent connection, and closing the
// session drops it (a late answer after a time-out is never read). Every
// automatic behaviour that could send a request the client did not ask for
// (authentication, redirects, cookies) is turned off: the client's own Basic
// retry in cim_client.cpp stays the only one.
// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#include <winhttp.h>

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "http/connect_failure.h"
#include "http/connection_persistence.h"
#include "http/http_connection.h"
#include "http/http_response_reader.h"
#include "http/milliseconds_until.h"
#include "http/wide_text.h"
#include "http/winhttp_server_check.h"
#include "testing/test_seams.h"

namespace Pegasus {
namespace http {

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
    size_t length = std::strlen(prefix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Handles close in reverse order of opening: request, connect, session.
struct HandleCloser {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

[[noreturn]] void connectionClosed() {
    throw CIMClientMalformedHTTPException("Connection closed by CIM Server.");
}

// Every option a promise rests on goes through here: automatic
// authentication and redirects off (either would send a request the client
// did not ask for), TLS 1.2 only, a wait bounded by the caller's time-out.
// A refused one fails the attempt instead of leaving WinHTTP's default in
// force; per request, that is before anything is sent.
void require(BOOL accepted, const char* setting, const Endpoint& endpoint) {
    DWORD error = accepted ? ERROR_SUCCESS : GetLastError();
    if (seams::kEnabled && seams::refuses(setting)) error = ERROR_WINHTTP_INVALID_OPTION;
    if (error == ERROR_SUCCESS) return;
    throwCannotConnect(endpoint, std::string("WinHTTP refused ") + setting + " (error " +
                                     std::to_string(error) + ")");
}

void setOption(HINTERNET handle, DWORD option, const char* name, DWORD value,
               const Endpoint& endpoint) {
    require(WinHttpSetOption(handle, option, &value, sizeof value), name, endpoint);
}

void initializeWinsockOnce() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// WinHTTP connects only when the first request goes out, but connect() must
// fail at once for an unknown host, a refused or a silent port. So connect()
// opens (and closes) one plain TCP connection to the server within the
// time-out; WinHTTP then opens its own for the first request. A TLS handshake
// failure therefore shows at the first operation, not at connect().
void probeReachability(const Endpoint& endpoint, std::chrono::milliseconds timeout) {
    initializeWinsockOnce();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    int resolved = getaddrinfo(endpoint.host.c_str(), std::to_string(endpoint.port).c_str(), &hints,
                               &addresses);
    if (resolved != 0 || addresses == nullptr) {
        throw InvalidLocatorException(
            String::fromUtf8(endpoint.host + ":" + std::to_string(endpoint.port)));
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(addresses, freeaddrinfo);
    Clock::time_point deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(1));
    for (addrinfo* address = addresses; address != nullptr; address = address->ai_next) {
        SOCKET probe = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (probe == INVALID_SOCKET) continue;
        u_long nonBlocking = 1;
        ioctlsocket(probe, FIONBIO, &nonBlocking);
        bool connected = false;
        if (::connect(probe, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0) {
            connected = true;
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            // long is 32 bits here: a count of its own would turn negative.
            int milliseconds = millisecondsUntil(deadline);
            fd_set writable;
            fd_set failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(probe, &writable);
            FD_SET(probe, &failed);
            timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
            connected = select(0, nullptr, &writable, &failed, &wait) > 0 &&
                        FD_ISSET(probe, &writable) && !FD_ISSET(probe, &failed);
        }
        closesocket(probe);
        if (connected) return;
        if (Clock::now() >= deadline) break;
    }
    throwCannotConnect(endpoint);
}

void setTimeouts(HINTERNET handle, Clock::time_point deadline, const Endpoint& endpoint) {
    // WinHTTP takes 0 as "no time-out".
    int left = millisecondsUntil(deadline);
    if (left == 0) throw ConnectionTimeoutException();
    require(WinHttpSetTimeouts(handle, left, left, left, left), "WinHttpSetTimeouts", endpoint);
    // The wait for the status line and header fields has a limit of its own
    // (Wine keeps its default there otherwise, whatever the receive limit).
    setOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
              "WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT", static_cast<DWORD>(left), endpoint);
}

// Request bytes as cim_client.cpp writes them for a byte stream: request line,
// header fields, blank line, body.
struct RequestParts {
    std::wstring verb;
    std::wstring path;
    std::wstring headers;  // "Name: value\r\n" each, for WinHttpAddRequestHeaders
    const char* body = nullptr;
    size_t bodySize = 0;
};

RequestParts splitRequest(const std::string& request) {
    RequestParts parts;
    size_t headerEnd = request.find("\r\n\r\n");
    size_t lineEnd = request.find("\r\n");
    if (headerEnd == std::string::npos) headerEnd = request.size();
    std::string line = request.substr(0, lineEnd);
    size_t space = line.find(' ');
    size_t secondSpace = line.find(' ', space + 1);
    parts.verb = wide(line.substr(0, space));
    parts.path = wide(line.substr(space + 1, secondSpace - space - 1));
    std::string headers;
    size_t position = lineEnd + 2;
    while (lineEnd != std::string::npos && position < headerEnd) {
        size_t next = request.find("\r\n", position);
        std::string field = request.substr(position, next - position);
        position = next + 2;
        // WinHTTP writes Host from the connect handle. It cannot hand trailers
        // over, so announcing them would only make servers move CIM errors
        // out of the body where the decoder finds them.
        if (startsWithNoCase(field, "host:") || startsWithNoCase(field, "te:")) continue;
        headers += field + "\r\n";
    }
    parts.headers = wide(headers);
    if (headerEnd + 4 <= request.size()) {
        parts.body = request.data() + headerEnd + 4;
        parts.bodySize = request.size() - headerEnd - 4;
    }
    return parts;
}

std::wstring queryRawHeaders(HINTERNET request) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) connectionClosed();
    std::wstring headers(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             &headers[0], &bytes, WINHTTP_NO_HEADER_INDEX)) {
        connectionClosed();
    }
    headers.resize(bytes / sizeof(wchar_t));
    return headers;
}

// WinHTTP has already taken the chunks apart, so the header block handed to
// the response reader must not announce them again.
std::string headerBlockWithoutChunking(const std::string& raw, bool& chunked) {
    std::string block;
    size_t position = 0;
    chunked = false;
    while (position < raw.size()) {
        size_t next = raw.find("\r\n", position);
        if (next == std::string::npos) next = raw.size();
        std::string line = raw.substr(position, next - position);
        position = next + 2;
        if (line.empty()) break;
        if (startsWithNoCase(line, "transfer-encoding:")) {
            chunked = lowerCase(line).find("chunked") != std::string::npos;
            continue;
        }
        block += line + "\r\n";
    }
    if (chunked) {
        std::string withoutLength;
        size_t start = 0;
        while (start < block.size()) {
            size_t next = block.find("\r\n", start) + 2;
            std::string line = block.substr(start, next - start);
            if (!startsWithNoCase(line, "content-length:")) withoutLength += line;
            start = next;
        }
        block = withoutLength;
    }
    return block + "\r\n";
}

// Whether the server's certificate is to be checked at all (as on Linux: not without a trust
// store or a callback).
bool verifiesServer(const Endpoint& endpoint) {
    return endpoint.useTls && endpoint.tls &&
           (!endpoint.tls->getTrustStore().utf8().empty() || endpoint.tls->getVerifyFunction());
}

// WinHTTP's own check would consult the Windows store; the client checks the certificate itself
// (winhttp_server_check.h), or not at all.
void acceptAnyCertificate(HINTERNET request, const Endpoint& endpoint) {
    setOption(request, WINHTTP_OPTION_SECURITY_FLAGS, "WINHTTP_OPTION_SECURITY_FLAGS",
              SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                  SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE,
              endpoint);
}

}  // namespace

struct HttpConnection::WinHttp {
    Endpoint endpoint;
    std::string locator;
    Handle session;
    Handle connect;
    // The server certificate (DER) that passed the check; a connection WinHTTP opens anew to a
    // server presenting the same one is not checked again.
    std::string checkedCertificate;
};

namespace {

// One request's check of the server's certificate, made when WinHTTP has the TLS connection
// and before it writes a byte of the request: a refused server gets nothing, since the request
// is cancelled there by closing its handle.
struct SendingCheck {
    HttpConnection::WinHttp* state = nullptr;
    bool cancelAlways = false;  // connect()'s check, which has nothing to send
    bool checked = false;
    bool cancelled = false;
    ServerCheckVerdict verdict;
};

void CALLBACK checkBeforeSending(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID,
                                 DWORD) noexcept {
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || context == 0) return;
    auto& check = *reinterpret_cast<SendingCheck*>(context);
    try {
        const CERT_CONTEXT* leaf = nullptr;
        DWORD size = sizeof leaf;
        if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &leaf, &size) &&
            leaf != nullptr) {
            const std::string encoded(reinterpret_cast<const char*>(leaf->pbCertEncoded),
                                      leaf->cbCertEncoded);
            if (!check.state->checkedCertificate.empty() &&
                encoded == check.state->checkedCertificate) {
                check.verdict.accepted = true;
            } else {
                check.verdict = checkServerCertificate(leaf, *check.state->endpoint.tls);
                if (check.verdict.accepted) check.state->checkedCertificate = encoded;
            }
            CertFreeCertificateContext(leaf);
        }
    } catch (...) {
        check.verdict.accepted = false;
    }
    check.checked = true;
    if (check.cancelAlways || !check.verdict.accepted) {
        check.cancelled = true;
        WinHttpCloseHandle(request);
    }
}

void watchSending(HINTERNET request, const Endpoint& endpoint) {
    require(
        WinHttpSetStatusCallback(request, checkBeforeSending, WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                                 0) != WINHTTP_INVALID_STATUS_CALLBACK,
        "WinHttpSetStatusCallback", endpoint);
}

[[noreturn]] void refused(const SendingCheck& check, const Endpoint& endpoint) {
    if (check.verdict.threw) {
        throwCannotConnect(
            endpoint, "The certificate verification callback threw: " + check.verdict.thrownText);
    }
    throwCannotConnect(endpoint);
}

// WinHTTP handshakes only for a request, yet connect() must fail for a server the check refuses,
// as on Linux. So connect() starts a request that the check cancels before it is written, in
// any case: the TLS connection is made and checked, and nothing is sent.
void checkServerAtConnect(HttpConnection::WinHttp& state, Clock::time_point deadline) {
    const Endpoint& endpoint = state.endpoint;
    Handle request(WinHttpOpenRequest(state.connect.get(), L"HEAD", L"/cimom", L"HTTP/1.1",
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      WINHTTP_FLAG_SECURE));
    if (!request) throwCannotConnect(endpoint);
    acceptAnyCertificate(request.get(), endpoint);
    watchSending(request.get(), endpoint);
    setTimeouts(request.get(), deadline, endpoint);
    SendingCheck check;
    check.state = &state;
    check.cancelAlways = true;
    WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0,
                       reinterpret_cast<DWORD_PTR>(&check));
    if (check.cancelled) (void)request.release();
    if (!check.checked || !check.verdict.accepted) refused(check, endpoint);
}

}  // namespace

HttpConnection::HttpConnection(const Endpoint& endpoint, std::chrono::milliseconds timeout)
    : winhttp_(std::make_unique<WinHttp>()) {
    WinHttp& state = *winhttp_;
    state.endpoint = endpoint;
    state.locator = endpoint.host + ":" + std::to_string(endpoint.port);
    const Clock::time_point deadline =
        Clock::now() + std::max(timeout, std::chrono::milliseconds(1));
    probeReachability(endpoint, timeout);
    // No agent name: WinHTTP then writes no User-Agent field, as OpenPegasus.
    state.session.reset(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
    if (!state.session) throwCannotConnect(endpoint);
    if (endpoint.useTls) {
        // OpenPegasus offers TLS 1.2 only.
        setOption(state.session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS,
                  "WINHTTP_OPTION_SECURE_PROTOCOLS", WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2, endpoint);
    }
    bool ipv6 = endpoint.host.find(':') != std::string::npos;
    std::wstring host = wide(ipv6 ? "[" + endpoint.host + "]" : endpoint.host);
    state.connect.reset(WinHttpConnect(state.session.get(), host.c_str(),
                                       static_cast<INTERNET_PORT>(endpoint.port), 0));
    if (!state.connect) throwCannotConnect(endpoint);
    if (verifiesServer(endpoint)) checkServerAtConnect(state, deadline);
}

HttpConnection::~HttpConnection() = default;

// WinHTTP checks a pooled connection before it reuses it and opens a new one
// when the server has closed it, before any byte of the request is written.
bool HttpConnection::isStale() { return false; }

HttpResponse HttpConnection::exchange(const std::string& requestBytes, Clock::time_point deadline,
                                      std::uint64_t bodyLimit, BodySink* sink) {
    WinHttp& state = *winhttp_;
    RequestParts parts = splitRequest(requestBytes);
    Handle request(WinHttpOpenRequest(state.connect.get(), parts.verb.c_str(), parts.path.c_str(),
                                      L"HTTP/1.1", WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      state.endpoint.useTls ? WINHTTP_FLAG_SECURE : 0));
    if (!request) connectionClosed();
    HINTERNET handle = request.get();
    setOption(handle, WINHTTP_OPTION_DISABLE_FEATURE, "WINHTTP_OPTION_DISABLE_FEATURE",
              WINHTTP_DISABLE_AUTHENTICATION | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES,
              state.endpoint);
    // As on Linux: the host name is never compared, and without a trust store or a callback any
    // certificate is accepted.
    if (state.endpoint.useTls) acceptAnyCertificate(handle, state.endpoint);
    SendingCheck check;
    check.state = &state;
    if (verifiesServer(state.endpoint)) watchSending(handle, state.endpoint);
    if (!parts.headers.empty() &&
        !WinHttpAddRequestHeaders(handle, parts.headers.c_str(),
                                  static_cast<DWORD>(parts.headers.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        connectionClosed();
    }

    auto fail = [&](DWORD error) {
        switch (error) {
            case ERROR_WINHTTP_TIMEOUT:
                throw ConnectionTimeoutException();
            case ERROR_WINHTTP_NAME_NOT_RESOLVED:
                throw InvalidLocatorException(String::fromUtf8(state.locator));
            // A new connection (the pooled one was gone) could not be made, or
            // its TLS handshake failed: what connect() reports on Linux.
            case ERROR_WINHTTP_CANNOT_CONNECT:
            case ERROR_WINHTTP_SECURE_FAILURE:
            case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
                throwCannotConnect(state.endpoint);
            default:
                connectionClosed();
        }
    };

    setTimeouts(handle, deadline, state.endpoint);
    DWORD bodySize = static_cast<DWORD>(parts.bodySize);
    const BOOL sent =
        WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<char*>(parts.body),
                           bodySize, bodySize, reinterpret_cast<DWORD_PTR>(&check));
    if (check.cancelled) {
        (void)request.release();
        refused(check, state.endpoint);
    }
    if (!sent) fail(GetLastError());
    setTimeouts(handle, deadline, state.endpoint);
    if (!WinHttpReceiveResponse(handle, nullptr)) fail(GetLastError());

    std::string raw = narrow(queryRawHeaders(handle));
    bool chunked = false;
    std::string block = headerBlockWithoutChunking(raw, chunked);
    HttpResponseReader reader(bodyLimit, sink);
    bool complete = reader.feed(block.data(), block.size());
    static const DWORD kBufferBytes = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    while (!complete) {
        setTimeouts(handle, deadline, state.endpoint);
        DWORD received = 0;
        if (!WinHttpReadData(handle, buffer.get(), kBufferBytes, &received)) fail(GetLastError());
        if (received == 0) {
            reader.endOfStream();
            break;
        }
        complete = reader.feed(buffer.get(), received);
    }
    // WinHTTP pools the connection only once it has seen the end of the
    // body itself; without this read every response would cost a connection.
    while (complete) {
        setTimeouts(handle, deadline, state.endpoint);
        DWORD received = 0;
        if (!WinHttpReadData(handle, buffer.get(), kBufferBytes, &received)) fail(GetLastError());
        if (received == 0) break;
    }
    HttpResponse response = std::move(reader.response());
    // The reader takes a body without framing as closing, but a chunked body arrives here
    // without its framing: the connection's fate is decided again from the fields.
    response.closesConnection =
        closesAfterResponse(response.headers, raw.compare(0, 8, "HTTP/1.0") == 0);
    if (!chunked && findField(response.headers, "Content-Length") == nullptr) {
        response.closesConnection = true;
    }
    return response;
}

}  // namespace http
}  // namespace Pegasus
