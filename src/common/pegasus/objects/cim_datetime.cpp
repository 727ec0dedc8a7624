#include <Pegasus/Common/CIMDateTime.h>
#include <Pegasus/Common/Exception.h>

namespace Pegasus {

CIMDateTime::CIMDateTime(const String& text) : text_(text) {
    const std::string& bytes = text.utf8();
    if (bytes.size() != 25 || bytes[14] != '.' ||
        (bytes[21] != '+' && bytes[21] != '-' && bytes[21] != ':')) {
        throw InvalidDateTimeFormatException(text);
    }
}

Boolean CIMDateTime::isInterval() const { return text_.utf8()[21] == ':'; }

}  // namespace Pegasus
