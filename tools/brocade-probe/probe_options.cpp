#include "probe_options.h"

#include <cstdlib>

const char* const kProbeUsage =
    "usage: brocade-probe [--in-band | --host H --port N --user U --password-env VAR [--ssl]]\n"
    "                     [--json] [--log-level N] OPERATION\n"
    "\n"
    "Loads the Brocade adapter module as its host would, runs OPERATION and prints the records.\n"
    "\n"
    "Operations:\n"
    "  inventory        adapters with their ports and firmware identities\n"
    "  firmware         the flat list of firmware identities\n"
    "  rawdata          output of the adapter utility (in-band only)\n"
    "  diag-list        the diagnostics that can be run (in-band only)\n"
    "  diag-run ITEM    run the diagnostic ITEM, as diag-list names it (in-band only)\n"
    "  all              every operation above, running the first listed item of each\n"
    "                   diagnostic\n"
    "\n"
    "Options:\n"
    "  --in-band           the managed server is this one (the default without --host)\n"
    "  --host H            out-of-band: address of the remote CIM server\n"
    "  --port N            its port (default 5988, or 5989 with --ssl)\n"
    "  --user U            account on the CIM server\n"
    "  --password-env VAR  read the account's password from environment variable VAR\n"
    "  --ssl               connect over HTTPS\n"
    "  --json              print one JSON document instead of tables\n"
    "  --log-level N       module log threshold, 0 (nothing) to 4 (trace); log goes to stderr\n"
    "  --help              show this text\n"
    "  --version           show the version of the module and probe\n"
    "\n"
    "Exit status: the status of the (last) operation: 0 success, 1 CIM failure, 2 utility not\n"
    "installed, 3 utility command failed, 4 not offered out-of-band; 64 for a usage error.\n"
    "\n"
    "On a terminal, standard error shows the running operation and its elapsed time.\n";

namespace {

bool ParseNumber(const std::string& text, long lowest, long highest, long& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && value >= lowest && value <= highest;
}

}  // namespace

bool ParseProbeOptions(const std::vector<std::string>& arguments, ProbeOptions& options,
                       std::string& error) {
    bool sawHost = false;
    bool sawInBand = false;
    bool sawPort = false;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool takesValue = argument == "--host" || argument == "--port" ||
                                argument == "--user" || argument == "--password-env" ||
                                argument == "--log-level";
        if (takesValue && index + 1 >= arguments.size()) {
            error = "option " + argument + " needs a value";
            return false;
        }
        long number = 0;
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            return true;
        } else if (argument == "--version") {
            options.version = true;
            return true;
        } else if (argument == "--in-band") {
            sawInBand = true;
        } else if (argument == "--host") {
            sawHost = true;
            options.connection.host = arguments[++index];
        } else if (argument == "--port") {
            if (!ParseNumber(arguments[++index], 1, 65535, number)) {
                error = "--port needs a number from 1 to 65535";
                return false;
            }
            options.connection.port = static_cast<std::uint16_t>(number);
            sawPort = true;
        } else if (argument == "--user") {
            options.connection.user_name = arguments[++index];
        } else if (argument == "--password-env") {
            const char* password = std::getenv(arguments[++index].c_str());
            if (password == nullptr) {
                error = "environment variable " + arguments[index] + " is not set";
                return false;
            }
            options.connection.password = password;
        } else if (argument == "--ssl") {
            options.connection.connection_type = 1;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--log-level") {
            if (!ParseNumber(arguments[++index], 0, 4, number)) {
                error = "--log-level needs a number from 0 to 4";
                return false;
            }
            options.logLevel = static_cast<int>(number);
        } else if (argument == "inventory" || argument == "firmware" || argument == "rawdata" ||
                   argument == "diag-list" || argument == "all") {
            options.operations.push_back(argument);
        } else if (argument == "diag-run") {
            if (index + 1 >= arguments.size()) {
                error = "diag-run needs an ITEM";
                return false;
            }
            options.operations.push_back(argument);
            options.diagnosticItem = arguments[++index];
        } else {
            error = "unknown argument " + argument;
            return false;
        }
    }
    if (sawHost && sawInBand) {
        error = "--in-band and --host exclude each other";
        return false;
    }
    if (options.operations.size() != 1) {
        error = options.operations.empty() ? "no operation given" : "give one operation";
        return false;
    }
    options.inBand = !sawHost;
    if (sawHost) {
        // The module contacts a CIM server only in the connection cases the host calls 2 to 4.
        options.connection.connection_case = 2;
        if (!sawPort) {
            options.connection.port = options.connection.connection_type == 1 ? 5989 : 5988;
        }
    }
    return true;
}

bool ShowsProgressLine(const ProbeOptions& options, bool standardErrorIsTerminal,
                       const char* ciVariable, const char* termVariable) {
    const bool inCi = ciVariable != nullptr && *ciVariable != '\0';
    const bool dumbTerminal = termVariable != nullptr && std::string(termVariable) == "dumb";
    return standardErrorIsTerminal && !options.json && !inCi && !dumbTerminal;
}
