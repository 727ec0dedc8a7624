#ifndef BROCADE_PROBE_RECORD_FIELDS_H
#define BROCADE_PROBE_RECORD_FIELDS_H

#include <nlohmann/json.hpp>

#include "host_records.h"

// A record's fields as one JSON object, in declaration order and under the names the host
// declares; both the table and the JSON output are made from these.
typedef nlohmann::ordered_json Fields;

Fields FieldsOf(const Vornet::VornetOptions::NetworkAdapter& adapter);  // without the vectors
Fields FieldsOf(const Vornet::VornetOptions::NetworkPort& port);
Fields FieldsOf(const Vornet::VornetOptions::SoftwareIdentity_& identity);
Fields FieldsOf(const Vornet::VornetIHV::RawData_& rawData);
Fields FieldsOf(const Vornet::VornetIHV::DiagnosticRecord_& record);

#endif
