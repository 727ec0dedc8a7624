#ifndef VORNET_BROCADE_CIM_SOFTWAREIDENTITY_H
#define VORNET_BROCADE_CIM_SOFTWAREIDENTITY_H

#include <Pegasus/Common/CIMInstance.h>

#include "lifetime_trace.h"
#include "property_map.h"

namespace Vornet {
namespace Brocade {

// One firmware or software identity of a port controller: its twenty wanted properties as the
// library's own texts, trimmed and never translated.
class BrocadeCimSoftwareIdentity {
  public:
    // Replaces the map with the wanted names, filled from `instance` ("" where it lacks one).
    void GetData(const Pegasus::CIMInstance& instance);
    PropertyMap& GetPropertyMap() { return properties; }

  private:
    PropertyMap properties;
    VORNET_LIFETIME_TRACE("BrocadeCimSoftwareIdentity");  // last: see LifetimeTrace
};

}  // namespace Brocade
}  // namespace Vornet

#endif
