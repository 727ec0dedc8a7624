// Process and file services as the module's callers see them, the same on POSIX and Win32 (under
// Wine), with the fake utility and print_arguments as children, which inherit the fake's knobs.

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "log.h"
#include "log_capture.h"
#include "osspecific.h"
#include "process_test_platform.h"
#include "test_environment.h"

namespace {

using Knobs = std::vector<std::pair<std::string, std::string>>;

// Budget for a child that ends by itself: only a call that waits for the wrong thing uses it up.
const int kNoHurry = 100;

const std::vector<std::string> kList = {"adapter", "--list"};

}  // namespace

class ProcessServices : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }

    Vornet::LogCapture capture;
    std::string output = "untouched";
    unsigned long processId = 12345;
};

TEST_F(ProcessServices, FileExistsOnlyForFilesAndSaysWhyNot) {
    const std::string directory = kTestDirectory;
    const struct {
        std::string path;
        bool exists;
        std::vector<std::string> logged;
    } cases[] = {
        {kFakeBcu, true, {}},
        {directory, false, {"FILE_ATTRIBUTE_DIRECTORY"}},
        {directory.substr(0, directory.size() - 1), false, {"FILE_ATTRIBUTE_DIRECTORY"}},
        {kFakeBcu + ".missing", false, {"INVALID_FILE_ATTRIBUTES"}},
    };
    for (const auto& c : cases) {
        capture.Clear();
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
        EXPECT_EQ(capture.Texts(), c.logged) << c.path;
        for (const auto& record : capture.Records()) EXPECT_EQ(record.level, 4u);
    }
}

TEST_F(ProcessServices, LargeCrLfOutputArrivesByteForByteAndIsLogged) {
    ScopedEnvironment crlf("FAKE_BCU_CRLF", "1");
    std::string listing;
    ASSERT_EQ(SpawnProcess(kFakeBcu, {"port", "--list"}, kNoHurry, &listing, &processId, ""), 0);
    ASSERT_LT(listing.size(), 4096u);
    ASSERT_NE(listing.find("\r\n"), std::string::npos);
    const std::string commandLine = "SpawnProcess() " + kFakeBcu + " \"port\" \"--list\"";
    EXPECT_EQ(capture.Texts(), (std::vector<std::string>{commandLine + " Returned:" + listing,
                                                         commandLine + " exit code = 0"}));

    // The fake repeats its listing and cuts the last copy, so the whole is known exactly.
    std::string expected;
    while (expected.size() < 10000) expected += listing;
    expected.resize(10000);
    ScopedEnvironment bytes("FAKE_BCU_OUTPUT_BYTES", "10000");
    EXPECT_EQ(SpawnProcess(kFakeBcu, {"port", "--list"}, kNoHurry, &output, &processId, ""), 0);
    EXPECT_EQ(output.size(), expected.size());
    EXPECT_TRUE(output == expected) << "output differs from the repeated listing";

    // A child that talks on is read to its end, but only the first bytes up to the limit are
    // kept, and one line says so.
    ScopedEnvironment tooMany("FAKE_BCU_OUTPUT_BYTES", std::to_string(kMaxCapturedOutputBytes + 1));
    EXPECT_EQ(SpawnProcess(kFakeBcu, {"port", "--list"}, kNoHurry, &output, &processId, ""), 0);
    EXPECT_EQ(output.size(), kMaxCapturedOutputBytes);
    EXPECT_EQ(output.compare(0, expected.size(), expected), 0);
    const std::string cut =
        commandLine + " output cut at " + std::to_string(kMaxCapturedOutputBytes) + " bytes";
    const std::vector<std::string> texts = capture.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), cut), 1);
}

TEST_F(ProcessServices, ReturnsTheChildsExitCodeWithWhatItPrinted) {
    const TemporaryDirectory blanks("with blanks");
    const std::string inBlanks = blanks.file("bcu.exe");
    std::filesystem::copy_file(kFakeBcu, inBlanks);
    const std::vector<std::string> arguments = {
        "a b", "\"q\"", "C:\\dir with space\\", "back\\\"slash", "%PATH%", "$HOME", "", "x"};
    const struct {
        Knobs knobs;
        std::string program;
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
    } cases[] = {
        {{{"FAKE_BCU_EXIT", "3"}, {"FAKE_BCU_OUTPUT_BYTES", "0"}}, kFakeBcu, kList, 3, ""},
        {{{"FAKE_BCU_EXIT", "255"}, {"FAKE_BCU_OUTPUT_BYTES", "5"}}, kFakeBcu, kList, 255, "Adapt"},
        // Unquoted, Windows would look for a program named "with" first, and the child would see
        // the rest of its own path as its first argument.
        {{}, inBlanks, kList, 0, "Adapter  Model"},
        // Standard error shares the pipe with standard output.
        {{}, kFakeBcu, {"frobnicate"}, 64, "usage: bcu adapter --list\n"},
        // Each argument arrives whole: one with a blank is not a command the fake knows.
        {{}, kFakeBcu, {"adapter --list"}, 64, "usage: bcu adapter --list\n"},
        // No shell between us and the child: nothing is expanded, quotes and backslashes stay.
        {{},
         kPrintArguments,
         arguments,
         0,
         "[a b][\"q\"][C:\\dir with space\\][back\\\"slash][%PATH%][$HOME][][x]|stderr|stdout"},
    };
    for (const auto& c : cases) {
        std::list<ScopedEnvironment> knobs;  // the fake's, for this case only
        for (const auto& knob : c.knobs) knobs.emplace_back(knob.first, knob.second);
        EXPECT_EQ(SpawnProcess(c.program, c.arguments, kNoHurry, &output, &processId, ""),
                  c.exitCode)
            << c.arguments[0];
        EXPECT_EQ(output.substr(0, c.output.size()), c.output) << c.arguments[0];
        if (c.output.empty()) {
            EXPECT_EQ(output, "");
        }
        EXPECT_NE(processId, 0u);
    }
}

TEST_F(ProcessServices, ProgramThatCannotStartFailsWithoutAProcess) {
    const std::string directory = kTestDirectory;
    // Programs with their working directories. A missing directory in the program's path is "path
    // not found" (3) on Windows and "file not found" (2) under Wine; the caller sees -1 either way.
    std::vector<std::pair<std::string, std::string>> programs = {
        {directory + "missing.exe", ""},
        {directory + "no-such-directory" + kSeparator + "bcu.exe", ""},
        {kFakeBcu, directory + "no-such-directory"}};
    const TemporaryDirectory refused("osspecific");
    for (const std::string& program : ProgramsThatCannotStart(refused.path.string())) {
        programs.emplace_back(program, "");
    }
    for (const auto& [program, workingDirectory] : programs) {
        SCOPED_TRACE(program + " in " + workingDirectory);
        capture.Clear();
        processId = 12345;
        EXPECT_EQ(SpawnProcess(program, kList, kNoHurry, &output, &processId, workingDirectory),
                  -1);
        EXPECT_EQ(processId, 0u);
        const std::vector<Vornet::LogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].level, 1u);
        EXPECT_EQ(records[0].text, "CreateProcess Failed");
    }
}

TEST_F(ProcessServices, TimeoutZeroStartsTheChildAndReturnsAtOnce) {
    ScopedEnvironment exitCode("FAKE_BCU_EXIT", "9");
    EXPECT_EQ(SpawnProcess(kFakeBcu, kList, 0, &output, &processId, ""), 0);
    EXPECT_EQ(output, "untouched");
    EXPECT_TRUE(capture.Texts().empty());
    // The child was started, is ours, and runs to its own end rather than dying on its output.
    EXPECT_EQ(WaitForExitCode(processId), 9);
}

// A stuck utility would otherwise cost the host one process per call for as long as it runs.
TEST_F(ProcessServices, ChildStillRunningAtTheTimeoutIsEndedWithItsOutputSoFar) {
    // One closes its output and lives on; the other holds its output open, which must not keep
    // the call from returning at the time-out.
    for (const char* knob : {"FAKE_BCU_LINGER_MS", "FAKE_BCU_HOLD_OUTPUT_MS"}) {
        ScopedEnvironment linger(knob, "30000");
        capture.Clear();
        // The budget is wall-clock time, which a busy machine (sanitizers, Wine) may spend before
        // the child printed a byte; such a run proves nothing and is made again with twice it.
        int result = -1;
        for (int budget = 1; budget <= 16 && (result == -1 || output.empty()); budget *= 2) {
            result = SpawnProcess(kFakeBcu, kList, budget, &output, &processId, "");
        }
        EXPECT_EQ(result, 259) << knob;
        EXPECT_NE(output.find("2 adapter(s) found"), std::string::npos) << knob << ": " << output;
        ASSERT_FALSE(capture.Texts().empty());
        const std::string last = capture.Texts().back();
        EXPECT_EQ(last.substr(last.rfind(" exit code")), " exit code = 259") << knob;
        if (!ProcessIsGone(processId)) {
            ADD_FAILURE() << knob << ": child " << processId << " still there";
            EndChild(processId);
        }
    }
}

// Another thread of the host opens handles and starts children of its own meanwhile; none of its
// handles may reach our child, and none of our pipe ends theirs.
TEST_F(ProcessServices, ChildHoldsNoHandleOfTheHostWhileAnotherThreadOpensAndStarts) {
    const TemporaryDirectory directory("canary");
    const std::string canary = directory.file("canary");
    std::ofstream(canary) << "canary";
    ScopedEnvironment probe("FAKE_BCU_CANARY", canary);
    const HANDLE held = InheritableHandleTo(canary);
    std::atomic<bool> done{false};
    std::vector<std::string> otherOutputs;
    std::thread other([&] {
        while (!done) {
            const HANDLE opened = InheritableHandleTo(canary);
            std::string text;
            unsigned long id = 0;
            SpawnProcess(kFakeBcu, kList, kNoHurry, &text, &id, "");
            otherOutputs.push_back(text.substr(0, text.find('\n')));
            CloseTestHandle(opened);
        }
    });
    for (int run = 0; run < 4; ++run) {
        EXPECT_EQ(SpawnProcess(kFakeBcu, kList, kNoHurry, &output, &processId, ""), 0);
        EXPECT_EQ(output.substr(0, output.find('\n')), "canary handles: 0") << run;
    }
    done = true;
    other.join();
    CloseTestHandle(held);
    for (const std::string& line : otherOutputs) EXPECT_EQ(line, "canary handles: 0");
}

TEST_F(ProcessServices, GetFileContentsReadsToTheEndOrReportsTheFailure) {
    const std::string written = std::string(5000, 'x') + "\r\n" + std::string(3000, 'y');
    HANDLE pipe = PipeHolding(written);
    EXPECT_EQ(GetFileContents(pipe, "pipe", false), written);
    EXPECT_TRUE(capture.Texts().empty());
    CloseTestHandle(pipe);

    HANDLE writeOnly = WriteOnlyHandle();
    EXPECT_EQ(GetFileContents(writeOnly, "write-only", true), "");
    CloseTestHandle(writeOnly);
    const std::vector<Vornet::LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, 1u);
    EXPECT_EQ(records[0].text, "GetFileContents failed to read filewrite-only");
    EXPECT_EQ(records[1].level, 4u);
    EXPECT_FALSE(records[1].text.empty());
}
