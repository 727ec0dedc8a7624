#include "record_fields.h"

#define FIELD(record, name) \
    { #name, record.name }

Fields FieldsOf(const Vornet::VornetOptions::NetworkAdapter& a) {
    return {FIELD(a, caption),      FIELD(a, name),       FIELD(a, tag),
            FIELD(a, manufacturer), FIELD(a, model),      FIELD(a, serial_number),
            FIELD(a, part_number),  FIELD(a, SKU),        FIELD(a, aux_text_1),
            FIELD(a, aux_text_2),   FIELD(a, aux_text_3), FIELD(a, aux_text_4)};
}

Fields FieldsOf(const Vornet::VornetOptions::NetworkPort& p) {
    return {FIELD(p, caption),
            FIELD(p, port_number),
            FIELD(p, name),
            FIELD(p, link_technology),
            FIELD(p, status),
            FIELD(p, permanent_address),
            FIELD(p, max_speed),
            FIELD(p, speed),
            FIELD(p, enabled_state),
            FIELD(p, port_availability),
            FIELD(p, requested_state),
            FIELD(p, transitioning_to_state),
            FIELD(p, other_identifying_info),
            FIELD(p, burned_in_MAC),
            FIELD(p, configured_LAMA)};
}

Fields FieldsOf(const Vornet::VornetOptions::SoftwareIdentity_& s) {
    return {FIELD(s, description),
            FIELD(s, element_name),
            FIELD(s, product_name),
            FIELD(s, manufacturer),
            FIELD(s, name),
            FIELD(s, version_string),
            FIELD(s, classifications),
            FIELD(s, classification_descriptions),
            FIELD(s, identity_info_value),
            FIELD(s, software_ID),
            FIELD(s, sub_device_ID),
            FIELD(s, release_date),
            FIELD(s, software_status),
            FIELD(s, software_role),
            FIELD(s, identity_info_type),
            FIELD(s, is_PLDM_update_supported),
            FIELD(s, instance_ID),
            FIELD(s, associated_adapter_slot),
            FIELD(s, last_update_error),
            FIELD(s, last_update_error_string),
            FIELD(s, aux_text),
            {"aux_list", s.aux_list},
            FIELD(s, aux_value),
            {"aux_code", s.aux_code}};
}

Fields FieldsOf(const Vornet::VornetIHV::RawData_& r) {
    return {FIELD(r, output),       FIELD(r, aux_text_1),  FIELD(r, aux_text_2),
            FIELD(r, command_line), FIELD(r, description), FIELD(r, item_name)};
}

Fields FieldsOf(const Vornet::VornetIHV::DiagnosticRecord_& d) {
    return {{"result", d.result},       FIELD(d, job_state),         FIELD(d, percent_complete),
            FIELD(d, completion_state), FIELD(d, completion_record), FIELD(d, outcome_text_1),
            FIELD(d, outcome_text_2),   FIELD(d, outcome_text_3),    FIELD(d, outcome_text_4)};
}
