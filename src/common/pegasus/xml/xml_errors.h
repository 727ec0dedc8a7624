// The defects an XML parser backend can find, and the one place that words
// them as OpenPegasus does, so that every backend reports a defect alike.
#ifndef PEGASUS_XML_XML_ERRORS_H
#define PEGASUS_XML_XML_ERRORS_H

#include <cstdint>
#include <string>

namespace Pegasus {
namespace xml {

// A backend maps each of its own error codes to the nearest kind; what it
// cannot place is Malformed.
enum class XmlError {
    MissingDeclaration,  // the document does not start with <?xml ... ?>
    BadAttribute,        // a start tag broken or cut inside its attributes
    BadStartElement,     // a start tag broken in its name, or a stray '<'
    BadEndElement,       // an end tag broken or cut
    EndElementMismatch,  // an end tag that does not close the open element
    ElementsStillOpen,   // the document ended inside an element
    BadComment,          // a comment not closed
    BadCdata,            // a CDATA section not closed
    Doctype,             // a DOCTYPE (refused)
    BadProcessingInstruction,
    BadReference,          // an unknown entity or a malformed reference
    NoRootElement,         // nothing but prolog before the end
    JunkAfterRootElement,  // content after the root element's end
    BadEncoding,           // bytes that are not UTF-8, or another encoding declared
    TooDeep,               // elements nested deeper than kMaxDepth
    TooLong,               // a tag, comment or instruction longer than kMaxMarkupBytes
    Malformed              // anything else
};

// What a backend accepts, the same on every platform: libxml2 stops at this
// depth when it parses a whole document (not when pushed to), and no
// CIM-XML tag comes near this size, while one of many megabytes of
// attributes costs the parser far more memory and time than its size.
constexpr std::uint64_t kMaxDepth = 256;
constexpr std::uint64_t kMaxMarkupBytes = 64 * 1024;

// OpenPegasus's text for a defect found on `line`, e.g.
// "Closing element does not match opening element: on line 7". A missing
// declaration is "Validation error: on line 1: Expected <?xml ... ?> style
// declaration", as OpenPegasus words it.
std::string xmlErrorText(XmlError kind, std::uint64_t line);

// Throws CIMClientXmlException(xmlErrorText(kind, line)).
[[noreturn]] void throwXmlError(XmlError kind, std::uint64_t line);

}  // namespace xml
}  // namespace Pegasus

#endif
