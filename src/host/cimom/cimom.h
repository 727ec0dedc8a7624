#ifndef VORNET_CIMOM_H
#define VORNET_CIMOM_H

#include <mutex>
#include <string>
#include <vector>

#include "cimom_export.h"

namespace Vornet {

// The host's CIM object manager. This stand-in only records what it is asked, so that tests can
// check how the module switches provider modules. Thread-safe, as the host calls it from several
// threads.
class VORNET_CIMOM_API Cimom {
  public:
    // The process-wide object; never null.
    static Cimom* GetInstance();

    // Switch a provider module on or off: writes a level-3 line naming it and returns true
    // (EnableProviderModule: false while refusing, see RefuseEnabling).
    bool EnableProviderModule(const char* moduleName);
    bool DisableProviderModule(const char* moduleName);
    // For tests: while `refuse` is set, EnableProviderModule answers false, as a manager that
    // cannot switch the module on does.
    void RefuseEnabling(bool refuse);

    // Journal of calls, oldest first: "GetInstance", "Enable <module>", "Disable <module>".
    std::vector<std::string> Calls() const;
    void ClearCalls();

    Cimom(const Cimom&) = delete;
    Cimom& operator=(const Cimom&) = delete;

  private:
    Cimom() = default;
    void Record(std::string call);

    mutable std::mutex callsLock;
    std::vector<std::string> calls;
    bool refusing = false;
};

}  // namespace Vornet

#endif
