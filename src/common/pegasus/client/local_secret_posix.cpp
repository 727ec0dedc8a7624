#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string readLocalSecret(const std::string& path, std::size_t maxBytes) {
    // No link is followed and a FIFO does not wait for a writer; what was
    // opened is checked, not what the name pointed at a moment earlier.
    Descriptor file(
        ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) {
        if (errno == ENOENT) return std::string();
        refuse(path, errno == ELOOP ? "which is a link" : "which cannot be read");
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        refuse(path, "which is not a regular file");
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

}  // namespace Pegasus
