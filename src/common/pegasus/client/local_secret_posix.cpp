#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "client/local_authentication.h"

namespace Pegasus {

namespace {

class Descriptor {
  public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
    throw LocalSecretRefused("The server's local authentication names \"" + path + "\", " + why +
                             ".");
}

}  // namespace

std::string processUserName() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    const uid_t user = ::geteuid();
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return found->pw_name;
    }
    return std::to_string(user);
}

std::string readLocalSecret(const std::string& directory, const std::string& name,
                            std::size_t maxBytes, long owner) {
    const std::string path = directory + "/" + name;
    if (owner == kUnknownOwner) refuse(path, "whose server's owner is unknown");
    // Opened relative to the folder that was checked; no link is followed and a FIFO does not
    // wait for a writer; what was opened is checked, not what the name pointed at a moment
    // earlier.
    Descriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) refuse(path, "whose folder cannot be opened");
    Descriptor file(::openat(folder.get(), name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT) return std::string();
        refuse(path, errno == ELOOP ? "which is a link" : "which cannot be read");
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        refuse(path, "which is not a regular file");
    }
    // Only the server's own account writes its secrets.
    if (static_cast<long>(status.st_uid) != owner) {
        refuse(path, "which is not the server's own (owner " + std::to_string(status.st_uid) +
                         ", server " + std::to_string(owner) + ")");
    }
    if (static_cast<std::size_t>(status.st_size) > maxBytes) {
        refuse(path, "which is larger than a secret");
    }
    std::string contents(maxBytes + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t read = ::read(file.get(), &contents[filled], contents.size() - filled);
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) refuse(path, "which cannot be read");
        if (read == 0) break;
        filled += static_cast<std::size_t>(read);
    }
    // It may have grown since fstat.
    if (filled > maxBytes) refuse(path, "which is larger than a secret");
    contents.resize(filled);
    return contents;
}

namespace {

bool rootOrSelf(uid_t owner) { return owner == 0 || owner == ::geteuid(); }

}  // namespace

long trustedSocketOwner(const std::string& path) {
    const auto refused = [&path](const std::string& why) {
        throw LocalSecretRefused("The local socket " + path + " " + why +
                                 ": no server that root or this user started.");
    };
    struct stat socketStatus {};
    if (::lstat(path.c_str(), &socketStatus) != 0) refused("is not there");
    if (!S_ISSOCK(socketStatus.st_mode)) refused("is not a socket");
    if (!rootOrSelf(socketStatus.st_uid)) {
        refused("belongs to user " + std::to_string(socketStatus.st_uid));
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    struct stat folderStatus {};
    if (slash == std::string::npos || ::stat(folder.c_str(), &folderStatus) != 0 ||
        !S_ISDIR(folderStatus.st_mode)) {
        refused("has no folder that can be checked");
    }
    if (!rootOrSelf(folderStatus.st_uid) || ((folderStatus.st_mode & (S_IWGRP | S_IWOTH)) != 0 &&
                                             (folderStatus.st_mode & S_ISVTX) == 0)) {
        refused("lies in a folder that others may replace it in");
    }
    return static_cast<long>(socketStatus.st_uid);
}

long listenerOwner(Uint32 port) {
    // Listening sockets in the kernel's tables: the local address ends in ":PORT" (hex), the
    // state is 0A (LISTEN), and the eighth field is the owner's uid. Every listener on the port
    // counts: another account may listen on 127.0.0.1 beside the server listening on another
    // address, and the client's connection would reach that one.
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ":%04X", static_cast<unsigned>(port));
    long owner = kUnknownOwner;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::FILE* file = std::fopen(table, "re");
        if (file == nullptr) continue;
        char line[512];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            char local[64], remote[64], state[8];
            unsigned long uid = 0;
            if (std::sscanf(line, " %*s %63s %63s %7s %*s %*s %*s %lu", local, remote, state,
                            &uid) != 4) {
                continue;
            }
            const std::string address = local;
            if (std::string(state) != "0A" || address.size() <= 5 ||
                address.compare(address.size() - 5, 5, suffix) != 0) {
                continue;
            }
            if (owner != kUnknownOwner && owner != static_cast<long>(uid)) {
                std::fclose(file);
                return kUnknownOwner;
            }
            owner = static_cast<long>(uid);
        }
        std::fclose(file);
    }
    return owner;
}

}  // namespace Pegasus
