#include "diagnostic_scenario.h"

nlohmann::json DiagnosticScenario(const std::vector<DiagnosticCase>& cases) {
    nlohmann::json instances = nlohmann::json::array();
    instances.push_back({{"id", "svc"},
                         {"class", "XX_DiagnosticTest"},
                         {"properties",
                          {{"SystemCreationClassName", "CIM_ComputerSystem"},
                           {"SystemName", "diag-host.invalid"},
                           {"CreationClassName", "XX_DiagnosticTest"},
                           {"Name", "LoopbackTest"}}}});
    nlohmann::json runs = nlohmann::json::array();
    for (const DiagnosticCase& test : cases) {
        const std::string port = "port-" + test.name;
        instances.push_back({{"id", port},
                             {"class", "CIM_FCPort"},
                             {"properties",
                              {{"SystemCreationClassName", "CIM_ComputerSystem"},
                               {"SystemName", "diag-host.invalid"},
                               {"CreationClassName", "CIM_FCPort"},
                               {"DeviceID", test.name}}}});
        instances.push_back(
            {{"class", "CIM_AvailableDiagnosticService"},
             {"properties", {{"ServiceProvided", "svc"}, {"UserOfService", port}}}});
        nlohmann::json run = {{"element", port}, {"record", test.record}};
        if (!test.jobSteps.is_null()) run["job"] = {{"steps", test.jobSteps}};
        runs.push_back(run);
    }
    return {{"include", {"classes.json"}},
            {"jobIdPrefix", "DIAG:Job:"},
            {"instances", instances},
            {"diagnosticRuns", runs}};
}

nlohmann::json CompletesAfter(int runningPolls) {
    nlohmann::json steps = nlohmann::json::array();
    for (int poll = 0; poll < runningPolls; ++poll) {
        steps.push_back({{"JobState", 4}, {"PercentComplete", 10 * (poll + 1)}});
    }
    steps.push_back({{"JobState", 7}, {"PercentComplete", 100}});
    return steps;
}
