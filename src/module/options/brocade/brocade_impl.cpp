#include "brocade_impl.h"

#include "brocade_cim_inventory.h"
#include "brocade_util.h"
#include "log_line.h"

namespace Vornet {
namespace Brocade {

namespace {

constexpr int kInBand = 0;
constexpr int kOutOfBand = 1;
constexpr int kNotOfferedOutOfBand = 4;

}  // namespace

BrocadeImpl::BrocadeImpl() {
    VORNET_LOG(4) << "Calling in-band constructor of BrocadeImpl";
    connectionMode = kInBand;
    brocadeCim = new BrocadeCim();
    brocadeUtil = new BrocadeUtil();
}

BrocadeImpl::BrocadeImpl(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of BrocadeImpl";
    connectionMode = kOutOfBand;
    brocadeCim = new BrocadeCim(info);
    brocadeUtil = new BrocadeUtil();
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

int BrocadeImpl::GetAdapterInfo(std::vector<Vornet::VornetOptions::NetworkAdapter>& adapters) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetAdapterInfo()";
    adapters.clear();
    return 1;
}

int BrocadeImpl::GetSoftwareIdentities(
    std::vector<Vornet::VornetOptions::SoftwareIdentity_>& identities) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetSoftwareIdentities()";
    identities.clear();
    return 1;
}

int BrocadeImpl::GetDiagnosticItems(std::vector<std::string>& items) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetDiagnosticItems()";
    if (connectionMode != kInBand) {
        VORNET_LOG(1) << "Doesn't support in out-of-band mode";
        return kNotOfferedOutOfBand;
    }
    items.clear();
    return 1;
}

int BrocadeImpl::RunDiagnostic(const std::string& item,
                               Vornet::VornetIHV::DiagnosticRecord_& record) {
    VORNET_LOG(4) << "Calling BrocadeImpl::RunDiagnostic() with " << item;
    if (connectionMode != kInBand) {
        VORNET_LOG(1) << "Doesn't support in out-of-band mode";
        return kNotOfferedOutOfBand;
    }
    record.result = 0;
    return 1;
}

}  // namespace Brocade
}  // namespace Vornet
