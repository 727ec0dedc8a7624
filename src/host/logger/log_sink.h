#ifndef VORNET_LOG_SINK_H
#define VORNET_LOG_SINK_H

#include <string>

namespace Vornet {

// Hands a finished record to the active LogCapture; false when none is active.
bool DeliverToCapture(unsigned int level, const char* file, int line, const std::string& text);

}  // namespace Vornet

#endif
