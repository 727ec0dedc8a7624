#include "brocade_cim_adapter.h"

#include "association_walk.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "record_tables.h"

namespace Vornet {
namespace Brocade {

namespace {

// GetData's own line precedes this walk, so it writes no entry line.
const AssociationWalk kPortControllerWalk = {
    "CIM_Realizes", CimPropertyNames::Antecedent, CimPropertyNames::Dependent, nullptr,
    "Enumerate instances for CIM_Realizes failed with the reason: "};

}  // namespace

int BrocadeCimAdapter::GetData(const Pegasus::CIMInstance& package, CimFunc* cimFunc) {
    VORNET_LOG(4) << "Calling BrocadeCimAdapter::GetData with adapter"
                  << LogText(package.getPath().toString());
    // OperationalStatus and Number are in the adapter's map (and its trace) but in no field.
    properties =
        RecordTables::WantedNames(RecordTables::kAdapterFields,
                                  {CimPropertyNames::OperationalStatus, CimPropertyNames::Number});
    CimFunc::GetProperties(package, properties, &cimFunc->GetValueMaps());
    return GetPortControllerInfo(package, cimFunc);
}

int BrocadeCimAdapter::GetPortControllerInfo(const Pegasus::CIMInstance& package,
                                             CimFunc* cimFunc) {
    portControllers.clear();
    return WalkAssociation(package, cimFunc, kPortControllerWalk,
                           [this, cimFunc](const Pegasus::CIMInstance& instance) {
                               BrocadeCimPortController controller;
                               const int status = controller.GetData(instance, cimFunc);
                               portControllers.push_back(controller);
                               return status;
                           });
}

}  // namespace Brocade
}  // namespace Vornet
