// Raw data from the adapter utility, with the fake utility installed where the module looks.

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>

#include "brocade_util.h"
#include "installed_utility.h"
#include "log.h"
#include "log_capture.h"
#include "test_environment.h"

using Vornet::Brocade::BrocadeUtil;
using Vornet::VornetIHV::RawData_;

namespace {

// Tests run in parallel processes: the directory must be this process's own.
std::string ProgramFilesOfThisProcess() {
    return ::testing::TempDir() + "programfiles-" + std::to_string(getpid());
}

class RawDataTest : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }
    ScopedEnvironment programFiles{"ProgramFiles", ProgramFilesOfThisProcess()};
    InstalledUtility utility{ProgramFilesOfThisProcess(), FAKE_BCU_PATH};
};

}  // namespace

// Indexes count this call's records only; the caller's own stay in front. Output is kept byte
// for byte, line ends included.
TEST_F(RawDataTest, BothCommandsGiveNamedRecordsBehindTheCallersOwn) {
    ScopedEnvironment crlf{"FAKE_BCU_CRLF", "1"};
    ScopedEnvironment size{"FAKE_BCU_OUTPUT_BYTES", "10000"};
    BrocadeUtil util;
    std::vector<RawData_> results(1);
    results[0].output = "older";
    Vornet::LogCapture capture;
    EXPECT_EQ(util.GetRawData(results), 0);
    ASSERT_EQ(results.size(), 3u);
    std::vector<std::vector<std::string>> records;
    for (const RawData_& record : results) {
        records.push_back({record.item_name, record.description, record.command_line,
                           record.aux_text_1 + record.aux_text_2});
    }
    EXPECT_EQ(records, (std::vector<std::vector<std::string>>{
                           {"", "", "", ""},
                           {"Brocade_00_adapter_info", "Show the adapter of brocade adapter.",
                            utility.path + " adapter --list", ""},
                           {"Brocade_01_port_adapter_info", "Show the adapter of brocade port.",
                            utility.path + " port --list", ""}}));
    EXPECT_EQ(results[0].output, "older");
    for (const RawData_& record : {results[1], results[2]}) {
        EXPECT_EQ(record.output.size(), 10000u);
        EXPECT_NE(record.output.find("\r\n"), std::string::npos);
    }
    EXPECT_NE(results[1].output, results[2].output);
    EXPECT_EQ(capture.Texts().back(), "Exit BrocadeUtil::GetRawData over: results.size() = 3");
}

// A failed command costs its own record only; the other keeps index zero.
TEST_F(RawDataTest, AFailedCommandLeavesTheOtherAsIndexZero) {
    const struct {
        const char* failing;
        const char* itemName;
        const char* commandLine;
    } cases[] = {
        {"FAKE_BCU_EXIT_ADAPTER", "Brocade_00_port_adapter_info", " port --list"},
        {"FAKE_BCU_EXIT_PORT", "Brocade_00_adapter_info", " adapter --list"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.failing);
        ScopedEnvironment failing{test.failing, "1"};
        BrocadeUtil util;
        std::vector<RawData_> results;
        Vornet::LogCapture capture;
        EXPECT_EQ(util.GetRawData(results), 3);
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].item_name, test.itemName);
        EXPECT_EQ(results[0].command_line, utility.path + test.commandLine);
        const auto texts = capture.Texts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "ExcuteCommand result:1"), 1);
        EXPECT_NE(texts.back().rfind("Exit BrocadeUtil::GetRawData", 0), 0u);
    }
}

TEST(RawDataWithoutUtility, AnAbsentUtilityRunsNothing) {
    ScopedEnvironment programFiles{"ProgramFiles", ::testing::TempDir() + "nothing-here"};
    BrocadeUtil util;
    std::vector<RawData_> results(1);
    EXPECT_EQ(util.GetRawData(results), 2);
    EXPECT_EQ(results.size(), 1u);
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
