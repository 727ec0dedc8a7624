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
    bool version = false;
};

// Parses argv (without the program name). On a usage error returns false and sets `error` to a
// one-line message. The password is read from the environment variable named by --password-env,
// never from the command line.
bool ParseProbeOptions(const std::vector<std::string>& arguments, ProbeOptions& options,
                       std::string& error);

extern const char* const kProbeUsage;

// Whether the probe shows its updating progress line on standard error: only for a person watching
// a terminal, so that JSON, pipes, CI logs and dumb terminals see exactly what they always saw.
// `ciVariable` and `termVariable` are the values of CI and TERM, nullptr when unset.
bool ShowsProgressLine(const ProbeOptions& options, bool standardErrorIsTerminal,
                       const char* ciVariable, const char* termVariable);

#endif
