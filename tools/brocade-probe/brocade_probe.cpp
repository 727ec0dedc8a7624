// brocade-probe: a small host. Loads the module, runs the operations asked for and prints what
// they return, as tables or as one JSON document; exits with the status of the last operation.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "brocade.h"
#include "log.h"
#include "probe_options.h"
#include "progress_line.h"
#include "record_fields.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int kUsageError = 64;

using Vornet::Brocade::Brocade;

struct OperationResult {
    std::string name;
    int status;
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
};

bool StandardErrorIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

OperationResult RunInventory(Brocade& module) {
    std::vector<Vornet::VornetOptions::NetworkAdapter> adapters;
    OperationResult result{"inventory", module.GetAdapterInfo(adapters)};
    for (const auto& adapter : adapters) {
        Fields fields = FieldsOf(adapter);
        fields["ports"] = nlohmann::ordered_json::array();
        for (const auto& port : adapter.ports) {
            fields["ports"].push_back(FieldsOf(port));
        }
        fields["software_identities"] = nlohmann::ordered_json::array();
        for (const auto& identity : adapter.software_identities) {
            fields["software_identities"].push_back(FieldsOf(identity));
        }
        result.records.push_back(fields);
    }
    return result;
}

// One operation that fills a vector of records, each shown by its fields.
template <typename Record, typename Operation>
OperationResult RunRecords(const char* name, Operation operation) {
    std::vector<Record> records;
    OperationResult result{name, operation(records)};
    for (const auto& record : records) {
        result.records.push_back(FieldsOf(record));
    }
    return result;
}

OperationResult RunFirmware(Brocade& module) {
    return RunRecords<Vornet::VornetOptions::SoftwareIdentity_>(
        "firmware", [&](auto& records) { return module.GetSoftwareIdentities(records); });
}

OperationResult RunRawData(Brocade& module) {
    return RunRecords<Vornet::VornetIHV::RawData_>(
        "rawdata", [&](auto& records) { return module.GetRawData(records); });
}

OperationResult RunDiagnosticList(Brocade& module, std::vector<std::string>& items) {
    OperationResult result{"diag-list", module.GetDiagItems(items)};
    for (const auto& item : items) {
        result.records.push_back(item);
    }
    return result;
}

OperationResult RunOneDiagnostic(Brocade& module, const std::string& item) {
    Vornet::VornetIHV::DiagnosticRecord_ record;
    OperationResult result{"diag-run", module.RunDiagnostic(item, record)};
    Fields fields;
    fields["item"] = item;
    fields.update(FieldsOf(record));
    result.records.push_back(fields);
    return result;
}

std::vector<OperationResult> Run(Brocade& module, const ProbeOptions& options, bool progress) {
    const std::string& operation = options.operations.front();
    std::vector<std::string> items;
    const auto shown = [progress](const std::string& name, auto run) {
        ProgressLine line(progress, name);
        return run();
    };
    const auto inventory = [&] { return shown("inventory", [&] { return RunInventory(module); }); };
    const auto firmware = [&] { return shown("firmware", [&] { return RunFirmware(module); }); };
    const auto rawData = [&] { return shown("rawdata", [&] { return RunRawData(module); }); };
    const auto listing = [&] {
        return shown("diag-list", [&] { return RunDiagnosticList(module, items); });
    };
    const auto diagnostic = [&](const std::string& item) {
        return shown("diag-run " + item, [&] { return RunOneDiagnostic(module, item); });
    };
    if (operation == "inventory") return {inventory()};
    if (operation == "firmware") return {firmware()};
    if (operation == "rawdata") return {rawData()};
    if (operation == "diag-list") return {listing()};
    if (operation == "diag-run") {
        // The module runs only what a listing on the same object offered, as a host would list
        // first.
        listing();
        return {diagnostic(options.diagnosticItem)};
    }
    std::vector<OperationResult> results{inventory(), firmware(), rawData(), listing()};
    // One run per diagnostic name: each run may poll its job for minutes.
    std::vector<std::string> namesRun;
    for (const std::string& item : items) {
        const std::string name = item.substr(0, item.find('|'));
        if (std::find(namesRun.begin(), namesRun.end(), name) == namesRun.end()) {
            namesRun.push_back(name);
            results.push_back(diagnostic(item));
        }
    }
    return results;
}

// Multi-line texts (the utility's output) are shown as an indented block under their name.
void PrintText(const std::string& name, const std::string& text, const std::string& indent) {
    if (text.find('\n') == std::string::npos) {
        std::cout << indent << name << ": " << text << "\n";
        return;
    }
    std::cout << indent << name << ": |\n";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::cout << indent << "    " << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
}

void PrintFields(const Fields& fields, const std::string& indent) {
    for (const auto& field : fields.items()) {
        if (field.value().is_array() && !field.value().empty() && field.value()[0].is_object()) {
            std::cout << indent << field.key() << ":\n";
            for (const auto& element : field.value()) {
                PrintFields(element, indent + "    ");
                std::cout << indent << "    --\n";
            }
        } else if (field.value().is_string()) {
            PrintText(field.key(), field.value().get<std::string>(), indent);
        } else {
            std::cout << indent << field.key() << ": " << field.value().dump() << "\n";
        }
    }
}

void PrintTable(const OperationResult& result) {
    std::cout << "== " << result.name << ": status " << result.status << ", "
              << result.records.size() << " record(s)\n";
    for (const auto& record : result.records) {
        if (record.is_string()) {
            std::cout << "  " << record.get<std::string>() << "\n";
        } else {
            PrintFields(record, "  ");
            std::cout << "  --\n";
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    ProbeOptions options;
    std::string error;
    if (!ParseProbeOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "brocade-probe: %s (try --help)\n", error.c_str());
        return kUsageError;
    }
    if (options.help) {
        std::fputs(kProbeUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("brocade-probe %s\n", BROCADE_VERSION);
        return 0;
    }
    if (options.logLevel >= 0) {
        Vornet::Log::SetMinLogLevel(static_cast<unsigned int>(options.logLevel));
    }

    std::unique_ptr<Brocade> module = options.inBand
                                          ? std::make_unique<Brocade>()
                                          : std::make_unique<Brocade>(options.connection);
    const bool progress = ShowsProgressLine(options, StandardErrorIsTerminal(), std::getenv("CI"),
                                            std::getenv("TERM"));
    const std::vector<OperationResult> results = Run(*module, options, progress);
    module.reset();

    if (options.json) {
        nlohmann::ordered_json document = nlohmann::ordered_json::array();
        for (const auto& result : results) {
            document.push_back({{"operation", result.name},
                                {"status", result.status},
                                {"records", result.records}});
        }
        std::cout << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
        for (const auto& result : results) {
            PrintTable(result);
        }
    }
    return results.back().status;
}
