#include <Pegasus/Common/CIMName.h>

namespace Pegasus {

CIMNamespaceName::CIMNamespaceName(const String& name) {
    const std::string& text = name.utf8();
    name_ = (!text.empty() && text[0] == '/') ? String::fromUtf8(text.substr(1)) : name;
}

}  // namespace Pegasus
