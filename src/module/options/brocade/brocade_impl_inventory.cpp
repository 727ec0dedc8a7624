// BrocadeImpl's inventory operations: the CIM tree turned into the host's adapter and identity
// records.

#include "brocade_cim_inventory.h"
#include "brocade_impl.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "software_identity_mapping.h"

namespace Vornet {
namespace Brocade {

namespace {

using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::NetworkPort;
using Vornet::VornetOptions::SoftwareIdentity_;
namespace names = CimPropertyNames;

NetworkPort PortFromProperties(PropertyMap properties) {
    NetworkPort port;
    port.caption = properties[names::Caption];
    port.port_number = properties[names::PortNumber];
    port.name = properties[names::Name];
    port.link_technology = properties[names::LinkTechnology];
    port.status = properties[names::Status];
    port.permanent_address = properties[names::PermanentAddress];
    port.max_speed = properties[names::MaxSpeed];
    port.speed = properties[names::Speed];
    port.enabled_state = properties[names::EnabledState];
    port.port_availability = properties[names::PortAvailability];
    port.requested_state = properties[names::RequestedState];
    port.transitioning_to_state = properties[names::TransitioningToState];
    return port;
}

NetworkAdapter AdapterFromReader(BrocadeCimAdapter& reader) {
    PropertyMap properties = reader.GetPropertyMap();
    NetworkAdapter adapter;
    adapter.caption = properties[names::Caption];
    adapter.name = properties[names::Name];
    adapter.tag = properties[names::Tag];
    adapter.manufacturer = properties[names::Manufacturer];
    adapter.model = properties[names::Model];
    adapter.serial_number = properties[names::SerialNumber];
    adapter.part_number = properties[names::PartNumber];
    adapter.SKU = properties[names::SKU];
    for (BrocadeCimPortController& controller : reader.GetPortControllers()) {
        for (BrocadeCimPort& port : controller.GetPorts()) {
            adapter.ports.push_back(PortFromProperties(port.GetPropertyMap()));
        }
        for (BrocadeCimSoftwareIdentity& identity : controller.GetSoftwareIdentities()) {
            adapter.software_identities.push_back(
                SoftwareIdentityFromProperties(identity.GetPropertyMap(), adapter.name));
        }
    }
    RemoveRepeatedIdentities(adapter.software_identities);
    return adapter;
}

}  // namespace

int BrocadeImpl::GetAdapterInfo(std::vector<NetworkAdapter>& adapters) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetAdapterInfo()";
    adapters.clear();
    std::vector<BrocadeCimAdapter> readers;
    const CimFunc::Call call = brocadeCim->StartCall();
    const int status = brocadeCim->GetAdapterInfo(readers);
    for (BrocadeCimAdapter& reader : readers) {
        adapters.push_back(AdapterFromReader(reader));
    }
    return status;
}

int BrocadeImpl::GetSoftwareIdentities(std::vector<SoftwareIdentity_>& identities) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetSoftwareIdentities()";
    identities.clear();
    // Both modes read the same tree; the line only marks the step in the trace.
    VORNET_LOG(4) << "inband case";
    std::vector<BrocadeCimAdapter> readers;
    const CimFunc::Call call = brocadeCim->StartCall();
    const int status = brocadeCim->GetAdapterInfo(readers);
    for (BrocadeCimAdapter& reader : readers) {
        const std::string productName = PropertyMap(reader.GetPropertyMap())[names::Name];
        for (BrocadeCimPortController& controller : reader.GetPortControllers()) {
            for (BrocadeCimSoftwareIdentity& identity : controller.GetSoftwareIdentities()) {
                identities.push_back(
                    SoftwareIdentityFromProperties(identity.GetPropertyMap(), productName));
            }
        }
        RemoveRepeatedIdentities(identities);
    }
    return status;
}

}  // namespace Brocade
}  // namespace Vornet
