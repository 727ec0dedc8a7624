#ifndef BROCADE_PROBE_OPTIONS_H
#define BROCADE_PROBE_OPTIONS_H

#include <string>
#include <vector>

#include "host_records.h"

// What the command line asked for.
struct ProbeOptions {
    bool inBand = true;
    Vornet::VornetConnection::ConnectionInfo connection;
    bool json = false;
    int logLevel = -1;                    // -1: leave the logger's own threshold
    std::vector<std::string> operations;  // inventory, firmware, rawdata, diag-list, diag-run
    std::string diagnosticItem;           // for diag-run
    bool help = false;
};

// Parses argv (without the program name). On a usage error returns false and sets `error` to a
// one-line message. The password is read from the environment variable named by --password-env,
// never from the command line.
bool ParseProbeOptions(const std::vector<std::string>& arguments, ProbeOptions& options,
                       std::string& error);

extern const char* const kProbeUsage;

#endif
