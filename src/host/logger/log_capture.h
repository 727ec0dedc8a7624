#ifndef VORNET_LOG_CAPTURE_H
#define VORNET_LOG_CAPTURE_H

#include <string>
#include <vector>

#include "logger_export.h"

namespace Vornet {

struct LogRecord {
    unsigned int level = 0;
    std::string file;
    int line = 0;
    std::string text;
};

// While a LogCapture lives, every emitted record is kept in memory instead of being written out,
// so tests can read what the module logged without touching the environment. One capture at a
// time; records below the threshold are never built, so they never arrive here.
class VORNET_LOGGER_API LogCapture {
  public:
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    std::vector<LogRecord> Records() const;
    // The texts alone, in order: what most tests compare.
    std::vector<std::string> Texts() const;
    void Clear();
};

}  // namespace Vornet

#endif
