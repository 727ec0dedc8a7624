#include "brocade_impl.h"

#include "brocade_cim_inventory.h"
#include "brocade_impl_modes.h"
#include "brocade_util.h"
#include "log_line.h"

namespace Vornet {
namespace Brocade {

BrocadeImpl::BrocadeImpl() {
    VORNET_LOG(4) << "Calling in-band constructor of BrocadeImpl";
    connectionMode = kInBand;
    brocadeCim = std::make_unique<BrocadeCim>();
    brocadeUtil = std::make_unique<BrocadeUtil>();
    diagnosticCatalogue = LoadDiagnosticCatalogue();
}

BrocadeImpl::BrocadeImpl(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of BrocadeImpl";
    connectionMode = kOutOfBand;
    brocadeCim = std::make_unique<BrocadeCim>(info);
    brocadeUtil = std::make_unique<BrocadeUtil>();
    diagnosticCatalogue = LoadDiagnosticCatalogue();
}

BrocadeImpl::BrocadeImpl(SetupFailure failure)
    : connectionMode(kOutOfBand), setupFailure(std::move(failure.exceptionText)) {}

BrocadeImpl::~BrocadeImpl() { VORNET_LOG(4) << "Calling destructor of BrocadeImpl"; }

const std::string* BrocadeImpl::GetSetupFailure() const {
    return setupFailure ? &*setupFailure : nullptr;
}

int BrocadeImpl::GetRawData(std::vector<Vornet::VornetIHV::RawData_>& rawData) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetRawData()";
    if (connectionMode != kInBand) {
        VORNET_LOG(1) << "Doesn't support in out-of-band mode";
        return kNotOfferedOutOfBand;
    }
    return brocadeUtil->GetRawData(rawData);
}

}  // namespace Brocade
}  // namespace Vornet
