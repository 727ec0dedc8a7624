#include "brocade.h"

#include "brocade_impl.h"
#include "log_line.h"
#include "opn_logging.h"

#if defined(_WIN32)
#include <windows.h>

// No per-thread set-up exists, so the loader need not call in for every thread.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
#endif

namespace Vornet {
namespace Brocade {

Brocade::Brocade() {
    VORNET_LOG(4) << "Calling in-band constructor of Brocade";
    impl = new BrocadeImpl();
}

Brocade::Brocade(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of Brocade";
    impl = new BrocadeImpl(info);
}

Brocade::~Brocade() {
    VORNET_LOG(4) << "Calling destructor of Brocade";
    delete impl;
    impl = nullptr;
}

int Brocade::GetAdapterInfo(std::vector<Vornet::VornetOptions::NetworkAdapter>& adapters) {
    return impl->GetAdapterInfo(adapters);
}

int Brocade::GetDiagItems(std::vector<std::string>& items) {
    return impl->GetDiagnosticItems(items);
}

int Brocade::GetRawData(std::vector<Vornet::VornetIHV::RawData_>& rawData) {
    return impl->GetRawData(rawData);
}

int Brocade::GetSoftwareIdentities(
    std::vector<Vornet::VornetOptions::SoftwareIdentity_>& softwareIdentities) {
    const int result = impl->GetSoftwareIdentities(softwareIdentities);
    VORNET_LOG(4) << "Brocade::GetSoftwareIdentities - vector<SoftwareIdentity>& "
                     "softwareIdentity_vec:";
    for (const auto& identity : softwareIdentities) {
        Vornet::VornetOptions::LogSoftwareIdentity(identity);
    }
    return result;
}

int Brocade::RunDiagnostic(const std::string& item, Vornet::VornetIHV::DiagnosticRecord_& record) {
    return impl->RunDiagnostic(item, record);
}

}  // namespace Brocade
}  // namespace Vornet
