#include "log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "log_sink.h"

namespace Vornet {

namespace {

constexpr unsigned int kDefaultLevel = 2;
constexpr unsigned int kHighestLevel = 4;

unsigned int LevelFromEnvironment() {
    const char* text = std::getenv("VORNET_LOG_LEVEL");
    if (text == nullptr || text[0] < '0' || text[0] > '0' + static_cast<int>(kHighestLevel) ||
        text[1] != '\0') {
        return kDefaultLevel;
    }
    return static_cast<unsigned int>(text[0] - '0');
}

// Set once, from the environment on first use or by SetMinLogLevel; never re-read.
std::atomic<int> overriddenLevel{-1};

std::string Escaped(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\r':
                escaped += "\\r";
                break;
            case '\n':
                escaped += "\\n";
                break;
            case '\\':
                escaped += "\\\\";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string UtcTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

void WriteLine(const std::string& line) {
    const char* path = std::getenv("VORNET_LOG_FILE");
    if (path != nullptr && path[0] != '\0') {
        if (std::FILE* file = std::fopen(path, "ab")) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
            return;
        }
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

unsigned int Log::GetMinLogLevel() {
    static const unsigned int fromEnvironment = LevelFromEnvironment();
    const int overridden = overriddenLevel.load();
    return overridden >= 0 ? static_cast<unsigned int>(overridden) : fromEnvironment;
}

void Log::SetMinLogLevel(unsigned int level) { overriddenLevel.store(static_cast<int>(level)); }

Log::Log(unsigned int level, const char* file, int line) : level(level), file(file), line(line) {}

Log::~Log() {
    const std::string text = stream.str();
    if (DeliverToCapture(level, file, line, text)) {
        return;
    }
    WriteLine(UtcTimestamp() + " L" + std::to_string(level) + " " + (file ? file : "?") + ":" +
              std::to_string(line) + " " + Escaped(text) + "\n");
}

std::ostringstream& Log::Stream() { return stream; }

}  // namespace Vornet
