#ifndef VORNET_LOG_LINE_H
#define VORNET_LOG_LINE_H

#include <sstream>
#include <string>

#include "escaped_controls.h"
#include "log.h"
#include "masked_credentials.h"

namespace Vornet {

// One record of the host's log whose text, as a whole, has the password of any URL in it masked
// before the host sees it: a URL may be split over several insertions, and no caller can forget
// it. Server text in it is escaped where it is inserted (EscapedControls), since the module's own
// lines (a utility's output) keep their line breaks.
class LogLine {
  public:
    LogLine(unsigned int level, const char* file, int line) : record(level, file, line) {}
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;
    // A line that cannot be made (no memory) is lost rather than thrown from a destructor, which
    // would end the host while it unwinds.
    ~LogLine() {
        try {
            record.Stream() << MaskedCredentials(text.str());
        } catch (...) {
        }
    }

    std::ostringstream& Stream() { return text; }

  private:
    // Emitted when it ends, after the text was written into it.
    Log record;
    std::ostringstream text;
};

}  // namespace Vornet

// The one way the module writes a log line:
//   VORNET_LOG(3) << "Connecting to cimserver " << host;
// The threshold is asked for every line, before any text is built, so a line below it costs
// nothing; the record carries the caller's file and line and is emitted at the end of the
// statement. The if/else shape keeps the macro safe inside an unbraced if.
#define VORNET_LOG(level) VORNET_LOG_AT(level, __FILE__, __LINE__)

// The same with the source given, for a helper that writes on its caller's behalf.
#define VORNET_LOG_AT(level, file, line)                                      \
    if (::Vornet::Log::GetMinLogLevel() < static_cast<unsigned int>(level)) { \
    } else                                                                    \
        ::Vornet::LogLine(static_cast<unsigned int>(level), file, line).Stream()

#endif
