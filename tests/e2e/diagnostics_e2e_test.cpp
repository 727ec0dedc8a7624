// Listing and running diagnostics through the facade, in-band against scripted simulator runs.

#include <algorithm>
#include <tuple>

#include "diagnostic_scenario.h"
#include "e2e_fixture.h"

using Vornet::VornetIHV::DiagnosticRecord_;

namespace {

class Diagnostics : public EndToEnd {
  protected:
    // Serves `scenario`, builds an in-band module and lists its diagnostics.
    std::unique_ptr<Vornet::Brocade::Brocade> ListedModule(const nlohmann::json& scenario,
                                                           bool propertyQualifiers = false) {
        Serve(scenario, propertyQualifiers);
        auto module = InBand();
        EXPECT_EQ(module->GetDiagItems(items), 0);
        return module;
    }

    // LoopbackTest, the scripted runs' service, with outcome texts; MemoryTest, one of the sample
    // estate's three, without.
    ScopedEnvironment catalogue{
        "VORNET_BROCADE_DIAG_CATALOGUE",
        std::string(BROCADE_SOURCE_DIR) + "/tests/e2e/diagnostic_catalogue.json"};
    std::vector<std::string> items;
};

nlohmann::json OneRecord(int completionState, const char* data) {
    return {{"CompletionState", completionState}, {"RecordData", data}};
}

}  // namespace

// Only catalogued services are offered, as name|device. Every request of one listing and one run,
// in order, with its flags and time-out. As OpenPegasus serves them, the job and the record carry
// no value maps, so their classes are read once each, which a server that sends them is spared.
TEST_F(Diagnostics, AListingAndARunAskForExactlyThisInThisOrder) {
    for (const bool qualifiers : {false, true}) {
        ServeShipped("sample_estate.json", qualifiers);
        auto module = InBand();
        ASSERT_EQ(module->GetDiagItems(items), 0);
        EXPECT_EQ(items, (std::vector<std::string>{"MemoryTest|ctlr-1/0", "MemoryTest|ctlr-2/0",
                                                   "MemoryTest|ctlr-2/1", "MemoryTest|ctlr-3/0"}));
        DiagnosticRecord_ record;
        pauses.clear();
        ASSERT_EQ(module->RunDiagnostic("MemoryTest|ctlr-1/0", record), 0);
        EXPECT_EQ(std::make_tuple(record.result, record.job_state, record.completion_state),
                  std::make_tuple(2, std::string("Completed"), std::string("OK")));

        const std::string poll =
            R"(GetInstance CIM_ConcreteJob CIMSIM:Job:1 {"IncludeQualifiers":true} 60000)";
        const std::string jobClass = R"(GetClass CIM_ConcreteJob {"LocalOnly":false} within 60000)";
        const std::string recordClass =
            R"(GetClass CIM_DiagnosticCompletionRecord {"LocalOnly":false} within 60000)";
        std::vector<std::string> expected = {
            "EnumerateInstances CIM_AvailableDiagnosticService {} 120000",
            "InvokeMethod RunDiagnostic XX_DiagnosticTest MemoryTest null 180000",
            poll,
            jobClass,
            poll,
            poll,
            R"(EnumerateInstances CIM_DiagnosticCompletionRecord {"IncludeQualifiers":true} 60000)",
            recordClass};
        if (qualifiers) {
            expected.erase(std::remove(expected.begin(), expected.end(), jobClass), expected.end());
            expected.pop_back();
        }
        EXPECT_EQ(SentRequests(), expected) << qualifiers;
        EXPECT_EQ(pauses, (std::vector<unsigned int>{10000, 10000}));
    }
}

// After any failed step the client is replaced, so that the next request starts on a new one.
TEST_F(Diagnostics, EveryFailedStepReconnectsSoTheNextRequestGoesOnANewConnection) {
    auto failing = [](const char* operation, const char* className) {
        nlohmann::json rule = {{"operation", operation},
                               {"times", 1},
                               {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: no"}}}};
        if (className != nullptr) rule["class"] = className;
        return nlohmann::json::array({rule});
    };
    struct Case {
        const char* step;
        nlohmann::json faults;
        const char* item;  // null: the listing
        const char* line;
    };
    // The server's detail is decoded as the real library decodes it; its control characters
    // reach the log line as escapes.
    const nlohmann::json refusedWithDetail = nlohmann::json::array(
        {{{"operation", "EnumerateInstances"},
          {"times", 1},
          {"httpStatus", 500},
          {"headers", {{"PGErrorDetail", "no%0D%0A2026-12-07T00:00:00.000Z L1 forged%1B%7F"}}}}});
    const Case cases[] = {
        {"listing", failing("EnumerateInstances", "CIM_AvailableDiagnosticService"), nullptr,
         "Enumerate instances for CIM_AvailableDiagnosticService failed with the reason: "
         "CIM_ERR_FAILED: no"},
        {"listing refused", refusedWithDetail, nullptr,
         "Enumerate instances for CIM_AvailableDiagnosticService failed with the reason: HTTP "
         "Error (500 Internal Server Error): Detail = \"no\\r\\n2026-12-07T00:00:00.000Z L1 "
         "forged\\x1b\\x7f\"."},
        {"method call", failing("InvokeMethod", nullptr), "LoopbackTest|passes",
         "invokeMethod return exeption: CIM_ERR_FAILED: no"},
        {"job wait", nlohmann::json::array(), "LoopbackTest|stuck",
         "Diagnostic timing out, can not get Completed & 100% status of Comcretejob"},
        {"completion record", failing("EnumerateInstances", "CIM_DiagnosticCompletionRecord"),
         "LoopbackTest|passes",
         "Enumerate instances for CIM_DiagnosticCompletionRecord failed with the reason: "
         "CIM_ERR_FAILED: no"},
    };
    auto module = ListedModule(DiagnosticScenario(
        {{"passes", CompletesAfter(0)},
         {"stuck", nlohmann::json::array({{{"JobState", 4}, {"PercentComplete", 50}}})}}));
    for (const Case& test : cases) {
        ASSERT_TRUE(simulator->Control({{"clearFaults", true}, {"addFaults", test.faults}}));
        StartCounting();
        DiagnosticRecord_ record;
        EXPECT_EQ(test.item == nullptr ? module->GetDiagItems(items)
                                       : module->RunDiagnostic(test.item, record),
                  1)
            << test.step;
        EXPECT_EQ(CountLines(test.line), 1u) << test.step;
        EXPECT_EQ(Count(pegasus_testing::ClientEvent::ConnectLocal), 1u) << test.step;
        const nlohmann::json failedOn = simulator->Journal().back()["connection"];
        ASSERT_EQ(module->GetDiagItems(items), 0) << test.step;
        EXPECT_NE(simulator->Journal().back()["connection"], failedOn) << test.step;
    }
}

// Whether or not the server puts value maps on instances (OpenPegasus never does: the classes
// then give them), every run has the same outcome. A class lookup never decides one: with the
// job's or the record's class refused once, the DMTF schema's value maps give the texts.
TEST_F(Diagnostics, OutcomesFollowTheCompletionStateFromEitherKindOfServer) {
    nlohmann::json scenario = DiagnosticScenario({
        {"passes", CompletesAfter(1), OneRecord(2, "all good")},
        {"warns", CompletesAfter(0), OneRecord(3, "slow")},
        {"fails", CompletesAfter(0), OneRecord(5, "2 errors")},
        {"aborts", CompletesAfter(0), OneRecord(6, "stopped by user")},
        {"lower",
         CompletesAfter(0),
         {{"class", "XX_LowerCaseCompletionRecord"}, {"CompletionState", 2}}},
    });
    // A record class whose value map spells the state "ok", which no outcome rule knows.
    scenario["classes"]["XX_LowerCaseCompletionRecord"] = nlohmann::json::parse(R"({
        "superclass": "CIM_DiagnosticCompletionRecord", "properties": {"CompletionState":
            {"type": "uint16", "qualifiers": {"ValueMap": ["2"], "Values": ["ok"]}}}})");
    // Result, completion state, job state, percent complete and the four outcome texts.
    const struct {
        const char* item;
        std::vector<std::string> fields;
    } cases[] = {
        {"LoopbackTest|passes", {"2", "OK", "Completed", "100", "ok 1", "ok 2", "", ""}},
        {"LoopbackTest|warns",
         {"3", "Warning", "Completed", "100", "failed 1", "failed 2", "failed 3", "failed 4"}},
        {"LoopbackTest|fails",
         {"5", "Failed", "Completed", "100", "failed 1", "failed 2", "failed 3", "failed 4"}},
        {"LoopbackTest|aborts",
         {"6", "Aborted", "Completed", "100", "aborted 1", "aborted 2", "", ""}},
        {"LoopbackTest|lower",
         {"1", "ok", "Completed", "100", "failed 1", "failed 2", "failed 3", "failed 4"}},
    };
    for (const bool qualifiers : {true, false}) {
        auto module = ListedModule(scenario, qualifiers);
        for (const auto& test : cases) {
            DiagnosticRecord_ record;
            EXPECT_EQ(module->RunDiagnostic(test.item, record), 0) << test.item;
            EXPECT_EQ((std::vector<std::string>{
                          std::to_string(record.result), record.completion_state, record.job_state,
                          record.percent_complete, record.outcome_text_1, record.outcome_text_2,
                          record.outcome_text_3, record.outcome_text_4}),
                      test.fields);
        }
        DiagnosticRecord_ passed;
        module->RunDiagnostic("LoopbackTest|passes", passed);
        EXPECT_EQ(passed.completion_record, "all good");
        // As OpenPegasus serves them: the job's class and its record's class for each of the six
        // runs, since the value maps go with each call.
        EXPECT_EQ(simulator->Requests("GetClass").size(), qualifiers ? 0u : 12u);
        for (const char* refused : {"CIM_ConcreteJob", "CIM_DiagnosticCompletionRecord"}) {
            ASSERT_TRUE(simulator->Control(
                {{"addFaults",
                  {{{"operation", "GetClass"},
                    {"class", refused},
                    {"times", 1},
                    {"cimError", {{"code", 1}, {"description", "CIM_ERR_FAILED: busy"}}}}}}}));
            DiagnosticRecord_ record;
            EXPECT_EQ(module->RunDiagnostic("LoopbackTest|passes", record), 0) << refused;
            EXPECT_EQ((std::vector<std::string>{std::to_string(record.result), record.job_state,
                                                record.percent_complete, record.completion_state,
                                                record.completion_record}),
                      (std::vector<std::string>{"2", "Completed", "100", "OK", "all good"}))
                << refused << qualifiers;
        }
    }
}

// Without a job (none returned, or a first output parameter that is no reference) a run takes the
// record that names it (which records belong to a run: CompletionRecords) or none.
TEST_F(Diagnostics, WithoutAJobARunTakesItsOwnRecordOrNone) {
    auto own = [](const char* element, int completionState, const char* data) {
        nlohmann::json record = OneRecord(completionState, data);
        record.update({{"ServiceName", "LoopbackTest"}, {"ManagedElementName", element}});
        return record;
    };
    nlohmann::json scenario =
        DiagnosticScenario({{"nojob", nullptr, own("nojob", 3, "mine")},
                            {"message", CompletesAfter(0), own("message", 2, "done")},
                            {"norecord", nullptr, nullptr}});
    scenario["diagnosticRuns"][1]["outParameters"] = {
        {{"name", "Message"}, {"type", "string"}, {"value", "queued"}}};
    auto module = ListedModule(scenario);
    const struct {
        const char* item;
        int returned;
        int result;
        const char* record;
    } cases[] = {{"LoopbackTest|nojob", 0, 3, "mine"},
                 {"LoopbackTest|message", 0, 2, "done"},
                 {"LoopbackTest|norecord", 1, 1, ""}};
    for (const auto& test : cases) {
        DiagnosticRecord_ record;
        EXPECT_EQ(module->RunDiagnostic(test.item, record), test.returned) << test.item;
        EXPECT_EQ(std::make_pair(record.result, record.completion_record),
                  std::make_pair(test.result, std::string(test.record)));
    }
    EXPECT_EQ(CountLines("No Concrete Job returned..."), 3u);
    EXPECT_TRUE(simulator->Requests("GetInstance", "CIM_ConcreteJob").empty());
}

// Nothing runs before a listing. Then a request names its diagnostic and device whole: ctlr-1 is
// not ctlr-10, Loopback is not LoopbackTest; an empty part still asks for every entry, and the
// record shows the last run, texts and all.
TEST_F(Diagnostics, ARequestRunsOnlyTheListedEntriesItNamesWhole) {
    Serve(DiagnosticScenario({{"ctlr-1", CompletesAfter(0), OneRecord(2, "a")},
                              {"ctlr-10", CompletesAfter(0), OneRecord(5, "b")}}));
    auto module = InBand();
    DiagnosticRecord_ untouched;
    untouched.job_state = "untouched";
    EXPECT_EQ(module->RunDiagnostic("LoopbackTest|ctlr-1", untouched), 1);
    EXPECT_EQ(untouched.result, 0);
    EXPECT_EQ(untouched.job_state, "untouched");
    ASSERT_EQ(module->GetDiagItems(items), 0);
    // The outcome texts come from the named entry of the catalogue; an empty name has none.
    const struct {
        const char* item;
        int returned;
        size_t runs;
        int result;         // of the record, after the last run
        const char* text1;  // its first outcome text
    } cases[] = {{"LoopbackTest|ctlr-1", 0, 1, 2, "ok 1"},
                 {"LoopbackTest|ctlr", 1, 0, 0, ""},
                 {"Loopback|ctlr-1", 1, 0, 0, ""},
                 {"LoopbackTest|nonesuch", 1, 0, 0, ""},
                 {"LoopbackTest|", 0, 2, 5, "failed 1"},
                 {"|ctlr-10", 0, 1, 5, ""},
                 {"|", 0, 2, 5, ""},
                 {"ctlr-1", 1, 0, 0, ""}};
    size_t runsBefore = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.item);
        DiagnosticRecord_ record;
        EXPECT_EQ(module->RunDiagnostic(test.item, record), test.returned);
        const size_t runs = simulator->Requests("InvokeMethod").size();
        EXPECT_EQ(runs - runsBefore, test.runs);
        EXPECT_EQ(record.result, test.result);
        EXPECT_EQ(record.outcome_text_1, test.text1);
        runsBefore = runs;
    }
}
