#ifndef VORNET_PEGASUS_TEXT_H
#define VORNET_PEGASUS_TEXT_H

#include <Pegasus/Common/String.h>

#include <string>

// Module text is narrow UTF-8 bytes; CIM library strings enter it here.
inline std::string ToText(const Pegasus::String& text) { return std::string(text.getCString()); }

#endif
