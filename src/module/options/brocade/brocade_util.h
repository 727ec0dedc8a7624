#ifndef VORNET_BROCADE_UTIL_H
#define VORNET_BROCADE_UTIL_H

#include <string>
#include <vector>

#include "host_records.h"

namespace Vornet {
namespace Brocade {

// Runs the adapter utility's two listing commands and hands their output on unread. Whether the
// utility exists is decided once, at construction.
class BrocadeUtil {
  public:
    // Looks for the utility under the "ProgramFiles" directory (on POSIX, under /opt when that
    // variable is unset).
    BrocadeUtil();
    ~BrocadeUtil();
    BrocadeUtil(const BrocadeUtil&) = delete;
    BrocadeUtil& operator=(const BrocadeUtil&) = delete;

    // Appends one record per successful command to `results`, never removing what it holds.
    // 0 both commands succeeded, 2 the utility was not found (nothing run), 3 a command failed.
    int GetRawData(std::vector<Vornet::VornetIHV::RawData_>& results);

    // Runs one command (100-second time-out) and fills *record whatever the outcome; returns the
    // exit code, 259 for a command still running at the time-out, -1 when it cannot be started.
    int ExcuteCommand(std::string program, std::vector<std::string> arguments,
                      Vornet::VornetIHV::RawData_* record, std::string* output);

    // Looks the command line up in the command table: a line that runs the utility and contains
    // a table row's command gets that row's description and item name; otherwise both are left
    // as they were. Always 0.
    int GetCmdDesc(const std::string& commandLine, std::string* description, std::string* itemName);

  private:
    bool bcuFound;
    std::string bcuPath;
};

}  // namespace Brocade
}  // namespace Vornet

#endif
