#ifndef VORNET_ACCESS_LAYER_NAMES_H
#define VORNET_ACCESS_LAYER_NAMES_H

// The CIM names the access layer reads itself, for diagnostics and value maps, and the keys of a
// diagnostic run's result map. The module's own names add to the same namespace.

namespace CimPropertyNames {

// Read by the diagnostic engine, and by the module's readers too
constexpr const char* Name = "Name";
constexpr const char* InstanceID = "InstanceID";

// Diagnostic services, their jobs and completion records
constexpr const char* ServiceProvided = "ServiceProvided";
constexpr const char* UserOfService = "UserOfService";
constexpr const char* ManagedElement = "ManagedElement";
constexpr const char* SystemName = "SystemName";
constexpr const char* DeviceID = "DeviceID";
constexpr const char* JobState = "JobState";
constexpr const char* PercentComplete = "PercentComplete";
constexpr const char* CompletionState = "CompletionState";
constexpr const char* RecordData = "RecordData";

// Qualifiers that map a code to its display text
constexpr const char* ValueMap = "ValueMap";
constexpr const char* Values = "Values";

}  // namespace CimPropertyNames

namespace DiagnosticResultKeys {

constexpr const char* JobState = "ConCreteJob State";
constexpr const char* PercentComplete = "Percent Complete";
constexpr const char* CompletionState = "Completion State";
constexpr const char* CompletionRecord = "Completion Record";

}  // namespace DiagnosticResultKeys

#endif
