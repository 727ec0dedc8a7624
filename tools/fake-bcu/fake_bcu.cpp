// fake-bcu: a stand-in for the adapter utility bcu.exe, for tests and the demo. It knows the two
// listing commands the module runs and invents its answers; its listings are not the vendor's.
//
//   bcu adapter --list     prints an adapter listing
//   bcu port --list        prints a port listing
//   anything else          prints a usage message on standard error and exits with 64
//
// Environment knobs (all optional; a value that is not a whole number counts as unset):
//   FAKE_BCU_EXIT=N            exit code of both listing commands (default 0)
//   FAKE_BCU_EXIT_ADAPTER=N    exit code of "adapter --list", overriding FAKE_BCU_EXIT
//   FAKE_BCU_EXIT_PORT=N       exit code of "port --list", overriding FAKE_BCU_EXIT
//   FAKE_BCU_DELAY_MS=N        wait N milliseconds before answering
//   FAKE_BCU_OUTPUT_BYTES=N    print exactly N bytes: the listing repeated, the last copy cut
//                              (0 prints nothing)
//   FAKE_BCU_CRLF=1            end lines with CR LF instead of LF
//   FAKE_BCU_HOLD_OUTPUT_MS=N  after answering, keep standard output open for N milliseconds
//                              before exiting
//   FAKE_BCU_LINGER_MS=N       after answering, close standard output and standard error, then
//                              live on for N milliseconds before exiting
//   FAKE_BCU_CANARY=PATH       first print "canary handles: N", N being the number of handles
//                              (descriptors) it holds on the file PATH that it did not open itself
//
// Output is written in binary mode, so the line ends are exactly the ones chosen above on every
// platform.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

constexpr int kUsageExit = 64;

const char* const kAdapterListing =
    "Adapter  Model      Type  Ports  Serial        Firmware   PCI address\n"
    "-------  ---------  ----  -----  ------------  ---------  ------------\n"
    "1        VX-1822    CNA   2      VX18220A0141  3.2.7.1    0000:05:00.0\n"
    "2        VX-1412    HBA   1      VX14120B0957  3.2.7.1    0000:0b:00.0\n"
    "\n"
    "2 adapter(s) found\n";

const char* const kPortListing =
    "Port  Adapter  Type  WWN/MAC                  Speed   State\n"
    "----  -------  ----  -----------------------  ------  ------\n"
    "1/0   1        eth   00:05:1e:7a:31:c0        10G     Linkup\n"
    "1/1   1        eth   00:05:1e:7a:31:c1        10G     Linkdown\n"
    "2/0   2        fc    10:00:00:05:1e:9c:44:02  8G      Online\n"
    "\n"
    "3 port(s) found\n";

// A whole, non-negative number from the environment, or -1 when unset or not a number.
long Knob(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') {
        return -1;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*end == '\0' && value >= 0) ? value : -1;
}

void SleepMilliseconds(long milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

std::string WithLineEnds(const char* listing, bool crlf) {
    std::string text;
    for (const char* c = listing; *c != '\0'; ++c) {
        if (*c == '\n' && crlf) {
            text += '\r';
        }
        text += *c;
    }
    return text;
}

std::string Sized(const std::string& text, long bytes) {
    if (bytes < 0) {
        return text;
    }
    std::string sized;
    sized.reserve(static_cast<size_t>(bytes));
    while (sized.size() < static_cast<size_t>(bytes)) {
        sized.append(text, 0, static_cast<size_t>(bytes) - sized.size());
    }
    return sized;
}

// Handles that a parent passes on keep their values in the child, so probing every small value
// finds them; the file's identity tells them from the child's own handles.
#if defined(_WIN32)
long CanaryHandles(const char* path) {
    const HANDLE own = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION canary{};
    if (own == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(own, &canary)) {
        return -1;
    }
    long count = 0;
    for (uintptr_t value = 4; value < 16384; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        BY_HANDLE_FILE_INFORMATION file{};
        if (handle != own && GetFileType(handle) == FILE_TYPE_DISK &&
            GetFileInformationByHandle(handle, &file) &&
            file.dwVolumeSerialNumber == canary.dwVolumeSerialNumber &&
            file.nFileIndexHigh == canary.nFileIndexHigh &&
            file.nFileIndexLow == canary.nFileIndexLow) {
            ++count;
        }
    }
    CloseHandle(own);
    return count;
}
#else
long CanaryHandles(const char* path) {
    struct stat canary;
    if (stat(path, &canary) != 0) {
        return -1;
    }
    long count = 0;
    for (int descriptor = 3; descriptor < 65536; ++descriptor) {
        struct stat file;
        if (fstat(descriptor, &file) == 0 && file.st_dev == canary.st_dev &&
            file.st_ino == canary.st_ino) {
            ++count;
        }
    }
    return count;
}
#endif

int Usage() {
    std::fputs(
        "usage: bcu adapter --list\n"
        "       bcu port --list\n"
        "(fake-bcu: a stand-in for the adapter utility; see tools/fake-bcu/README.md)\n",
        stderr);
    return kUsageExit;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    if (argc != 3 || std::strcmp(argv[2], "--list") != 0) {
        return Usage();
    }
    const char* listing = nullptr;
    long exitCode = -1;
    if (std::strcmp(argv[1], "adapter") == 0) {
        listing = kAdapterListing;
        exitCode = Knob("FAKE_BCU_EXIT_ADAPTER");
    } else if (std::strcmp(argv[1], "port") == 0) {
        listing = kPortListing;
        exitCode = Knob("FAKE_BCU_EXIT_PORT");
    } else {
        return Usage();
    }
    if (exitCode < 0) {
        exitCode = Knob("FAKE_BCU_EXIT");
    }

    const char* canary = std::getenv("FAKE_BCU_CANARY");
    if (canary != nullptr) {
        std::printf("canary handles: %ld\n", CanaryHandles(canary));
    }
    SleepMilliseconds(Knob("FAKE_BCU_DELAY_MS"));
    const char* crlf = std::getenv("FAKE_BCU_CRLF");
    const std::string text =
        Sized(WithLineEnds(listing, crlf != nullptr && std::strcmp(crlf, "1") == 0),
              Knob("FAKE_BCU_OUTPUT_BYTES"));
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);

    SleepMilliseconds(Knob("FAKE_BCU_HOLD_OUTPUT_MS"));
    if (Knob("FAKE_BCU_LINGER_MS") > 0) {
        // Standard error usually shares the reader's pipe, so both must go for it to see the end.
        std::fclose(stdout);
        std::fclose(stderr);
        SleepMilliseconds(Knob("FAKE_BCU_LINGER_MS"));
    }
    return exitCode < 0 ? 0 : static_cast<int>(exitCode);
}
