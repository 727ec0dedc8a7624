#include "provider_module_switch.h"

#include <map>
#include <mutex>

#include "cimom.h"

namespace {

// Holds per module name. The lock also spans the manager's call, so that a switch-off for the
// last holder can never overtake the switch-on for the next one.
std::mutex holdLock;
// Never destroyed: a host may destroy its last object while the process ends.
std::map<std::string, int>& Holds() {
    static auto* const holds = new std::map<std::string, int>;
    return *holds;
}

}  // namespace

bool HoldProviderModule(const std::string& moduleName) {
    const std::lock_guard<std::mutex> lock(holdLock);
    int& holds = Holds()[moduleName];
    const bool answer =
        holds > 0 || Vornet::Cimom::GetInstance()->EnableProviderModule(moduleName.c_str());
    if (answer) {
        ++holds;
    }
    return answer;
}

bool ReleaseProviderModule(const std::string& moduleName) {
    const std::lock_guard<std::mutex> lock(holdLock);
    int& holds = Holds()[moduleName];
    if (holds == 0 || --holds > 0) {
        return true;
    }
    return Vornet::Cimom::GetInstance()->DisableProviderModule(moduleName.c_str());
}
