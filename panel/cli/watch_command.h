#pragma once

// brisco-cli watch: waits for cameras to arrive and loads a settings file into each one, one
// line per camera, until interrupted (or until it handled the number of cameras it was told).
// For production lines and kiosks, where a camera plugged in must come up with known settings.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace TVR {
class UsbDriver;
}  // namespace TVR

namespace TVR::Cli {

extern const char* const kWatchHelp;
// Printed to the error stream once the command listens for cameras.
extern const char* const kWatchWaitingText;

// The interface paths of cameras that arrive on a driver, in arrival order. Cameras present
// when it starts are not arrivals. The driver calls in on its own thread; next() is for the
// command's thread.
class CameraArrivals {
public:
    explicit CameraArrivals(UsbDriver& driver);
    ~CameraArrivals();
    CameraArrivals(const CameraArrivals&) = delete;
    CameraArrivals& operator=(const CameraArrivals&) = delete;

    bool listening() const { return m_token >= 0; }
    // The next arrival's path, waiting at most `wait`; empty when none came.
    std::optional<std::string> next(std::chrono::milliseconds wait);

private:
    struct Queue {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<std::string> paths;
    };
    UsbDriver& m_driver;
    std::shared_ptr<Queue> m_queue;
    int m_token = -1;
};

// Set from a signal handler: the watch ends after the camera it is working on.
std::atomic<bool>& watchStopRequested();

// `args` are the command's own arguments. The exit code: 0 when every camera took the file,
// 1 when one did not (the loop goes on with the next), 2 for a usage error.
int runWatch(const std::vector<std::string>& args, const CameraChoice& camera, std::ostream& out,
             std::ostream& err);

}  // namespace TVR::Cli
