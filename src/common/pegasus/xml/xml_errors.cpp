#include "xml/xml_errors.h"

#include <Pegasus/Client/CIMClientException.h>

namespace Pegasus {
namespace xml {

namespace {

const char* kindText(XmlError kind) {
    switch (kind) {
        case XmlError::MissingDeclaration:
            return "Expected <?xml ... ?> style declaration";
        case XmlError::BadAttribute:
            return "Bad attribute name";
        case XmlError::BadStartElement:
            return "Bad opening element";
        case XmlError::BadEndElement:
            return "Bad closing element";
        case XmlError::EndElementMismatch:
            return "Closing element does not match opening element";
        case XmlError::ElementsStillOpen:
            return "One or more tags are still open";
        case XmlError::BadComment:
            return "Unterminated comment";
        case XmlError::BadCdata:
            return "Unterminated CDATA block";
        case XmlError::Doctype:
            return "DOCTYPE not accepted";
        case XmlError::BadProcessingInstruction:
            return "Bad processing instruction";
        case XmlError::BadReference:
            return "Malformed reference";
        case XmlError::NoRootElement:
            return "No root element";
        case XmlError::JunkAfterRootElement:
            return "Extra content after the root element";
        case XmlError::BadEncoding:
            return "Malformed XML";
        case XmlError::TooDeep:
            return "Elements nested too deeply";
        case XmlError::TooLong:
            return "Markup too long";
        case XmlError::Malformed:
            break;
    }
    return "Malformed XML";
}

}  // namespace

std::string xmlErrorText(XmlError kind, std::uint64_t line) {
    // OpenPegasus checks the declaration itself and words it as a validation
    // failure, always on the first line.
    if (kind == XmlError::MissingDeclaration) {
        return std::string("Validation error: on line 1: ") + kindText(kind);
    }
    return std::string(kindText(kind)) + ": on line " + std::to_string(line);
}

void throwXmlError(XmlError kind, std::uint64_t line) {
    throw CIMClientXmlException(String::fromUtf8(xmlErrorText(kind, line)));
}

}  // namespace xml
}  // namespace Pegasus
