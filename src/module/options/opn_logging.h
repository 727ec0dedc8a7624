#ifndef VORNET_OPN_LOGGING_H
#define VORNET_OPN_LOGGING_H

// Dumps host records to the log at trace level. Kept in a header so that every line names this
// file as its source, whichever unit calls it.

#include "host_records.h"
#include "log_line.h"

namespace Vornet {
namespace VornetOptions {

// Fifteen level-4 lines, one per field, label then text; fields past identity_info_type are
// internal to the host and never logged.
inline void LogSoftwareIdentity(const SoftwareIdentity_& identity) {
    VORNET_LOG(4) << "SoftwareIdentity.description = " << identity.description;
    VORNET_LOG(4) << "SoftwareIdentity.element_name = " << identity.element_name;
    VORNET_LOG(4) << "SoftwareIdentity.product_name = " << identity.product_name;
    VORNET_LOG(4) << "SoftwareIdentity.manufacturer = " << identity.manufacturer;
    VORNET_LOG(4) << "SoftwareIdentity.name = " << identity.name;
    VORNET_LOG(4) << "SoftwareIdentity.version_string = " << identity.version_string;
    VORNET_LOG(4) << "SoftwareIdentity.classifications = " << identity.classifications;
    VORNET_LOG(4) << "SoftwareIdentity.classification_descriptions = "
                  << identity.classification_descriptions;
    VORNET_LOG(4) << "SoftwareIdentity.identity_info_value = " << identity.identity_info_value;
    VORNET_LOG(4) << "SoftwareIdentity.software_ID = " << identity.software_ID;
    VORNET_LOG(4) << "SoftwareIdentity.sub_device_ID = " << identity.sub_device_ID;
    VORNET_LOG(4) << "SoftwareIdentity.release_date = " << identity.release_date;
    VORNET_LOG(4) << "SoftwareIdentity.software_status = " << identity.software_status;
    VORNET_LOG(4) << "SoftwareIdentity.software_role = " << identity.software_role;
    VORNET_LOG(4) << "SoftwareIdentity.identity_info_type = " << identity.identity_info_type;
}

}  // namespace VornetOptions
}  // namespace Vornet

#endif
