// Steady state of long-lived users of the client: resident size and open
// descriptors must stay flat once warmed up.
//   pegasus_soak client [ROUNDS]   one CIMClient, ROUNDS enumerations of a
//                                  100-instance class (default 1,000)
//   pegasus_soak module [ROUNDS]   one module object, ROUNDS inventories of
//                                  the sample estate (default 200)
//   pegasus_soak objects [COUNT] [--property-qualifiers]
//                                  COUNT live module objects (default 1,000),
//                                  one inventory each on 8 threads, as a host
//                                  that manages many targets holds them; prints
//                                  the heap each object keeps afterwards. With
//                                  the flag the server sends every property
//                                  qualifier; without it, none, as OpenPegasus
// Prints resident size and descriptor count after a tenth of the rounds
// (the warm-up) and at the end. With --check it exits 1 when the descriptors
// changed: a count is exact, while resident size is the allocator's to keep
// and so only a measurement (LeakSanitizer guards memory in the sanitizer
// build).
#include <Pegasus/Client/CIMClient.h>
#include <dirent.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "brocade.h"
#include "large_enumeration.h"
#include "log.h"
#include "simulator_process.h"

namespace {

double residentMiB() {
    long pages = 0;
    long resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    if (statm != nullptr) std::fclose(statm);
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

int openDescriptors() {
    int count = 0;
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr) return -1;
    while (dirent* entry = readdir(directory)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(directory);
    return count - 1;  // the directory's own descriptor
}

struct Sample {
    double residentMiB;
    int descriptors;
};

Sample sample() { return {residentMiB(), openDescriptors()}; }

// Runs `round` `rounds` times; true when the descriptors open after the
// warm-up tenth are still the ones open at the end.
bool steady(const char* what, int rounds, const std::function<void()>& round) {
    int warmUp = rounds / 10 > 0 ? rounds / 10 : 1;
    Sample afterWarmUp{};
    for (int i = 1; i <= rounds; ++i) {
        round();
        if (i == warmUp) afterWarmUp = sample();
    }
    Sample atEnd = sample();
    std::printf(
        "%s, %d rounds: after %d: %.1f MiB resident, %d descriptors; at the end: %.1f MiB "
        "resident, %d descriptors\n",
        what, rounds, warmUp, afterWarmUp.residentMiB, afterWarmUp.descriptors, atEnd.residentMiB,
        atEnd.descriptors);
    return atEnd.descriptors == afterWarmUp.descriptors;
}

bool soakClient(int rounds) {
    char directory[] = "/tmp/pegasus-soak-XXXXXX";
    if (mkdtemp(directory) == nullptr) return false;
    std::string body = std::string(directory) + "/body.xml";
    std::string response = large_enumeration::response(100);
    std::FILE* file = std::fopen(body.c_str(), "wb");
    if (file == nullptr) return false;
    std::fwrite(response.data(), 1, response.size(), file);
    std::fclose(file);
    bool flat = false;
    {
        SimulatorProcess simulator(
            nlohmann::json{{"namespace", "root/brocade"},
                           {"prerendered", {{"EnumerateInstances:CIM_FCPort", body}}}},
            SimulatorOptions{"", "", true});
        Pegasus::CIMClient client;
        client.connect("127.0.0.1", simulator.HttpPort(), "", "");
        flat = steady("one CIMClient, enumerations of 100 instances", rounds, [&] {
            Pegasus::Array<Pegasus::CIMInstance> instances =
                client.enumerateInstances("root/brocade", "CIM_FCPort", true, true, false, false);
            if (instances.size() != 100) std::abort();
            for (Pegasus::Uint32 i = 0; i < instances.size(); ++i) {
                for (Pegasus::Uint32 p = 0; p < instances[i].getPropertyCount(); ++p) {
                    instances[i].getProperty(p).getValue().toString();
                }
            }
        });
    }
    std::remove(body.c_str());
    rmdir(directory);
    return flat;
}

bool soakModule(int rounds) {
    Vornet::Log::SetMinLogLevel(1);
    SimulatorProcess simulator(ShippedScenario{"sample_estate.json"});
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = simulator.HttpPort();
    info.connection_case = 2;
    Vornet::Brocade::Brocade module(info);
    return steady("one module object, inventories of the sample estate", rounds, [&] {
        std::vector<Vornet::VornetOptions::NetworkAdapter> records;
        if (module.GetAdapterInfo(records) != 0 || records.empty()) std::abort();
    });
}

// Heap in use in every arena, in bytes.
double heapInUse() { return static_cast<double>(mallinfo2().uordblks); }

bool liveObjects(int count, bool propertyQualifiers) {
    Vornet::Log::SetMinLogLevel(1);
    // Each object keeps its connection open, as a host's do.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    SimulatorOptions options;
    options.propertyQualifiers = propertyQualifiers;
    SimulatorProcess simulator(ShippedScenario{"sample_estate.json"}, options);
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = simulator.HttpPort();
    info.connection_case = 2;
    const double before = heapInUse();
    std::vector<std::unique_ptr<Vornet::Brocade::Brocade>> objects(count);
    std::vector<std::thread> threads;
    bool failed = false;
    const int threadCount = 8;
    for (int first = 0; first < threadCount; ++first) {
        threads.emplace_back([&, first] {
            for (int index = first; index < count; index += threadCount) {
                objects[index] = std::make_unique<Vornet::Brocade::Brocade>(info);
                std::vector<Vornet::VornetOptions::NetworkAdapter> records;
                if (objects[index]->GetAdapterInfo(records) != 0 || records.size() != 3) {
                    failed = true;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    const double perObject = (heapInUse() - before) / count / 1024.0;
    std::printf(
        "%d live objects after one inventory each (%s): %.1f KiB of heap per object\n", count,
        propertyQualifiers ? "every property qualifier sent" : "as OpenPegasus serves", perObject);
    return !failed;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool check = false;
    for (auto it = arguments.begin(); it != arguments.end();) {
        if (*it == "--check") {
            check = true;
            it = arguments.erase(it);
        } else {
            ++it;
        }
    }
    if (arguments.size() >= 1 && arguments[0] == "objects") {
        const bool qualifiers = std::find(arguments.begin(), arguments.end(),
                                          "--property-qualifiers") != arguments.end();
        const int count =
            arguments.size() > 1 && arguments[1][0] != '-' ? std::atoi(arguments[1].c_str()) : 1000;
        return liveObjects(count, qualifiers) ? 0 : 1;
    }
    if (arguments.empty() || (arguments[0] != "client" && arguments[0] != "module")) {
        std::fprintf(stderr,
                     "usage: %s client|module [ROUNDS] [--check] | objects [COUNT] "
                     "[--property-qualifiers]\n",
                     argv[0]);
        return 2;
    }
    bool isClient = arguments[0] == "client";
    int rounds = arguments.size() > 1 ? std::atoi(arguments[1].c_str()) : (isClient ? 1000 : 200);
    bool flat = isClient ? soakClient(rounds) : soakModule(rounds);
    if (check && !flat) {
        std::fprintf(stderr, "open descriptors changed after the warm-up\n");
        return 1;
    }
    return 0;
}
