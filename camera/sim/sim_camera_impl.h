#pragma once

// Inside a SimCamera: shared by the camera and the driver that carries its requests.

#include <mutex>

#include "sim/sim_camera.h"

namespace TVR::Sim {

struct SimCamera::Impl {
    mutable std::mutex mutex;
    SimCameraConfig config;
    uint16_t productId = 0;  // as enumerated now; the boot loader's while that runs
    std::shared_ptr<SimFirmware> firmware;
    SimFaults faults;
    std::vector<SimRequestRecord> requests;
    size_t requestsDropped = 0;  // index base of `requests` after a clear
    std::unique_ptr<SimUvcState> uvc;

    // Counts one transfer request against the faults; tells what happens to it.
    struct Verdict {
        bool fail = false;
        bool stall = false;
        bool corrupt = false;
        bool unplug = false;
        int32_t replugMs = -1;  // with unplug: the camera returns this many ms later
    };
    Verdict judgeTransfer(bool in);
    size_t record(const SimRequestRecord& r);
    void markCompleted(size_t serial);
};

}  // namespace TVR::Sim
