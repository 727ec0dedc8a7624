#ifndef BROCADE_BENCH_PROCESS_USAGE_H
#define BROCADE_BENCH_PROCESS_USAGE_H

#include <sys/resource.h>

#include <fstream>
#include <string>

// What this process has used so far: CPU (user + system) and its peak resident size.
inline double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double PeakResidentMebibytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// VmPeak: memory reserved counts here before any of it is touched.
inline double PeakVirtualMebibytes() {
    std::ifstream status("/proc/self/status");
    std::string name;
    double kibibytes = 0;
    while (status >> name) {
        if (name == "VmPeak:" && status >> kibibytes) break;
        status.ignore(1 << 10, '\n');
    }
    return kibibytes / 1024.0;
}

#endif
