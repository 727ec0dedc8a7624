#ifndef VORNET_CIM_PROPERTY_NAMES_H
#define VORNET_CIM_PROPERTY_NAMES_H

// CIM property names the module reads, and the keys of a diagnostic's result map, each text once.
// Kept with the CIM access layer, which reads some of them itself, so that it includes nothing
// from the module above it.

namespace CimPropertyNames {

// CIM_PhysicalPackage (an adapter)
constexpr const char* Caption = "Caption";
constexpr const char* Name = "Name";
constexpr const char* Tag = "Tag";
constexpr const char* Manufacturer = "Manufacturer";
constexpr const char* Model = "Model";
constexpr const char* SerialNumber = "SerialNumber";
constexpr const char* PartNumber = "PartNumber";
constexpr const char* SKU = "SKU";
constexpr const char* OperationalStatus = "OperationalStatus";
constexpr const char* Number = "Number";

// Ports
constexpr const char* PortNumber = "PortNumber";
constexpr const char* LinkTechnology = "LinkTechnology";
constexpr const char* Status = "Status";
constexpr const char* PermanentAddress = "PermanentAddress";
constexpr const char* MaxSpeed = "MaxSpeed";
constexpr const char* Speed = "Speed";
constexpr const char* EnabledState = "EnabledState";
constexpr const char* PortAvailability = "PortAvailability";
constexpr const char* RequestedState = "RequestedState";
constexpr const char* TransitioningToState = "TransitioningToState";
constexpr const char* OtherIdentifyingInfo = "OtherIdentifyingInfo";
constexpr const char* BurnedInMAC = "BurnedInMAC";
constexpr const char* ConfiguredLAMA = "ConfiguredLAMA";

// Software identities
constexpr const char* Description = "Description";
constexpr const char* ElementName = "ElementName";
constexpr const char* ProductName = "ProductName";
constexpr const char* VersionString = "VersionString";
constexpr const char* Classifications = "Classifications";
constexpr const char* ClassificationDescriptions = "ClassificationDescriptions";
constexpr const char* IdentityInfoValue = "IdentityInfoValue";
constexpr const char* SoftwareID = "SoftwareID";
constexpr const char* SubDeviceID = "SubDeviceID";
constexpr const char* ReleaseDate = "ReleaseDate";
constexpr const char* SoftwareStatus = "SoftwareStatus";
constexpr const char* SoftwareRole = "SoftwareRole";
constexpr const char* IdentityInfoType = "IdentityInfoType";
constexpr const char* IsPLDMUpdateSupported = "IsPLDMUpdateSupported";
constexpr const char* InstanceID = "InstanceID";
constexpr const char* AssociatedAdapterSlot = "AssociatedAdapterSlot";
constexpr const char* LastUpdateError = "LastUpdateError";
constexpr const char* LastUpdateErrorString = "LastUpdateErrorString";

// Associations and diagnostics
constexpr const char* Antecedent = "Antecedent";
constexpr const char* Dependent = "Dependent";
constexpr const char* ServiceProvided = "ServiceProvided";
constexpr const char* UserOfService = "UserOfService";
constexpr const char* ManagedElement = "ManagedElement";
constexpr const char* SystemName = "SystemName";
constexpr const char* DeviceID = "DeviceID";
constexpr const char* JobState = "JobState";
constexpr const char* PercentComplete = "PercentComplete";
constexpr const char* CompletionState = "CompletionState";
constexpr const char* RecordData = "RecordData";
constexpr const char* ServiceName = "ServiceName";
constexpr const char* ManagedElementName = "ManagedElementName";

// Qualifiers that map a code to its display text
constexpr const char* ValueMap = "ValueMap";
constexpr const char* Values = "Values";

}  // namespace CimPropertyNames

// Keys of a diagnostic run's result map.
namespace DiagnosticResultKeys {

constexpr const char* JobState = "ConCreteJob State";
constexpr const char* PercentComplete = "Percent Complete";
constexpr const char* CompletionState = "Completion State";
constexpr const char* CompletionRecord = "Completion Record";

}  // namespace DiagnosticResultKeys

#endif
