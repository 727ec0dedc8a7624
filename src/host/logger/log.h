#ifndef VORNET_LOG_H
#define VORNET_LOG_H

#include <sstream>

#include "logger_export.h"

namespace Vornet {

// One log record. The text written into Stream() is emitted, with level, file and line, exactly
// once: when the object ends. Levels: 1 error, 2 warning, 3 progress, 4 trace.
//
// Output: one line per record, "2026-12-06T07:30:03.123Z L4 file:line text", on standard error,
// or appended to the file named by VORNET_LOG_FILE. Carriage return, line feed and backslash in
// the text are written as \r, \n and \\ so that a record never spans lines.
class VORNET_LOGGER_API Log {
  public:
    // The threshold: a record of level L is wanted when GetMinLogLevel() >= L. Read once from
    // VORNET_LOG_LEVEL (0 to 4; unset or anything else means 2) unless SetMinLogLevel was called.
    static unsigned int GetMinLogLevel();
    // Overrides the threshold for the rest of the process (tests, the probe's --log-level).
    static void SetMinLogLevel(unsigned int level);

    Log(unsigned int level, const char* file, int line);
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    virtual ~Log();

    std::ostringstream& Stream();

  private:
    unsigned int level;
    const char* file;
    int line;
    std::ostringstream stream;
};

}  // namespace Vornet

#endif
