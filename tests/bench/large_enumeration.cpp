#include "large_enumeration.h"

#include <cstdio>
#include <string>
#include <vector>

namespace large_enumeration {

namespace {

enum class Kind { Empty, Text, Number, Flag, Date, TextArray, NumberArray };

struct Property {
    const char* name;
    const char* type;
    Kind kind;
};

// The property list of the real class, in its order; names and types as a
// CIM_FCPort subclass has them, which of them carry a value as the real
// server sends them (39 of 62).
const std::vector<Property>& properties() {
    static const std::vector<Property> list = {
        {"InstanceID", "string", Kind::Empty},
        {"Caption", "string", Kind::Empty},
        {"Description", "string", Kind::Text},
        {"ElementName", "string", Kind::Text},
        {"InstallDate", "datetime", Kind::Empty},
        {"Name", "string", Kind::Text},
        {"OperationalStatus", "uint16", Kind::NumberArray},
        {"StatusDescriptions", "string", Kind::TextArray},
        {"Status", "string", Kind::Empty},
        {"HealthState", "uint16", Kind::Number},
        {"CommunicationStatus", "uint16", Kind::Number},
        {"DetailedStatus", "uint16", Kind::Empty},
        {"OperatingStatus", "uint16", Kind::Number},
        {"PrimaryStatus", "uint16", Kind::Number},
        {"EnabledState", "uint16", Kind::Number},
        {"OtherEnabledState", "string", Kind::Empty},
        {"RequestedState", "uint16", Kind::Number},
        {"EnabledDefault", "uint16", Kind::Number},
        {"TimeOfLastStateChange", "datetime", Kind::Date},
        {"AvailableRequestedStates", "uint16", Kind::NumberArray},
        {"TransitioningToState", "uint16", Kind::Number},
        {"SystemCreationClassName", "string", Kind::Text},
        {"SystemName", "string", Kind::Text},
        {"CreationClassName", "string", Kind::Text},
        {"DeviceID", "string", Kind::Text},
        {"PowerManagementSupported", "boolean", Kind::Flag},
        {"PowerManagementCapabilities", "uint16", Kind::Empty},
        {"Availability", "uint16", Kind::Number},
        {"StatusInfo", "uint16", Kind::Empty},
        {"LastErrorCode", "uint32", Kind::Empty},
        {"ErrorDescription", "string", Kind::Empty},
        {"ErrorCleared", "boolean", Kind::Empty},
        {"OtherIdentifyingInfo", "string", Kind::Empty},
        {"PowerOnHours", "uint64", Kind::Number},
        {"TotalPowerOnHours", "uint64", Kind::Number},
        {"IdentifyingDescriptions", "string", Kind::Empty},
        {"AdditionalAvailability", "uint16", Kind::Empty},
        {"MaxQuiesceTime", "uint64", Kind::Empty},
        {"Speed", "uint64", Kind::Number},
        {"MaxSpeed", "uint64", Kind::Number},
        {"RequestedSpeed", "uint64", Kind::Number},
        {"UsageRestriction", "uint16", Kind::Number},
        {"PortType", "uint16", Kind::Number},
        {"OtherPortType", "string", Kind::Empty},
        {"OtherNetworkPortType", "string", Kind::Empty},
        {"PortNumber", "uint16", Kind::Number},
        {"LinkTechnology", "uint16", Kind::Number},
        {"OtherLinkTechnology", "string", Kind::Empty},
        {"PermanentAddress", "string", Kind::Text},
        {"NetworkAddresses", "string", Kind::TextArray},
        {"FullDuplex", "boolean", Kind::Flag},
        {"AutoSense", "boolean", Kind::Flag},
        {"SupportedMaximumTransmissionUnit", "uint64", Kind::Empty},
        {"ActiveMaximumTransmissionUnit", "uint64", Kind::Number},
        {"SupportedCOS", "uint16", Kind::Empty},
        {"ActiveCOS", "uint16", Kind::Empty},
        {"SupportedFC4Types", "uint16", Kind::Empty},
        {"ActiveFC4Types", "uint16", Kind::Empty},
        {"PortAvailability", "uint16", Kind::Number},
        {"Number", "uint32", Kind::Number},
        {"VendorState", "uint16", Kind::Number},
        {"VendorNote", "string", Kind::Text},
    };
    return list;
}

bool isArray(const Property& property) {
    return property.kind == Kind::TextArray || property.kind == Kind::NumberArray ||
           std::string(property.name) == "PowerManagementCapabilities" ||
           std::string(property.name) == "OtherIdentifyingInfo" ||
           std::string(property.name) == "IdentifyingDescriptions" ||
           std::string(property.name) == "AdditionalAvailability" ||
           std::string(property.name) == "SupportedCOS" ||
           std::string(property.name) == "ActiveCOS" ||
           std::string(property.name) == "SupportedFC4Types" ||
           std::string(property.name) == "ActiveFC4Types";
}

// The value texts of one property of instance `n`, already escaped.
std::vector<std::string> values(const Property& property, int n) {
    std::string name = property.name;
    std::string index = std::to_string(n);
    switch (property.kind) {
        case Kind::Empty:
            return {};
        case Kind::Text:
            if (name == "DeviceID") return {"port-" + index};
            if (name == "SystemName") return {"switch-" + std::to_string(n / 64)};
            if (name == "CreationClassName") return {"XX_FCPort"};
            if (name == "SystemCreationClassName") return {"CIM_ComputerSystem"};
            if (name == "ElementName") {
                return {"Port &quot;" + index + "&quot; of switch &lt;" + std::to_string(n / 64) +
                        "&gt;"};
            }
            if (name == "Description") {
                // A sixth of the ports carry a second entity line.
                return {n % 6 == 0 ? "Fibre Channel port, R&amp;D bay, slot " + index +
                                         ", chassis 2, rack 14"
                                   : "Fibre Channel port in slot " + index +
                                         ", 16 Gbit/s, chassis 2, rack 14"};
            }
            if (name == "PermanentAddress") {
                char wwn[32];
                std::snprintf(wwn, sizeof wwn, "20:00:00:05:1E:%02X:%02X:%02X", (n >> 16) & 255,
                              (n >> 8) & 255, n & 255);
                return {wwn};
            }
            if (name == "Name") return {"FC port " + index + ", 16G SFP+ short wave, fabric A"};
            if (name == "VendorNote") {
                return {"Port " + index + ": firmware 8.2.1b, SFP serial UAF2" + index +
                        ", last reset by the administrator after a link re-negotiation, see ticket "
                        "4711"};
            }
            return {name + " of port " + index};
        case Kind::Number:
            return {std::to_string((n * 7 + name.size()) % 60000)};
        case Kind::Flag:
            return {n % 3 == 0 ? "false" : "true"};
        case Kind::Date: {
            char date[32];
            std::snprintf(date, sizeof date, "20261206%02d%02d%02d.%06d+000", (n / 3600) % 24,
                          (n / 60) % 60, n % 60, n % 1000000);
            return {date};
        }
        case Kind::TextArray:
            if (name == "NetworkAddresses") return {"wwpn-" + index, "wwnn-" + index};
            // Every seventh port has a second status line: 42.14 values per
            // instance, as measured.
            if (n % 7 == 0) return {"Port " + index + " online, no errors", "Link degraded"};
            return {"Port " + index + " online, no errors since the last reset"};
        case Kind::NumberArray:
            return {"2", std::to_string(n % 16)};
    }
    return {};
}

void appendInstance(std::string& out, int n) {
    std::string index = std::to_string(n);
    out += "<VALUE.NAMEDINSTANCE>\n<INSTANCENAME CLASSNAME=\"XX_FCPort\">\n";
    const std::pair<const char*, std::string> keys[] = {
        {"CreationClassName", "XX_FCPort"},
        {"DeviceID", "port-" + index},
        {"SystemCreationClassName", "CIM_ComputerSystem"},
        {"SystemName", "switch-" + std::to_string(n / 64)}};
    for (const auto& key : keys) {
        out += "<KEYBINDING NAME=\"";
        out += key.first;
        out += "\">\n<KEYVALUE VALUETYPE=\"string\">" + key.second + "</KEYVALUE>\n</KEYBINDING>\n";
    }
    // No qualifiers: they come only when asked for, and neither the module
    // nor the measured request asks.
    out += "</INSTANCENAME>\n<INSTANCE CLASSNAME=\"XX_FCPort\" >\n";
    // As cimserver sends them: the properties the provider left at the
    // class default first, marked PROPAGATED (in PROPERTY.ARRAY after TYPE),
    // then the ones it set, unmarked.
    for (bool set : {false, true}) {
        for (const Property& property : properties()) {
            std::vector<std::string> texts = values(property, n);
            if (texts.empty() == set) continue;
            bool array = isArray(property);
            out += array ? "<PROPERTY.ARRAY NAME=\"" : "<PROPERTY NAME=\"";
            out += property.name;
            out += set ? "\"  TYPE=\"" : array ? "\"  TYPE=\"" : "\"  PROPAGATED=\"true\" TYPE=\"";
            out += property.type;
            out += set ? "\">\n" : array ? "\" PROPAGATED=\"true\">\n" : "\">\n";
            if (!texts.empty()) {
                if (array) out += "<VALUE.ARRAY>\n";
                for (const std::string& text : texts) out += "<VALUE>" + text + "</VALUE>\n";
                if (array) out += "</VALUE.ARRAY>\n";
            }
            out += array ? "</PROPERTY.ARRAY>\n" : "</PROPERTY>\n";
        }
    }
    out += "</INSTANCE>\n</VALUE.NAMEDINSTANCE>\n";
}

}  // namespace

std::string response(int instances, std::uint32_t messageId) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" "
        "DTDVERSION=\"2.0\">\n<MESSAGE ID=\"" +
        std::to_string(messageId) +
        "\" PROTOCOLVERSION=\"1.0\">\n<SIMPLERSP>\n<IMETHODRESPONSE "
        "NAME=\"EnumerateInstances\">\n<IRETURNVALUE>\n";
    out.reserve(static_cast<size_t>(instances) * 6300 + 512);
    for (int n = 0; n < instances; ++n) appendInstance(out, n);
    out += "</IRETURNVALUE>\n</IMETHODRESPONSE>\n</SIMPLERSP>\n</MESSAGE>\n</CIM>\n";
    return out;
}

}  // namespace large_enumeration
