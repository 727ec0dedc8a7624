// Peak memory of decoding a hostile GetInstance body: one INSTANCE holding
// millions of empty elements, deep nesting, one start tag with very many
// attributes, or a long run of VALUE elements about as dense as the decoder
// accepts. Fed whole (as the
// whole-body decode functions take it) or in 64 KiB pieces (as the transport
// delivers it). Prints the outcome and the peak resident size.
//   pegasus_hostile_body empty|deep|attributes|values MEGABYTES [whole|pieces]
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "process_usage.h"
#include "response_decoder.h"

namespace {

std::string hostileBody(const std::string& kind, size_t bytes) {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"1000\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n"
        "<IMETHODRESPONSE NAME=\"GetInstance\">\n<IRETURNVALUE>\n<INSTANCE CLASSNAME=\"X\">\n";
    body.reserve(bytes + 4096);
    if (kind == "attributes") body += "<a";
    size_t index = 0;
    while (body.size() < bytes) {
        if (kind == "empty") {
            body += "<a/>";
        } else if (kind == "deep") {
            body += "<a>";
        } else if (kind == "attributes") {
            body += " a" + std::to_string(index++) + "=\"\"";
        } else {
            body += "<VALUE>1234567890</VALUE>";
        }
    }
    if (kind == "attributes") body += "/>";
    body +=
        "\n</INSTANCE>\n</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
    return body;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s empty|deep|attributes|values MEGABYTES [whole|pieces]\n",
                     argv[0]);
        return 2;
    }
    const std::string body = hostileBody(argv[1], std::strtoull(argv[2], nullptr, 10) << 20);
    const bool whole = argc < 4 || std::strcmp(argv[3], "whole") == 0;
    std::printf("body %zu bytes, before decoding: peak %.1f MiB\n", body.size(),
                PeakResidentMebibytes());
    try {
        if (whole) {
            Pegasus::cimxml::decodeGetInstance(body, 1000);
        } else {
            Pegasus::cimxml::ResponseDecoder decoder(
                Pegasus::cimxml::ResponseDecoder::Operation::GetInstance, 1000);
            const size_t piece = 64 * 1024;
            for (size_t offset = 0; offset < body.size(); offset += piece) {
                decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
            }
            decoder.finishGetInstance();
        }
        std::printf("decoded\n");
    } catch (const Pegasus::Exception& error) {
        std::printf("%s\n", error.getMessage().utf8().c_str());
    }
    std::printf("peak %.1f MiB, CPU %.2f s\n", PeakResidentMebibytes(), CpuSeconds());
    return 0;
}
