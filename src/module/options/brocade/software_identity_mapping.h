#ifndef VORNET_SOFTWARE_IDENTITY_MAPPING_H
#define VORNET_SOFTWARE_IDENTITY_MAPPING_H

#include <string>
#include <vector>

#include "host_records.h"
#include "property_map.h"

namespace Vornet {
namespace Brocade {

// The host record for one software identity read from CIM, with the owning adapter's name as
// its product name. Missing properties give empty fields; the host's defaults stay.
Vornet::VornetOptions::SoftwareIdentity_ SoftwareIdentityFromProperties(
    PropertyMap properties, const std::string& productName);

// Drops every record that is the same identity as an earlier one; the first of each stays in its
// place and the survivors keep their order.
void RemoveRepeatedIdentities(std::vector<Vornet::VornetOptions::SoftwareIdentity_>& identities);

}  // namespace Brocade
}  // namespace Vornet

#endif
