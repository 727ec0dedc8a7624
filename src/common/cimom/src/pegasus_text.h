#ifndef VORNET_PEGASUS_TEXT_H
#define VORNET_PEGASUS_TEXT_H

#include <Pegasus/Common/String.h>

#include <string>

#include "escaped_controls.h"

// Module text is narrow UTF-8 bytes; CIM library strings enter it here.
inline std::string ToText(const Pegasus::String& text) { return std::string(text.getCString()); }

// A CIM library string as it enters a log line: the server may have written it.
inline std::string LogText(const Pegasus::String& text) {
    return Vornet::EscapedControls(ToText(text));
}

#endif
