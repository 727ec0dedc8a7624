#ifndef BROCADE_PROBE_PROGRESS_LINE_H
#define BROCADE_PROBE_PROGRESS_LINE_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// One line on standard error naming the running operation and its elapsed time, redrawn each
// second, so that a person at a terminal sees that a diagnostic polled for minutes is alive.
// The line ends with a carriage return: a log line written meanwhile starts over it instead of
// after it.
class ProgressLine {
  public:
    // Shows `operation` from now until destruction; a disabled line writes nothing and starts no
    // thread.
    ProgressLine(bool enabled, std::string operation);
    // Erases the line; returns as soon as the drawing thread has seen the request.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

  private:
    void Draw();

    const std::string operation;
    const std::chrono::steady_clock::time_point started;
    std::mutex mutex;
    std::condition_variable stopRequested;
    bool stopping = false;
    std::size_t drawnLength = 0;
    std::thread drawer;
};

#endif
