#ifndef BROCADE_E2E_FIXTURE_H
#define BROCADE_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "brocade.h"
#include "client_observer.h"
#include "log.h"
#include "log_capture.h"
#include "pause.h"
#include "simulator_process.h"
#include "test_environment.h"

// One request as the simulator's journal has it, joined by its MESSAGE ID to the time-out the
// module's client had in force for it (which never crosses the wire).
struct SentRequest {
    std::string operation;  // "EnumerateInstances", "GetInstance", "InvokeMethod RunDiagnostic"
    std::string target;     // the class, followed for a path by the value of its naming key
    nlohmann::json flags;   // as carried (see tools/cimsim/README.md); null for a method call
    unsigned int timeoutMilliseconds;

    bool operator==(const SentRequest& other) const {
        return operation == other.operation && target == other.target && flags == other.flags &&
               timeoutMilliseconds == other.timeoutMilliseconds;
    }
};

inline std::ostream& operator<<(std::ostream& out, const SentRequest& request) {
    return out << "{" << request.operation << " " << request.target << " " << request.flags.dump()
               << " " << request.timeoutMilliseconds << " ms}";
}

// A host's view of the module against a simulated CIM server: the facade, with the long pauses
// counted instead of waited for, the log captured at trace level and the clients' events kept.
class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        Vornet::Log::SetMinLogLevel(4);
        SetPauseFunction([this](unsigned int milliseconds) { pauses.push_back(milliseconds); });
        pegasus_testing::setClientObserver(
            [this](const pegasus_testing::ClientEvent& event) { events.push_back(event); });
    }
    void TearDown() override {
        pegasus_testing::setClientObserver(nullptr);
        SetPauseFunction(nullptr);
    }

    // With `on` false the server keeps property qualifiers off its instances, as OpenPegasus.
    static SimulatorOptions PropertyQualifiers(bool on) {
        SimulatorOptions options;
        options.propertyQualifiers = on;
        return options;
    }
    void Serve(const nlohmann::json& scenario, const SimulatorOptions& options = {}) {
        simulator = std::make_unique<SimulatorProcess>(scenario, options);
    }
    void ServeShipped(const std::string& shippedScenario, const SimulatorOptions& options = {}) {
        simulator = std::make_unique<SimulatorProcess>(ShippedScenario{shippedScenario}, options);
    }
    std::unique_ptr<Vornet::Brocade::Brocade> OutOfBand() {
        return std::make_unique<Vornet::Brocade::Brocade>(simulator->Connection());
    }
    // In-band the module reaches "the local CIM server": the simulator, for the rest of the test.
    std::unique_ptr<Vornet::Brocade::Brocade> InBand() {
        localServer.reset();  // restores the variable first, so the new setting is the one left
        localServer =
            std::make_unique<ScopedEnvironment>("CIMCLIENT_LOCAL_URL", simulator->LocalUrl());
        return std::make_unique<Vornet::Brocade::Brocade>();
    }
    size_t CountLines(const std::string& text) const {
        const auto texts = log.Texts();
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
    }
    size_t CountLinesContaining(const std::string& part) const {
        const auto texts = log.Texts();
        return static_cast<size_t>(std::count_if(texts.begin(), texts.end(), [&](const auto& t) {
            return t.find(part) != std::string::npos;
        }));
    }

    size_t CountEvents(pegasus_testing::ClientEvent::Kind kind) const {
        return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                                 [kind](const auto& e) { return e.kind == kind; }));
    }

    // Every request the simulator has journaled so far, oldest first.
    std::vector<SentRequest> SentRequests() const {
        std::vector<SentRequest> sent;
        for (const nlohmann::json& entry : simulator->Journal()) {
            SentRequest request;
            request.operation = entry.value("operation", "");
            if (entry.contains("method")) {
                request.operation += " " + entry["method"].get<std::string>();
            }
            request.target = entry.value("class", "");
            const std::string path = entry.value("path", "");
            for (const char* key : {"DeviceID", "InstanceID", "Name"}) {
                std::smatch value;
                if (std::regex_search(path, value,
                                      std::regex(std::string("[.,]") + key + "=\"([^\"]*)\""))) {
                    request.target += " " + value[1].str();
                    break;
                }
            }
            request.flags = entry.contains("flags") ? entry["flags"] : nlohmann::json();
            request.timeoutMilliseconds = 0;  // no event: the request was not the module's
            for (const auto& event : events) {
                if (event.kind == pegasus_testing::ClientEvent::Request &&
                    std::to_string(event.messageId) == entry.value("messageId", "")) {
                    request.timeoutMilliseconds = event.timeoutMilliseconds;
                }
            }
            sent.push_back(request);
        }
        return sent;
    }

    std::unique_ptr<SimulatorProcess> simulator;
    std::unique_ptr<ScopedEnvironment> localServer;
    std::vector<unsigned int> pauses;
    std::vector<pegasus_testing::ClientEvent> events;
    Vornet::LogCapture log;
};

#endif
