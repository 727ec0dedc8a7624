// The POSIX side of the process services tests, and what only POSIX children show: a working
// directory, a signal as the end, standard input.

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

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
