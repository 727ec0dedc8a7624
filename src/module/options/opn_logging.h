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
    VORNET_LOG(4) << "SoftwareIdentity.description = " << EscapedControls(identity.description);
    VORNET_LOG(4) << "SoftwareIdentity.element_name = " << EscapedControls(identity.element_name);
    VORNET_LOG(4) << "SoftwareIdentity.product_name = " << EscapedControls(identity.product_name);
    VORNET_LOG(4) << "SoftwareIdentity.manufacturer = " << EscapedControls(identity.manufacturer);
    VORNET_LOG(4) << "SoftwareIdentity.name = " << EscapedControls(identity.name);
    VORNET_LOG(4) << "SoftwareIdentity.version_string = "
                  << EscapedControls(identity.version_string);
    VORNET_LOG(4) << "SoftwareIdentity.classifications = "
                  << EscapedControls(identity.classifications);
    VORNET_LOG(4) << "SoftwareIdentity.classification_descriptions = "
                  << EscapedControls(identity.classification_descriptions);
    VORNET_LOG(4) << "SoftwareIdentity.identity_info_value = "
                  << EscapedControls(identity.identity_info_value);
    VORNET_LOG(4) << "SoftwareIdentity.software_ID = " << EscapedControls(identity.software_ID);
    VORNET_LOG(4) << "SoftwareIdentity.sub_device_ID = " << EscapedControls(identity.sub_device_ID);
    VORNET_LOG(4) << "SoftwareIdentity.release_date = " << EscapedControls(identity.release_date);
    VORNET_LOG(4) << "SoftwareIdentity.software_status = "
                  << EscapedControls(identity.software_status);
    VORNET_LOG(4) << "SoftwareIdentity.software_role = " << EscapedControls(identity.software_role);
    VORNET_LOG(4) << "SoftwareIdentity.identity_info_type = "
                  << EscapedControls(identity.identity_info_type);
}

}  // namespace VornetOptions
}  // namespace Vornet

#endif
