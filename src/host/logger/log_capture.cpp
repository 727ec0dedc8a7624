#include "log_capture.h"

#include <mutex>

#include "log_sink.h"

namespace Vornet {

namespace {

std::mutex captureMutex;
bool capturing = false;
std::vector<LogRecord> captured;

}  // namespace

bool DeliverToCapture(unsigned int level, const char* file, int line, const std::string& text) {
    std::lock_guard<std::mutex> lock(captureMutex);
    if (!capturing) {
        return false;
    }
    captured.push_back(LogRecord{level, file ? file : "", line, text});
    return true;
}

LogCapture::LogCapture() {
    std::lock_guard<std::mutex> lock(captureMutex);
    capturing = true;
    captured.clear();
}

LogCapture::~LogCapture() {
    std::lock_guard<std::mutex> lock(captureMutex);
    capturing = false;
    captured.clear();
}

std::vector<LogRecord> LogCapture::Records() const {
    std::lock_guard<std::mutex> lock(captureMutex);
    return captured;
}

std::vector<std::string> LogCapture::Texts() const {
    std::vector<std::string> texts;
    for (const LogRecord& record : Records()) {
        texts.push_back(record.text);
    }
    return texts;
}

void LogCapture::Clear() {
    std::lock_guard<std::mutex> lock(captureMutex);
    captured.clear();
}

}  // namespace Vornet
