#include "brocade_cim_adapter.h"

#include "association_walk.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "wanted_properties.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kAdapterPropertyNames[] = {
    CimPropertyNames::Caption,      CimPropertyNames::Name,  CimPropertyNames::Tag,
    CimPropertyNames::Manufacturer, CimPropertyNames::Model, CimPropertyNames::SerialNumber,
    CimPropertyNames::PartNumber,   CimPropertyNames::SKU,   CimPropertyNames::OperationalStatus,
    CimPropertyNames::Number,
};

// GetData's own line precedes this walk, so it writes no entry line.
const AssociationWalk kPortControllerWalk = {
    "CIM_Realizes", CimPropertyNames::Antecedent, CimPropertyNames::Dependent, nullptr,
    "Enumerate instances for CIM_Realizes failed with the reason: "};

}  // namespace

BrocadeCimAdapter::BrocadeCimAdapter() {
    VORNET_LOG(4) << "Calling constructor of BrocadeCimAdapter";
}

BrocadeCimAdapter::BrocadeCimAdapter(const BrocadeCimAdapter& other) = default;

BrocadeCimAdapter::~BrocadeCimAdapter() {
    VORNET_LOG(4) << "Calling destructor of BrocadeCimAdapter";
}

int BrocadeCimAdapter::GetData(const Pegasus::CIMInstance& package, CimFunc* cimFunc) {
    VORNET_LOG(4) << "Calling BrocadeCimAdapter::GetData with adapter"
                  << LogText(package.getPath().toString());
    properties = WantedProperties(kAdapterPropertyNames);
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
