// Win32 implementation of the operating-system services.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log_line.h"
#include "osspecific.h"

namespace {

constexpr DWORD kChunkSize = 4096;
// An ended process is gone within milliseconds; this only bounds a system that misbehaves.
constexpr DWORD kTerminationWaitMs = 10000;

// Closes a handle once, when its owner goes out of scope, whatever path the call takes.
class OwnedHandle {
  public:
    OwnedHandle() = default;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Close(); }

    HANDLE Get() const { return handle; }
    HANDLE* Out() { return &handle; }
    // False when CloseHandle reported an error; the handle is gone either way.
    bool Close() {
        if (handle == nullptr) {
            return true;
        }
        const BOOL closed = CloseHandle(handle);
        handle = nullptr;
        return closed != FALSE;
    }

  private:
    HANDLE handle = nullptr;
};

// An anonymous pipe whose two ends are inheritable; `keep` (one of the two) is then replaced by a
// non-inheritable copy, so that the child inherits only its own end.
enum class Keep { kReadEnd, kWriteEnd };
enum class PipeResult { kMade, kPipeFailed, kDuplicateFailed };

PipeResult MakePipe(OwnedHandle& readEnd, OwnedHandle& writeEnd, Keep keep) {
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    if (!CreatePipe(readEnd.Out(), writeEnd.Out(), &inheritable, 0)) {
        return PipeResult::kPipeFailed;
    }
    OwnedHandle& parentEnd = keep == Keep::kReadEnd ? readEnd : writeEnd;
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, parentEnd.Get(), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return PipeResult::kDuplicateFailed;
    }
    parentEnd.Close();
    *parentEnd.Out() = copy;
    return PipeResult::kMade;
}

// Frees a started attribute list once the process has been created, whatever path the call takes.
class AttributeListOwner {
  public:
    explicit AttributeListOwner(LPPROC_THREAD_ATTRIBUTE_LIST list) : list(list) {}
    AttributeListOwner(const AttributeListOwner&) = delete;
    AttributeListOwner& operator=(const AttributeListOwner&) = delete;
    ~AttributeListOwner() { DeleteProcThreadAttributeList(list); }

  private:
    LPPROC_THREAD_ATTRIBUTE_LIST list;
};

// A job that ends its processes when its last handle closes; null when the system refuses one,
// and the child is then ended alone.
HANDLE KillOnCloseJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// The system's text for an error code, without its trailing line end.
std::string SystemErrorText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer),
        0, nullptr);
    std::string text = buffer != nullptr ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

void LogReadFailure(const std::string& name, bool verbose, DWORD error) {
    VORNET_LOG(1) << "GetFileContents failed to read file" << name;
    if (verbose && Vornet::Log::GetMinLogLevel() >= 4) {
        VORNET_LOG(4) << SystemErrorText(error);
    }
}

// A pipe whose writers have all closed reports its end as a failed read; only that, and the end
// of a file, count as the end of the data. Any other failure is a real one.
bool IsEndOfData(DWORD error) { return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF; }

enum class ReadEnd { kEndOfData, kTimedOut, kFailed };

// Appends what `handle` delivers to `*result` until its end, a read error (its code in *error),
// or, when `deadline` (a GetTickCount64 value) is given, that moment. Without a deadline it
// blocks in ReadFile; with one it reads only what the pipe already holds, so that it never blocks
// beyond the deadline: anonymous pipes have no timed or cancellable read of their own. Beyond
// `limit` bytes in all it reads on but keeps nothing, and sets *cut.
ReadEnd ReadUntil(HANDLE handle, const ULONGLONG* deadline, std::string* result, DWORD* error,
                  std::size_t limit, bool* cut) {
    char chunk[kChunkSize];
    DWORD pause = 1;
    for (;;) {
        DWORD wanted = kChunkSize;
        if (deadline != nullptr) {
            const ULONGLONG now = GetTickCount64();
            if (now >= *deadline) {
                return ReadEnd::kTimedOut;
            }
            DWORD available = 0;
            if (!PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
                *error = GetLastError();
                return IsEndOfData(*error) ? ReadEnd::kEndOfData : ReadEnd::kFailed;
            }
            if (available == 0) {
                Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, *deadline - now)));
                pause = std::min<DWORD>(pause * 2, 50);
                continue;
            }
            pause = 1;
            wanted = std::min(available, kChunkSize);
        }
        DWORD count = 0;
        if (!ReadFile(handle, chunk, wanted, &count, nullptr)) {
            *error = GetLastError();
            return count == 0 && IsEndOfData(*error) ? ReadEnd::kEndOfData : ReadEnd::kFailed;
        }
        if (count == 0) {
            return ReadEnd::kEndOfData;
        }
        const std::size_t kept =
            std::min(static_cast<std::size_t>(count), limit - std::min(limit, result->size()));
        result->append(chunk, kept);
        *cut = *cut || kept < count;
    }
}

// The command line for the log: the program as given, each argument in double quotes.
std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::string line = program;
    for (const std::string& argument : arguments) {
        line += " \"" + argument + "\"";
    }
    return line;
}

// One argument quoted so that the C runtime's parser gives it back unchanged: backslashes count
// only before a double quote, where they are doubled, and the quote itself is escaped.
std::string QuotedArgument(const std::string& argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

// The command line handed to the system. The program is quoted: unquoted, a path such as
// "C:\Program Files\...\bcu.exe" would first be tried as "C:\Program.exe", and the child would
// see "C:\Program" as its name and the rest of the path as its first argument.
std::string SystemCommandLine(const std::string& program,
                              const std::vector<std::string>& arguments) {
    std::string line = !program.empty() && program.front() == '"' ? program : '"' + program + '"';
    for (const std::string& argument : arguments) {
        line += ' ' + QuotedArgument(argument);
    }
    return line;
}

// Starts the child with `input` and `output` (also its standard error) as its standard handles
// and no other handle of the host: its ends of the pipes are inheritable (the handle list
// requires it), but whatever else the host's threads have made inheritable stays out of it.
bool CreateChild(std::string commandLine, const std::string& workingDirectory, HANDLE input,
                 HANDLE output, DWORD flags, PROCESS_INFORMATION* created) {
    HANDLE inherited[] = {input, output};
    SIZE_T attributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
    std::vector<char> attributeBuffer(attributeSize);
    const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBuffer.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize)) {
        return false;
    }
    const AttributeListOwner attributeOwner(attributes);
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                   sizeof inherited, nullptr, nullptr)) {
        return false;
    }
    STARTUPINFOEXA startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = attributes;
    // CreateProcessA may write into the command line, so it gets a buffer of its own.
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');
    return CreateProcessA(nullptr, commandBuffer.data(), nullptr, nullptr, TRUE,
                          flags | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                          workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                          &startup.StartupInfo, created) != FALSE;
}

}  // namespace

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        VORNET_LOG(4) << "INVALID_FILE_ATTRIBUTES";
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        VORNET_LOG(4) << "FILE_ATTRIBUTE_DIRECTORY";
        return false;
    }
    return true;
}

std::string GetFileContents(HANDLE file, const std::string& name, bool verbose) {
    std::string result;
    DWORD error = 0;
    bool cut = false;
    if (ReadUntil(file, nullptr, &result, &error, std::string().max_size(), &cut) ==
        ReadEnd::kFailed) {
        LogReadFailure(name, verbose, error);
    }
    return result;
}

int SpawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutSeconds, std::string* output, unsigned long* processId,
                 const std::string& workingDirectory) {
    const std::string commandLine = CommandLine(program, arguments);

    OwnedHandle outputRead, outputWrite, inputRead, inputWrite;
    switch (MakePipe(outputRead, outputWrite, Keep::kReadEnd)) {
        case PipeResult::kPipeFailed:
            VORNET_LOG(1) << "stdout pipe creation failed";
            return -1;
        case PipeResult::kDuplicateFailed:
            VORNET_LOG(1) << "stdout DuplicateHandle failed";
            return -1;
        case PipeResult::kMade:
            break;
    }
    switch (MakePipe(inputRead, inputWrite, Keep::kWriteEnd)) {
        case PipeResult::kPipeFailed:
            VORNET_LOG(1) << "stdin pipe creation failed";
            return -1;
        case PipeResult::kDuplicateFailed:
            VORNET_LOG(1) << "stdin DuplicateHandle failed";
            return -1;
        case PipeResult::kMade:
            break;
    }

    // A child the call waits for goes into a job that ends it, and whatever it starts, when the
    // job's handle closes. It starts suspended so that nothing it starts escapes the job.
    OwnedHandle job;
    if (timeoutSeconds >= 1) {
        *job.Out() = KillOnCloseJob();
    }
    PROCESS_INFORMATION created{};
    const bool started = CreateChild(SystemCommandLine(program, arguments), workingDirectory,
                                     inputRead.Get(), outputWrite.Get(),
                                     job.Get() != nullptr ? CREATE_SUSPENDED : 0, &created);
    if (processId != nullptr) {
        *processId = started ? created.dwProcessId : 0;
    }
    if (!started) {
        VORNET_LOG(1) << "CreateProcess Failed";
        return -1;
    }
    OwnedHandle process, thread;
    *process.Out() = created.hProcess;
    *thread.Out() = created.hThread;
    if (job.Get() != nullptr) {
        // Outside the job the child can still be ended on its own at the time-out.
        if (!AssignProcessToJobObject(job.Get(), process.Get())) {
            job.Close();
        }
        ResumeThread(thread.Get());
    }
    inputRead.Close();
    // Only the child may hold the write end, or the output would never reach its end.
    if (!outputWrite.Close()) {
        VORNET_LOG(1) << "CloseHandle failed";
        return -1;
    }
    if (timeoutSeconds < 1) {
        return 0;
    }

    // Reading and waiting share one budget, so the call never blocks much beyond the time-out,
    // even for a child that keeps its output open or leaves it to a child of its own.
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
    // Without a caller for the output it is still drained, so that the child's writes succeed.
    std::string discarded;
    std::string* text = output != nullptr ? output : &discarded;
    *text = std::string();
    DWORD readError = 0;
    bool cut = false;
    if (ReadUntil(outputRead.Get(), &deadline, text, &readError, kMaxCapturedOutputBytes, &cut) ==
        ReadEnd::kFailed) {
        LogReadFailure("", true, readError);
    }
    if (cut) {
        VORNET_LOG(2) << "SpawnProcess() " << commandLine << " output cut at "
                      << kMaxCapturedOutputBytes << " bytes";
    }
    if (output != nullptr) {
        VORNET_LOG(3) << "SpawnProcess() " << commandLine << " Returned:" << *output;
    }
    outputRead.Close();

    const ULONGLONG now = GetTickCount64();
    const ULONGLONG left = now < deadline ? deadline - now : 0;
    WaitForSingleObject(process.Get(), static_cast<DWORD>(std::min<ULONGLONG>(left, INFINITE - 1)));
    // A child still running reads as STILL_ACTIVE (259), and is ended with what it started.
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.Get(), &exitCode)) {
        exitCode = static_cast<DWORD>(-1);
    }
    if (exitCode == STILL_ACTIVE) {
        if (job.Get() == nullptr || !TerminateJobObject(job.Get(), 1)) {
            TerminateProcess(process.Get(), 1);
        }
        // Termination completes asynchronously; the call returns once the child is gone.
        WaitForSingleObject(process.Get(), kTerminationWaitMs);
    }
    VORNET_LOG(3) << "SpawnProcess() " << commandLine << " exit code = " << exitCode;
    return static_cast<int>(exitCode);
}
