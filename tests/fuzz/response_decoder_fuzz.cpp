// libFuzzer target: any bytes a server might send, taken through everything
// the client does with a response (HTTP framing, response checks, every
// decoder, the body streamed to the decoder as the transport does).
// Only Pegasus exceptions may come out; anything else is a crash.
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "http_response_reader.h"
#include "response_checks.h"
#include "response_decoder.h"

using namespace Pegasus;

namespace {

// Streams the body of every response into an EnumerateInstances decoder,
// as the client does for a successful answer.
class DecodingSink : public http::BodySink {
  public:
    bool accept(const http::HttpResponse&) override { return true; }
    void body(const char* data, std::size_t size) override { decoder.feed(data, size); }
    cimxml::ResponseDecoder decoder{cimxml::ResponseDecoder::Operation::EnumerateInstances, 1000};
};

void feedInPieces(cimxml::ResponseDecoder& decoder, const std::string& body, size_t piece) {
    for (size_t offset = 0; offset < body.size(); offset += piece) {
        decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
    }
}

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
        // The framing or the checks may reject it; the decoders still get the body.
    }
    DecodingSink sink;
    try {
        http::HttpResponseReader streaming(1 << 20, &sink);
        if (!streaming.feed(bytes, size)) streaming.endOfStream();
        sink.decoder.finishEnumerateInstances();
    } catch (const Exception&) {
    }
    // Pieces of a size taken from the input, so that splits fall everywhere.
    const std::string body = reader.response().body;
    size_t piece = size == 0 ? 1 : 1 + data[0] % 64;
    using Operation = cimxml::ResponseDecoder::Operation;
    for (Operation operation :
         {Operation::GetInstance, Operation::GetClass, Operation::InvokeMethod}) {
        try {
            cimxml::ResponseDecoder decoder(operation, 1000);
            feedInPieces(decoder, body, piece);
            Array<CIMParamValue> out;
            if (operation == Operation::GetInstance) decoder.finishGetInstance();
            if (operation == Operation::GetClass) decoder.finishGetClass();
            if (operation == Operation::InvokeMethod)
                decoder.finishInvokeMethod("RunDiagnostic", out);
        } catch (const Exception&) {
        }
    }
    try {
        cimxml::decodeEnumerateInstances(body, 1000);
    } catch (const Exception&) {
    }
    return 0;
}
