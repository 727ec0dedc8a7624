// HTTP framing of responses, fed whole and in every split, without a socket.
#include <Pegasus/Client/CIMClientException.h>
#include <gtest/gtest.h>

#include "http_response_reader.h"

using namespace Pegasus;

namespace {

// What the reader made of `bytes` fed in pieces: "STATUS body", then " Name=value" of the first
// trailer, " closes" if the connection must close, " at end" if only the end of the stream
// completed it; or the message of the malformed-HTTP exception.
std::string readInPieces(const std::string& bytes, size_t piece) {
    http::HttpResponseReader reader(1 << 20);
    try {
        bool complete = false;
        for (size_t offset = 0; offset < bytes.size() && !complete; offset += piece) {
            complete = reader.feed(bytes.data() + offset, std::min(piece, bytes.size() - offset));
        }
        if (!complete) reader.endOfStream();
        if (!reader.complete()) return "incomplete";
        const http::HttpResponse& response = reader.response();
        std::string text = std::to_string(response.status) + " " + response.body;
        for (const auto& trailer : response.trailers)
            text += " " + trailer.first + "=" + trailer.second;
        return text + (response.closesConnection ? " closes" : "") + (complete ? "" : " at end");
    } catch (const CIMClientMalformedHTTPException& error) {
        return error.getMessage().utf8();
    }
}

TEST(ResponseReader, givesTheSameResponseOrFailureHoweverTheBytesArrive) {
    const std::string closed = "Connection closed by CIM Server.";
    const std::string tooLarge = "Response from CIM Server exceeds the limit of 1048576 bytes.";
    const std::string chunked = "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\n\r\n";
    // A header line of 64 KiB with its line end is the longest taken.
    const auto headerLineOf = [](size_t bytes) {
        return "HTTP/1.1 200 OK\r\nX: " + std::string(bytes - 5, 'x') +
               "\r\nContent-Length: 2\r\n\r\nok";
    };
    const struct {
        std::string bytes;
        std::string read;
    } cases[] = {
        // clang-format off
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", "200 hello"},
        {chunked + "5;ext=1\r\nhello\r\n1\r\n!\r\n0\r\nCIMStatusCode: 6\r\n\r\n", "200 hello! CIMStatusCode=6"},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nall of it", "200 all of it closes at end"},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", "200 ok"},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", "200 ok closes"},
        {"HTTP/1.1 200 OK\nContent-Length: 2\n\nok", "200 ok"},
        {headerLineOf(64 * 1024), "200 ok"},
        {"SSH-2.0-OpenSSH\r\n", "Malformed HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.1 200 OK\r\nContent-Le", closed},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf", closed},
        {chunked + "zz\r\n", "Malformed chunk size: zz"},
        {chunked + "100001\r\n", tooLarge},
        {"HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n\r\n", tooLarge},
        {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", "Bad Content-Length HTTP header: -1"},
        {headerLineOf(64 * 1024 + 1), "HTTP header line too long"},
        // clang-format on
    };
    for (const auto& test : cases) {
        for (size_t piece : {test.bytes.size(), size_t(1), size_t(7)}) {
            EXPECT_EQ(readInPieces(test.bytes, piece), test.read)
                << test.bytes.substr(0, 60) << " in pieces of " << piece;
        }
    }
}

}  // namespace
