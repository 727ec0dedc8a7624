#ifndef VORNET_BROCADE_H
#define VORNET_BROCADE_H

#include <string>
#include <vector>

#include "brocade_export.h"
#include "host_records.h"

namespace Vornet {
namespace Brocade {

class BrocadeImpl;

// The module's only entry point. One object per managed target: in-band (the server the host
// runs on) or out-of-band (a remote CIM server). Every operation blocks the caller's thread, fills
// the caller's vector or record and returns a status: 0 success, 1 a CIM step failed or no
// diagnostic matched, 2 the adapter utility is not installed, 3 a utility command failed, 4 not
// offered out-of-band. No exception leaves these operations or the constructors: one that reaches
// the facade is logged at level 1 and the operation returns 1, and an object whose construction
// met one answers every operation that way.
//
// Threads: an object serves one caller at a time; a host that shares one between threads must
// not call it from two at once. Different objects may be used on different threads at the same
// time (hosts keep one per target): what they share, the provider module's switch and the log,
// is locked inside. The records an operation fills belong to the caller and are not kept.
class BROCADE_API Brocade {
  public:
    // In-band: switches the provider module on in the local CIM object manager for the object's
    // lifetime and looks for the adapter utility.
    Brocade();
    // Out-of-band: reaches the CIM server that `info` names (a copy is kept). Raw data and
    // diagnostics are then refused with 4.
    explicit Brocade(const Vornet::VornetConnection::ConnectionInfo& info);
    ~Brocade();
    Brocade(const Brocade&) = delete;
    Brocade& operator=(const Brocade&) = delete;

    // One record per adapter, with its ports and de-duplicated firmware identities; the vector is
    // replaced. Records read before a failure are kept (status 1).
    int GetAdapterInfo(std::vector<Vornet::VornetOptions::NetworkAdapter>& adapters);
    // The names of the diagnostics that can be run in-band; the vector is replaced.
    int GetDiagItems(std::vector<std::string>& items);
    // Appends one record per successful utility command; never removes what the vector holds.
    int GetRawData(std::vector<Vornet::VornetIHV::RawData_>& rawData);
    // The flat, de-duplicated list of firmware identities of every adapter; the vector is
    // replaced, and every record is dumped to the trace log.
    int GetSoftwareIdentities(
        std::vector<Vornet::VornetOptions::SoftwareIdentity_>& softwareIdentities);
    // Runs every listed diagnostic that matches `item` and fills `record` with the outcome.
    int RunDiagnostic(const std::string& item, Vornet::VornetIHV::DiagnosticRecord_& record);

  private:
    BrocadeImpl* impl;
};

}  // namespace Brocade
}  // namespace Vornet

#endif
