#ifndef VORNET_DMTF_VALUE_MAPS_H
#define VORNET_DMTF_VALUE_MAPS_H

#include <Pegasus/Common/CIMProperty.h>

#include <string>

// The value maps that the DMTF CIM schema 2.41 declares for the standard properties the module
// interprets: the job's JobState, the completion record's CompletionState, and the enumerated
// fields of the inventory. A server's own class declarations come first; these are the last
// resort when a class cannot be had, so that a failed class lookup never decides an outcome.
// They are fixed by the schema's version.

// A property named `property` carrying its ValueMap and Values qualifiers, or null for a name
// the table does not hold. Thread-safe; the property lives as long as the process.
const Pegasus::CIMProperty* DmtfValueMap(const std::string& property);

#endif
