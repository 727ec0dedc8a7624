// The diagnostic engine through the real client against scripted simulator runs.

#include <memory>

#include "cim_test_support.h"
#include "cimfunc.h"
#include "diagnostic_scenario.h"
#include "simulator_process.h"

namespace {

const Pegasus::CIMNamespaceName kNameSpace("root/brocade");

class DiagnosticEngine : public CimTest {
  protected:
    void Serve(const nlohmann::json& scenario) {
        simulator = std::make_unique<SimulatorProcess>(scenario);
        cimFunc = std::make_unique<CimFunc>(kNameSpace, simulator->Connection());
        ASSERT_NE(cimFunc->GetClient(), nullptr);
    }
    int List() {
        return CimFunc::GetDiagnosticItems(
            *cimFunc, Pegasus::CIMName("CIM_AvailableDiagnosticService"), 120, items, entries);
    }
    const DiagnosticItem& ItemFor(const std::string& device) {
        for (const DiagnosticItem& item : items) {
            if (item.second.find("\"" + device + "\"") != std::string::npos) return item;
        }
        throw std::runtime_error("no item for " + device);
    }
    // Invokes the diagnostic of `device` and waits for its job with `attempts` polls; the job's
    // class gives its state texts, as the simulator serves jobs as OpenPegasus does.
    int InvokeAndWait(const std::string& device, int attempts) {
        if (CimFunc::InvokeDiagnostic(*cimFunc, Pegasus::CIMName("RunDiagnostic"), 180,
                                      ItemFor(device), entries, working) != 0) {
            return -1;
        }
        Pegasus::CIMObjectPath job;
        working.outParams[0].getValue().get(job);
        pauses.clear();
        return CimFunc::WaitForJob(*cimFunc, job, 60, attempts, working, results);
    }

    std::unique_ptr<SimulatorProcess> simulator;
    std::unique_ptr<CimFunc> cimFunc;
    std::vector<DiagnosticItem> items;
    std::vector<DiagnosticServiceEntry> entries;
    DiagnosticServiceEntry working;
    PropertyMap results;
};

}  // namespace

TEST_F(DiagnosticEngine, AnAssociationWithoutAReferenceIsSkippedAndTheRestListed) {
    nlohmann::json scenario = DiagnosticScenario({{"good", CompletesAfter(0)}});
    scenario["classes"]["XX_LooseDiagnosticService"] = {
        {"superclass", "CIM_AvailableDiagnosticService"},
        {"properties", {{"UserOfService", "string"}}}};
    scenario["instances"].push_back(
        {{"class", "XX_LooseDiagnosticService"},
         {"properties", {{"ServiceProvided", "svc"}, {"UserOfService", "port-0"}}}});
    Serve(scenario);
    EXPECT_EQ(List(), 1);
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(CountLines("Property UserOfService is not found as REF."), 1u);
}

// An item is listed only with the service and the element it was listed with.
TEST_F(DiagnosticEngine, AnUnlistedItemMakesNoRequest) {
    Serve(DiagnosticScenario({{"a", CompletesAfter(0)}}));
    List();
    const DiagnosticItem unlisted(items[0].first + "x", items[0].second);
    EXPECT_EQ(CimFunc::InvokeDiagnostic(*cimFunc, Pegasus::CIMName("RunDiagnostic"), 180, unlisted,
                                        entries, working),
              1);
    EXPECT_EQ(CountLines("Diagnostic item not found..." + unlisted.first + "\t" + unlisted.second),
              1u);
    EXPECT_TRUE(simulator->Requests("InvokeMethod").empty());
}

// A failed poll's text is the server's: its control characters reach the log as escapes, so that
// it cannot add lines of its own.
TEST_F(DiagnosticEngine, JobsEndAsTheirPollsSay) {
    const auto pollFailsOnce = [](const std::string& description) {
        return nlohmann::json{{{"cimError", {{"code", 1}, {"description", description}}}},
                              {{"JobState", 7}, {"PercentComplete", 100}}};
    };
    Serve(DiagnosticScenario(
        {{"tenth", CompletesAfter(9)},
         {"never", nlohmann::json::array({{{"JobState", 7}, {"PercentComplete", 99}}})},
         {"killed", nlohmann::json::array({{{"JobState", 9}, {"PercentComplete", 30}}})},
         {"flaky", pollFailsOnce("CIM_ERR_FAILED: job provider busy")},
         {"forged", pollFailsOnce("busy\r\n2026-12-07T00:00:00.000Z L1 x.cpp:1 forged\ttab")},
         {"escaped", pollFailsOnce(std::string("busy\x1b[2J\x7f\xc2\x9b end\0after", 21))}}));
    List();
    struct Expected {
        const char* device;
        int result;
        size_t pauses;
        const char* line;
        const char* state;
        const char* percent;
        const char* failedPollLine;
    };
    const Expected cases[] = {
        {"tenth", 0, 9, "Diagnostic Finished at the 10 attempt", "Completed", "100", nullptr},
        {"never", 1, 10,
         "Diagnostic timing out, can not get Completed & 100% status of Comcretejob", "Completed",
         "99", nullptr},
        {"killed", 0, 0, "Diagnostic Finished at the Killed state", "Killed", "30", nullptr},
        {"flaky", 0, 1, "Diagnostic Finished at the 2 attempt", "Completed", "100",
         "getInstance return exeption: CIM_ERR_FAILED: job provider busy"},
        {"forged", 0, 1, "Diagnostic Finished at the 2 attempt", "Completed", "100",
         "getInstance return exeption: busy\\r\\n2026-12-07T00:00:00.000Z L1 x.cpp:1 forged\ttab"},
        {"escaped", 0, 1, "Diagnostic Finished at the 2 attempt", "Completed", "100",
         // The library's text ends at a NUL (a C string), so a NUL never reaches the log.
         "getInstance return exeption: busy\\x1b[2J\\x7f\\u009b end"},
    };
    for (const Expected& test : cases) {
        log.Clear();
        results.clear();
        working = DiagnosticServiceEntry();
        EXPECT_EQ(InvokeAndWait(test.device, 10), test.result) << test.device;
        EXPECT_EQ(pauses.size(), test.pauses) << test.device;
        EXPECT_EQ(CountLines(test.line), 1u) << test.device;
        EXPECT_EQ(results["ConCreteJob State"], test.state) << test.device;
        EXPECT_EQ(results["Percent Complete"], test.percent) << test.device;
        if (test.failedPollLine != nullptr) {
            EXPECT_EQ(CountLines(test.failedPollLine), 1u) << test.device;
        }
    }
}
