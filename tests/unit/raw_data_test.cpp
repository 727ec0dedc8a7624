// Raw data from the adapter utility, with the fake utility installed where the module looks.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "brocade_util.h"
#include "installed_utility.h"
#include "log.h"
#include "log_capture.h"
#include "test_environment.h"

using Vornet::Brocade::BrocadeUtil;
using Vornet::VornetIHV::RawData_;

namespace {

class RawDataTest : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }
    const TemporaryDirectory programFilesDirectory{"programfiles"};
    ScopedEnvironment programFiles{"ProgramFiles", programFilesDirectory.path.string()};
    InstalledUtility utility{programFilesDirectory.path, FAKE_BCU_PATH};
};

}  // namespace

// Indexes count this call's records only, behind the caller's own; a failed command costs its own
// record, a missing utility every one. Output is kept as it came, line ends included.
TEST_F(RawDataTest, EachCommandThatRanGivesANamedRecordBehindTheCallersOwn) {
    ScopedEnvironment crlf{"FAKE_BCU_CRLF", "1"};
    ScopedEnvironment size{"FAKE_BCU_OUTPUT_BYTES", "10000"};
    // Item name, description, command line, auxiliary texts.
    using Record = std::vector<std::string>;
    const Record older(4);
    const Record adapter{"Brocade_00_adapter_info", "Show the adapter of brocade adapter.",
                         utility.path + " adapter --list", ""};
    const auto port = [this](const std::string& index) {
        return Record{"Brocade_" + index + "_port_adapter_info",
                      "Show the adapter of brocade port.", utility.path + " port --list", ""};
    };
    const struct {
        const char* variable;  // set to `value` for this case; null: none
        std::string value;
        int status;
        std::vector<Record> records;
    } cases[] = {
        {nullptr, "", 0, {older, adapter, port("01")}},
        {"FAKE_BCU_EXIT_ADAPTER", "1", 3, {older, port("00")}},
        {"FAKE_BCU_EXIT_PORT", "1", 3, {older, adapter}},
        {"ProgramFiles", ::testing::TempDir() + "nothing-here", 2, {older}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.variable ? test.variable : "none set");
        std::optional<ScopedEnvironment> variable;
        if (test.variable) variable.emplace(test.variable, test.value);
        Vornet::LogCapture capture;
        BrocadeUtil util;
        std::vector<RawData_> results(1);
        results[0].output = "older";
        EXPECT_EQ(util.GetRawData(results), test.status);
        std::vector<Record> records;
        for (const RawData_& record : results) {
            records.push_back({record.item_name, record.description, record.command_line,
                               record.aux_text_1 + record.aux_text_2});
        }
        EXPECT_EQ(records, test.records);
        EXPECT_EQ(results[0].output, "older");
        for (size_t index = 1; index < results.size(); ++index) {
            EXPECT_EQ(results[index].output.size(), 10000u) << index;
            EXPECT_NE(results[index].output.find("\r\n"), std::string::npos) << index;
        }
        if (results.size() == 3) {
            EXPECT_NE(results[1].output, results[2].output);
        }
        const auto texts = capture.Texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "ExcuteCommand result:1"),
                  test.status == 3 ? 1 : 0);
        // Only a call whose commands all ran ends with the line that says so.
        const bool exits = texts.back().rfind("Exit BrocadeUtil::GetRawData", 0) == 0;
        EXPECT_EQ(exits ? texts.back() : "",
                  test.status == 0 ? "Exit BrocadeUtil::GetRawData over: results.size() = 3" : "");
    }
}

// The table's rows are what GetRawData names its records by (above); a command line of another
// program is described by none of them.
TEST(CommandTable, AnotherProgramsCommandLineIsNotDescribed) {
    std::string description = "before";
    std::string itemName = "before";
    EXPECT_EQ(BrocadeUtil().GetCmdDesc("/usr/bin/other adapter --list", &description, &itemName),
              0);
    EXPECT_EQ(description + itemName, "beforebefore");
}
