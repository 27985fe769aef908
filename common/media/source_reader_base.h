#pragma once

// Common half of the backends' source readers: a blocking read supplied by the backend, and
// for readers made with a callback a worker thread that runs queued reads and hands each
// result to the callback.

#include <cstdint>
#include <memory>
#include <thread>

#include "media/media_objects.h"

namespace OLK {

class SourceReaderBase : public SourceReader {
public:
    explicit SourceReaderBase(SourceReaderCallback* callback);
    ~SourceReaderBase() override;

    int32_t readSample(uint32_t streamIndex, uint32_t controlFlags, uint32_t* actualStreamIndex,
                       uint32_t* streamFlags, int64_t* timestamp,
                       std::shared_ptr<Sample>* sample) final;

protected:
    // Waits for the next frame of the stream; returns MF_E_SHUTDOWN once interrupt() ran.
    virtual int32_t readBlocking(uint32_t streamIndex, uint32_t* actualStreamIndex,
                                 uint32_t* streamFlags, int64_t* timestamp,
                                 std::shared_ptr<Sample>* sample) = 0;
    // Makes a running and every later readBlocking return.
    virtual void interrupt() = 0;
    // Derived destructors call this first, while their state still exists.
    void stopPump();

private:
    struct PumpState;
    void pumpLoop(std::shared_ptr<PumpState> state);

    SourceReaderCallback* m_callback;
    std::shared_ptr<PumpState> m_pump;
    std::thread m_worker;
};

}  // namespace OLK
