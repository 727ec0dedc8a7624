#include "provider_module_switch.h"

#include "cimom.h"

bool EnableProviderModule(const std::string& moduleName) {
    return Vornet::Cimom::GetInstance()->EnableProviderModule(moduleName.c_str());
}

bool DisableProviderModule(const std::string& moduleName) {
    return Vornet::Cimom::GetInstance()->DisableProviderModule(moduleName.c_str());
}
