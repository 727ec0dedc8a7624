#ifndef VORNET_OSSPECIFIC_H
#define VORNET_OSSPECIFIC_H

#include <cstddef>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
// On POSIX a "handle" is a file descriptor.
typedef int HANDLE;
#endif

// Operating-system services of the module: free functions without state. osspecific_win.cpp
// implements them on Win32, osspecific_posix.cpp on POSIX, with the same results and log lines.

// True only when `path` names an existing file-system object that is not a directory.
// Logs "INVALID_FILE_ATTRIBUTES" or "FILE_ATTRIBUTE_DIRECTORY" at level 4 when it returns false.
bool FileExists(const std::string& path);

// Everything readable from `file` until its end, as raw bytes (line ends kept). On a read error
// logs "GetFileContents failed to read file" + name at level 1 (and the system's text at level 4
// when `verbose`) and returns what was read before the error.
std::string GetFileContents(HANDLE file, const std::string& name, bool verbose);

// Runs `program` with `arguments` (each passed as one argument, never through a shell), standard
// input an open, empty pipe until the call ends, standard output and standard error captured
// together into *output when `output` is not null (drained and dropped when it is null).
//
// The child holds no handle of the host but its three standard ones, whatever other threads open
// or start meanwhile. It runs in a process group (POSIX) or job object (Windows) of its own.
//
// Returns the child's exit code; on POSIX a child ended by a signal gives 128 + the signal number.
// Reading the output and waiting for the child share one budget of `timeoutSeconds`: when it is
// spent, reading stops (*output keeps what arrived), the child is ended together with the
// processes it started (and reaped on POSIX) and the result is 259 (Windows' STILL_ACTIVE),
// whether the child still held its output open or had closed it. On Windows, processes the child
// leaves behind are ended when the call returns.
//
// `timeoutSeconds` below 1 starts the child and returns 0 at once, without reading (*output is
// untouched) or waiting; that child is left to run on. -1 when it cannot be started (pipes, a missing or non-executable program,
// a bad `workingDirectory`), after a level-1 line ("CreateProcess Failed" for the start itself);
// a program that starts and fails returns its own code. *processId, when given, receives the
// child's identifier once creation has been tried (0 when it failed). An empty
// `workingDirectory` keeps the caller's. `program` is a path: Windows looks it up as
// CreateProcess does, POSIX runs it as given.
//
// Of the output, the first kMaxCapturedOutputBytes are kept; the rest is read and dropped (so
// that the child is not blocked), and a level-2 line says so: "SpawnProcess() <command line>
// output cut at <limit> bytes".
//
// Logs at level 3 "SpawnProcess() <command line> Returned:<output>" (when `output` is given) and
// "SpawnProcess() <command line> exit code = <code>", where the command line is the program
// followed by each argument in double quotes.
int SpawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutSeconds, std::string* output, unsigned long* processId,
                 const std::string& workingDirectory);

// The utility's listings are kilobytes; a child that talks without end must not exhaust the
// host's memory.
constexpr std::size_t kMaxCapturedOutputBytes = 4 * 1024 * 1024;

#endif
