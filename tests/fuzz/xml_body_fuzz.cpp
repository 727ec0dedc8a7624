// libFuzzer target: any bytes as a response body, without HTTP around them, cut into pieces whose
// size the first byte chooses. Each of these must give the same outcome (or the same defect) whole
// and in pieces: the platform's XML parser (libxml2 here), whose events must also keep what
// xml_parser.h promises (xml_event_text.h checks); the Windows backend's own checks (markup scan,
// UTF-8 check); the decoder of every response kind. Only Pegasus exceptions may leave the code
// under test; anything else, or a broken promise, is a crash.
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cimxml/response_decoder.h"
#include "xml/markup_scan.h"
#include "xml/utf8_check.h"
#include "xml/xml_errors.h"
#include "xml_event_text.h"

using namespace Pegasus;
using Operation = cimxml::ResponseDecoder::Operation;

namespace {

// The same outcome whole and in pieces; both are printed when they differ.
void requireAlike(const std::string& whole, const std::string& inPieces, const char* what) {
    if (whole == inPieces) return;
    std::fprintf(stderr, "%s differs whole and in pieces:\n--- whole\n%s\n--- in pieces\n%s\n",
                 what, whole.c_str(), inPieces.c_str());
    std::abort();
}

std::string scanOutcome(const std::string& body, std::size_t piece) {
    xml::MarkupScan scan;
    xml::Utf8Check utf8;
    std::size_t badByte = body.size();
    for (std::size_t offset = 0; offset < body.size(); offset += piece) {
        std::size_t size = std::min(piece, body.size() - offset);
        scan.feed(body.data() + offset, size);
        // The backend stops at the first bad byte.
        if (badByte == body.size()) {
            std::size_t bad = utf8.accept(body.data() + offset, size);
            if (bad < size) badByte = offset + bad;
        }
    }
    std::string outcome = "utf8 " + std::to_string(badByte);
    if (badByte == body.size() && !utf8.complete()) outcome += " cut";
    xml::XmlError kind;
    std::uint64_t line;
    if (scan.defect(kind, line)) outcome += " " + xml::xmlErrorText(kind, line);
    std::string blanks(body.size(), ' ');
    scan.correctTextBlanks(blanks);
    scan.correctAttributeBlanks(blanks);
    return outcome + blanks;
}

std::string decodeOutcome(Operation operation, const std::string& body, std::size_t piece) {
    cimxml::ResponseDecoder decoder(operation, 1000);
    for (std::size_t offset = 0; offset < body.size(); offset += piece)
        decoder.feed(body.data() + offset, std::min(piece, body.size() - offset));
    try {
        switch (operation) {
            case Operation::EnumerateInstances:
                return std::to_string(decoder.finishEnumerateInstances().size()) + " instances";
            case Operation::GetInstance:
                return decoder.finishGetInstance().getPath().toString().utf8();
            case Operation::GetClass:
                return decoder.finishGetClass().getClassName().getString().utf8();
            case Operation::InvokeMethod: {
                Array<CIMParamValue> out;
                CIMValue returned = decoder.finishInvokeMethod("RunDiagnostic", out);
                return returned.toString().utf8() + " " + std::to_string(out.size());
            }
        }
    } catch (const Exception& error) {
        return "error: " + error.getMessage().utf8();
    }
    return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = 1 + data[0] % 64;
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t whole = body.size() + 1;
    // Which of an earlier defect and a byte that is not UTF-8 is reported can depend on the cut
    // (the parser is given the bytes before the bad one, and may not have read them all); only
    // that it fails cannot.
    xml::Utf8Check utf8;
    const bool utf8Text = utf8.accept(body.data(), body.size()) == body.size() && utf8.complete();
    auto requireSameOutcome = [&](const std::string& atOnce, const std::string& inPieces,
                                  const char* what) {
        if (utf8Text) return requireAlike(atOnce, inPieces, what);
        if (atOnce.rfind("error: ", 0) != 0 || inPieces.rfind("error: ", 0) != 0) std::abort();
    };
    const std::string events = xml_event_text::eventsOf(body, whole);
    if (events.compare(0, 15, "broken promise:") == 0) std::abort();
    requireSameOutcome(events, xml_event_text::eventsOf(body, piece), "XML events");
    requireAlike(scanOutcome(body, whole), scanOutcome(body, piece), "markup scan");
    for (Operation operation : {Operation::EnumerateInstances, Operation::GetInstance,
                                Operation::GetClass, Operation::InvokeMethod}) {
        requireSameOutcome(decodeOutcome(operation, body, whole),
                           decodeOutcome(operation, body, piece), "decoding");
    }
    return 0;
}
