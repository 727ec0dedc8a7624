#include "cimom.h"

#include <utility>

#include "log_line.h"

namespace Vornet {

Cimom* Cimom::GetInstance() {
    static Cimom instance;
    instance.Record("GetInstance");
    return &instance;
}

bool Cimom::EnableProviderModule(const char* moduleName) {
    VORNET_LOG(3) << "Cimom: enabling provider module " << moduleName;
    Record(std::string("Enable ") + moduleName);
    const std::lock_guard<std::mutex> lock(callsLock);
    return !refusing;
}

void Cimom::RefuseEnabling(bool refuse) {
    const std::lock_guard<std::mutex> lock(callsLock);
    refusing = refuse;
}

bool Cimom::DisableProviderModule(const char* moduleName) {
    VORNET_LOG(3) << "Cimom: disabling provider module " << moduleName;
    Record(std::string("Disable ") + moduleName);
    return true;
}

void Cimom::Record(std::string call) {
    const std::lock_guard<std::mutex> lock(callsLock);
    calls.push_back(std::move(call));
}

std::vector<std::string> Cimom::Calls() const {
    const std::lock_guard<std::mutex> lock(callsLock);
    return calls;
}

void Cimom::ClearCalls() {
    const std::lock_guard<std::mutex> lock(callsLock);
    calls.clear();
}

}  // namespace Vornet
