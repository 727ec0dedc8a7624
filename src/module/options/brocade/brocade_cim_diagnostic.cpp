// Binds the diagnostic engine to the Brocade provider: its classes, method and time-outs, a
// reconnect after every failed step, and how a completion record is recognised.

#include <Pegasus/Common/CIMValue.h>
#include <Pegasus/Common/Exception.h>

#include <cctype>
#include <string>

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

// The job reference of the method's first output parameter; false when that is no reference.
bool JobReference(const DiagnosticServiceEntry& working, Pegasus::CIMObjectPath& job) {
    try {
        working.outParams[0].getValue().get(job);
        return true;
    } catch (const Pegasus::Exception&) {
        return false;
    }
}

// Whether `id` stands in `text` as a whole, not as part of a longer id: neither preceded nor
// followed by a letter or digit (job 17 must not take job 170's record).
bool ContainsWholeId(const std::string& text, const std::string& id) {
    const auto isIdCharacter = [](char c) { return std::isalnum(static_cast<unsigned char>(c)); };
    for (size_t at = text.find(id); at != std::string::npos; at = text.find(id, at + 1)) {
        const size_t end = at + id.size();
        if ((at == 0 || !isIdCharacter(text[at - 1])) &&
            (end == text.size() || !isIdCharacter(text[end]))) {
            return true;
        }
    }
    return false;
}

std::string PropertyText(const Pegasus::CIMInstance& instance, const char* name) {
    const Pegasus::Uint32 index = instance.findProperty(Pegasus::CIMName(name));
    if (index == Pegasus::PEG_NOT_FOUND) {
        return std::string();
    }
    return ToText(instance.getProperty(index).getValue().toString());
}

// For a run without a job: a record that names its service or element belongs to this run only
// when what it names is this run's, so that another diagnostic's record is never reported as
// this one's outcome. A record that names neither cannot be told apart and is taken, as it
// always was.
bool NamesThisRunOrNothing(const DiagnosticServiceEntry& working,
                           const Pegasus::CIMInstance& record) {
    const std::string service = PropertyText(record, CimPropertyNames::ServiceName);
    const std::string element = PropertyText(record, CimPropertyNames::ManagedElementName);
    return (service.empty() || service == ToText(working.serviceName)) &&
           (element.empty() || element == ToText(working.deviceId));
}

}  // namespace

int BrocadeCim::GetDiagnosticItems(std::vector<DiagnosticItem>& items) {
    // Without a client the connect step has just failed: no second one.
    if (cimFunc->GetConnectedClient() == nullptr) {
        return 1;
    }
    const int result =
        CimFunc::GetDiagnosticItems(*cimFunc, Pegasus::CIMName(kServiceAssociation),
                                    kListingTimeoutSeconds, items, diagnosticServices);
    if (result != 0) {
        cimFunc->Reconnect();
    }
    return result;
}

int BrocadeCim::RunDiagnostic(const DiagnosticItem& item) {
    diagnosticResults.clear();
    DiagnosticServiceEntry working;
    if (cimFunc->GetConnectedClient() == nullptr) {
        return 1;
    }
    if (CimFunc::InvokeDiagnostic(*cimFunc, diagnosticMethod, kInvocationTimeoutSeconds, item,
                                  diagnosticServices, working) != 0) {
        cimFunc->Reconnect();
        return 1;
    }
    Pegasus::CIMObjectPath job;
    // A first output parameter that is no reference names no job: the run goes on as one
    // without a job rather than letting the library's type error escape.
    if (working.outParams.size() != 0 && JobReference(working, job)) {
        if (CimFunc::WaitForJob(*cimFunc, job, kPollTimeoutSeconds, kPolls, working,
                                diagnosticResults) != 0) {
            cimFunc->Reconnect();
            return 1;
        }
    } else {
        VORNET_LOG(1) << "No Concrete Job returned...";
    }
    const int result = CimFunc::GetCompletionRecord(
        *cimFunc, Pegasus::CIMName(kCompletionRecordClass), working, kRecordTimeoutSeconds,
        MatchCompletionRecord, diagnosticResults);
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
    const bool belongs = working.jobInstanceId.empty()
                             ? NamesThisRunOrNothing(working, record)
                             : ContainsWholeId(recordId, working.jobInstanceId);
    if (!belongs) {
        return false;
    }
    VORNET_LOG(4) << "Found matched CIM_DiagnosticCompletionRecord instance.";
    return true;
}

}  // namespace Brocade
}  // namespace Vornet
