// Inventory of a large generated estate through the facade against the simulator: how many CIM
// requests one GetAdapterInfo makes, its wall time, and the module's CPU time and peak memory.
//   inventory_scale [ADAPTERS | sample] [--property-qualifiers] [--server-ends | --server-hangs]
//     ADAPTERS: default 64, 2 controllers each, 2 ports and 3 firmware identities per controller;
//     sample: the shipped sample estate instead
//     --property-qualifiers: instances with every property qualifier (value maps included), as
//       from a server that sends them; without it, only the typing ones, as from OpenPegasus
//     --server-ends, --server-hangs: the server is ended (or stopped, its port still accepting)
//       at the first walk's request, after the package enumeration; real pauses and time-outs

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "brocade.h"
#include "log.h"
#include "process_usage.h"
#include "simulator_process.h"
#include "testing/client_observer.h"

namespace {

nlohmann::json GeneratedEstate(int adapters) {
    nlohmann::json instances = nlohmann::json::array();
    for (int adapter = 0; adapter < adapters; ++adapter) {
        const std::string package = "pkg-" + std::to_string(adapter);
        instances.push_back({{"id", package},
                             {"class", "XX_PhysicalPackage"},
                             {"properties",
                              {{"CreationClassName", "XX_PhysicalPackage"},
                               {"Tag", "SN" + std::to_string(100000 + adapter)},
                               {"Name", "Generated adapter " + std::to_string(adapter % 4)},
                               {"SerialNumber", "SN" + std::to_string(100000 + adapter)},
                               {"Model", "XX-1020"},
                               {"Manufacturer", "XX Networks"}}}});
        for (int controller = 0; controller < 2; ++controller) {
            const std::string id = package + "-ctl-" + std::to_string(controller);
            instances.push_back({{"id", id},
                                 {"class", "XX_PortController"},
                                 {"properties",
                                  {{"SystemCreationClassName", "CIM_ComputerSystem"},
                                   {"SystemName", "bench-host"},
                                   {"CreationClassName", "XX_PortController"},
                                   {"DeviceID", id}}}});
            instances.push_back({{"class", "CIM_Realizes"},
                                 {"properties", {{"Antecedent", package}, {"Dependent", id}}}});
            for (int firmware = 0; firmware < 3; ++firmware) {
                const std::string fw = id + "-fw-" + std::to_string(firmware);
                instances.push_back(
                    {{"id", fw},
                     {"class", "XX_SoftwareIdentity"},
                     {"properties",
                      {{"InstanceID", fw},
                       {"ElementName", "Firmware part " + std::to_string(firmware)},
                       {"VersionString", "3.2." + std::to_string(firmware)},
                       {"IdentityInfoValue", "xxfw 3.2." + std::to_string(firmware)},
                       {"Classifications", {10}}}}});
                instances.push_back({{"class", "CIM_ElementSoftwareIdentity"},
                                     {"properties", {{"Antecedent", fw}, {"Dependent", id}}}});
            }
            for (int port = 0; port < 2; ++port) {
                const std::string portId = id + "-port-" + std::to_string(port);
                instances.push_back({{"id", portId},
                                     {"class", "XX_FCPort"},
                                     {"properties",
                                      {{"SystemCreationClassName", "CIM_ComputerSystem"},
                                       {"SystemName", "bench-host"},
                                       {"CreationClassName", "XX_FCPort"},
                                       {"DeviceID", portId},
                                       {"Name", portId},
                                       {"EnabledState", 2},
                                       {"Speed", 8000000000LL}}}});
                instances.push_back({{"class", "CIM_ControlledBy"},
                                     {"properties", {{"Antecedent", id}, {"Dependent", portId}}}});
            }
        }
    }
    return {{"include", {"classes.json"}}, {"instances", instances}};
}

}  // namespace

int main(int argc, char** argv) {
    int adapters = 64;
    bool sample = false;
    SimulatorOptions options;
    const char* failure = nullptr;
    for (int index = 1; index < argc; ++index) {
        if (std::strcmp(argv[index], "--property-qualifiers") == 0) {
            options.propertyQualifiers = true;
        } else if (argv[index][0] == '-') {
            failure = argv[index];
        } else if (std::strcmp(argv[index], "sample") == 0) {
            sample = true;
        } else {
            adapters = std::atoi(argv[index]);
        }
    }
    Vornet::Log::SetMinLogLevel(1);
    const auto started =
        sample ? std::make_unique<SimulatorProcess>(ShippedScenario{"sample_estate.json"}, options)
               : std::make_unique<SimulatorProcess>(GeneratedEstate(adapters), options);
    SimulatorProcess& simulator = *started;
    bool struck = false;
    if (failure != nullptr) {
        pegasus_testing::setClientObserver([&](const pegasus_testing::ClientEvent& event) {
            if (!struck && event.kind == pegasus_testing::ClientEvent::Request &&
                event.target == "CIM_Realizes") {
                struck = true;
                if (std::strcmp(failure, "--server-hangs") == 0) {
                    simulator.Freeze();
                } else {
                    simulator.Stop();
                }
            }
        });
    }
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = simulator.HttpPort();
    info.connection_case = 2;
    Vornet::Brocade::Brocade module(info);

    const size_t requestsBefore = simulator.Journal().size();
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::vector<Vornet::VornetOptions::NetworkAdapter> records;
    const int status = module.GetAdapterInfo(records);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    pegasus_testing::setClientObserver(nullptr);
    const std::vector<nlohmann::json> journal = simulator.Journal();
    const size_t requests = journal.size() - requestsBefore;
    const auto classReads =
        std::count_if(journal.begin() + static_cast<std::ptrdiff_t>(requestsBefore), journal.end(),
                      [](const nlohmann::json& entry) { return entry["operation"] == "GetClass"; });

    size_t ports = 0;
    size_t identities = 0;
    for (const auto& adapter : records) {
        ports += adapter.ports.size();
        identities += adapter.software_identities.size();
    }
    std::printf("status %d: %zu adapters, %zu ports, %zu identities\n", status, records.size(),
                ports, identities);
    std::printf(
        "CIM requests: %zu\nGetClass requests: %td\nwall time: %.3f s\nmodule CPU time: %.3f s\n"
        "peak resident size: %.1f MiB\n",
        requests, classReads, wall, cpu, PeakResidentMebibytes());
    return status;
}
