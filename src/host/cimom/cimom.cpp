#include "cimom.h"

#include "log_line.h"

namespace Vornet {

Cimom* Cimom::GetInstance() {
    static Cimom instance;
    instance.calls.push_back("GetInstance");
    return &instance;
}

bool Cimom::EnableProviderModule(const char* moduleName) {
    VORNET_LOG(3) << "Cimom: enabling provider module " << moduleName;
    calls.push_back(std::string("Enable ") + moduleName);
    return true;
}

bool Cimom::DisableProviderModule(const char* moduleName) {
    VORNET_LOG(3) << "Cimom: disabling provider module " << moduleName;
    calls.push_back(std::string("Disable ") + moduleName);
    return true;
}

std::vector<std::string> Cimom::Calls() const { return calls; }

void Cimom::ClearCalls() { calls.clear(); }

}  // namespace Vornet
