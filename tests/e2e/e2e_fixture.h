#ifndef BROCADE_E2E_FIXTURE_H
#define BROCADE_E2E_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "brocade.h"
#include "log.h"
#include "log_capture.h"
#include "pause.h"
#include "simulator_process.h"
#include "test_environment.h"

// A host's view of the module against a simulated CIM server: the facade, with the long pauses
// counted instead of waited for, and the log captured at trace level.
class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        Vornet::Log::SetMinLogLevel(4);
        SetPauseFunction([this](unsigned int milliseconds) { pauses.push_back(milliseconds); });
    }
    void TearDown() override { SetPauseFunction(nullptr); }

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
        Vornet::VornetConnection::ConnectionInfo info;
        info.host = "127.0.0.1";
        info.port = simulator->HttpPort();
        info.connection_case = 2;
        return std::make_unique<Vornet::Brocade::Brocade>(info);
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

    std::unique_ptr<SimulatorProcess> simulator;
    std::unique_ptr<ScopedEnvironment> localServer;
    std::vector<unsigned int> pauses;
    Vornet::LogCapture log;
};

#endif
