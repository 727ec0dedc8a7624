// Binds the diagnostic engine to the Brocade provider: its classes, method and time-outs, a
// reconnect after every failed step, and how a completion record is recognised.

#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include "brocade_cim_inventory.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "pegasus_text.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kServiceAssociation = "CIM_AvailableDiagnosticService";
const char* const kCompletionRecordClass = "CIM_DiagnosticCompletionRecord";
constexpr unsigned int kListingTimeoutSeconds = 120;
constexpr unsigned int kInvocationTimeoutSeconds = 180;
constexpr unsigned int kPollTimeoutSeconds = 60;
constexpr int kPolls = 10;
constexpr unsigned int kRecordTimeoutSeconds = 60;

Pegasus::CIMClient* ConnectedClient(CimFunc* cimFunc) {
    Pegasus::CIMClient* client = cimFunc->GetClient();
    if (client == nullptr && cimFunc->Reconnect() == 0) {
        client = cimFunc->GetClient();
    }
    return client;
}

// The job reference of the method's first output parameter; false when that is no reference.
bool JobReference(const DiagnosticServiceEntry& working, Pegasus::CIMObjectPath& job) {
    try {
        working.outParams[0].getValue().get(job);
        return true;
    } catch (const Pegasus::Exception&) {
        return false;
    }
}

}  // namespace

int BrocadeCim::GetDiagnosticItems(std::vector<DiagnosticItem>& items) {
    Pegasus::CIMClient* client = ConnectedClient(cimFunc);
    if (client == nullptr) {
        return 1;
    }
    const int result = CimFunc::GetDiagnosticItems(
        client, cimFunc->GetNameSpace(), Pegasus::CIMName(kServiceAssociation),
        kListingTimeoutSeconds, items, diagnosticServices);
    if (result != 0) {
        cimFunc->Reconnect();
    }
    return result;
}

int BrocadeCim::RunDiagnostic(const DiagnosticItem& item) {
    diagnosticResults.clear();
    DiagnosticServiceEntry working;
    Pegasus::CIMClient* client = ConnectedClient(cimFunc);
    if (client == nullptr) {
        return 1;
    }
    if (CimFunc::InvokeDiagnostic(client, cimFunc->GetNameSpace(), diagnosticMethod,
                                  kInvocationTimeoutSeconds, item, diagnosticServices,
                                  working) != 0) {
        cimFunc->Reconnect();
        return 1;
    }
    Pegasus::CIMObjectPath job;
    // A first output parameter that is no reference names no job: the run goes on as one
    // without a job rather than letting the library's type error escape.
    if (working.outParams.size() != 0 && JobReference(working, job)) {
        if (CimFunc::WaitForJob(client, cimFunc->GetNameSpace(), job, kPollTimeoutSeconds, kPolls,
                                working, diagnosticResults) != 0) {
            cimFunc->Reconnect();
            return 1;
        }
    } else {
        VORNET_LOG(1) << "No Concrete Job returned...";
    }
    const int result = CimFunc::GetCompletionRecord(
        client, cimFunc->GetNameSpace(), Pegasus::CIMName(kCompletionRecordClass), working,
        kRecordTimeoutSeconds, MatchCompletionRecord, diagnosticResults);
    if (result != 0) {
        cimFunc->Reconnect();
    }
    return result;
}

PropertyMap& BrocadeCim::GetDiagnosticResults() { return diagnosticResults; }

bool MatchCompletionRecord(DiagnosticServiceEntry& working, const Pegasus::CIMInstance& record) {
    const Pegasus::Uint32 index =
        record.findProperty(Pegasus::CIMName(CimPropertyNames::InstanceID));
    if (index == Pegasus::PEG_NOT_FOUND) {
        VORNET_LOG(4) << "Error getting properties.";
        return false;
    }
    const std::string recordId = ToText(record.getProperty(index).getValue().toString());
    if (recordId.find(working.jobInstanceId) == std::string::npos) {
        return false;
    }
    VORNET_LOG(4) << "Found matched CIM_DiagnosticCompletionRecord instance.";
    return true;
}

}  // namespace Brocade
}  // namespace Vornet
