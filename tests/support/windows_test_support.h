// What the Windows test programs share: where they were started from, and the
// environment the scripts that run them hand over.
#ifndef BROCADE_WINDOWS_TEST_SUPPORT_H
#define BROCADE_WINDOWS_TEST_SUPPORT_H

#include <windows.h>

#include <cstdlib>
#include <string>

// The directory of the running test program, with its trailing separator:
// the fake bcu.exe and the DLLs are built beside it.
inline std::string ProgramDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string file(path, length);
    return file.substr(0, file.find_last_of("\\/") + 1);
}

// The variable's value, "" when unset.
inline std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

#endif
