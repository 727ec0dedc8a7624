#include "dmtf_value_maps.h"

#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/CIMName.h>
#include <Pegasus/Common/CIMQualifier.h>
#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/String.h>

#include <initializer_list>
#include <map>

namespace {

struct SchemaValueMap {
    const char* property;
    std::initializer_list<const char*> codes;
    std::initializer_list<const char*> texts;
};

// From the DMTF CIM schema 2.41 declarations (tools/cimsim/scenarios/dmtf_classes.json holds the
// real server's copies), each with the class that declares it.
const SchemaValueMap kSchemaValueMaps[] = {
    {"JobState",  // CIM_ConcreteJob
     {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13..32767", "32768..65535"},
     {"New", "Starting", "Running", "Suspended", "Shutting Down", "Completed", "Terminated",
      "Killed", "Exception", "Service", "Query Pending", "DMTF Reserved", "Vendor Reserved"}},
    {"CompletionState",  // CIM_DiagnosticCompletionRecord
     {"0", "1", "2", "3", "4", "5", "6", "7"},
     {"Unknown", "Other", "OK", "Warning", "Incomplete", "Failed", "Aborted", "Stopped"}},
    {"OperationalStatus",  // CIM_ManagedSystemElement
     {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
      "11", "12", "13", "14", "15", "16", "17", "18", "19", "..", "0x8000.."},
     {"Unknown",
      "Other",
      "OK",
      "Degraded",
      "Stressed",
      "Predictive Failure",
      "Error",
      "Non-Recoverable Error",
      "Starting",
      "Stopping",
      "Stopped",
      "In Service",
      "No Contact",
      "Lost Communication",
      "Aborted",
      "Dormant",
      "Supporting Entity in Error",
      "Completed",
      "Power Mode",
      "Relocating",
      "DMTF Reserved",
      "Vendor Reserved"}},
    {"LinkTechnology",  // CIM_NetworkPort
     {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"},
     {"Unknown", "Other", "Ethernet", "IB", "FC", "FDDI", "ATM", "Token Ring", "Frame Relay",
      "Infrared", "BlueTooth", "Wireless LAN"}},
    {"EnabledState",  // CIM_EnabledLogicalElement
     {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11..32767", "32768..65535"},
     {"Unknown", "Other", "Enabled", "Disabled", "Shutting Down", "Not Applicable",
      "Enabled but Offline", "In Test", "Deferred", "Quiesce", "Starting", "DMTF Reserved",
      "Vendor Reserved"}},
    {"RequestedState",  // CIM_EnabledLogicalElement
     {"0", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "..", "32768..65535"},
     {"Unknown", "Enabled", "Disabled", "Shut Down", "No Change", "Offline", "Test", "Deferred",
      "Quiesce", "Reboot", "Reset", "Not Applicable", "DMTF Reserved", "Vendor Reserved"}},
    {"TransitioningToState",  // CIM_EnabledLogicalElement
     {"0", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", ".."},
     {"Unknown", "Enabled", "Disabled", "Shut Down", "No Change", "Offline", "Test", "Defer",
      "Quiesce", "Reboot", "Reset", "Not Applicable", "DMTF Reserved"}},
};

Pegasus::CIMValue Texts(std::initializer_list<const char*> texts) {
    Pegasus::Array<Pegasus::String> array;
    for (const char* text : texts) {
        array.append(Pegasus::String(text));
    }
    return Pegasus::CIMValue(array);
}

std::map<std::string, Pegasus::CIMProperty> BuildTable() {
    std::map<std::string, Pegasus::CIMProperty> table;
    for (const SchemaValueMap& map : kSchemaValueMaps) {
        Pegasus::CIMProperty property(Pegasus::CIMName(map.property),
                                      Pegasus::CIMValue(Pegasus::Uint16(0)));
        property.addQualifier(
            Pegasus::CIMQualifier(Pegasus::CIMName("ValueMap"), Texts(map.codes)));
        property.addQualifier(Pegasus::CIMQualifier(Pegasus::CIMName("Values"), Texts(map.texts)));
        table.emplace(map.property, property);
    }
    return table;
}

}  // namespace

const Pegasus::CIMProperty* DmtfValueMap(const std::string& property) {
    static const std::map<std::string, Pegasus::CIMProperty> table = BuildTable();
    const auto found = table.find(property);
    return found == table.end() ? nullptr : &found->second;
}
