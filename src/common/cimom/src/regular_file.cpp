#include "regular_file.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Vornet {

namespace {

constexpr size_t kChunkSize = 65536;

// Reads through `readChunk` (bytes read, 0 at the end, negative on an error) until the end, and
// never past the limit: the file may have grown since its size was taken.
template <class ReadChunk>
RegularFileRead ReadWithinLimit(size_t maxBytes, std::string* contents, ReadChunk readChunk) {
    std::string text;
    char chunk[kChunkSize];
    for (;;) {
        const long long count = readChunk(chunk, sizeof chunk);
        if (count < 0) {
            return RegularFileRead::kFailed;
        }
        if (count == 0) {
            break;
        }
        text.append(chunk, static_cast<size_t>(count));
        if (text.size() > maxBytes) {
            return RegularFileRead::kTooLarge;
        }
    }
    *contents = std::move(text);
    return RegularFileRead::kRead;
}

#if defined(_WIN32)

RegularFileRead ReadOpenFile(HANDLE file, size_t maxBytes, std::string* contents) {
    // Pipes and character devices are refused here, after an open that cannot block on them.
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        return RegularFileRead::kNotRegular;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return RegularFileRead::kTooLarge;
    }
    return ReadWithinLimit(maxBytes, contents, [file](char* buffer, size_t size) -> long long {
        DWORD count = 0;
        return ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr) ? count : -1;
    });
}

RegularFileRead ReadFromSystem(const std::string& path, size_t maxBytes, std::string* contents) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? RegularFileRead::kMissing
                   : RegularFileRead::kFailed;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return RegularFileRead::kNotRegular;
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return RegularFileRead::kFailed;
    }
    const RegularFileRead result = ReadOpenFile(file, maxBytes, contents);
    CloseHandle(file);
    return result;
}

#else

RegularFileRead ReadOpenFile(int file, size_t maxBytes, std::string* contents) {
    // Checked again on what was opened: the path may name something else by now.
    struct stat status;
    if (fstat(file, &status) != 0) {
        return RegularFileRead::kFailed;
    }
    if (!S_ISREG(status.st_mode)) {
        return RegularFileRead::kNotRegular;
    }
    if (static_cast<unsigned long long>(status.st_size) > maxBytes) {
        return RegularFileRead::kTooLarge;
    }
    return ReadWithinLimit(maxBytes, contents, [file](char* buffer, size_t size) -> long long {
        for (;;) {
            const ssize_t count = read(file, buffer, size);
            if (count >= 0 || errno != EINTR) {
                return count;
            }
        }
    });
}

RegularFileRead ReadFromSystem(const std::string& path, size_t maxBytes, std::string* contents) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? RegularFileRead::kMissing
                                                   : RegularFileRead::kFailed;
    }
    if (!S_ISREG(status.st_mode)) {
        return RegularFileRead::kNotRegular;
    }
    // Non-blocking: a FIFO put in the file's place after the check must not stop the open.
    const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return errno == ENOENT ? RegularFileRead::kMissing : RegularFileRead::kFailed;
    }
    const RegularFileRead result = ReadOpenFile(file, maxBytes, contents);
    close(file);
    return result;
}

#endif

}  // namespace

RegularFileRead ReadRegularFile(const std::string& path, size_t maxBytes, std::string* contents) {
    return ReadFromSystem(path, maxBytes, contents);
}

std::string RegularFileReadText(RegularFileRead result, size_t maxBytes) {
    switch (result) {
        case RegularFileRead::kRead:
            return "";
        case RegularFileRead::kMissing:
            return "missing";
        case RegularFileRead::kNotRegular:
            return "not a regular file";
        case RegularFileRead::kTooLarge:
            return "larger than " + std::to_string(maxBytes) + " bytes";
        case RegularFileRead::kFailed:
            break;
    }
    return "not readable";
}

}  // namespace Vornet
