#ifndef BROCADE_CIM_TEST_SUPPORT_H
#define BROCADE_CIM_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "log.h"
#include "log_capture.h"
#include "pause.h"
#include "testing/client_observer.h"

// Records the pauses and client events of one test instead of waiting, and captures its log at
// trace level.
class CimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Vornet::Log::SetMinLogLevel(4);
        SetPauseFunction([this](unsigned int milliseconds) {
            pauses.push_back(milliseconds);
            if (onPause) {
                onPause();
            }
        });
        pegasus_testing::setClientObserver([this](const pegasus_testing::ClientEvent& event) {
            events.push_back(event);
            if (onEvent) onEvent(event);
        });
    }
    void TearDown() override {
        SetPauseFunction(nullptr);
        pegasus_testing::setClientObserver(nullptr);
    }

    // Forgets what was recorded so far, so that the checks that follow see only what comes next.
    void StartCounting() {
        events.clear();
        pauses.clear();
        log.Clear();
    }
    size_t Count(pegasus_testing::ClientEvent::Kind kind) const {
        return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                                 [kind](const auto& e) { return e.kind == kind; }));
    }
    std::vector<std::string> Lines(unsigned int level) const {
        std::vector<std::string> lines;
        for (const auto& record : log.Records()) {
            if (record.level == level) {
                lines.push_back(record.text);
            }
        }
        return lines;
    }
    size_t CountLines(const std::string& text) const {
        const auto texts = log.Texts();
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
    }

    std::vector<unsigned int> pauses;
    std::function<void()> onPause;
    std::function<void(const pegasus_testing::ClientEvent&)> onEvent;
    std::vector<pegasus_testing::ClientEvent> events;
    Vornet::LogCapture log;
};

#endif
