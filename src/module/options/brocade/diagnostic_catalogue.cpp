#include "diagnostic_catalogue.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

#include "log_line.h"
#include "module_location.h"
#include "regular_file.h"

namespace Vornet {
namespace Brocade {

namespace {

const char* const kCatalogueVariable = "VORNET_BROCADE_DIAG_CATALOGUE";
const char* const kCatalogueFileName = "brocade_diagnostics.json";
const char* const kOutcomeKeys[] = {"ok", "failed", "aborted"};
// Ours hold a few kilobytes; anything near this is not a catalogue.
constexpr size_t kCatalogueMaxBytes = 1 << 20;

// Thrown inside this unit only, for a catalogue of the wrong shape.
struct ShapeError {
    std::string what;
};

DiagnosticOutcomeTexts OutcomeTexts(const nlohmann::json& texts, const std::string& where) {
    if (!texts.is_array() || texts.size() != 4) {
        throw ShapeError{where + " must be an array of four texts"};
    }
    for (const auto& text : texts) {
        if (!text.is_string()) {
            throw ShapeError{where + " must be an array of four texts"};
        }
    }
    return DiagnosticOutcomeTexts{texts[0].get<std::string>(), texts[1].get<std::string>(),
                                  texts[2].get<std::string>(), texts[3].get<std::string>()};
}

DiagnosticCatalogueEntry Entry(const nlohmann::json& entry, size_t index) {
    const std::string where = "diagnostics[" + std::to_string(index) + "]";
    if (!entry.is_object() || !entry.contains("name") || !entry["name"].is_string() ||
        entry["name"].get<std::string>().empty()) {
        throw ShapeError{where + " must be an object with a non-empty text \"name\""};
    }
    DiagnosticCatalogueEntry result;
    result.name = entry["name"].get<std::string>();
    if (!entry.contains("outcomes")) {
        return result;
    }
    const nlohmann::json& outcomes = entry["outcomes"];
    if (!outcomes.is_object()) {
        throw ShapeError{where + ".outcomes must be an object"};
    }
    for (const auto& outcome : outcomes.items()) {
        bool known = false;
        for (const char* key : kOutcomeKeys) {
            known = known || outcome.key() == key;
        }
        if (!known) {
            throw ShapeError{where + ".outcomes has an unknown outcome \"" + outcome.key() +
                             "\" (expected ok, failed or aborted)"};
        }
        result.outcomes[outcome.key()] =
            OutcomeTexts(outcome.value(), where + ".outcomes." + outcome.key());
    }
    return result;
}

std::string CataloguePath() {
    const char* configured = std::getenv(kCatalogueVariable);
    if (configured != nullptr && configured[0] != '\0') {
        return configured;
    }
    return ModuleDirectory() + kCatalogueFileName;
}

}  // namespace

std::vector<DiagnosticCatalogueEntry> ParseDiagnosticCatalogue(const std::string& text,
                                                               const std::string& path) {
    std::vector<DiagnosticCatalogueEntry> catalogue;
    try {
        const nlohmann::json document = nlohmann::json::parse(text);
        if (!document.is_object() || !document.contains("diagnostics") ||
            !document["diagnostics"].is_array()) {
            throw ShapeError{"the top level must be an object with an array \"diagnostics\""};
        }
        const nlohmann::json& entries = document["diagnostics"];
        for (size_t index = 0; index < entries.size(); ++index) {
            catalogue.push_back(Entry(entries[index], index));
        }
    } catch (const nlohmann::json::exception& error) {
        VORNET_LOG(1) << "Diagnostic catalogue " << path << " is not valid JSON: " << error.what();
        return {};
    } catch (const ShapeError& error) {
        VORNET_LOG(1) << "Diagnostic catalogue " << path << " has the wrong shape: " << error.what;
        return {};
    }
    return catalogue;
}

std::vector<DiagnosticCatalogueEntry> LoadDiagnosticCatalogue() {
    const std::string path = CataloguePath();
    std::string text;
    const RegularFileRead read = ReadRegularFile(path, kCatalogueMaxBytes, &text);
    if (read == RegularFileRead::kMissing) {
        VORNET_LOG(3) << "No diagnostic catalogue at " << path << "; no diagnostics are offered";
        return {};
    }
    if (read != RegularFileRead::kRead) {
        VORNET_LOG(3) << "Diagnostic catalogue " << path << " is unreadable ("
                      << RegularFileReadText(read, kCatalogueMaxBytes)
                      << "); no diagnostics are offered";
        return {};
    }
    return ParseDiagnosticCatalogue(text, path);
}

}  // namespace Brocade
}  // namespace Vornet
