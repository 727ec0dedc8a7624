#include "brocade_cim_inventory.h"

#include "cimom.h"
#include "log_line.h"
#include "provider_module_switch.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kProviderModule = "brcdprovider_Module";

}  // namespace

BrocadeCim::BrocadeCim() {
    VORNET_LOG(4) << "Calling in-band constructor of BrocadeCim";
    connectionMode = 0;
    Vornet::Cimom::GetInstance();
    EnableProviderModule(kProviderModule);
}

BrocadeCim::BrocadeCim(const Vornet::VornetConnection::ConnectionInfo& /*info*/) {
    VORNET_LOG(4) << "Calling out-of-band constructor of BrocadeCim";
    connectionMode = 1;
}

BrocadeCim::~BrocadeCim() {
    VORNET_LOG(4) << "Calling destructor of BrocadeCim";
    if (connectionMode == 0) {
        DisableProviderModule(kProviderModule);
    }
}

}  // namespace Brocade
}  // namespace Vornet
