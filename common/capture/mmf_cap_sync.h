#pragma once

// A capture device opened for blocking frame reads (the viewer's synchronized capture mode).
// SetDevice, readFrameBlocking and CloseDevice come from the capture and window threads in the
// order the viewer fixes; CheckDeviceLost may run on the window thread at any time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "media/media_objects.h"
#include "olk_export.h"

namespace OLK {

class WorkSlot;

class OLK_EXPORT MmfCapSync {
public:
    MmfCapSync() = default;
    MmfCapSync(const MmfCapSync&) = delete;
    MmfCapSync& operator=(const MmfCapSync&) = delete;
    ~MmfCapSync();

    // Opens the device's source with the media type as the stream's current type. E_INVALIDARG
    // for a null argument or a subtype the converter cannot show; otherwise the failing step's
    // result (the object is then closed).
    int32_t SetDevice(Activate* activate, uint32_t streamIndex, Attributes* mediaType);
    // Waits for one frame and copies it to slot->data(). The slot is written only on S_OK.
    // Frames longer than the mode's frame size (the size the viewer gives each slot) are
    // refused with MF_E_BUFFERTOOSMALL rather than written past the slot.
    int32_t readFrameBlocking(WorkSlot* slot);
    // The same with the slot's data area size given explicitly.
    int32_t readFrameBlocking(WorkSlot* slot, size_t capacity);
    // The same, also giving the frame's number (-1 when the device has none) and time stamp.
    int32_t readFrameBlocking(WorkSlot* slot, int64_t* sequence, int64_t* sampleTime);
    // E_POINTER for a null lost; otherwise S_OK with *lost = 1 when the event names the open
    // device (device-interface event, name equal to the link ignoring case).
    int32_t CheckDeviceLost(const DeviceChangeEvent* header, int* lost) const;
    // Forgets the link; the reader stays until the next SetDevice or destruction.
    int32_t CloseDevice();

    // The largest frame readFrameBlocking(slot) accepts: the mode's sample size, or height x
    // default stride.
    size_t frameLimit() const;
    bool isOpen() const;

private:
    int32_t read(WorkSlot* slot, size_t capacity, int64_t* sequence, int64_t* sampleTime);

    mutable std::mutex m_lock;
    std::shared_ptr<SourceReader> m_reader;
    std::optional<std::string> m_symbolicLink;
    uint32_t m_streamIndex = MF_SOURCE_READER_FIRST_VIDEO_STREAM;
    size_t m_frameLimit = 0;
};

}  // namespace OLK
