#ifndef VORNET_DIAGNOSTIC_CATALOGUE_H
#define VORNET_DIAGNOSTIC_CATALOGUE_H

#include <map>
#include <string>
#include <vector>

namespace Vornet {
namespace Brocade {

// The four texts the host shows for one outcome of a diagnostic.
struct DiagnosticOutcomeTexts {
    std::string outcome_text_1;
    std::string outcome_text_2;
    std::string outcome_text_3;
    std::string outcome_text_4;
};

// A diagnostic the module offers: its name and the texts for the outcomes "ok", "failed" and
// "aborted" (any of which may be absent).
struct DiagnosticCatalogueEntry {
    std::string name;
    std::map<std::string, DiagnosticOutcomeTexts> outcomes;
};

}  // namespace Brocade
}  // namespace Vornet

#endif
