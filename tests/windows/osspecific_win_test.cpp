// The Win32 side of the process services tests (tests/unit/osspecific), run under Wine, with the
// fake utility and print_arguments built beside this program.

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "process_test_platform.h"
#include "windows_test_support.h"

const std::string kTestDirectory = ProgramDirectory();
const std::string kFakeBcu = kTestDirectory + "bcu.exe";
const std::string kPrintArguments = kTestDirectory + "print_arguments.exe";
const char kSeparator = '\\';

void EndChild(unsigned long processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
    ASSERT_NE(process, nullptr) << "child " << processId << " already gone";
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

bool ProcessIsGone(unsigned long processId) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return true;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

int WaitForExitCode(unsigned long processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) return -2;
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

HANDLE PipeHolding(const std::string& bytes) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    DWORD count = 0;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 16384) ||
        !WriteFile(writeEnd, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr))
        ADD_FAILURE() << "no pipe";
    CloseHandle(writeEnd);
    return readEnd;
}

HANDLE WriteOnlyHandle() {
    return CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void CloseTestHandle(HANDLE handle) { CloseHandle(handle); }

HANDLE InheritableHandleTo(const std::string& path) {
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The missing programs are the ones Windows refuses for certain; what it makes of a directory or
// a file that is no program differs between Windows and Wine.
std::vector<std::string> ProgramsThatCannotStart(const std::string&) { return {}; }
