// One client connection to a CIM server, plain TCP or TLS, opened through
// libcurl (which does name resolution, connecting and the TLS handshake) and
// then driven byte by byte, so that every byte of the request is ours and the
// client decides alone when a request is sent: never more than once.
// On Windows the same class is built on WinHTTP (http_connection_winhttp.cpp),
// which writes the request line and framing itself from the same bytes.
#ifndef PEGASUS_HTTP_HTTP_CONNECTION_H
#define PEGASUS_HTTP_HTTP_CONNECTION_H

#include <Pegasus/Common/SSLContext.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "http/http_response.h"

namespace Pegasus {
namespace http {

using Clock = std::chrono::steady_clock;

struct Endpoint {
    std::string host;  // as given to connect(): name, IPv4 or IPv6 literal
    std::uint32_t port = 0;
    // A Unix domain socket to connect through instead of host and port
    // (POSIX only): the local server's.
    std::string unixSocket;
    bool useTls = false;
    // Used when useTls is set.
    std::shared_ptr<const SSLContext> tls;
};

class HttpConnection {
  public:
    // Connects (and handshakes) within `timeout`. Throws InvalidLocatorException
    // when the host does not resolve and CannotConnectException for every
    // other failure ("Cannot connect to HOST:PORT. Connection failed.", then
    // the reason when it is one OpenPegasus would not give: the HTTP library
    // refused a setting the connection relies on, or the caller's certificate
    // callback threw, with what it threw).
    HttpConnection(const Endpoint& endpoint, std::chrono::milliseconds timeout);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // True when the server has closed this idle connection (or sent bytes
    // nobody asked for); such a connection must not carry a request.
    bool isStale();

    // Sends the whole request and reads the whole response before `deadline`.
    // Throws ConnectionTimeoutException when the deadline passes,
    // CIMClientMalformedHTTPException when the connection breaks or the
    // response is not HTTP or exceeds bodyLimit. On Windows, where WinHTTP
    // takes some settings per request, also CannotConnectException when one
    // is refused (before anything is sent). After any exception the
    // connection is unusable. With a sink, the body goes to it if it accepts
    // the response (BodySink, http_response.h); the sink is not kept.
    HttpResponse exchange(const std::string& request, Clock::time_point deadline,
                          std::uint64_t bodyLimit, BodySink* sink = nullptr);

#ifdef _WIN32
    // The WinHTTP handles and state of one connection (http_connection_winhttp.cpp).
    struct WinHttp;
#else
    // What the TLS verification callback reads and leaves behind. It runs
    // whenever the server's certificate is verified (a renegotiation too), so
    // this lives as long as the connection.
    struct TlsVerification {
        std::shared_ptr<const SSLContext> context;
        // The caller's callback (or our wrapper around it) threw: the
        // certificate was rejected, and this is what it said.
        bool threw = false;
        std::string thrownText;
    };
#endif

  private:
#ifdef _WIN32
    std::unique_ptr<WinHttp> winhttp_;
#else
    // Sets the handle's options; a refused one throws CannotConnectException.
    void configure(const Endpoint& endpoint, std::chrono::milliseconds timeout);
    // The URL, and the socket file for a local server's Unix domain socket.
    void configureTarget(const Endpoint& endpoint);
    void send(const std::string& bytes, Clock::time_point deadline);
    // Waits until the socket is readable or writable; false at the deadline.
    bool wait(bool forWriting, Clock::time_point deadline);

    void* curl_ = nullptr;
    long socket_ = -1;
    TlsVerification verification_;
#endif
};

}  // namespace http
}  // namespace Pegasus

#endif
