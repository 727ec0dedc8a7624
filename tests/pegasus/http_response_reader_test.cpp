// HTTP framing of responses, fed whole and in every split, without a socket.
#include <Pegasus/Client/CIMClientException.h>
#include <gtest/gtest.h>

#include "http_response_reader.h"

using namespace Pegasus;

namespace {

struct Framing {
    const char* name;
    std::string bytes;
    bool endsWithClose;  // the body ends only when the connection does
    std::string body;
    std::string trailer;  // "Name=value" of the first trailer field, or ""
    bool closesConnection;
};

// ctest shows the case by its name rather than as a dump of its bytes.
void PrintTo(const Framing& c, std::ostream* out) { *out << c.name; }

http::HttpResponse readInPieces(const std::string& bytes, size_t piece, bool endsWithClose) {
    http::HttpResponseReader reader(1 << 20);
    bool complete = false;
    for (size_t offset = 0; offset < bytes.size() && !complete; offset += piece) {
        complete = reader.feed(bytes.data() + offset, std::min(piece, bytes.size() - offset));
    }
    if (endsWithClose) {
        EXPECT_FALSE(complete);
        reader.endOfStream();
    }
    EXPECT_TRUE(reader.complete());
    return reader.response();
}

// A header line of 64 KiB with its line end is the longest taken.
std::string responseWithHeaderLineOf(size_t bytes) {
    const std::string name = "X-Filler: ";
    return "HTTP/1.1 200 OK\r\n" + name + std::string(bytes - name.size() - 2, 'x') +
           "\r\nContent-Length: 2\r\n\r\nok";
}

class ResponseFraming : public testing::TestWithParam<Framing> {};

TEST_P(ResponseFraming, givesTheSameResponseHoweverTheBytesArrive) {
    const Framing& c = GetParam();
    for (size_t piece : {c.bytes.size(), size_t(1), size_t(7)}) {
        http::HttpResponse response = readInPieces(c.bytes, piece, c.endsWithClose);
        EXPECT_EQ(response.status, 200u);
        EXPECT_EQ(response.body, c.body) << "pieces of " << piece;
        std::string trailer = response.trailers.empty()
                                  ? ""
                                  : response.trailers[0].first + "=" + response.trailers[0].second;
        EXPECT_EQ(trailer, c.trailer);
        EXPECT_EQ(response.closesConnection, c.closesConnection);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Framings, ResponseFraming,
    testing::Values(
        Framing{"content_length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA", false,
                "hello", "", false},
        Framing{"chunked_with_trailer",
                "HTTP/1.1 200 OK\r\ntransfer-encoding: chunked\r\n\r\n5;ext=1\r\nhello\r\n"
                "1\r\n!\r\n0\r\nCIMStatusCode: 6\r\n\r\n",
                false, "hello!", "CIMStatusCode=6", false},
        Framing{"until_close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nall of it", true,
                "all of it", "", true},
        Framing{"interim_continue_first",
                "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
                false, "ok", "", false},
        Framing{"http_1_0_closes", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", false, "ok",
                "", true},
        Framing{"bare_line_feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", false, "ok", "",
                false},
        Framing{"longest_header_line", responseWithHeaderLineOf(64 * 1024), false, "ok", "",
                false}),
    [](const testing::TestParamInfo<Framing>& info) { return std::string(info.param.name); });

struct Defect {
    const char* name;
    std::string bytes;
    const char* message;
};

void PrintTo(const Defect& c, std::ostream* out) { *out << c.name; }

class ResponseDefects : public testing::TestWithParam<Defect> {};

TEST_P(ResponseDefects, failWithAMalformedHttpExceptionHoweverTheBytesArrive) {
    const std::string& bytes = GetParam().bytes;
    for (size_t piece : {bytes.size(), size_t(1)}) {
        http::HttpResponseReader reader(1 << 20);
        try {
            bool complete = false;
            for (size_t offset = 0; offset < bytes.size() && !complete; offset += piece) {
                complete =
                    reader.feed(bytes.data() + offset, std::min(piece, bytes.size() - offset));
            }
            if (!complete) reader.endOfStream();
            ADD_FAILURE() << "accepted in pieces of " << piece;
        } catch (const CIMClientMalformedHTTPException& error) {
            EXPECT_EQ(error.getMessage().utf8(), GetParam().message) << "pieces of " << piece;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Defects, ResponseDefects,
    testing::Values(
        Defect{"not_http", "SSH-2.0-OpenSSH\r\n", "Malformed HTTP status line: SSH-2.0-OpenSSH"},
        Defect{"cut_in_headers", "HTTP/1.1 200 OK\r\nContent-Le",
               "Connection closed by CIM Server."},
        Defect{"cut_in_body", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf",
               "Connection closed by CIM Server."},
        Defect{"bad_chunk_size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
               "Malformed chunk size: zz"},
        Defect{"chunk_over_limit",
               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100001\r\n",
               "Response from CIM Server exceeds the limit of 1048576 bytes."},
        Defect{"length_over_limit", "HTTP/1.1 200 OK\r\nContent-Length: 1048577\r\n\r\n",
               "Response from CIM Server exceeds the limit of 1048576 bytes."},
        Defect{"negative_length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
               "Bad Content-Length HTTP header: -1"},
        Defect{"header_line_too_long", responseWithHeaderLineOf(64 * 1024 + 1),
               "HTTP header line too long"}),
    [](const testing::TestParamInfo<Defect>& info) { return std::string(info.param.name); });

}  // namespace
