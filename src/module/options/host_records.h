#ifndef VORNET_HOST_RECORDS_H
#define VORNET_HOST_RECORDS_H

// The records the module exchanges with the host, declared exactly as the host declares them:
// the host binds to the exported operations by signatures that name these types, so namespaces,
// struct/class keywords, field order, types and defaults must not drift.

#include <cstdint>
#include <string>
#include <vector>

// ConnectionInfo is declared beside the CIM access layer, which reads it and must not look up
// into the module.
#include "connection_info.h"

namespace Vornet {
namespace VornetOptions {

struct NetworkPort {
    std::string caption;
    std::string port_number;
    std::string name;
    std::string link_technology;
    std::string status;
    std::string permanent_address;
    std::string max_speed;
    std::string speed;
    std::string enabled_state;
    std::string port_availability;
    std::string requested_state;
    std::string transitioning_to_state;
    std::string other_identifying_info;
    std::string burned_in_MAC;
    std::string configured_LAMA;
};

struct SoftwareIdentity_ {
    std::string description;
    std::string element_name;
    std::string product_name;
    std::string manufacturer;
    std::string name;
    std::string version_string;
    std::string classifications;
    std::string classification_descriptions;
    std::string identity_info_value;
    std::string software_ID;
    std::string sub_device_ID;
    std::string release_date;
    std::string software_status;
    std::string software_role;
    std::string identity_info_type;
    std::string is_PLDM_update_supported = "0";
    std::string instance_ID;
    std::string associated_adapter_slot;
    std::string last_update_error;
    std::string last_update_error_string;
    std::string aux_text;
    std::vector<std::string> aux_list;
    std::string aux_value;
    std::uint32_t aux_code = 3;
};

struct NetworkAdapter {
    std::string caption;
    std::string name;
    std::string tag;
    std::string manufacturer;
    std::string model;
    std::string serial_number;
    std::string part_number;
    std::string SKU;
    std::string aux_text_1;
    std::string aux_text_2;
    std::string aux_text_3;
    std::string aux_text_4;
    std::vector<NetworkPort> ports;
    std::vector<SoftwareIdentity_> software_identities;
};

// Two records name the same identity when version, classifications, product and element name
// are byte for byte equal; description, name and the other fields may differ.
inline bool IsSameSoftwareIdentity(const SoftwareIdentity_& left, const SoftwareIdentity_& right) {
    return left.version_string == right.version_string &&
           left.classifications == right.classifications &&
           left.product_name == right.product_name && left.element_name == right.element_name;
}

}  // namespace VornetOptions

namespace VornetIHV {

struct RawData_ {
    std::string output;
    std::string aux_text_1;
    std::string aux_text_2;
    std::string command_line;
    std::string description;
    std::string item_name;
};

struct DiagnosticRecord_ {
    std::int32_t result = 0;
    std::string job_state;
    std::string percent_complete;
    std::string completion_state;
    std::string completion_record;
    std::string outcome_text_1;
    std::string outcome_text_2;
    std::string outcome_text_3;
    std::string outcome_text_4;
};

}  // namespace VornetIHV
}  // namespace Vornet

#endif
