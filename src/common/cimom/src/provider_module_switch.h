#ifndef VORNET_PROVIDER_MODULE_SWITCH_H
#define VORNET_PROVIDER_MODULE_SWITCH_H

#include <string>

// A provider module of the host's CIM object manager, kept switched on while any object of the
// process holds it: the host keeps several module objects, on several threads, and one going
// away must not switch the provider off under another. Both functions are thread-safe.
//
// HoldProviderModule switches the module on for the first holder only and counts the others; a
// hold is counted only when the module is on: when the manager refuses (false) or throws (the
// exception passes through), nothing is counted, the caller holds nothing and must not release,
// and the next holder asks the manager again.
// ReleaseProviderModule undoes one hold, switching the module off with the last; when the manager
// throws there, the hold is gone all the same. Each returns the manager's answer to the switch
// it made, or true when none was needed.
bool HoldProviderModule(const std::string& moduleName);
bool ReleaseProviderModule(const std::string& moduleName);

#endif
