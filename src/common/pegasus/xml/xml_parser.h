// The streaming XML parser under the CIM-XML decoder. One header, one
// implementation per platform chosen at build time (xml_parser_libxml2.cpp on
// Linux, xml_parser_xmllite.cpp on Windows), so that the decoder above it is
// the same code everywhere and never sees which parser runs.
//
// The parser reports what it reads as events to an XmlHandler. The libxml2
// backend reports them while the bytes arrive and never holds the whole
// document, so a response of any size costs only the objects the handler
// builds from it; the XmlLite backend keeps the bytes and reports every event
// from finish() (see xml_parser_xmllite.cpp for why).
#ifndef PEGASUS_XML_XML_PARSER_H
#define PEGASUS_XML_XML_PARSER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace Pegasus {
namespace xml {

// One attribute of a start tag, its value with references already replaced
// (`&amp;` -> `&`, `&#10;` -> newline).
struct XmlAttribute {
    std::string_view name;
    std::string_view value;
};

// Receives the events of one document, in document order.
//
// Every view (names, attribute names and values, text) points into the
// parser's own memory and is valid ONLY during the call that passes it: copy
// what you keep. Names are UTF-8 exactly as written (no namespace
// processing); text is UTF-8 with references replaced and line ends
// normalised to "\n".
//
// A handler may throw (an invalid document, a server error found in the
// body, ...). The parser then stops at once, delivers no further event, and
// the exception leaves the feed() or finish() call that was running,
// unchanged (same class, same message). The parser is unusable afterwards.
class XmlHandler {
  public:
    virtual ~XmlHandler() = default;

    // A start tag or an empty-element tag (`<A/>` is startElement then
    // endElement). `attributes` holds `attributeCount` entries in the order
    // written; duplicates are a syntax error reported by the parser.
    virtual void startElement(std::string_view name, const XmlAttribute* attributes,
                              std::size_t attributeCount) = 0;

    // The end of the element started last and not yet ended.
    virtual void endElement(std::string_view name) = 0;

    // Character data (CDATA sections included) inside the current element.
    // One run of text may arrive in several calls, split anywhere except
    // inside a UTF-8 sequence: append the pieces. Whitespace between
    // elements arrives too; the handler decides whether it matters.
    // Comments and processing instructions produce no event.
    virtual void characters(std::string_view text) = 0;
};

// Parses one document, pushed to it in pieces, and reports it to a handler.
// Not thread-safe: one thread uses a parser at a time (distinct parsers are
// independent). Not copyable; one parser per document.
//
// Accepted input: bytes read as UTF-8 whatever the document declares (as the
// server's Content-Type promises), starting, after optional whitespace and
// with no byte order mark, with an XML declaration `<?xml ... ?>`. A DOCTYPE
// is refused (CIM-XML responses have none, and no server may make the client
// expand entities it defines); only the five predefined entities and
// character references are known.
//
// Limits (xml_errors.h): elements nested more than kMaxDepth deep, and a tag,
// comment or processing instruction longer than kMaxMarkupBytes, are defects
// of the document (TooDeep, TooLong), so that no markup makes the parser
// grow beyond a small multiple of the bytes it has been given.
//
// Errors: every defect of the document is thrown as CIMClientXmlException
// whose message is xmlErrorText(kind, line) (xml_errors.h), worded as
// OpenPegasus words it. After a throw the parser is unusable.
class XmlParser {
  public:
    // The handler must outlive the parser; the parser does not own it.
    explicit XmlParser(XmlHandler& handler);
    ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // Parses the next `size` bytes of the document (size may be 0). May call
    // the handler for events complete within the bytes seen so far (the
    // libxml2 backend does; XmlLite waits for finish()); the rest waits for
    // later bytes. The parser copies what it still needs, so `data` may be
    // reused once feed() returns. Throws as described above.
    void feed(const char* data, std::size_t size);

    // The document has ended: reports what was still pending and throws
    // CIMClientXmlException when the document is incomplete (a tag or
    // element left open, no root element). Call once, after the last feed().
    void finish();

    // The line (1-based, counted from the first byte fed, "\n" ends a line)
    // on which the event being reported starts: for startElement the line of
    // its `<`. Meant for use inside handler calls, to word "Validation error:
    // on line N: ..." texts; between calls it is the line of the last event.
    std::uint64_t line() const;

  private:
    class Backend;
    std::unique_ptr<Backend> backend_;
};

}  // namespace xml
}  // namespace Pegasus

#endif
