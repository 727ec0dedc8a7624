#ifndef VORNET_LOG_LINE_H
#define VORNET_LOG_LINE_H

#include "log.h"

// The one way the module writes a log line:
//   VORNET_LOG(3) << "Connecting to cimserver " << host;
// The threshold is asked for every line, before any text is built, so a line below it costs
// nothing; the record carries the caller's file and line and is emitted at the end of the
// statement. The if/else shape keeps the macro safe inside an unbraced if.
#define VORNET_LOG(level)                                                     \
    if (::Vornet::Log::GetMinLogLevel() < static_cast<unsigned int>(level)) { \
    } else                                                                    \
        ::Vornet::Log(static_cast<unsigned int>(level), __FILE__, __LINE__).Stream()

#endif
