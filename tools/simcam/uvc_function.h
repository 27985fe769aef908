#pragma once

// The camera's UVC function as the kernel's uvcvideo sees it: the video-control interface
// with a camera terminal and a processing unit whose controls are the simulated camera's UVC
// properties, the video-streaming interface with YUY2 frames at a few sizes, probe/commit,
// and isochronous streaming of frames rendered from the simulated state with UVC payload
// headers. The reader thread of a connection calls the request side; a streaming thread of
// its own completes the isochronous URBs at the committed frame rate.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/sim_camera.h"
#include "usbip/usbip_device.h"

namespace TVR::Simcam {

inline constexpr uint8_t kVideoControlInterface = 1;
inline constexpr uint8_t kVideoStreamingInterface = 2;
inline constexpr uint8_t kCameraTerminalId = 1;
inline constexpr uint8_t kOutputTerminalId = 2;
inline constexpr uint8_t kProcessingUnitId = 3;
inline constexpr uint8_t kVideoEndpoint = 0x81;

struct UvcFrameSize {
    uint16_t width = 0;
    uint16_t height = 0;
    std::vector<uint32_t> intervals;  // 100 ns units, the first the default
};

// The frame sizes of the YUY2 format, in frame-index order (from 1).
const std::vector<UvcFrameSize>& uvcFrameSizes();

// The camera's configuration descriptor with its video function (from the interface
// association on) replaced by this one; the vendor interface stays byte for byte. Empty when
// the descriptor has no interface association.
std::vector<uint8_t> withUvcFunction(const std::vector<uint8_t>& config, bool superSpeed);

// A YUY2 frame: colour bars shaded by the camera's brightness, contrast and exposure, with
// the frame counter in the luma of the first four pixels (little-endian).
std::vector<uint8_t> renderFrame(Sim::SimUvcState& uvc, uint16_t width, uint16_t height,
                                 uint32_t counter);
uint32_t frameCounterOf(const uint8_t* yuy2);

class UvcFunction {
public:
    UvcFunction(std::shared_ptr<Sim::SimCamera> camera, bool superSpeed);
    ~UvcFunction();
    UvcFunction(const UvcFunction&) = delete;
    UvcFunction& operator=(const UvcFunction&) = delete;

    // True for class requests addressed to the function's interfaces.
    static bool isClassRequest(const Usbip::SetupBytes& s);
    Usbip::SubmitReply classRequest(const Usbip::Submit& urb);
    void setInterface(uint16_t interface, uint16_t alternate);

    void submitVideo(Usbip::Submit urb, Usbip::UsbipDevice::Completion done);
    void cancel(uint32_t seqnum);
    void disconnect();

    uint32_t packetSize() const { return m_superSpeed ? 8192 : 3072; }
    uint32_t framesSent() const;

private:
    struct Pending {
        Usbip::Submit urb;
        Usbip::UsbipDevice::Completion done;
    };
    Usbip::SubmitReply streamingRequest(const Usbip::Submit& urb);
    Usbip::SubmitReply controlRequest(const Usbip::Submit& urb);
    void normaliseProbe(std::array<uint8_t, 48>& probe) const;
    void streamLoop();
    Usbip::SubmitReply fillUrb(const Usbip::Submit& urb);  // with m_mutex held

    std::shared_ptr<Sim::SimCamera> m_camera;
    const bool m_superSpeed;
    uint8_t m_lastError = 0;  // the request error code control

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::array<uint8_t, 48> m_probe{};
    std::array<uint8_t, 48> m_commit{};
    bool m_streaming = false;  // alternate setting 1
    bool m_stopping = false;
    std::deque<Pending> m_queue;
    std::vector<uint8_t> m_frame;  // the frame being sent
    size_t m_frameOffset = 0;
    uint8_t m_fid = 0;
    uint32_t m_frames = 0;
    std::chrono::steady_clock::time_point m_nextFrame{};
    std::thread m_streamer;
};

}  // namespace TVR::Simcam
