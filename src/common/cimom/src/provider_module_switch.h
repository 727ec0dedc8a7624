#ifndef VORNET_PROVIDER_MODULE_SWITCH_H
#define VORNET_PROVIDER_MODULE_SWITCH_H

#include <string>

// Switch a provider module on or off in the host's CIM object manager; the manager's answer is
// returned unchanged.
bool EnableProviderModule(const std::string& moduleName);
bool DisableProviderModule(const std::string& moduleName);

#endif
