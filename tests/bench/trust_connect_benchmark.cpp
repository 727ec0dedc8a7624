// Connect time to cimsim's HTTPS port through the module's connect step (a new client, connect(),
// the TLS handshake and the trust checks), without a trust setting, with a pin and with a CA
// bundle. Run through tests/windows/run_with_cimsim.py, which starts the server and names its
// certificate: `python3 tests/windows/run_with_cimsim.py [wine] trust_connect_benchmark [ROUNDS]`.
// Prints the median and the fastest round of each, in milliseconds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cimfunc.h"
#include "test_environment.h"

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string JsonPath(std::string path) {
    for (size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 2)) {
        path.insert(at, 1, '\\');
    }
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string settingPath = Environment("BROCADE_TEST_TRUST_SETTING");
    if (settingPath.empty()) {
        std::fprintf(stderr, "run through tests/windows/run_with_cimsim.py\n");
        return 2;
    }
    const struct {
        const char* name;
        std::string setting;  // empty: no setting file
    } settings[] = {
        {"no setting", ""},
        {"pin", "{\"pins\": [\"" + Environment("BROCADE_TEST_CIMSIM_PIN") + "\"]}"},
        {"CA bundle",
         "{\"ca_bundle\": \"" + JsonPath(Environment("BROCADE_TEST_CIMSIM_CERTIFICATE")) + "\"}"},
    };
    Vornet::VornetConnection::ConnectionInfo info;
    info.host = "127.0.0.1";
    info.port = static_cast<unsigned short>(
        std::atoi(Environment("BROCADE_TEST_CIMSIM_HTTPS_PORT").c_str()));
    info.user_name = Environment("BROCADE_TEST_CIMSIM_USER");
    info.password = Environment("BROCADE_TEST_CIMSIM_PASSWORD");
    info.connection_type = 1;
    info.connection_case = 3;
    int status = 0;
    for (const auto& setting : settings) {
        // No setting: no variable either, since a file it names must exist.
        const ScopedEnvironment trust("VORNET_BROCADE_TRUST",
                                      setting.setting.empty() ? "" : settingPath);
        std::remove(settingPath.c_str());
        if (!setting.setting.empty())
            std::ofstream(settingPath, std::ios::binary) << setting.setting;
        std::vector<double> milliseconds;
        for (int round = 0; round < rounds; ++round) {
            const auto started = std::chrono::steady_clock::now();
            CimFunc cimFunc(Pegasus::CIMNamespaceName("root/brocade"), info);
            milliseconds.push_back(std::chrono::duration<double, std::milli>(
                                       std::chrono::steady_clock::now() - started)
                                       .count());
            if (cimFunc.GetClient() == nullptr) status = 1;
        }
        std::sort(milliseconds.begin(), milliseconds.end());
        std::printf("%-10s median %7.2f ms  fastest %7.2f ms  (%d connects)\n", setting.name,
                    milliseconds[milliseconds.size() / 2], milliseconds.front(), rounds);
    }
    std::remove(settingPath.c_str());
    return status;
}
