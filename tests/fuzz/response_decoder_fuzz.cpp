// libFuzzer target: any bytes a server might send, taken through everything
// the client does with a response (HTTP framing, response checks, the three
// decoders). Only Pegasus exceptions may come out; anything else is a crash.
#include <Pegasus/Common/Exception.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "http_response_reader.h"
#include "response_checks.h"
#include "response_decoder.h"

using namespace Pegasus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    http::HttpResponseReader reader(1 << 20);
    try {
        if (!reader.feed(reinterpret_cast<const char*>(data), size)) reader.endOfStream();
        http::HttpResponse response = reader.response();
        asksForBasicCredentials(response);
        checkOperationResponse(response);
    } catch (const Exception&) {
        // The framing or the checks may reject it; the decoders still get the body.
    }
    const std::string body = reader.response().body;
    try {
        std::string copy = body;
        cimxml::decodeEnumerateInstances(copy, 1000);
    } catch (const Exception&) {
    }
    try {
        std::string copy = body;
        cimxml::decodeGetInstance(copy, 1000);
    } catch (const Exception&) {
    }
    try {
        std::string copy = body;
        Array<CIMParamValue> out;
        cimxml::decodeInvokeMethod(copy, 1000, "RunDiagnostic", out);
    } catch (const Exception&) {
    }
    return 0;
}
