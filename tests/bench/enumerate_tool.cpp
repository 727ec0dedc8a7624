// Enumerates one class with our client, reads every property's value text
// (as the module does), and prints instances, wall and CPU time, peak
// resident size and MB/s of body: the client side of compare_enumeration.sh.
//   pegasus_enumerate HOST PORT NAMESPACE CLASS [TIMES [BODY_BYTES]]
// TIMES enumerations run one after the other in this process (default 1);
// each prints its own wall and CPU time; MB/s needs the body's size.
#include <Pegasus/Client/CIMClient.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "process_usage.h"

int main(int argc, char** argv) {
    if (argc < 5 || argc > 7) {
        std::fprintf(stderr, "usage: %s HOST PORT NAMESPACE CLASS [TIMES [BODY_BYTES]]\n", argv[0]);
        return 2;
    }
    int times = argc > 5 ? std::atoi(argv[5]) : 1;
    double bodyBytes = argc > 6 ? std::atof(argv[6]) : 0;
    try {
        Pegasus::CIMClient client;
        client.setTimeout(120000);
        client.connect(argv[1], static_cast<Pegasus::Uint32>(std::atoi(argv[2])), "", "");
        for (int round = 1; round <= times; ++round) {
            auto start = std::chrono::steady_clock::now();
            double cpuStart = CpuSeconds();
            Pegasus::Array<Pegasus::CIMInstance> instances =
                client.enumerateInstances(argv[3], argv[4], true, true, false, false);
            size_t textBytes = 0;
            for (Pegasus::Uint32 i = 0; i < instances.size(); ++i) {
                const Pegasus::CIMInstance& instance = instances[i];
                textBytes += instance.getPath().toString().size();
                for (Pegasus::Uint32 p = 0; p < instance.getPropertyCount(); ++p) {
                    textBytes += instance.getProperty(p).getValue().toString().size();
                }
            }
            double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            double cpu = CpuSeconds() - cpuStart;
            std::printf(
                "enumeration %d: %u instances (%zu bytes of text), %.2f s wall, %.2f s CPU, "
                "%.0f MiB peak",
                round, instances.size(), textBytes, wall, cpu, PeakResidentMebibytes());
            if (bodyBytes > 0) std::printf(", %.0f MB/s", bodyBytes / 1e6 / wall);
            std::printf("\n");
        }
        return 0;
    } catch (const Pegasus::Exception& error) {
        std::fprintf(stderr, "%s\n", static_cast<const char*>(error.getMessage().getCString()));
        return 1;
    }
}
