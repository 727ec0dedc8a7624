#ifndef VORNET_BROCADE_CIM_PORT_H
#define VORNET_BROCADE_CIM_PORT_H

#include <Pegasus/Common/CIMInstance.h>

#include "lifetime_trace.h"
#include "property_map.h"
#include "value_maps.h"

namespace Vornet {
namespace Brocade {

// One port of a port controller: its fifteen wanted properties, value-map texts where the port
// carries value maps.
class BrocadeCimPort {
  public:
    // Replaces the map with the wanted names, filled from `instance` ("" where it lacks one),
    // translated through the value maps of its class where it carries none (`classes` may be
    // null).
    void GetData(const Pegasus::CIMInstance& instance, ValueMaps* classes);
    PropertyMap& GetPropertyMap() { return properties; }

  private:
    PropertyMap properties;
    VORNET_LIFETIME_TRACE("BrocadeCimPort");  // last: see LifetimeTrace
};

}  // namespace Brocade
}  // namespace Vornet

#endif
