#ifndef VORNET_BROCADE_CIM_ADAPTER_H
#define VORNET_BROCADE_CIM_ADAPTER_H

#include <Pegasus/Common/CIMInstance.h>

#include <vector>

#include "brocade_cim_portcontroller.h"
#include "cimfunc.h"
#include "lifetime_trace.h"
#include "property_map.h"

namespace Vornet {
namespace Brocade {

// One adapter: the ten wanted properties of its CIM_PhysicalPackage and the port controllers
// linked to it through CIM_Realizes. A value type.
class BrocadeCimAdapter {
  public:
    // Reads the package's properties, then walks to its port controllers and below. 0 when every
    // request of the whole walk succeeded, else 1. `cimFunc` is borrowed.
    int GetData(const Pegasus::CIMInstance& package, CimFunc* cimFunc);
    int GetPortControllerInfo(const Pegasus::CIMInstance& package, CimFunc* cimFunc);

    PropertyMap& GetPropertyMap() { return properties; }
    std::vector<BrocadeCimPortController>& GetPortControllers() { return portControllers; }

  private:
    PropertyMap properties;
    std::vector<BrocadeCimPortController> portControllers;
    VORNET_LIFETIME_TRACE("BrocadeCimAdapter");  // last: see LifetimeTrace
};

}  // namespace Brocade
}  // namespace Vornet

#endif
