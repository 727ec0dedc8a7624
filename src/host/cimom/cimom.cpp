#include "cimom.h"

#include <utility>

#include "log.h"

namespace Vornet {

namespace {

// The host's own progress lines, kept below the threshold as every writer's are.
void Progress(const std::string& text, int line) {
    if (Log::GetMinLogLevel() >= 3) Log(3, __FILE__, line).Stream() << text;
}

}  // namespace

Cimom* Cimom::GetInstance() {
    static Cimom instance;
    instance.Record("GetInstance");
    return &instance;
}

bool Cimom::EnableProviderModule(const char* moduleName) {
    Progress(std::string("Cimom: enabling provider module ") + moduleName, __LINE__);
    Record(std::string("Enable ") + moduleName);
    const std::lock_guard<std::mutex> lock(callsLock);
    return !refusing;
}

void Cimom::RefuseEnabling(bool refuse) {
    const std::lock_guard<std::mutex> lock(callsLock);
    refusing = refuse;
}

bool Cimom::DisableProviderModule(const char* moduleName) {
    Progress(std::string("Cimom: disabling provider module ") + moduleName, __LINE__);
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
