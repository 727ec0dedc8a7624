// BrocadeImpl's diagnostic operations: offering the catalogued diagnostics the provider lists,
// and running one into the host's record.

#include "brocade_cim_inventory.h"
#include "brocade_impl.h"
#include "brocade_impl_modes.h"
#include "cim_property_names.h"
#include "log_line.h"
#include "record_tables.h"

namespace Vornet {
namespace Brocade {

namespace {

// The value of `key` in an object-path text: what follows `,key="` up to the next quote. A key
// that opens the key list has no comma before it and is not found; then the text is empty.
std::string KeyValueFromPath(const std::string& path, const std::string& key) {
    const std::string marker = "," + key + "=\"";
    const size_t start = path.find(marker);
    if (start == std::string::npos) {
        return std::string();
    }
    const size_t valueStart = start + marker.size();
    const size_t end = path.find('"', valueStart);
    return path.substr(valueStart, end == std::string::npos ? std::string::npos : end - valueStart);
}

struct OutcomeRule {
    const char* completionState;
    int result;
    const char* outcome;  // catalogue outcome whose texts 1 and 2 replace those of "failed"
};

const OutcomeRule kOutcomeRules[] = {
    {"Incomplete", 4, nullptr}, {"OK", 2, "ok"},           {"Failed", 5, nullptr},
    {"Warning", 3, nullptr},    {"Aborted", 6, "aborted"}, {"Stopped", 7, nullptr},
};
constexpr int kUnrecognisedCompletion = 1;

void SetOutcomeTexts(Vornet::VornetIHV::DiagnosticRecord_& record,
                     const DiagnosticOutcomeTexts& texts) {
    record.outcome_text_1 = texts.outcome_text_1;
    record.outcome_text_2 = texts.outcome_text_2;
    record.outcome_text_3 = texts.outcome_text_3;
    record.outcome_text_4 = texts.outcome_text_4;
}

// Whole keys, so that a request for ctlr-1 never runs the test of ctlr-10, nor Loopback that of
// InternalLoopbackTest; an empty part still asks for every entry.
bool MatchesRequest(const DiagnosticItem& listed, const std::string& name,
                    const std::string& device) {
    return (name.empty() || GetNameFromPath(listed.first) == name) &&
           (device.empty() || GetDeviceIdFromPath(listed.second) == device);
}

}  // namespace

std::string GetNameFromPath(std::string path) {
    return KeyValueFromPath(path, CimPropertyNames::Name);
}

std::string GetDeviceIdFromPath(std::string path) {
    return KeyValueFromPath(path, CimPropertyNames::DeviceID);
}

bool BrocadeImpl::IsKnownDiagnostic(std::string name) {
    return FindCatalogueEntry(name) != nullptr;
}

const DiagnosticCatalogueEntry* BrocadeImpl::FindCatalogueEntry(const std::string& name) const {
    for (const DiagnosticCatalogueEntry& entry : diagnosticCatalogue) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

int BrocadeImpl::GetDiagnosticItems(std::vector<std::string>& items) {
    VORNET_LOG(4) << "Calling BrocadeImpl::GetDiagnosticItems()";
    if (connectionMode != kInBand) {
        VORNET_LOG(1) << "Doesn't support in out-of-band mode";
        return kNotOfferedOutOfBand;
    }
    items.clear();
    diagnosticItems.clear();
    const CimFunc::Call call = brocadeCim->StartCall();
    const int result = brocadeCim->GetDiagnosticItems(diagnosticItems);
    for (const DiagnosticItem& item : diagnosticItems) {
        const std::string name = GetNameFromPath(item.first);
        if (IsKnownDiagnostic(name)) {
            items.push_back(name + "|" + GetDeviceIdFromPath(item.second));
        }
    }
    return result;
}

int BrocadeImpl::RunDiagnostic(const std::string& item,
                               Vornet::VornetIHV::DiagnosticRecord_& record) {
    VORNET_LOG(4) << "Calling BrocadeImpl::RunDiagnostic() with " << Vornet::EscapedControls(item);
    if (connectionMode != kInBand) {
        VORNET_LOG(1) << "Doesn't support in out-of-band mode";
        return kNotOfferedOutOfBand;
    }
    const size_t bar = item.find('|');
    const std::string name = bar == std::string::npos ? item : item.substr(0, bar);
    const std::string device = bar == std::string::npos ? item : item.substr(bar + 1);

    record.result = 0;
    int result = 1;
    const CimFunc::Call call = brocadeCim->StartCall();
    for (const DiagnosticItem& listed : diagnosticItems) {
        if (!MatchesRequest(listed, name, device)) {
            continue;
        }
        result = brocadeCim->RunDiagnostic(listed);
        RecordTables::CopyFields(RecordTables::kDiagnosticRecordFields,
                                 brocadeCim->GetDiagnosticResults(), record);

        // A name without a catalogue entry gets empty texts rather than anything past the end.
        const DiagnosticCatalogueEntry* entry = FindCatalogueEntry(name);
        auto outcome = [entry](const char* key) {
            if (entry == nullptr) {
                return DiagnosticOutcomeTexts();
            }
            const auto found = entry->outcomes.find(key);
            return found == entry->outcomes.end() ? DiagnosticOutcomeTexts() : found->second;
        };
        SetOutcomeTexts(record, outcome("failed"));
        record.result = kUnrecognisedCompletion;
        for (const OutcomeRule& rule : kOutcomeRules) {
            if (record.completion_state != rule.completionState) {
                continue;
            }
            record.result = rule.result;
            if (rule.outcome != nullptr) {
                const DiagnosticOutcomeTexts texts = outcome(rule.outcome);
                record.outcome_text_1 = texts.outcome_text_1;
                record.outcome_text_2 = texts.outcome_text_2;
                record.outcome_text_3.clear();
                record.outcome_text_4.clear();
            }
            break;
        }
    }
    return result;
}

}  // namespace Brocade
}  // namespace Vornet
