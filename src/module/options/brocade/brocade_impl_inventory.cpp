// BrocadeImpl's inventory operations: the CIM tree turned into the host's adapter and identity
// records.

#include "brocade_cim_inventory.h"
#include "brocade_impl.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "record_tables.h"
#include "software_identity_mapping.h"

namespace Vornet {
namespace Brocade {

namespace {

using Vornet::VornetOptions::NetworkAdapter;
using Vornet::VornetOptions::SoftwareIdentity_;
namespace names = CimPropertyNames;

NetworkAdapter AdapterFromReader(BrocadeCimAdapter& reader) {
    NetworkAdapter adapter;
    RecordTables::CopyFields(RecordTables::kAdapterFields, reader.GetPropertyMap(), adapter);
    for (BrocadeCimPortController& controller : reader.GetPortControllers()) {
        for (BrocadeCimPort& port : controller.GetPorts()) {
            adapter.ports.emplace_back();
            RecordTables::CopyFields(RecordTables::kPortFields, port.GetPropertyMap(),
                                     adapter.ports.back());
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
