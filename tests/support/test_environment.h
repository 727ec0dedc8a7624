#ifndef BROCADE_TEST_ENVIRONMENT_H
#define BROCADE_TEST_ENVIRONMENT_H

#include <cstdlib>
#include <string>

#if defined(_WIN32)
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif

// Sets an environment variable for the life of a scope and restores what was there before.
class ScopedEnvironment {
  public:
    ScopedEnvironment(std::string name, const std::string& value) : name(std::move(name)) {
        const char* old = std::getenv(this->name.c_str());
        hadValue = old != nullptr;
        if (hadValue) {
            oldValue = old;
        }
        setenv(this->name.c_str(), value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (hadValue) {
            setenv(name.c_str(), oldValue.c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    std::string name;
    std::string oldValue;
    bool hadValue = false;
};

#endif
