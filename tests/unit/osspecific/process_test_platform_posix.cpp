// The POSIX side of the process services tests, and what only POSIX children show: a working
// directory, a signal as the end, standard input.

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "process_test_platform.h"

const std::string kFakeBcu = FAKE_BCU_PATH;
const std::string kPrintArguments = PRINT_ARGUMENTS_PATH;
const std::string kTestDirectory = kFakeBcu.substr(0, kFakeBcu.rfind('/') + 1);
const char kSeparator = '/';

void EndChild(unsigned long processId) {
    ASSERT_EQ(kill(static_cast<pid_t>(processId), 0), 0) << "child " << processId << " gone";
    kill(static_cast<pid_t>(processId), SIGKILL);
    waitpid(static_cast<pid_t>(processId), nullptr, 0);
}

bool ProcessIsGone(unsigned long processId) {
    return kill(static_cast<pid_t>(processId), 0) != 0 && errno == ESRCH;
}

int WaitForExitCode(unsigned long processId) {
    int status = 0;
    if (waitpid(static_cast<pid_t>(processId), &status, 0) != static_cast<pid_t>(processId) ||
        !WIFEXITED(status)) {
        return -2;
    }
    return WEXITSTATUS(status);
}

HANDLE PipeHolding(const std::string& bytes) {
    int ends[2] = {-1, -1};
    if (pipe(ends) != 0 ||
        write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        ADD_FAILURE() << "no pipe";
    }
    close(ends[1]);
    return ends[0];
}

HANDLE WriteOnlyHandle() { return open("/dev/null", O_WRONLY); }

void CloseTestHandle(HANDLE handle) { close(handle); }

HANDLE InheritableHandleTo(const std::string& path) { return open(path.c_str(), O_RDONLY); }

// A file without execute permission, and a directory.
std::vector<std::string> ProgramsThatCannotStart(const std::string& directory) {
    const std::string notExecutable = directory + "/bcu.exe";
    std::ofstream(notExecutable) << "#!/bin/sh\nexit 0\n";
    return {notExecutable, directory};
}

TEST(PosixProcessServices, ChildSeesItsDirectoryItsInputAndItsOwnEnd) {
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        std::string workingDirectory;
        int timeoutSeconds;
        int result;
        std::string output;
    } cases[] = {
        {"directory", {"-c", "pwd"}, "/", 100, 0, "/\n"},
        {"signal", {"-c", "kill -TERM $$"}, "", 100, 128 + SIGTERM, ""},
        // cat waits on its input for as long as the call holds the write end open.
        {"input", {"-c", "cat; exit 5"}, "", 1, 259, ""},
    };
    for (const auto& c : cases) {
        std::string output;
        unsigned long processId = 0;
        EXPECT_EQ(SpawnProcess("/bin/sh", c.arguments, c.timeoutSeconds, &output, &processId,
                               c.workingDirectory),
                  c.result)
            << c.what;
        EXPECT_EQ(output, c.output) << c.what;
    }
}

// True once `processId` has ended: gone, or a zombie left for whoever reaps it now.
bool HasEnded(unsigned long processId) {
    std::ifstream stat("/proc/" + std::to_string(processId) + "/stat");
    std::string text;
    std::getline(stat, text);
    const size_t nameEnd = text.rfind(')');
    return !stat || nameEnd == std::string::npos || text.compare(nameEnd, 3, ") Z") == 0;
}

// A utility that leaves work to a child of its own must not leave that child to the host either.
TEST(PosixProcessServices, WhatTheChildStartedEndsWithItAtTheTimeout) {
    std::string output;
    unsigned long processId = 0;
    ASSERT_EQ(SpawnProcess("/bin/sh", {"-c", "sleep 1000 & echo $!; wait"}, 1, &output, &processId,
                           ""),
              259);
    const unsigned long grandchild = std::stoul(output);
    // SIGKILL has been sent when the call returns; the kernel takes a moment to carry it out.
    for (int check = 0; check < 1000 && !HasEnded(grandchild); ++check) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(HasEnded(grandchild)) << grandchild;
    if (!HasEnded(grandchild)) kill(static_cast<pid_t>(grandchild), SIGKILL);
}
