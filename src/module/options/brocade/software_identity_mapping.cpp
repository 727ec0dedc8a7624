#include "software_identity_mapping.h"

#include <algorithm>

#include "record_tables.h"

namespace Vornet {
namespace Brocade {

using Vornet::VornetOptions::SoftwareIdentity_;

SoftwareIdentity_ SoftwareIdentityFromProperties(PropertyMap properties,
                                                 const std::string& productName) {
    SoftwareIdentity_ identity;
    RecordTables::CopyFields(RecordTables::kSoftwareIdentityFields, properties, identity);
    identity.product_name = productName;
    // The identity info reads "<software id> <version>"; the id is everything before the last
    // blank.
    const size_t lastBlank = identity.identity_info_value.rfind(' ');
    if (lastBlank != std::string::npos) {
        identity.software_ID = identity.identity_info_value.substr(0, lastBlank);
    }
    return identity;
}

void RemoveRepeatedIdentities(std::vector<SoftwareIdentity_>& identities) {
    for (size_t first = 0; first < identities.size(); ++first) {
        const SoftwareIdentity_ kept = identities[first];
        identities.erase(
            std::remove_if(identities.begin() + static_cast<long>(first) + 1, identities.end(),
                           [&kept](const SoftwareIdentity_& other) {
                               return Vornet::VornetOptions::IsSameSoftwareIdentity(kept, other);
                           }),
            identities.end());
    }
}

}  // namespace Brocade
}  // namespace Vornet
