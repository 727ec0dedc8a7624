#ifndef VORNET_BROCADE_CIM_INVENTORY_H
#define VORNET_BROCADE_CIM_INVENTORY_H

#include <Pegasus/Common/CIMInstance.h>
#include <Pegasus/Common/CIMName.h>

#include <memory>
#include <vector>

#include "brocade_cim_adapter.h"
#include "cimfunc.h"
#include "diagnostic_item.h"
#include "diagnostic_service_entry.h"
#include "host_records.h"
#include "property_map.h"

namespace Vornet {
namespace Brocade {

// Root of the module's view of the Brocade CIM provider in "root/brocade". Owns the CimFunc for
// that namespace. In-band it reaches the local CIM server and keeps the provider module switched
// on in the local CIM object manager for its own lifetime (and that of any other in-band object of
// the process). Not copyable.
class BrocadeCim {
  public:
    BrocadeCim();                                                               // in-band
    explicit BrocadeCim(const Vornet::VornetConnection::ConnectionInfo& info);  // out-of-band
    ~BrocadeCim();
    BrocadeCim(const BrocadeCim&) = delete;
    BrocadeCim& operator=(const BrocadeCim&) = delete;

    // One call of the host, while the returned object lives: a server given up on in an earlier
    // call is asked again, and the class value maps the call reads go when it ends.
    [[nodiscard]] CimFunc::Call StartCall();

    // Replaces `adapters` with one reader per CIM_PhysicalPackage, each with its whole tree read.
    // 0 when every request succeeded, else 1 (adapters read so far are kept).
    int GetAdapterInfo(std::vector<BrocadeCimAdapter>& adapters);

    // Lists the provider's diagnostics into `items` (and the entries kept here). 0 or 1.
    int GetDiagnosticItems(std::vector<DiagnosticItem>& items);
    // Runs the listed diagnostic `item`: invoke, wait for its job, read its completion record.
    int RunDiagnostic(const DiagnosticItem& item);
    // The result map of the last run.
    PropertyMap& GetDiagnosticResults();

  private:
    std::vector<DiagnosticServiceEntry> diagnosticServices;
    Pegasus::CIMName diagnosticMethod;
    PropertyMap diagnosticResults;
    std::unique_ptr<CimFunc> cimFunc;
    int connectionMode;
    // In-band, and the provider module was switched on (or already on) for this object.
    bool providerModuleHeld = false;
};

// Whether a completion record belongs to the working entry's job: its InstanceID text contains
// the job's instance id.
bool MatchCompletionRecord(DiagnosticServiceEntry& working, const Pegasus::CIMInstance& record);

}  // namespace Brocade
}  // namespace Vornet

#endif
