#ifndef VORNET_OPN_LOGGING_H
#define VORNET_OPN_LOGGING_H

// Dumps host records to the log at trace level. Kept in a header so that every line names this
// file as its source, whichever unit calls it.

#include <string>
#include <variant>

#include "host_records.h"
#include "log_line.h"
#include "record_tables.h"

namespace Vornet {
namespace VornetOptions {

// One level-4 line per field, label then text, up to identity_info_type; the fields after it
// are internal to the host and never logged.
inline void LogSoftwareIdentity(const SoftwareIdentity_& identity) {
    for (const auto& field : RecordTables::kSoftwareIdentityFields) {
        const auto& text = identity.*std::get<std::string SoftwareIdentity_::*>(field.member);
        VORNET_LOG(4) << "SoftwareIdentity." << field.name << " = " << EscapedControls(text);
        if (field.member ==
            RecordTables::Member<SoftwareIdentity_>(&SoftwareIdentity_::identity_info_type)) {
            break;
        }
    }
}

}  // namespace VornetOptions
}  // namespace Vornet

#endif
