#include "osspecific.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log.h"
#include "log_capture.h"

namespace {

const std::string kFakeBcu = FAKE_BCU_PATH;
const std::string kEnv = "/usr/bin/env";

// The fake utility run through env, so each child gets its knobs without touching our own
// environment.
std::vector<std::string> FakeBcu(std::vector<std::string> knobs, const std::string& command) {
    knobs.push_back(kFakeBcu);
    knobs.push_back(command);
    knobs.push_back("--list");
    return knobs;
}

// Budget for a child that ends by itself: only a call that waits for the wrong thing uses it up.
const int kNoHurry = 100;

// Ends and reaps a child that a test left running, so that it outlives neither the test nor
// its assertions.
void EndChild(unsigned long processId) {
    ASSERT_NE(processId, 0u);
    kill(static_cast<pid_t>(processId), SIGKILL);
    waitpid(static_cast<pid_t>(processId), nullptr, 0);
}

// Runs a child that prints and then stays, until the budget runs out. The budget is wall-clock
// time, which a busy machine (sanitizers) may spend before the child has printed a byte; such a
// run proves nothing, so the child is run again with twice the budget. Only a call that drops
// what arrived fails every time.
int SpawnUntilSomethingArrived(const std::vector<std::string>& arguments, std::string* output,
                               unsigned long* processId) {
    int result = -1;
    for (int budget = 1; budget <= 16; budget *= 2) {
        result = SpawnProcess(kEnv, arguments, budget, output, processId, "");
        if (result != 259 || !output->empty()) {
            break;
        }
        EndChild(*processId);
    }
    return result;
}

class OsSpecificTest : public ::testing::Test {
  protected:
    void SetUp() override { Vornet::Log::SetMinLogLevel(4); }

    Vornet::LogCapture capture;
    std::string output = "untouched";
    unsigned long processId = 12345;
};

TEST_F(OsSpecificTest, FileExistsOnlyForFilesAndSaysWhyNot) {
    char directory[] = "/tmp/osspecific-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string file = std::string(directory) + "/bcu.exe";
    std::ofstream(file) << "x";

    struct Case {
        std::string path;
        bool exists;
        std::vector<std::string> logged;
    };
    const Case cases[] = {
        {file, true, {}},
        {directory, false, {"FILE_ATTRIBUTE_DIRECTORY"}},
        {file + ".missing", false, {"INVALID_FILE_ATTRIBUTES"}},
    };
    for (const Case& c : cases) {
        capture.Clear();
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
        EXPECT_EQ(capture.Texts(), c.logged) << c.path;
        if (!c.logged.empty()) {
            EXPECT_EQ(capture.Records()[0].level, 4u);
        }
    }
    std::remove(file.c_str());
    rmdir(directory);
}

TEST_F(OsSpecificTest, LargeCrLfOutputArrivesByteForByte) {
    const std::string reference = std::string(::testing::TempDir()) + "/fake-bcu-reference";
    const std::string knobs = "FAKE_BCU_CRLF=1 FAKE_BCU_OUTPUT_BYTES=10000";
    ASSERT_EQ(
        std::system((kEnv + " " + knobs + " " + kFakeBcu + " port --list >" + reference).c_str()),
        0);
    std::stringstream expected;
    expected << std::ifstream(reference, std::ios::binary).rdbuf();
    std::remove(reference.c_str());

    EXPECT_EQ(
        SpawnProcess(kEnv, FakeBcu({"FAKE_BCU_CRLF=1", "FAKE_BCU_OUTPUT_BYTES=10000"}, "port"),
                     kNoHurry, &output, &processId, ""),
        0);
    EXPECT_EQ(output.size(), 10000u);
    EXPECT_EQ(output, expected.str());
    EXPECT_NE(output.find("\r\n"), std::string::npos);
}

TEST_F(OsSpecificTest, LogsCommandLineWithQuotedArgumentsOutputAndExitCode) {
    ASSERT_EQ(SpawnProcess(kFakeBcu, {"adapter", "--list"}, kNoHurry, &output, &processId, ""), 0);
    const std::string commandLine = kFakeBcu + " \"adapter\" \"--list\"";
    const std::vector<std::string> expected = {
        "SpawnProcess() " + commandLine + " Returned:" + output,
        "SpawnProcess() " + commandLine + " exit code = 0"};
    EXPECT_EQ(capture.Texts(), expected);
    EXPECT_NE(processId, 0u);
}

TEST_F(OsSpecificTest, ReturnsTheChildsExitCodeWithWhatItPrinted) {
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {kEnv, FakeBcu({"FAKE_BCU_EXIT=3", "FAKE_BCU_OUTPUT_BYTES=0"}, "adapter"), 3, ""},
        {kEnv, FakeBcu({"FAKE_BCU_EXIT=255", "FAKE_BCU_OUTPUT_BYTES=5"}, "adapter"), 255, "Adapt"},
        {kEnv,
         FakeBcu({"FAKE_BCU_EXIT=7", "FAKE_BCU_EXIT_PORT=0", "FAKE_BCU_OUTPUT_BYTES=4"}, "port"), 0,
         "Port"},
        // Standard error shares the pipe with standard output.
        {kFakeBcu, {"frobnicate"}, 64, "usage: bcu adapter --list\n"},
        {"/bin/sh", {"-c", "printf out; printf err >&2; printf out"}, 0, "outerrout"},
        // No shell between us and the child: each argument arrives whole and unexpanded.
        {"/bin/sh",
         {"-c", "printf '[%s]' \"$@\"", "sh", "a b", "\"q\"", "$HOME", ""},
         0,
         "[a b][\"q\"][$HOME][]"},
        {"/bin/sh", {"-c", "kill -TERM $$"}, 128 + SIGTERM, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SpawnProcess(c.program, c.arguments, kNoHurry, &output, &processId, ""),
                  c.exitCode)
            << c.arguments.back();
        EXPECT_EQ(output.substr(0, c.output.size()), c.output) << c.arguments.back();
        if (c.output.empty()) {
            EXPECT_EQ(output, "");
        }
    }
}

TEST_F(OsSpecificTest, RunsInTheGivenWorkingDirectory) {
    EXPECT_EQ(SpawnProcess("/bin/pwd", {}, kNoHurry, &output, &processId, "/"), 0);
    EXPECT_EQ(output, "/\n");
}

TEST_F(OsSpecificTest, ProgramThatCannotStartFailsWithoutAProcess) {
    char directory[] = "/tmp/osspecific-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string notExecutable = std::string(directory) + "/bcu.exe";
    std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";

    for (const std::string& program :
         {notExecutable, std::string(directory), std::string(directory) + "/missing/bcu.exe"}) {
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
    EXPECT_EQ(SpawnProcess(kFakeBcu, {}, kNoHurry, &output, &processId, "/no/such/directory"), -1);
    EXPECT_EQ(processId, 0u);
    std::remove(notExecutable.c_str());
    rmdir(directory);
}

TEST_F(OsSpecificTest, TimeoutZeroStartsTheChildAndReturnsAtOnce) {
    EXPECT_EQ(
        SpawnProcess(kEnv, FakeBcu({"FAKE_BCU_EXIT=9"}, "adapter"), 0, &output, &processId, ""), 0);
    EXPECT_EQ(output, "untouched");
    EXPECT_TRUE(capture.Texts().empty());
    // The child was started, is ours, and runs to its own end rather than dying on its output.
    int status = 0;
    ASSERT_EQ(waitpid(static_cast<pid_t>(processId), &status, 0), static_cast<pid_t>(processId));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;
}

TEST_F(OsSpecificTest, ChildStillRunningAtTheTimeoutIsLeftRunningWithItsOutputSoFar) {
    struct Case {
        std::vector<std::string> arguments;
        std::string outputSoFar;
    };
    const Case cases[] = {
        {FakeBcu({"FAKE_BCU_HOLD_OUTPUT_MS=30000"}, "adapter"), "2 adapter(s) found\n"},
        {FakeBcu({"FAKE_BCU_LINGER_MS=30000"}, "adapter"), "2 adapter(s) found\n"},
    };
    for (const Case& c : cases) {
        capture.Clear();
        EXPECT_EQ(SpawnUntilSomethingArrived(c.arguments, &output, &processId), 259)
            << c.arguments[0];
        EXPECT_NE(output.find(c.outputSoFar), std::string::npos) << c.arguments[0];
        const std::string ending = " exit code = 259";
        const std::string last = capture.Texts().back();
        EXPECT_EQ(last.substr(last.size() - std::min(last.size(), ending.size())), ending);
        EXPECT_EQ(kill(static_cast<pid_t>(processId), 0), 0) << c.arguments[0] << " not running";
        EndChild(processId);
    }
}

TEST_F(OsSpecificTest, ChildInputIsOpenAndEmptyUntilTheCallEnds) {
    // cat waits on its input for as long as the call holds the write end, then sees it close.
    EXPECT_EQ(SpawnProcess("/bin/sh", {"-c", "cat; exit 5"}, 1, &output, &processId, ""), 259);
    EXPECT_EQ(output, "");
    int status = 0;
    ASSERT_EQ(waitpid(static_cast<pid_t>(processId), &status, 0), static_cast<pid_t>(processId));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << status;
}

TEST_F(OsSpecificTest, GetFileContentsReadsToTheEndOrReportsTheFailure) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string written = std::string(5000, 'x') + "\r\n" + std::string(3000, 'y');
    ASSERT_EQ(write(fds[1], written.data(), written.size()), static_cast<ssize_t>(written.size()));
    close(fds[1]);
    EXPECT_EQ(GetFileContents(fds[0], "pipe", false), written);
    EXPECT_TRUE(capture.Texts().empty());

    close(fds[0]);

    const int writeOnly = open("/dev/null", O_WRONLY);
    ASSERT_GE(writeOnly, 0);
    EXPECT_EQ(GetFileContents(writeOnly, "/dev/null", true), "");
    close(writeOnly);
    const std::vector<Vornet::LogRecord> records = capture.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].level, 1u);
    EXPECT_EQ(records[0].text, "GetFileContents failed to read file/dev/null");
    EXPECT_EQ(records[1].level, 4u);
    EXPECT_FALSE(records[1].text.empty());
}

}  // namespace
