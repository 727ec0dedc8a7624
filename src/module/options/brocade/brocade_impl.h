#ifndef VORNET_BROCADE_IMPL_H
#define VORNET_BROCADE_IMPL_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "diagnostic_catalogue.h"
#include "diagnostic_item.h"
#include "host_records.h"

namespace Vornet {
namespace Brocade {

class BrocadeCim;
class BrocadeUtil;

// The value of the key "Name" / "DeviceID" in an object-path text; empty when the text lacks it.
std::string GetNameFromPath(std::string path);
std::string GetDeviceIdFromPath(std::string path);

// The object behind the facade: holds the mode fixed at construction and owns the CIM inventory
// root and the utility object for its whole life. Not copyable.
class BrocadeImpl {
  public:
    BrocadeImpl();                                                               // in-band
    explicit BrocadeImpl(const Vornet::VornetConnection::ConnectionInfo& info);  // out-of-band
    // Stands in for an object whose construction met an exception: it holds nothing, and the
    // facade answers every operation with the exception's text.
    struct SetupFailure {
        std::string exceptionText;
    };
    explicit BrocadeImpl(SetupFailure failure);
    ~BrocadeImpl();
    BrocadeImpl(const BrocadeImpl&) = delete;
    BrocadeImpl& operator=(const BrocadeImpl&) = delete;

    int GetAdapterInfo(std::vector<Vornet::VornetOptions::NetworkAdapter>& adapters);
    int GetSoftwareIdentities(std::vector<Vornet::VornetOptions::SoftwareIdentity_>& identities);
    int GetDiagnosticItems(std::vector<std::string>& items);
    int RunDiagnostic(const std::string& item, Vornet::VornetIHV::DiagnosticRecord_& record);
    // In-band: appends the utility's output records and returns 0, 2 or 3. Out-of-band: 4 and
    // the vector untouched.
    int GetRawData(std::vector<Vornet::VornetIHV::RawData_>& rawData);

    // The exception text that left this object empty; null for an object that was set up.
    const std::string* GetSetupFailure() const;

  private:
    // Whether the catalogue has an entry of exactly this name.
    bool IsKnownDiagnostic(std::string name);
    const DiagnosticCatalogueEntry* FindCatalogueEntry(const std::string& name) const;

    // In this order so that the CIM side is torn down first, as the destructor's trace says.
    std::unique_ptr<BrocadeUtil> brocadeUtil;
    std::unique_ptr<BrocadeCim> brocadeCim;
    std::vector<DiagnosticItem> diagnosticItems;
    int connectionMode;
    std::vector<DiagnosticCatalogueEntry> diagnosticCatalogue;
    std::optional<std::string> setupFailure;
};

}  // namespace Brocade
}  // namespace Vornet

#endif
