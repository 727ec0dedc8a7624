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
    brocadeCim = new BrocadeCim();
    brocadeUtil = new BrocadeUtil();
    diagnosticCatalogue = LoadDiagnosticCatalogue();
}

BrocadeImpl::BrocadeImpl(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of BrocadeImpl";
    connectionMode = kOutOfBand;
    brocadeCim = new BrocadeCim(info);
    brocadeUtil = new BrocadeUtil();
    diagnosticCatalogue = LoadDiagnosticCatalogue();
}

BrocadeImpl::~BrocadeImpl() {
    VORNET_LOG(4) << "Calling destructor of BrocadeImpl";
    delete brocadeCim;
    brocadeCim = nullptr;
    delete brocadeUtil;
    brocadeUtil = nullptr;
    diagnosticCatalogue.clear();
    diagnosticItems.clear();
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
