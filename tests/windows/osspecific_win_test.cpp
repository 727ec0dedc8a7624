// Process and file services on Win32, run under Wine, with the fake utility bcu.exe (built beside
// this program) as the child. Its knobs are environment variables, which the child inherits.

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "log.h"
#include "log_capture.h"
#include "osspecific.h"
#include "test_environment.h"
#include "windows_test_support.h"

namespace {

const std::string kFakeBcu = ProgramDirectory() + "bcu.exe";

// Ends a child that a test left running, so that it outlives neither the test nor its asserts.
void EndChild(unsigned long processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    ASSERT_NE(process, nullptr) << "child " << processId << " already gone";
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

// Budget for a child that ends by itself: only a call that waits for the wrong thing uses it up.
const int kNoHurry = 100;

// Runs the fake utility, which prints and then stays, until the budget runs out. The budget is
// wall-clock time, which Wine on a busy machine may spend before the child has printed a byte;
// such a run proves nothing, so the child is run again with twice the budget. Only a call that
// drops what arrived fails every time.
int SpawnUntilSomethingArrived(std::string* output, unsigned long* processId) {
    int result = -1;
    for (int budget = 1; budget <= 16; budget *= 2) {
        result = SpawnProcess(kFakeBcu, {"adapter", "--list"}, budget, output, processId, "");
        if (result != 259 || !output->empty()) {
            break;
        }
        EndChild(*processId);
    }
    return result;
}

// Exit code of a child once it has ended on its own (ctest's time-out bounds a child that never
// does).
DWORD WaitForExitCode(unsigned long processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return static_cast<DWORD>(-2);
    }
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

class OsSpecificWinTest : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }

    Vornet::LogCapture capture;
    std::string output = "untouched";
    unsigned long processId = 12345;
};

TEST_F(OsSpecificWinTest, FileExistsOnlyForFilesAndSaysWhyNot) {
    struct Case {
        std::string path;
        bool exists;
        std::vector<std::string> logged;
    };
    const std::string directory = ProgramDirectory();
    const Case cases[] = {
        {kFakeBcu, true, {}},
        {directory, false, {"FILE_ATTRIBUTE_DIRECTORY"}},
        {directory.substr(0, directory.size() - 1), false, {"FILE_ATTRIBUTE_DIRECTORY"}},
        {kFakeBcu + ".missing", false, {"INVALID_FILE_ATTRIBUTES"}},
        {directory + "missing\\bcu.exe", false, {"INVALID_FILE_ATTRIBUTES"}},
    };
    for (const Case& c : cases) {
        capture.Clear();
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
        EXPECT_EQ(capture.Texts(), c.logged) << c.path;
        if (!c.logged.empty()) {
            EXPECT_EQ(capture.Records()[0].level, 4u);
        }
    }
}

TEST_F(OsSpecificWinTest, LargeCrLfOutputArrivesByteForByte) {
    ScopedEnvironment crlf("FAKE_BCU_CRLF", "1");
    std::string listing;
    ASSERT_EQ(SpawnProcess(kFakeBcu, {"port", "--list"}, kNoHurry, &listing, &processId, ""), 0);
    ASSERT_LT(listing.size(), 4096u);
    ASSERT_NE(listing.find("\r\n"), std::string::npos);

    // The fake repeats its listing and cuts the last copy, so the whole is known exactly.
    std::string expected;
    while (expected.size() < 10000) {
        expected += listing;
    }
    expected.resize(10000);
    ScopedEnvironment bytes("FAKE_BCU_OUTPUT_BYTES", "10000");
    EXPECT_EQ(SpawnProcess(kFakeBcu, {"port", "--list"}, kNoHurry, &output, &processId, ""), 0);
    EXPECT_EQ(output.size(), expected.size());
    EXPECT_TRUE(output == expected) << "output differs from the repeated listing";
}

TEST_F(OsSpecificWinTest, ReturnsTheChildsExitCodeWithWhatItPrinted) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> knobs;
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {{{"FAKE_BCU_EXIT", "3"}, {"FAKE_BCU_OUTPUT_BYTES", "0"}}, {"adapter", "--list"}, 3, ""},
        {{{"FAKE_BCU_EXIT", "255"}, {"FAKE_BCU_OUTPUT_BYTES", "5"}},
         {"adapter", "--list"},
         255,
         "Adapt"},
        {{{"FAKE_BCU_EXIT", "7"}, {"FAKE_BCU_EXIT_PORT", "0"}, {"FAKE_BCU_OUTPUT_BYTES", "4"}},
         {"port", "--list"},
         0,
         "Port"},
        // Standard error shares the pipe with standard output.
        {{}, {"frobnicate"}, 64, "usage: bcu adapter --list\n"},
        // Each argument arrives whole: one with a blank is not a command the fake knows.
        {{}, {"adapter --list"}, 64, "usage: bcu adapter --list\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<ScopedEnvironment>> knobs;
        for (const auto& knob : c.knobs) {
            knobs.push_back(std::make_unique<ScopedEnvironment>(knob.first, knob.second));
        }
        EXPECT_EQ(SpawnProcess(kFakeBcu, c.arguments, kNoHurry, &output, &processId, ""),
                  c.exitCode)
            << c.arguments[0];
        EXPECT_EQ(output.substr(0, c.output.size()), c.output) << c.arguments[0];
        if (c.output.empty()) {
            EXPECT_EQ(output, "");
        }
        EXPECT_NE(processId, 0u);
    }
}

TEST_F(OsSpecificWinTest, EachArgumentArrivesWholeAndBothOutputStreamsShareThePipe) {
    const std::vector<std::string> arguments = {
        "a b", "\"q\"", "C:\\dir with space\\", "back\\\"slash", "%PATH%", "", "x"};
    EXPECT_EQ(SpawnProcess(ProgramDirectory() + "print_arguments.exe", arguments, kNoHurry, &output,
                           &processId, ""),
              0);
    EXPECT_EQ(output,
              "[a b][\"q\"][C:\\dir with space\\][back\\\"slash][%PATH%][][x]|stderr|stdout");
}

TEST_F(OsSpecificWinTest, ProgramInADirectoryWithBlanksRuns) {
    // Unquoted, the system would look for a program named "with" first, and the child would
    // see the rest of its own path as its first argument.
    const std::string directory = ::testing::TempDir() + "with blanks";
    CreateDirectoryA(directory.c_str(), nullptr);
    const std::string program = directory + "\\bcu.exe";
    ASSERT_TRUE(CopyFileA(kFakeBcu.c_str(), program.c_str(), FALSE));
    EXPECT_EQ(SpawnProcess(program, {"adapter", "--list"}, kNoHurry, &output, &processId, ""), 0);
    EXPECT_NE(output.find("2 adapter(s) found"), std::string::npos) << output;
    DeleteFileA(program.c_str());
    RemoveDirectoryA(directory.c_str());
}

TEST_F(OsSpecificWinTest, LogsCommandLineWithQuotedArgumentsOutputAndExitCode) {
    ASSERT_EQ(SpawnProcess(kFakeBcu, {"adapter", "--list"}, kNoHurry, &output, &processId, ""), 0);
    const std::string commandLine = kFakeBcu + " \"adapter\" \"--list\"";
    const std::vector<std::string> expected = {
        "SpawnProcess() " + commandLine + " Returned:" + output,
        "SpawnProcess() " + commandLine + " exit code = 0"};
    EXPECT_EQ(capture.Texts(), expected);
}

TEST_F(OsSpecificWinTest, ProgramThatCannotStartFailsWithoutAProcess) {
    const std::string directory = ProgramDirectory();
    // A missing directory is "path not found" (3) on Windows and "file not found" (2) under Wine;
    // the caller sees -1 either way.
    for (const std::string& program :
         {directory + "missing.exe", directory + "no-such-directory\\bcu.exe"}) {
        capture.Clear();
        processId = 12345;
        EXPECT_EQ(SpawnProcess(program, {"adapter", "--list"}, kNoHurry, &output, &processId, ""),
                  -1)
            << program;
        EXPECT_EQ(processId, 0u) << program;
        const std::vector<Vornet::LogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), 1u) << program;
        EXPECT_EQ(records[0].level, 1u);
        EXPECT_EQ(records[0].text, "CreateProcess Failed");
    }
    EXPECT_EQ(
        SpawnProcess(kFakeBcu, {}, kNoHurry, &output, &processId, directory + "no-such-directory"),
        -1);
    EXPECT_EQ(processId, 0u);
}

TEST_F(OsSpecificWinTest, TimeoutZeroStartsTheChildAndReturnsAtOnce) {
    ScopedEnvironment exitCode("FAKE_BCU_EXIT", "9");
    EXPECT_EQ(SpawnProcess(kFakeBcu, {"adapter", "--list"}, 0, &output, &processId, ""), 0);
    EXPECT_EQ(output, "untouched");
    EXPECT_TRUE(capture.Texts().empty());
    // The child was started and runs to its own end, its output pipe closed under it.
    EXPECT_EQ(WaitForExitCode(processId), 9u);
}

TEST_F(OsSpecificWinTest, ChildStillRunningAtTheTimeoutIsLeftRunningWithItsOutputSoFar) {
    // One closes its output and lives on; the other holds its output open, which must not keep
    // the call from returning at the time-out.
    for (const char* knob : {"FAKE_BCU_LINGER_MS", "FAKE_BCU_HOLD_OUTPUT_MS"}) {
        ScopedEnvironment linger(knob, "30000");
        capture.Clear();
        EXPECT_EQ(SpawnUntilSomethingArrived(&output, &processId), 259) << knob;
        EXPECT_NE(output.find("2 adapter(s) found"), std::string::npos) << knob << ": " << output;
        ASSERT_FALSE(capture.Texts().empty());
        const std::string last = capture.Texts().back();
        const std::string ending = " exit code = 259";
        EXPECT_EQ(last.substr(last.size() - std::min(last.size(), ending.size())), ending);
        EndChild(processId);
    }
}

TEST_F(OsSpecificWinTest, GetFileContentsReadsToTheEndOrReportsTheFailure) {
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 16384));
    const std::string written = std::string(5000, 'x') + "\r\n" + std::string(3000, 'y');
    DWORD count = 0;
    ASSERT_TRUE(
        WriteFile(writeEnd, written.data(), static_cast<DWORD>(written.size()), &count, nullptr));
    CloseHandle(writeEnd);
    EXPECT_EQ(GetFileContents(readEnd, "pipe", false), written);
    EXPECT_TRUE(capture.Texts().empty());
    CloseHandle(readEnd);

    // A handle opened for writing only cannot be read.
    const std::string path = ::testing::TempDir() + "osspecific-write-only";
    HANDLE writeOnly = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileContents(writeOnly, "write-only", true), "");
    CloseHandle(writeOnly);
    const std::vector<Vornet::LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, 1u);
    EXPECT_EQ(records[0].text, "GetFileContents failed to read file" + std::string("write-only"));
    EXPECT_EQ(records[1].level, 4u);
    EXPECT_FALSE(records[1].text.empty());
}

}  // namespace
