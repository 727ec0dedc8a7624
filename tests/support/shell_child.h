#ifndef BROCADE_TEST_SHELL_CHILD_H
#define BROCADE_TEST_SHELL_CHILD_H

#include <signal.h>
#include <sys/types.h>

#include <cstdio>
#include <stdexcept>
#include <string>

// A server a test starts through the shell: the shell prints its process id and then `command`
// must exec the program, so that the id is the program's own. What the program prints is read
// from Output(). Stopped by process id when the object ends. POSIX only.
class ShellChild {
  public:
    explicit ShellChild(const std::string& command)
        : output(popen(("echo $$; " + command).c_str(), "r")) {
        int processId = 0;
        if (output == nullptr || std::fscanf(output, "%d", &processId) != 1) {
            Stop();
            throw std::runtime_error("cannot start: " + command);
        }
        pid = processId;
    }
    ~ShellChild() { Stop(); }
    ShellChild(const ShellChild&) = delete;
    ShellChild& operator=(const ShellChild&) = delete;

    FILE* Output() const { return output; }
    pid_t Pid() const { return pid; }
    // Ends the program, a stopped one too (it must run to see the signal), and waits for it.
    void Stop() {
        if (pid > 0) {
            kill(pid, SIGCONT);
            kill(pid, SIGTERM);
            pid = -1;
        }
        if (output != nullptr) {
            pclose(output);
            output = nullptr;
        }
    }

  private:
    FILE* output;
    pid_t pid = -1;
};

#endif
