// Peak memory of decoding a hostile GetInstance body: one INSTANCE holding
// millions of empty elements, deep nesting, one start tag with very many
// attributes, or a long run of VALUE elements about as dense as the decoder
// accepts. Fed whole (as the
// whole-body decode functions take it) or in 64 KiB pieces (as the transport
// delivers it). Prints the outcome and the peak resident size.
//   pegasus_hostile_body empty|deep|attributes|values MEGABYTES [whole|pieces]
// Or of reading a hostile HTTP answer, made up and fed in 64 KiB pieces as the transport
// delivers them: an error body of that size, a Content-Length of 1 GiB with that much body,
// header and trailer fields of that size, or that much of interim answers and blank lines.
//   pegasus_hostile_body error-body|announced|fields|interim MEGABYTES
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cimxml/response_decoder.h"
#include "http/http_response_reader.h"
#include "process_usage.h"

namespace {

// Takes a 200's body and drops it, as the decoder would once it has read it.
class DroppingSink : public Pegasus::http::BodySink {
  public:
    bool accept(const Pegasus::http::HttpResponse& head) override { return head.status == 200; }
    void body(const char*, std::size_t) override {}
};

// The answer's bytes, made piece by piece so that only the reader holds them.
class HostileAnswer {
  public:
    HostileAnswer(const std::string& kind, size_t bytes) : kind_(kind), bytes_(bytes) {
        if (kind == "error-body") {
            head_ =
                "HTTP/1.1 500 Internal Server Error\r\nContent-Length: " + std::to_string(bytes) +
                "\r\n\r\n";
        } else if (kind == "announced") {
            head_ = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 1073741824\r\n\r\n";
        } else if (kind == "fields") {
            // Half in header fields, half in trailer fields, each field a line of 60 KiB.
            head_ = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n";
        }
    }

    // The next piece, empty at the end.
    std::string next() {
        const size_t piece = 64 * 1024;
        std::string out;
        if (!head_.empty()) {
            out.swap(head_);
            return out;
        }
        if (sent_ >= bytes_) {
            if (kind_ == "fields" && !ended_) {
                ended_ = true;
                return "\r\n";
            }
            return out;
        }
        if (kind_ == "fields") {
            out = "X-Field: " + std::string(60 * 1024, 'x') + "\r\n";
            if (sent_ < bytes_ / 2 && sent_ + out.size() >= bytes_ / 2) out += "\r\n0\r\n";
        } else if (kind_ == "interim") {
            while (out.size() < piece) out += "HTTP/1.1 100 Continue\r\n\r\n\r\n";
        } else {
            out.assign(piece, 'x');
        }
        sent_ += out.size();
        return out;
    }

  private:
    std::string kind_;
    size_t bytes_;
    size_t sent_ = 0;
    bool ended_ = false;
    std::string head_;
};

int readHostileAnswer(const std::string& kind, size_t bytes) {
    HostileAnswer answer(kind, bytes);
    DroppingSink sink;
    Pegasus::http::HttpResponseReader reader(1ull << 30, &sink);
    size_t fed = 0;
    try {
        bool complete = false;
        for (std::string piece = answer.next(); !piece.empty() && !complete;
             piece = answer.next()) {
            fed += piece.size();
            complete = reader.feed(piece.data(), piece.size());
        }
        std::printf("%s after %zu bytes\n", complete ? "complete" : "incomplete", fed);
    } catch (const Pegasus::Exception& error) {
        std::printf("%s after %zu bytes\n", error.getMessage().utf8().c_str(), fed);
    }
    std::printf("peak %.1f MiB (virtual %.1f MiB), CPU %.2f s\n", PeakResidentMebibytes(),
                PeakVirtualMebibytes(), CpuSeconds());
    return 0;
}

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
        std::fprintf(stderr,
                     "usage: %s empty|deep|attributes|values MEGABYTES [whole|pieces]\n"
                     "       %s error-body|announced|fields|interim MEGABYTES\n",
                     argv[0], argv[0]);
        return 2;
    }
    const std::string kind = argv[1];
    if (kind == "error-body" || kind == "announced" || kind == "fields" || kind == "interim") {
        return readHostileAnswer(kind, std::strtoull(argv[2], nullptr, 10) << 20);
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
