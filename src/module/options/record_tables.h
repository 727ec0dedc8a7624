#ifndef VORNET_RECORD_TABLES_H
#define VORNET_RECORD_TABLES_H

// Every field of the host's records, in declaration order, with where the module fills it from.
// The readers ask for the names listed here, the copy into records follows these rows and the
// probe prints them, so that adding a field or a property is one line in one place.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

#include "cim_property_names.h"
#include "host_records.h"
#include "property_map.h"

namespace Vornet {
namespace RecordTables {

template <typename Record>
using Member = std::variant<std::string Record::*, std::vector<std::string> Record::*,
                            std::uint32_t Record::*, std::int32_t Record::*>;

// How a field gets its value from the map a reader filled.
enum class Fill {
    Copied,    // the text under `source`
    ReadOnly,  // `source` is read from CIM, but the record keeps its default or a derived value
    None,      // nothing is read for it
};

template <typename Record>
struct Field {
    const char* name;  // as the host declares it: the probe's JSON key, the log dump's label
    Member<Record> member;
    const char* source;  // CIM property, or key of a diagnostic's result map; null with Fill::None
    Fill fill;
};

using Vornet::VornetIHV::DiagnosticRecord_;
using Vornet::VornetIHV::RawData_;
using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::NetworkPort;
using Vornet::VornetOptions::SoftwareIdentity_;

#define VORNET_ROW(Record, member, source, fill) \
    Field<Record> { #member, &Record::member, source, Fill::fill }
#define VORNET_CIM(Record, member, property, fill) \
    VORNET_ROW(Record, member, CimPropertyNames::property, fill)
#define VORNET_RESULT(member, key) \
    VORNET_ROW(DiagnosticRecord_, member, DiagnosticResultKeys::key, Copied)
#define VORNET_HOST_ONLY(Record, member) VORNET_ROW(Record, member, nullptr, None)

// The adapter reader also reads OperationalStatus and Number, which no field holds.
inline constexpr Field<NetworkAdapter> kAdapterFields[] = {
    VORNET_CIM(NetworkAdapter, caption, Caption, Copied),
    VORNET_CIM(NetworkAdapter, name, Name, Copied),
    VORNET_CIM(NetworkAdapter, tag, Tag, Copied),
    VORNET_CIM(NetworkAdapter, manufacturer, Manufacturer, Copied),
    VORNET_CIM(NetworkAdapter, model, Model, Copied),
    VORNET_CIM(NetworkAdapter, serial_number, SerialNumber, Copied),
    VORNET_CIM(NetworkAdapter, part_number, PartNumber, Copied),
    VORNET_CIM(NetworkAdapter, SKU, SKU, Copied),
    VORNET_HOST_ONLY(NetworkAdapter, aux_text_1),
    VORNET_HOST_ONLY(NetworkAdapter, aux_text_2),
    VORNET_HOST_ONLY(NetworkAdapter, aux_text_3),
    VORNET_HOST_ONLY(NetworkAdapter, aux_text_4),
};

// The last three are read but delivered empty, as hosts have always received them.
inline constexpr Field<NetworkPort> kPortFields[] = {
    VORNET_CIM(NetworkPort, caption, Caption, Copied),
    VORNET_CIM(NetworkPort, port_number, PortNumber, Copied),
    VORNET_CIM(NetworkPort, name, Name, Copied),
    VORNET_CIM(NetworkPort, link_technology, LinkTechnology, Copied),
    VORNET_CIM(NetworkPort, status, Status, Copied),
    VORNET_CIM(NetworkPort, permanent_address, PermanentAddress, Copied),
    VORNET_CIM(NetworkPort, max_speed, MaxSpeed, Copied),
    VORNET_CIM(NetworkPort, speed, Speed, Copied),
    VORNET_CIM(NetworkPort, enabled_state, EnabledState, Copied),
    VORNET_CIM(NetworkPort, port_availability, PortAvailability, Copied),
    VORNET_CIM(NetworkPort, requested_state, RequestedState, Copied),
    VORNET_CIM(NetworkPort, transitioning_to_state, TransitioningToState, Copied),
    VORNET_CIM(NetworkPort, other_identifying_info, OtherIdentifyingInfo, ReadOnly),
    VORNET_CIM(NetworkPort, burned_in_MAC, BurnedInMAC, ReadOnly),
    VORNET_CIM(NetworkPort, configured_LAMA, ConfiguredLAMA, ReadOnly),
};

// product_name is the adapter's name and software_ID comes from identity_info_value; the other
// read-only fields keep their defaults. Fields up to identity_info_type are the ones logged.
inline constexpr Field<SoftwareIdentity_> kSoftwareIdentityFields[] = {
    VORNET_CIM(SoftwareIdentity_, description, Description, Copied),
    VORNET_CIM(SoftwareIdentity_, element_name, ElementName, Copied),
    VORNET_CIM(SoftwareIdentity_, product_name, ProductName, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, manufacturer, Manufacturer, Copied),
    VORNET_CIM(SoftwareIdentity_, name, Name, Copied),
    VORNET_CIM(SoftwareIdentity_, version_string, VersionString, Copied),
    VORNET_CIM(SoftwareIdentity_, classifications, Classifications, Copied),
    VORNET_CIM(SoftwareIdentity_, classification_descriptions, ClassificationDescriptions, Copied),
    VORNET_CIM(SoftwareIdentity_, identity_info_value, IdentityInfoValue, Copied),
    VORNET_CIM(SoftwareIdentity_, software_ID, SoftwareID, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, sub_device_ID, SubDeviceID, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, release_date, ReleaseDate, Copied),
    VORNET_CIM(SoftwareIdentity_, software_status, SoftwareStatus, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, software_role, SoftwareRole, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, identity_info_type, IdentityInfoType, Copied),
    VORNET_CIM(SoftwareIdentity_, is_PLDM_update_supported, IsPLDMUpdateSupported, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, instance_ID, InstanceID, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, associated_adapter_slot, AssociatedAdapterSlot, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, last_update_error, LastUpdateError, ReadOnly),
    VORNET_CIM(SoftwareIdentity_, last_update_error_string, LastUpdateErrorString, ReadOnly),
    VORNET_HOST_ONLY(SoftwareIdentity_, aux_text),
    VORNET_HOST_ONLY(SoftwareIdentity_, aux_list),
    VORNET_HOST_ONLY(SoftwareIdentity_, aux_value),
    VORNET_HOST_ONLY(SoftwareIdentity_, aux_code),
};

inline constexpr Field<RawData_> kRawDataFields[] = {
    VORNET_HOST_ONLY(RawData_, output),      VORNET_HOST_ONLY(RawData_, aux_text_1),
    VORNET_HOST_ONLY(RawData_, aux_text_2),  VORNET_HOST_ONLY(RawData_, command_line),
    VORNET_HOST_ONLY(RawData_, description), VORNET_HOST_ONLY(RawData_, item_name),
};

// The outcome texts come from the diagnostic catalogue, the result from the completion rules.
inline constexpr Field<DiagnosticRecord_> kDiagnosticRecordFields[] = {
    VORNET_HOST_ONLY(DiagnosticRecord_, result),
    VORNET_RESULT(job_state, JobState),
    VORNET_RESULT(percent_complete, PercentComplete),
    VORNET_RESULT(completion_state, CompletionState),
    VORNET_RESULT(completion_record, CompletionRecord),
    VORNET_HOST_ONLY(DiagnosticRecord_, outcome_text_1),
    VORNET_HOST_ONLY(DiagnosticRecord_, outcome_text_2),
    VORNET_HOST_ONLY(DiagnosticRecord_, outcome_text_3),
    VORNET_HOST_ONLY(DiagnosticRecord_, outcome_text_4),
};

#undef VORNET_HOST_ONLY
#undef VORNET_RESULT
#undef VORNET_CIM
#undef VORNET_ROW

// The table of a record's type, for code written once for every record.
inline constexpr const auto& TableOf(const NetworkAdapter&) { return kAdapterFields; }
inline constexpr const auto& TableOf(const NetworkPort&) { return kPortFields; }
inline constexpr const auto& TableOf(const SoftwareIdentity_&) { return kSoftwareIdentityFields; }
inline constexpr const auto& TableOf(const RawData_&) { return kRawDataFields; }
inline constexpr const auto& TableOf(const DiagnosticRecord_&) { return kDiagnosticRecordFields; }

// Fills every Copied field of `record` from `values` (a name it lacks gives ""); `values` is a
// copy, so that the reader's own map stays as it was.
template <typename Record, std::size_t Count>
void CopyFields(const Field<Record> (&table)[Count], PropertyMap values, Record& record) {
    for (const Field<Record>& field : table) {
        if (field.fill == Fill::Copied) {
            record.*std::get<std::string Record::*>(field.member) = values[field.source];
        }
    }
}

// The map a reader starts from: each name read for `table`, and `extra`, with an empty value.
// Property extraction fills only the names already in the map, so a name the instance lacks
// stays "" in the record, and nothing else the instance carries gets in.
template <typename Record, std::size_t Count>
PropertyMap WantedNames(const Field<Record> (&table)[Count],
                        std::initializer_list<const char*> extra = {}) {
    PropertyMap wanted;
    for (const Field<Record>& field : table) {
        if (field.fill != Fill::None) {
            wanted[field.source] = "";
        }
    }
    for (const char* name : extra) {
        wanted[name] = "";
    }
    return wanted;
}

}  // namespace RecordTables
}  // namespace Vornet

#endif
