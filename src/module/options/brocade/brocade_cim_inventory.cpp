#include "brocade_cim_inventory.h"

#include <Pegasus/Common/CIMPropertyList.h>
#include <Pegasus/Common/Exception.h>

#include "cimom.h"
#include "log_line.h"
#include "pegasus_text.h"
#include "provider_module_switch.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kNameSpace = "root/brocade";
const char* const kProviderModule = "brcdprovider_Module";
const char* const kPackageClass = "CIM_PhysicalPackage";
constexpr Pegasus::Uint32 kEnumerationTimeoutMs = 60000;

}  // namespace

BrocadeCim::BrocadeCim() {
    VORNET_LOG(4) << "Calling in-band constructor of BrocadeCim";
    connectionMode = 0;
    Vornet::Cimom::GetInstance();
    diagnosticMethod = Pegasus::CIMName("RunDiagnostic");
    cimFunc = std::make_unique<CimFunc>(Pegasus::CIMNamespaceName(kNameSpace));
    // Last: nothing after it can fail, so a switched-on module always meets the destructor.
    providerModuleHeld = HoldProviderModule(kProviderModule);
    if (!providerModuleHeld) {
        VORNET_LOG(1) << "Enabling the provider module " << kProviderModule << " failed";
    }
}

BrocadeCim::BrocadeCim(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of BrocadeCim";
    connectionMode = 1;
    cimFunc = std::make_unique<CimFunc>(Pegasus::CIMNamespaceName(kNameSpace), info);
}

BrocadeCim::~BrocadeCim() {
    VORNET_LOG(4) << "Calling destructor of BrocadeCim";
    if (providerModuleHeld) {
        // A destructor that throws ends the host's process; the switch is the host's code.
        try {
            ReleaseProviderModule(kProviderModule);
        } catch (...) {
            VORNET_LOG(1) << "Disabling the provider module " << kProviderModule << " failed";
        }
    }
}

CimFunc::Call BrocadeCim::StartCall() { return CimFunc::Call(*cimFunc); }

int BrocadeCim::GetAdapterInfo(std::vector<BrocadeCimAdapter>& adapters) {
    VORNET_LOG(4) << "Calling BrocadeCim::GetAdapterInfo()";
    adapters.clear();
    int result = 0;
    Pegasus::Array<Pegasus::CIMInstance> packages;
    try {
        // Qualifiers are asked for: the adapter's value-mapped properties are translated with
        // the ValueMap and Values the instance itself carries.
        if (!cimFunc->Ask(kEnumerationTimeoutMs, [&](Pegasus::CIMClient& client) {
                packages = client.enumerateInstances(cimFunc->GetNameSpace(),
                                                     Pegasus::CIMName(kPackageClass), true, true,
                                                     true, false, Pegasus::CIMPropertyList());
            })) {
            return 1;
        }
    } catch (const Pegasus::Exception& error) {
        VORNET_LOG(1) << "Enumerate instances for CIM_PhysicalPackage failed with the reason: "
                      << LogText(error.getMessage());
        cimFunc->Reconnect();
        return 1;
    }
    VORNET_LOG(4) << "brocade_cim_inventory:instance size" << packages.size();
    for (Pegasus::Uint32 index = 0; index < packages.size(); ++index) {
        BrocadeCimAdapter adapter;
        if (adapter.GetData(packages[index], cimFunc.get()) != 0) {
            result = 1;
        }
        adapters.push_back(adapter);
    }
    return result;
}

}  // namespace Brocade
}  // namespace Vornet
