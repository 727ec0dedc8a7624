// POSIX port of the operating-system services: the same results and log lines as the Win32 unit,
// with the file descriptor in the role of the handle.

#include <errno.h>
#include <fcntl.h>
#if __has_include(<linux/close_range.h>)
#include <linux/close_range.h>
#endif
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "log_line.h"
#include "osspecific.h"

namespace {

using Clock = std::chrono::steady_clock;

// The value Windows reports for a process that has not ended; callers test for it.
constexpr int kStillActive = 259;
constexpr size_t kChunkSize = 4096;

// Closes a descriptor once, when its owner goes out of scope, whatever path the call takes.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Close(); }

    int Get() const { return fd; }
    int* Out() { return &fd; }
    // False when close() reported an error; the descriptor is gone either way.
    bool Close() {
        if (fd < 0) {
            return true;
        }
        const int result = close(fd);
        fd = -1;
        return result == 0 || errno == EINTR;
    }

  private:
    int fd = -1;
};

// Both ends close-on-exec, so that no other child the host starts meanwhile inherits them; the
// child gets its own copies through dup2, which clears the flag on the copy.
bool MakePipe(Descriptor& readEnd, Descriptor& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    *readEnd.Out() = fds[0];
    *writeEnd.Out() = fds[1];
    return true;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

enum class ReadEnd { kEndOfData, kTimedOut, kFailed };

// Appends what `fd` delivers to `*result` until its end, a read error, or `deadline` when one is
// given; beyond `limit` bytes in all it reads on but keeps nothing, and sets *cut. Without a
// deadline it blocks like a plain read loop.
ReadEnd ReadUntil(int fd, const Clock::time_point* deadline, std::string* result, std::size_t limit,
                  bool* cut) {
    char chunk[kChunkSize];
    for (;;) {
        if (deadline != nullptr) {
            // Checked before every read, so that a child that never stops talking is bounded too.
            if (Clock::now() >= *deadline) {
                return ReadEnd::kTimedOut;
            }
            pollfd ready{fd, POLLIN, 0};
            const int polled = poll(&ready, 1, MillisecondsUntil(*deadline));
            if (polled < 0 && errno == EINTR) {
                continue;
            }
            if (polled == 0) {
                return ReadEnd::kTimedOut;
            }
            if (polled < 0) {
                return ReadEnd::kFailed;
            }
        }
        const ssize_t count = read(fd, chunk, sizeof chunk);
        if (count > 0) {
            const size_t kept =
                std::min(static_cast<size_t>(count), limit - std::min(limit, result->size()));
            result->append(chunk, kept);
            *cut = *cut || kept < static_cast<size_t>(count);
        } else if (count == 0) {
            return ReadEnd::kEndOfData;
        } else if (errno != EINTR) {
            return ReadEnd::kFailed;
        }
    }
}

void LogReadFailure(const std::string& name, bool verbose, int error) {
    VORNET_LOG(1) << "GetFileContents failed to read file" << name;
    if (verbose) {
        VORNET_LOG(4) << std::strerror(error);
    }
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = program;
    for (const std::string& argument : arguments) {
        line += " \"" + argument + "\"";
    }
    return line;
}

// What the parent needs of a started child.
struct Child {
    pid_t pid = 0;
    Descriptor output;      // read end of the child's standard output and error
    Descriptor inputWrite;  // held, never written: the child's input stays open and empty
};

// Leaves the child only descriptors 0 to 2 across exec: the host may hold sockets, files and other
// objects' connections without close-on-exec, and a utility holding those keeps them open for
// as long as it runs. The highest descriptor to mark is computed by the parent when the kernel
// lacks close_range.
void CloseOnExecAboveStandardStreams(int highestDescriptor) {
#if defined(SYS_close_range) && defined(CLOSE_RANGE_CLOEXEC)
    if (syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) {
        return;
    }
#endif
    for (int descriptor = 3; descriptor <= highestDescriptor; ++descriptor) {
        fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    }
}

// Runs in the forked child, where only async-signal-safe calls are allowed. Reports a failed
// exec through `status` so that the parent never mistakes it for the program's own exit code.
[[noreturn]] void ExecChild(char* const* argv, const char* directory, int input, int output,
                            int status, int highestDescriptor) {
    // A group of its own, so that a time-out ends whatever the utility started as well.
    setpgid(0, 0);
    // Lift the descriptors clear of 0 to 2 first, so that no dup2 below overwrites another.
    const int inputCopy = fcntl(input, F_DUPFD_CLOEXEC, 3);
    const int outputCopy = fcntl(output, F_DUPFD_CLOEXEC, 3);
    int error = 0;
    if (inputCopy < 0 || outputCopy < 0 || dup2(inputCopy, 0) < 0 || dup2(outputCopy, 1) < 0 ||
        dup2(outputCopy, 2) < 0) {
        error = errno;
    } else if (directory != nullptr && chdir(directory) != 0) {
        error = errno;
    } else {
        CloseOnExecAboveStandardStreams(highestDescriptor);
        // A host that blocks signals or ignores SIGPIPE must not pass that on to the utility.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        execv(argv[0], argv);
        error = errno;
    }
    ssize_t ignored = write(status, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// The highest descriptor the process may hold, for the loop that stands in for close_range.
// Bounded, so that a limit of millions does not cost the child seconds of system calls.
int HighestDescriptor() {
    const long limit = sysconf(_SC_OPEN_MAX);
    return static_cast<int>(std::clamp<long>(limit, 1024, 65536) - 1);
}

// Starts the child with its standard handles on fresh pipes. False when it could not be started;
// the failed child, if any, has been reaped.
bool StartChild(const std::string& program, const std::vector<std::string>& arguments,
                const std::string& workingDirectory, Child* child, Descriptor& outputWrite,
                Descriptor& inputRead) {
    Descriptor statusRead, statusWrite;
    if (!MakePipe(statusRead, statusWrite)) {
        return false;
    }
    // Everything the child touches is prepared here: after fork it may not allocate.
    std::vector<std::string> argumentCopies;
    argumentCopies.reserve(arguments.size() + 1);
    argumentCopies.push_back(program);
    argumentCopies.insert(argumentCopies.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : argumentCopies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const char* directory = workingDirectory.empty() ? nullptr : workingDirectory.c_str();
    const int highestDescriptor = HighestDescriptor();

    const pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        ExecChild(argv.data(), directory, inputRead.Get(), outputWrite.Get(), statusWrite.Get(),
                  highestDescriptor);
    }
    // Also here, so that the group exists before any time-out can signal it, whichever of the
    // two runs first; it fails harmlessly once the child has run exec.
    setpgid(pid, pid);
    statusWrite.Close();
    // The status pipe closes on a successful exec, or carries the errno of a failed one.
    int error = 0;
    ssize_t count;
    do {
        count = read(statusRead.Get(), &error, sizeof error);
    } while (count < 0 && errno == EINTR);
    if (count > 0) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return false;
    }
    child->pid = pid;
    return true;
}

// The child's exit code if it ends by `deadline`: its own code, or 128 plus the signal number
// when a signal ended it, as shells report it. kStillActive when it is still running: it and its
// process group are then killed and reaped, so that a stuck utility costs the host nothing
// after the call. -1 when it is no longer ours to wait for (the host reaped it).
int WaitForExit(pid_t pid, Clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        if (result == pid) {
            if (WIFSIGNALED(status)) {
                return 128 + WTERMSIG(status);
            }
            return WEXITSTATUS(status);
        }
        if (result < 0 && errno != EINTR) {
            return -1;
        }
        if (result == 0) {
            const auto now = Clock::now();
            if (now >= deadline) {
                // The unreaped child keeps its identifier, and so its group's, from being reused.
                kill(-pid, SIGKILL);
                kill(pid, SIGKILL);
                while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
                }
                return kStillActive;
            }
            // POSIX has no timed wait for a child; short, growing pauses keep a quick child quick.
            std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
    }
}

}  // namespace

bool FileExists(const std::string& path) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        VORNET_LOG(4) << "INVALID_FILE_ATTRIBUTES";
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        VORNET_LOG(4) << "FILE_ATTRIBUTE_DIRECTORY";
        return false;
    }
    return true;
}

std::string GetFileContents(HANDLE file, const std::string& name, bool verbose) {
    std::string result;
    bool cut = false;
    if (ReadUntil(file, nullptr, &result, std::string().max_size(), &cut) == ReadEnd::kFailed) {
        LogReadFailure(name, verbose, errno);
    }
    return result;
}

int SpawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutSeconds, std::string* output, unsigned long* processId,
                 const std::string& workingDirectory) {
    const std::string commandLine = CommandLine(program, arguments);

    Child child;
    Descriptor outputWrite, inputRead;
    // A child whose output nobody will read writes it to the null device: a pipe closed at once
    // would end it with SIGPIPE at its first line, while it is meant to run on.
    const bool unread = timeoutSeconds < 1;
    if (unread) {
        *outputWrite.Out() = open("/dev/null", O_WRONLY | O_CLOEXEC);
    }
    if (unread ? outputWrite.Get() < 0 : !MakePipe(child.output, outputWrite)) {
        VORNET_LOG(1) << "stdout pipe creation failed";
        return -1;
    }
    if (!MakePipe(inputRead, child.inputWrite)) {
        VORNET_LOG(1) << "stdin pipe creation failed";
        return -1;
    }
    const bool started =
        StartChild(program, arguments, workingDirectory, &child, outputWrite, inputRead);
    if (processId != nullptr) {
        *processId = static_cast<unsigned long>(child.pid);
    }
    if (!started) {
        VORNET_LOG(1) << "CreateProcess Failed";
        return -1;
    }
    inputRead.Close();
    // Only the child may hold the write end, or the output would never reach its end.
    if (!outputWrite.Close()) {
        VORNET_LOG(1) << "CloseHandle failed";
        return -1;
    }
    if (unread) {
        return 0;
    }

    // Reading and waiting share one budget, so the call never blocks much beyond the time-out,
    // even for a child that keeps its output open or leaves it to a child of its own.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    // Without a caller for the output it is still drained: closing the pipe early would end a
    // talkative child with SIGPIPE, which the Windows side never does.
    std::string discarded;
    std::string* text = output != nullptr ? output : &discarded;
    *text = std::string();
    bool cut = false;
    if (ReadUntil(child.output.Get(), &deadline, text, kMaxCapturedOutputBytes, &cut) ==
        ReadEnd::kFailed) {
        LogReadFailure("", true, errno);
    }
    if (cut) {
        VORNET_LOG(2) << "SpawnProcess() " << commandLine << " output cut at "
                      << kMaxCapturedOutputBytes << " bytes";
    }
    if (output != nullptr) {
        VORNET_LOG(3) << "SpawnProcess() " << commandLine << " Returned:" << *output;
    }
    child.output.Close();

    const int exitCode = WaitForExit(child.pid, deadline);
    VORNET_LOG(3) << "SpawnProcess() " << commandLine
                  << " exit code = " << static_cast<unsigned int>(exitCode);
    return exitCode;
}
