#include "brocade.h"

#include <Pegasus/Common/Exception.h>

#include <exception>
#include <string>

#include "brocade_impl.h"
#include "log_line.h"
#include "opn_logging.h"
#include "pegasus_text.h"

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

namespace {

// Called inside a handler: the text of the exception being handled, empty when there is no
// memory even for that.
std::string CurrentExceptionText() noexcept {
    try {
        try {
            throw;
        } catch (const Pegasus::Exception& error) {
            return ToText(error.getMessage());
        } catch (const std::exception& error) {
            return error.what();
        } catch (...) {
            return "an exception of unknown type";
        }
    } catch (...) {
        return std::string();
    }
}

void LogException(const char* where, const std::string& text) noexcept {
    try {
        VORNET_LOG(1) << where << " failed with the exception: " << Vornet::EscapedControls(text);
    } catch (...) {
        // Nothing is left to report with; the status still tells the host.
    }
}

// The host's process ends if an exception crosses into it, and the runtime is linked into the
// module, so every way out of an operation is a status.
template <typename Operation>
int Guarded(const char* name, BrocadeImpl* impl, Operation operation) noexcept {
    try {
        if (impl == nullptr) {
            LogException(name, "the object could not be made");
            return 1;
        }
        if (const std::string* failure = impl->GetSetupFailure()) {
            LogException(name, *failure);
            return 1;
        }
        return operation(*impl);
    } catch (...) {
        LogException(name, CurrentExceptionText());
        return 1;
    }
}

// An object whose construction met an exception answers every operation with its text.
template <typename Construction>
BrocadeImpl* Constructed(Construction construction) noexcept {
    try {
        return construction();
    } catch (...) {
        const std::string text = CurrentExceptionText();
        LogException("Brocade constructor", text);
        try {
            return new BrocadeImpl(BrocadeImpl::SetupFailure{text});
        } catch (...) {
            return nullptr;
        }
    }
}

}  // namespace

Brocade::Brocade() {
    VORNET_LOG(4) << "Calling in-band constructor of Brocade";
    impl = Constructed([] { return new BrocadeImpl(); });
}

Brocade::Brocade(const Vornet::VornetConnection::ConnectionInfo& info) {
    VORNET_LOG(4) << "Calling out-of-band constructor of Brocade";
    impl = Constructed([&info] { return new BrocadeImpl(info); });
}

Brocade::~Brocade() {
    VORNET_LOG(4) << "Calling destructor of Brocade";
    delete impl;
    impl = nullptr;
}

int Brocade::GetAdapterInfo(std::vector<Vornet::VornetOptions::NetworkAdapter>& adapters) {
    return Guarded("Brocade::GetAdapterInfo", impl,
                   [&adapters](BrocadeImpl& module) { return module.GetAdapterInfo(adapters); });
}

int Brocade::GetDiagItems(std::vector<std::string>& items) {
    return Guarded("Brocade::GetDiagItems", impl,
                   [&items](BrocadeImpl& module) { return module.GetDiagnosticItems(items); });
}

int Brocade::GetRawData(std::vector<Vornet::VornetIHV::RawData_>& rawData) {
    return Guarded("Brocade::GetRawData", impl,
                   [&rawData](BrocadeImpl& module) { return module.GetRawData(rawData); });
}

int Brocade::GetSoftwareIdentities(
    std::vector<Vornet::VornetOptions::SoftwareIdentity_>& softwareIdentities) {
    return Guarded(
        "Brocade::GetSoftwareIdentities", impl, [&softwareIdentities](BrocadeImpl& module) {
            const int result = module.GetSoftwareIdentities(softwareIdentities);
            VORNET_LOG(4) << "Brocade::GetSoftwareIdentities - vector<SoftwareIdentity>& "
                             "softwareIdentity_vec:";
            for (const auto& identity : softwareIdentities) {
                Vornet::VornetOptions::LogSoftwareIdentity(identity);
            }
            return result;
        });
}

int Brocade::RunDiagnostic(const std::string& item, Vornet::VornetIHV::DiagnosticRecord_& record) {
    return Guarded("Brocade::RunDiagnostic", impl, [&item, &record](BrocadeImpl& module) {
        return module.RunDiagnostic(item, record);
    });
}

}  // namespace Brocade
}  // namespace Vornet
