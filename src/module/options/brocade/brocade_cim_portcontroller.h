#ifndef VORNET_BROCADE_CIM_PORTCONTROLLER_H
#define VORNET_BROCADE_CIM_PORTCONTROLLER_H

#include <Pegasus/Common/CIMInstance.h>

#include <vector>

#include "brocade_cim_port.h"
#include "brocade_cim_softwareidentity.h"
#include "cimfunc.h"
#include "lifetime_trace.h"

namespace Vornet {
namespace Brocade {

// One port controller of an adapter: what hangs below it, its ports (CIM_ControlledBy) and its
// software identities (CIM_ElementSoftwareIdentity). A value type.
class BrocadeCimPortController {
  public:
    // Both walks, always both: 0 when both succeeded, else 1. `cimFunc` is borrowed.
    int GetData(const Pegasus::CIMInstance& controller, CimFunc* cimFunc);
    int GetSoftwareIdentityInfo(const Pegasus::CIMInstance& controller, CimFunc* cimFunc);
    int GetPortInfo(const Pegasus::CIMInstance& controller, CimFunc* cimFunc);

    std::vector<BrocadeCimPort>& GetPorts() { return ports; }
    std::vector<BrocadeCimSoftwareIdentity>& GetSoftwareIdentities() { return softwareIdentities; }

  private:
    std::vector<BrocadeCimPort> ports;
    std::vector<BrocadeCimSoftwareIdentity> softwareIdentities;
    VORNET_LIFETIME_TRACE("BrocadeCimPortController");  // last: see LifetimeTrace
};

}  // namespace Brocade
}  // namespace Vornet

#endif
