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

// Indexes count this call's records only; the caller's own stay in front.
TEST_F(RawDataTest, BothCommandsGiveNamedRecordsBehindTheCallersOwn) {
    BrocadeUtil util;
    std::vector<RawData_> results(1);
    results[0].output = "older";
    Vornet::LogCapture capture;
    EXPECT_EQ(util.GetRawData(results), 0);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].output, "older");
    const struct {
        const char* itemName;
        const char* description;
        const char* command;
    } expected[] = {
        {"Brocade_00_adapter_info", "Show the adapter of brocade adapter.", " adapter --list"},
        {"Brocade_01_port_adapter_info", "Show the adapter of brocade port.", " port --list"},
    };
    for (size_t index = 0; index < 2; ++index) {
        const RawData_& record = results[index + 1];
        EXPECT_EQ(record.item_name, expected[index].itemName);
        EXPECT_EQ(record.description, expected[index].description);
        EXPECT_EQ(record.command_line, utility.path + expected[index].command);
        EXPECT_FALSE(record.output.empty());
        EXPECT_TRUE(record.aux_text_1.empty() && record.aux_text_2.empty());
    }
    EXPECT_NE(results[1].output, results[2].output);
    EXPECT_EQ(capture.Texts().back(), "Exit BrocadeUtil::GetRawData over: results.size() = 3");
}

TEST_F(RawDataTest, OutputIsKeptByteForByte) {
    ScopedEnvironment crlf{"FAKE_BCU_CRLF", "1"};
    ScopedEnvironment size{"FAKE_BCU_OUTPUT_BYTES", "10000"};
    BrocadeUtil util;
    std::vector<RawData_> results;
    ASSERT_EQ(util.GetRawData(results), 0);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].output.size(), 10000u);
    EXPECT_NE(results[0].output.find("\r\n"), std::string::npos);
}

// A failed command costs its own record only; the other keeps index zero.
TEST_F(RawDataTest, AFailedCommandLeavesTheOtherAsIndexZero) {
    struct Case {
        const char* failing;
        const char* itemName;
        const char* commandLine;
    };
    const Case cases[] = {
        {"FAKE_BCU_EXIT_ADAPTER", "Brocade_00_port_adapter_info", " port --list"},
        {"FAKE_BCU_EXIT_PORT", "Brocade_00_adapter_info", " adapter --list"},
    };
    for (const Case& test : cases) {
        ScopedEnvironment failing{test.failing, "1"};
        BrocadeUtil util;
        std::vector<RawData_> results;
        Vornet::LogCapture capture;
        EXPECT_EQ(util.GetRawData(results), 3) << test.failing;
        ASSERT_EQ(results.size(), 1u) << test.failing;
        EXPECT_EQ(results[0].item_name, test.itemName);
        EXPECT_EQ(results[0].command_line, utility.path + test.commandLine);
        const auto texts = capture.Texts();
        EXPECT_NE(std::find(texts.begin(), texts.end(), "ExcuteCommand result:1"), texts.end());
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                                [](const std::string& t) {
                                    return t.rfind("Exit BrocadeUtil::GetRawData", 0) == 0;
                                }),
                  0)
            << test.failing;
    }
}

TEST(RawDataWithoutUtility, AnAbsentUtilityRunsNothing) {
    ScopedEnvironment programFiles{"ProgramFiles", ::testing::TempDir() + "nothing-here"};
    BrocadeUtil util;
    std::vector<RawData_> results(1);
    EXPECT_EQ(util.GetRawData(results), 2);
    EXPECT_EQ(results.size(), 1u);
}

TEST(CommandTable, OnlyUtilityCommandLinesAreDescribed) {
    BrocadeUtil util;
    std::string description = "before";
    std::string itemName = "before";
    EXPECT_EQ(util.GetCmdDesc("/usr/bin/other adapter --list", &description, &itemName), 0);
    EXPECT_EQ(description, "before");
    EXPECT_EQ(itemName, "before");
    util.GetCmdDesc("C:\\bcu.exe port --list", &description, &itemName);
    EXPECT_EQ(description, "Show the adapter of brocade port.");
    EXPECT_EQ(itemName, "port_adapter_info");
}
