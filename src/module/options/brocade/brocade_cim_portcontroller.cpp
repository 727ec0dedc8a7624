#include "brocade_cim_portcontroller.h"

#include "association_walk.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "pegasus_text.h"

namespace Vornet {
namespace Brocade {

namespace {

const AssociationWalk kSoftwareIdentityWalk = {
    "CIM_ElementSoftwareIdentity", CimPropertyNames::Dependent, CimPropertyNames::Antecedent,
    "Calling BrocadeCimPortController::GetSoftwareIdentityInfo with controller ",
    "Enumerate instances for CIM_ElementSoftwareIdentity failed with the reason: "};

const AssociationWalk kPortWalk = {
    "CIM_ControlledBy", CimPropertyNames::Antecedent, CimPropertyNames::Dependent,
    "Calling BrocadeCimPortController::GetPortInfo with controller ",
    "Enumerate instances for CIM_ControlledBy failed with the reason: "};

}  // namespace

int BrocadeCimPortController::GetData(const Pegasus::CIMInstance& controller, CimFunc* cimFunc) {
    VORNET_LOG(4) << "Calling BrocadeCimPortController::GetData with controller"
                  << LogText(controller.getPath().toString());
    const int identities = GetSoftwareIdentityInfo(controller, cimFunc);
    const int portsRead = GetPortInfo(controller, cimFunc);
    return identities != 0 || portsRead != 0 ? 1 : 0;
}

int BrocadeCimPortController::GetSoftwareIdentityInfo(const Pegasus::CIMInstance& controller,
                                                      CimFunc* cimFunc) {
    softwareIdentities.clear();
    return WalkAssociation(controller, cimFunc, kSoftwareIdentityWalk,
                           [this](const Pegasus::CIMInstance& instance) {
                               BrocadeCimSoftwareIdentity identity;
                               identity.GetData(instance);
                               softwareIdentities.push_back(identity);
                               return 0;
                           });
}

int BrocadeCimPortController::GetPortInfo(const Pegasus::CIMInstance& controller,
                                          CimFunc* cimFunc) {
    ports.clear();
    return WalkAssociation(controller, cimFunc, kPortWalk,
                           [this, cimFunc](const Pegasus::CIMInstance& instance) {
                               BrocadeCimPort port;
                               port.GetData(instance, &cimFunc->GetValueMaps());
                               ports.push_back(port);
                               return 0;
                           });
}

}  // namespace Brocade
}  // namespace Vornet
