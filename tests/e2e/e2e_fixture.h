#ifndef BROCADE_E2E_FIXTURE_H
#define BROCADE_E2E_FIXTURE_H

#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "brocade.h"
#include "cim_test_support.h"
#include "simulator_process.h"
#include "test_environment.h"

// A data file beside these tests: expected lines (requests, log lines), or a JSON document.
inline std::vector<std::string> GoldenLines(const std::string& file) {
    std::ifstream stream(std::string(BROCADE_SOURCE_DIR) + "/tests/e2e/" + file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}
template <typename Json = nlohmann::json>
Json GoldenJson(const std::string& file) {
    return Json::parse(std::ifstream(std::string(BROCADE_SOURCE_DIR) + "/tests/e2e/" + file));
}

// A host's view of the module against a simulated CIM server: the facade, with the long pauses
// counted instead of waited for, the log captured at trace level and the clients' events kept.
class EndToEnd : public CimTest {
  protected:
    // The server requires authentication, as production servers do: out-of-band the host's
    // account passes it (Basic), in-band the local authentication over the server's socket. With
    // `propertyQualifiers` it sends every property qualifier on its instances; without, only the
    // typing ones, as OpenPegasus.
    void Serve(const nlohmann::json& scenario, bool propertyQualifiers = false) {
        simulator = std::make_unique<SimulatorProcess>(scenario, Options(propertyQualifiers));
    }
    void ServeShipped(const std::string& file, bool propertyQualifiers = false) {
        simulator =
            std::make_unique<SimulatorProcess>(ShippedScenario{file}, Options(propertyQualifiers));
    }
    std::unique_ptr<Vornet::Brocade::Brocade> OutOfBand() {
        return std::make_unique<Vornet::Brocade::Brocade>(simulator->Connection());
    }
    // In-band the module reaches "the local CIM server": the simulator's socket, with no
    // credentials anywhere, for the rest of the test. With `basicOverride` the local URL names
    // the simulator's HTTP port with the account in it instead.
    std::unique_ptr<Vornet::Brocade::Brocade> InBand(bool basicOverride = false) {
        localServer.emplace("CIMCLIENT_LOCAL_URL",
                            basicOverride ? "http://" + kUser + ":" + kPassword + "@127.0.0.1:" +
                                                std::to_string(simulator->HttpPort())
                                          : "unix:" + simulator->LocalSocket());
        localAuthDirectory.emplace("CIMCLIENT_LOCAL_AUTH_DIR", simulator->LocalAuthDirectory());
        return std::make_unique<Vornet::Brocade::Brocade>();
    }

    // Every request the simulator has journaled so far, oldest first, as "operation target flags
    // time-out" (see README.md): the target is the class and a path's naming key; the time-out is
    // the module's client's, joined by MESSAGE ID, and 0 for a request that was not the module's.
    std::vector<std::string> SentRequests() const {
        std::vector<std::string> sent;
        unsigned int lastTimeout = 0;
        for (const nlohmann::json& entry : simulator->Journal()) {
            std::string request = entry.value("operation", "");
            if (entry.contains("method")) request += " " + entry["method"].get<std::string>();
            request += " " + entry.value("class", "");
            const std::string path = entry.value("path", "");
            std::smatch key;
            if (std::regex_search(path, key,
                                  std::regex("[.,](?:DeviceID|InstanceID|Name)=\"([^\"]*)\""))) {
                request += " " + key[1].str();
            }
            unsigned int timeout = 0;
            for (const auto& event : events) {
                if (event.kind == pegasus_testing::ClientEvent::Request &&
                    std::to_string(event.messageId) == entry.value("messageId", "")) {
                    timeout = event.timeoutMilliseconds;
                }
            }
            // A class lookup runs within what is left of the time-out of the request it serves.
            const bool withinLast =
                entry.value("operation", "") == "GetClass" && timeout > 0 && timeout <= lastTimeout;
            sent.push_back(
                request + " " + entry.value("flags", nlohmann::json()).dump() + " " +
                (withinLast ? "within " + std::to_string(lastTimeout) : std::to_string(timeout)));
            if (entry.value("operation", "") != "GetClass") lastTimeout = timeout;
        }
        return sent;
    }

    std::unique_ptr<SimulatorProcess> simulator;
    std::optional<ScopedEnvironment> localServer;
    std::optional<ScopedEnvironment> localAuthDirectory;

  private:
    inline static const std::string kUser = "root";
    inline static const std::string kPassword = "s3cret";
    static SimulatorOptions Options(bool propertyQualifiers) {
        SimulatorOptions options;
        options.propertyQualifiers = propertyQualifiers;
        options.user = kUser;
        options.password = kPassword;
        options.localAuthentication = true;
        return options;
    }
};

#endif
