#include "brocade_cim_softwareidentity.h"

#include "cim_property_names.h"
#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "wanted_properties.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kSoftwareIdentityPropertyNames[] = {
    CimPropertyNames::Description,
    CimPropertyNames::ElementName,
    CimPropertyNames::ProductName,
    CimPropertyNames::Manufacturer,
    CimPropertyNames::Name,
    CimPropertyNames::VersionString,
    CimPropertyNames::Classifications,
    CimPropertyNames::ClassificationDescriptions,
    CimPropertyNames::IdentityInfoValue,
    CimPropertyNames::SoftwareID,
    CimPropertyNames::SubDeviceID,
    CimPropertyNames::ReleaseDate,
    CimPropertyNames::SoftwareStatus,
    CimPropertyNames::SoftwareRole,
    CimPropertyNames::IdentityInfoType,
    CimPropertyNames::IsPLDMUpdateSupported,
    CimPropertyNames::InstanceID,
    CimPropertyNames::AssociatedAdapterSlot,
    CimPropertyNames::LastUpdateError,
    CimPropertyNames::LastUpdateErrorString,
};

}  // namespace

BrocadeCimSoftwareIdentity::BrocadeCimSoftwareIdentity() {
    VORNET_LOG(4) << "Calling constructor of BrocadeCimSoftwareIdentity";
}

BrocadeCimSoftwareIdentity::BrocadeCimSoftwareIdentity(const BrocadeCimSoftwareIdentity& other) =
    default;

BrocadeCimSoftwareIdentity::~BrocadeCimSoftwareIdentity() {
    VORNET_LOG(4) << "Calling destructor of BrocadeCimSoftwareIdentity";
}

void BrocadeCimSoftwareIdentity::GetData(const Pegasus::CIMInstance& instance) {
    VORNET_LOG(4) << "Calling BrocadeCimSoftwareIdentity::GetData with Controller"
                  << LogText(instance.getPath().toString());
    properties = WantedProperties(kSoftwareIdentityPropertyNames);
    CimFunc::GetProperties(instance, true, properties);
}

}  // namespace Brocade
}  // namespace Vornet
