// What the shared tests of the process and file services need from the system they run on;
// process_test_platform_posix.cpp and tests/windows/osspecific_win_test.cpp give it.
#ifndef BROCADE_PROCESS_TEST_PLATFORM_H
#define BROCADE_PROCESS_TEST_PLATFORM_H

#include <string>
#include <vector>

#include "osspecific.h"

// The tests' child programs, and the fake's directory with its trailing separator (kSeparator).
extern const std::string kFakeBcu;
extern const std::string kPrintArguments;
extern const std::string kTestDirectory;
extern const char kSeparator;

// Ends a child that a test left running, so that it outlives neither the test nor its
// assertions; fails the test when the child had already gone.
void EndChild(unsigned long processId);

// True when the child has ended and, on POSIX, been reaped (no zombie left).
bool ProcessIsGone(unsigned long processId);

// The exit code of a child once it has ended on its own.
int WaitForExitCode(unsigned long processId);

// The read end of a pipe holding `bytes`, its write end already closed.
HANDLE PipeHolding(const std::string& bytes);
// An open handle that cannot be read.
HANDLE WriteOnlyHandle();
void CloseTestHandle(HANDLE handle);
// A read handle on the file `path` that a child started without care would inherit.
HANDLE InheritableHandleTo(const std::string& path);

// Paths in or of `directory` (an empty one, the caller's to remove) that this system refuses to
// start as a program, beyond the missing ones every system refuses.
std::vector<std::string> ProgramsThatCannotStart(const std::string& directory);

#endif
