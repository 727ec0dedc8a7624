#include "brocade_cim_port.h"

#include "cim_property_names.h"
#include "cimfunc.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "wanted_properties.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kPortPropertyNames[] = {
    CimPropertyNames::Caption,
    CimPropertyNames::PortNumber,
    CimPropertyNames::Name,
    CimPropertyNames::LinkTechnology,
    CimPropertyNames::Status,
    CimPropertyNames::PermanentAddress,
    CimPropertyNames::MaxSpeed,
    CimPropertyNames::Speed,
    CimPropertyNames::EnabledState,
    CimPropertyNames::PortAvailability,
    CimPropertyNames::RequestedState,
    CimPropertyNames::TransitioningToState,
    CimPropertyNames::OtherIdentifyingInfo,
    CimPropertyNames::BurnedInMAC,
    CimPropertyNames::ConfiguredLAMA,
};

}  // namespace

BrocadeCimPort::BrocadeCimPort() { VORNET_LOG(4) << "Calling constructor of BrocadeCimPort"; }

BrocadeCimPort::BrocadeCimPort(const BrocadeCimPort& other) = default;

BrocadeCimPort::~BrocadeCimPort() { VORNET_LOG(4) << "Calling destructor of BrocadeCimPort"; }

void BrocadeCimPort::GetData(const Pegasus::CIMInstance& instance, ValueMaps* classes) {
    VORNET_LOG(4) << "Calling BrocadeCimPort::GetData with port"
                  << LogText(instance.getPath().toString());
    properties = WantedProperties(kPortPropertyNames);
    CimFunc::GetProperties(instance, properties, classes);
}

}  // namespace Brocade
}  // namespace Vornet
