// Incremental parser of one HTTP/1.1 response: status line, header fields,
// a body framed by Content-Length, by chunks (with trailer fields) or by the
// end of the connection. Bytes in, HttpResponse out; no sockets.
#ifndef PEGASUS_HTTP_HTTP_RESPONSE_READER_H
#define PEGASUS_HTTP_HTTP_RESPONSE_READER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "http/http_response.h"

namespace Pegasus {
namespace http {

class HttpResponseReader {
  public:
    // A body longer than bodyLimit bytes fails the response (the server could
    // otherwise exhaust the client's memory with an endless chunked body).
    // With a sink, the body goes to it when it accepts the response (see
    // BodySink); the limit counts the bytes either way. Of a body that is
    // neither streamed nor a 200's, only the first 64 KiB are kept.
    explicit HttpResponseReader(std::uint64_t bodyLimit, BodySink* sink = nullptr);

    // Consumes bytes of the response. Returns true once the response is
    // complete; later bytes are ignored. Throws CIMClientMalformedHTTPException
    // for bytes that are not an HTTP response, for a body over the limit, for
    // more than 256 KiB of status, header and trailer lines, and for more than
    // 100 interim answers and blank lines before the status line.
    bool feed(const char* data, std::size_t size);

    // The server closed the connection. Completes a body framed by the end of
    // the connection; otherwise throws CIMClientMalformedHTTPException
    // "Connection closed by CIM Server.".
    void endOfStream();

    bool complete() const { return state_ == State::Complete; }
    // The response; valid once complete().
    HttpResponse& response() { return response_; }

  private:
    enum class State {
        StatusLine,
        Headers,
        Body,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailers,
        UntilClose,
        Complete
    };

    bool takeLine(std::string& line);
    void parseStatusLine(const std::string& line);
    void parseField(const std::string& line, HeaderFields& fields);
    void startBody();
    // Moves what is pending of the current body or chunk into the body; `next` once it is all
    // there. False when nothing is pending.
    bool takeBody(State next);
    void appendBody(const char* data, std::size_t size);
    void countInterimLine();

    std::uint64_t bodyLimit_;
    BodySink* sink_;
    bool streaming_ = false;
    std::uint64_t bodyBytes_ = 0;
    std::uint64_t fieldBytes_ = 0;
    unsigned interimLines_ = 0;
    State state_ = State::StatusLine;
    std::string pending_;
    // How much of pending_ is known to hold no line end.
    std::size_t searchedBytes_ = 0;
    std::uint64_t remaining_ = 0;
    bool httpOneZero_ = false;
    HttpResponse response_;
};

}  // namespace http
}  // namespace Pegasus

#endif
