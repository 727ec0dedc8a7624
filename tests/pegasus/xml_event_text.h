// The events the platform's XML parser reports for a document, as one text, for the tests and the
// fuzz target that compare them: "<NAME a=v>@LINE" (the line of its '<'), "</NAME>", "[text]" with
// the pieces of one run of text joined; "error: " and the defect's text when the parser refuses the
// document; "broken promise: ..." when the events break what xml_parser.h promises of any document
// (balanced, inside the root, no deeper than kMaxDepth, lines that never go back).
#ifndef PEGASUS_TESTS_XML_EVENT_TEXT_H
#define PEGASUS_TESTS_XML_EVENT_TEXT_H

#include <Pegasus/Client/CIMClientException.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "xml/xml_errors.h"
#include "xml/xml_parser.h"

namespace xml_event_text {

class Recorder : public Pegasus::xml::XmlHandler {
  public:
    void startElement(std::string_view name, const Pegasus::xml::XmlAttribute* attributes,
                      std::size_t count) override {
        std::uint64_t line = parser->line();
        keep(!name.empty() && open_.size() < Pegasus::xml::kMaxDepth, "start tag");
        keep(line >= lastLine_, "a line before the last");
        lastLine_ = line;
        open_.emplace_back(name);
        events += "<" + std::string(name);
        for (std::size_t i = 0; i < count; ++i) {
            keep(!attributes[i].name.empty(), "attribute name");
            events +=
                " " + std::string(attributes[i].name) + "=" + std::string(attributes[i].value);
        }
        events += ">@" + std::to_string(line);
    }
    void endElement(std::string_view name) override {
        keep(!open_.empty() && open_.back() == name, "end tag");
        if (!open_.empty()) open_.pop_back();
        events += "</" + std::string(name) + ">";
    }
    // Only a run of text ends the events with ']': a start tag ends with its line, an end tag
    // with '>'.
    void characters(std::string_view text) override {
        keep(!open_.empty(), "text outside the root");
        if (events.empty() || events.back() != ']') events += "[]";
        events.insert(events.size() - 1, text);
    }
    void finished() { keep(open_.empty() && !events.empty(), "document end"); }

    const Pegasus::xml::XmlParser* parser = nullptr;
    std::string events;
    std::string broken;

  private:
    void keep(bool promise, const char* what) {
        if (!promise && broken.empty()) broken = what;
    }

    std::vector<std::string> open_;
    std::uint64_t lastLine_ = 1;
};

// `document` fed to a new parser in pieces of `piece` bytes.
inline std::string eventsOf(const std::string& document, std::size_t piece) {
    Recorder recorder;
    std::string outcome;
    try {
        Pegasus::xml::XmlParser parser(recorder);
        recorder.parser = &parser;
        for (std::size_t at = 0; at < document.size(); at += piece) {
            parser.feed(document.data() + at, std::min(piece, document.size() - at));
        }
        parser.finish();
        recorder.finished();
        outcome = recorder.events;
    } catch (const Pegasus::CIMClientXmlException& error) {
        outcome = "error: " + error.getMessage().utf8();
    }
    return recorder.broken.empty() ? outcome : "broken promise: " + recorder.broken;
}

}  // namespace xml_event_text

#endif
