// libFuzzer target: any bytes a server might send, taken through what the client does with a
// response: HTTP framing, the response checks, and the body streamed to the decoder as the
// transport does. Only Pegasus exceptions may come out; anything else is a crash. Bodies alone
// through every decoder are xml_body_fuzz's part.
#include <Pegasus/Common/Exception.h>

#include <cstddef>
#include <cstdint>

#include "cimxml/response_decoder.h"
#include "client/response_checks.h"
#include "http/http_response_reader.h"

using namespace Pegasus;

namespace {

// Takes every body, as the client does for a successful answer.
class DecodingSink : public http::BodySink {
  public:
    bool accept(const http::HttpResponse&) override { return true; }
    void body(const char* data, std::size_t size) override { decoder.feed(data, size); }
    cimxml::ResponseDecoder decoder{cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    http::HttpResponseReader reader(1 << 20);
    try {
        if (!reader.feed(bytes, size)) reader.endOfStream();
        http::HttpResponse response = reader.response();
        asksForBasicCredentials(response);
        checkOperationResponse(response);
    } catch (const Exception&) {
        // The framing or the checks may reject it; the streaming reader still gets the bytes.
    }
    DecodingSink sink;
    try {
        http::HttpResponseReader streaming(1 << 20, &sink);
        if (!streaming.feed(bytes, size)) streaming.endOfStream();
        sink.decoder.finishEnumerateInstances();
    } catch (const Exception&) {
    }
    return 0;
}
