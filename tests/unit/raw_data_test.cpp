// Raw data from the adapter utility, with the fake utility installed where the module looks.

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>

#include <filesystem>

#include "brocade_util.h"
#include "log.h"
#include "log_capture.h"
#include "test_environment.h"

using Vornet::Brocade::BrocadeUtil;
using Vornet::VornetIHV::RawData_;

namespace {

namespace fs = std::filesystem;

// A "ProgramFiles" directory holding the fake utility under the vendor's relative path.
class InstalledUtility {
  public:
    InstalledUtility() {
        // Tests run in parallel processes: the directory name must be this process's own.
        static int installed = 0;
        root = fs::path(::testing::TempDir()) /
               ("programfiles-" + std::to_string(getpid()) + "-" + std::to_string(++installed));
        const fs::path directory = root / "Brocade" / "Adapter" / "Driver" / "util";
        fs::create_directories(directory);
        path = (directory / "bcu.exe").string();
        fs::copy_file(FAKE_BCU_PATH, path, fs::copy_options::overwrite_existing);
    }
    ~InstalledUtility() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    fs::path root;
    std::string path;
};

class RawDataTest : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }
    InstalledUtility utility;
    ScopedEnvironment programFiles{"ProgramFiles", utility.root.string()};
};

}  // namespace

TEST_F(RawDataTest, BothCommandsGiveTwoNamedRecords) {
    BrocadeUtil util;
    std::vector<RawData_> results;
    Vornet::LogCapture capture;
    EXPECT_EQ(util.GetRawData(results), 0);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].item_name, "Brocade_00_adapter_info");
    EXPECT_EQ(results[0].description, "Show the adapter of brocade adapter.");
    EXPECT_EQ(results[0].command_line, utility.path + " adapter --list");
    EXPECT_EQ(results[1].item_name, "Brocade_01_port_adapter_info");
    EXPECT_EQ(results[1].description, "Show the adapter of brocade port.");
    EXPECT_EQ(results[1].command_line, utility.path + " port --list");
    EXPECT_NE(results[0].output, results[1].output);
    EXPECT_FALSE(results[0].output.empty());
    EXPECT_TRUE(results[0].aux_text_1.empty() && results[0].aux_text_2.empty());
    const auto texts = capture.Texts();
    EXPECT_EQ(texts.back(), "Exit BrocadeUtil::GetRawData over: results.size() = 2");
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

TEST_F(RawDataTest, RecordsAreAppendedBehindTheCallersOwn) {
    BrocadeUtil util;
    std::vector<RawData_> results(3);
    results[0].output = "older";
    Vornet::LogCapture capture;
    EXPECT_EQ(util.GetRawData(results), 0);
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[0].output, "older");
    // Indexes count this call's records only.
    EXPECT_EQ(results[3].item_name, "Brocade_00_adapter_info");
    EXPECT_EQ(capture.Texts().back(), "Exit BrocadeUtil::GetRawData over: results.size() = 5");
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
