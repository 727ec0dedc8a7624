#ifndef VORNET_OSSPECIFIC_H
#define VORNET_OSSPECIFIC_H

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

// Runs `program` with `arguments` (each passed as one argument), standard input an open, empty
// pipe, standard output and standard error captured together into *output when `output` is not
// null. Waits up to `timeoutSeconds` for the child and returns its exit code; 259 when it is still
// running then (it is left running); 0 at once without reading or waiting when `timeoutSeconds`
// is below 1; -1 when it cannot be started. Reading the output is bounded by the same time-out:
// a child that keeps its output open is not waited for beyond it. *processId, when given,
// receives the child's identifier once creation has been tried (0 when it failed). An empty
// `workingDirectory` keeps the caller's.
int SpawnProcess(const std::string& program, const std::vector<std::string>& arguments,
                 int timeoutSeconds, std::string* output, unsigned long* processId,
                 const std::string& workingDirectory);

#endif
