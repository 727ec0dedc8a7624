#ifndef BROCADE_PROBE_RECORD_FIELDS_H
#define BROCADE_PROBE_RECORD_FIELDS_H

#include <nlohmann/json.hpp>

#include <variant>

#include "record_tables.h"

// A record's fields as one JSON object, in declaration order and under the names the host
// declares (the module's record tables); both the table and the JSON output are made from these.
// An adapter's ports and identities are not among its fields: the caller nests them.
typedef nlohmann::ordered_json Fields;

template <typename Record>
Fields FieldsOf(const Record& record) {
    Fields fields = Fields::object();
    for (const auto& field : Vornet::RecordTables::TableOf(record)) {
        std::visit([&](auto member) { fields[field.name] = record.*member; }, field.member);
    }
    return fields;
}

#endif
