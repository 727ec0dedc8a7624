#ifndef BROCADE_TEST_ENVIRONMENT_H
#define BROCADE_TEST_ENVIRONMENT_H

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#if defined(_WIN32)
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif

// Sets an environment variable for the life of a scope and restores what was there before.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value) : name(std::move(name)) {
        if (const char* old = std::getenv(this->name.c_str())) oldValue = old;
        setenv(this->name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (oldValue) {
            setenv(name.c_str(), oldValue->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name;
    std::optional<std::string> oldValue;
};

// A new folder of its own under the system's temporary one, removed with the object: builds run
// their suites side by side.
class TemporaryDirectory {
  public:
    explicit TemporaryDirectory(const std::string& name) : path(NewFolder(name)) {}
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    std::string file(const std::string& name) const { return (path / name).string(); }

    const std::filesystem::path path;

  private:
    // Made here and now, never one that already existed: it is this test's alone.
    static std::filesystem::path NewFolder(const std::string& name) {
        std::random_device random;
        for (;;) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / (name + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) return candidate;
        }
    }
};

#endif
