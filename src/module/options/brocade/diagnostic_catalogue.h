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

// Loads the catalogue of diagnostics the module offers, from the JSON file named by the
// environment variable VORNET_BROCADE_DIAG_CATALOGUE, else from brocade_diagnostics.json beside
// the module's own library file. Form:
//   {"diagnostics": [{"name": "...",
//                     "outcomes": {"ok": [four texts], "failed": [...], "aborted": [...]}}]}
// where any outcome may be absent. No file: an empty catalogue and a level-3 line naming the path
// looked at. Anything but a regular file of at most 1 MiB (a FIFO, a device, a huge file) is not
// read: an empty catalogue and a level-3 line calling it unreadable. A malformed file or an entry of the wrong shape: an empty catalogue and a level-1
// line naming the file and the fault. Never throws.
std::vector<DiagnosticCatalogueEntry> LoadDiagnosticCatalogue();

// The catalogue in `text` (as read from `path`, named in the error line); empty when malformed.
std::vector<DiagnosticCatalogueEntry> ParseDiagnosticCatalogue(const std::string& text,
                                                               const std::string& path);

}  // namespace Brocade
}  // namespace Vornet

#endif
