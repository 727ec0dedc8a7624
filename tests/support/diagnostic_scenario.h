#ifndef BROCADE_DIAGNOSTIC_SCENARIO_H
#define BROCADE_DIAGNOSTIC_SCENARIO_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// A simulator scenario with one diagnostic service "LoopbackTest" offered to one Fibre Channel
// port per case; the port's DeviceID is the case's name and its run follows the case's job steps
// and completion record; the simulator numbers the jobs.
struct DiagnosticCase {
    std::string name;
    nlohmann::json jobSteps;  // null: the method returns no job
    nlohmann::json record = {{"CompletionState", 2}, {"RecordData", "passed"}};
};

nlohmann::json DiagnosticScenario(const std::vector<DiagnosticCase>& cases);

// Job steps that show Running for `runningPolls` polls, then Completed at 100 %.
nlohmann::json CompletesAfter(int runningPolls);

#endif
