// HTTP framing of responses, fed whole and in every split, without a socket.
#include <Pegasus/Client/CIMClientException.h>
#include <gtest/gtest.h>

#include "http/http_response_reader.h"
#include "test_documents.h"

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
    const std::string fieldsTooLong =
        "Response from CIM Server exceeds the limit of 262144 bytes of HTTP header and trailer "
        "fields.";
    const std::string field = "X: " + std::string(60 * 1024, 'x') + "\r\n";
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
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
        // Only the start of an error's body is kept, however much of it comes.
        {"HTTP/1.1 500 Error\r\nContent-Length: 70000\r\n\r\n" + std::string(70000, 'e'),
         "500 " + std::string(64 * 1024, 'e')},
        {"HTTP/1.1 500 Error\r\nConnection: close\r\n\r\n" + std::string(70000, 'e'),
         "500 " + std::string(64 * 1024, 'e') + " closes at end"},
        // Header and trailer fields share one limit, and so do interim answers and blank lines.
        {"HTTP/1.1 200 OK\r\n" + repeated(field, 4) + "Content-Length: 2\r\n\r\nok", "200 ok"},
        {"HTTP/1.1 200 OK\r\n" + repeated(field, 5) + "Content-Length: 2\r\n\r\nok", fieldsTooLong},
        {chunked.substr(0, chunked.size() - 2) + repeated(field, 2) + "\r\n0\r\n" + repeated(field, 3) + "\r\n", fieldsTooLong},
        {repeated(interim, 50) + repeated("\r\n", 50) + ok, "200 ok"},
        {repeated(interim, 51) + repeated("\r\n", 50) + ok, "Response from CIM Server exceeds the limit of 100 interim answers and blank lines."},
        // clang-format on
    };
    for (const auto& test : cases) {
        for (size_t piece : {test.bytes.size(), size_t(1), size_t(7)}) {
            EXPECT_EQ(readInPieces(test.bytes, piece), test.read)
                << test.bytes.substr(0, 60) << " in pieces of " << piece;
        }
    }
}

// What a server announces claims no memory before its bytes arrive.
TEST(ResponseReader, holdsOnlyTheBodyBytesThatArrived) {
    for (const std::string head :
         {"HTTP/1.1 500 Error\r\nContent-Length: 1048576\r\n\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n"}) {
        http::HttpResponseReader reader(1 << 20);
        reader.feed(head.data(), head.size());
        reader.feed("ab", 2);
        EXPECT_LT(reader.response().body.capacity(), 4096u) << head;
    }
}

}  // namespace
