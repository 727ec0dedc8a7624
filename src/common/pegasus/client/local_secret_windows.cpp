#include <windows.h>

#include <vector>

#include "client/local_authentication.h"
#include "http/wide_text.h"

namespace Pegasus {

namespace {

struct FileHandle {
    HANDLE handle;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw LocalSecretRefused("The server's local authentication names \"" + path + "\", " + why +
                             ".");
}

}  // namespace

std::string processUserName() {
    wchar_t name[257];
    DWORD length = 257;
    if (!GetUserNameW(name, &length) || length == 0) return std::string();
    return narrow(std::wstring(name, length - 1));
}

std::string readLocalSecret(const std::string& directory, const std::string& name,
                            std::size_t maxBytes, long) {
    const std::string path = directory + "/" + name;
    // A reparse point (link, junction) is opened as itself, so it is seen and
    // refused rather than followed; a pipe or device is not a disk file.
    FileHandle file{CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return std::string();
        refuse(path, "which cannot be read");
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(file.handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(file.handle, &information) ||
        (information.dwFileAttributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        refuse(path, "which is not a regular file");
    }
    if (information.nFileSizeHigh != 0 || information.nFileSizeLow > maxBytes) {
        refuse(path, "which is larger than a secret");
    }
    std::string contents(maxBytes + 1, '\0');
    DWORD filled = 0;
    while (filled < contents.size()) {
        DWORD read = 0;
        if (!ReadFile(file.handle, &contents[filled], static_cast<DWORD>(contents.size() - filled),
                      &read, nullptr)) {
            refuse(path, "which cannot be read");
        }
        if (read == 0) break;
        filled += read;
    }
    if (filled > maxBytes) refuse(path, "which is larger than a secret");
    contents.resize(filled);
    return contents;
}

long trustedSocketOwner(const std::string&) { return kUnknownOwner; }

long listenerOwner(Uint32) { return kUnknownOwner; }

}  // namespace Pegasus
