#include "media/source_reader_base.h"

#include <condition_variable>
#include <mutex>

#include "media/mf_result.h"
#include "pool/ring_queue.h"

namespace OLK {

struct SourceReaderBase::PumpState {
    // Readers ask for one frame at a time: a few places are plenty, so reads never allocate.
    PumpState() { requests.reserve(4); }
    std::mutex lock;
    std::condition_variable wake;
    RingQueue<uint32_t> requests;
    bool stop = false;
};

SourceReaderBase::SourceReaderBase(SourceReaderCallback* callback) : m_callback(callback) {
    if (m_callback != nullptr) {
        m_pump = std::make_shared<PumpState>();
        m_worker = std::thread(&SourceReaderBase::pumpLoop, this, m_pump);
    }
}

SourceReaderBase::~SourceReaderBase() { stopPump(); }

void SourceReaderBase::stopPump() {
    if (!m_pump) return;
    {
        std::lock_guard<std::mutex> guard(m_pump->lock);
        m_pump->stop = true;
    }
    m_pump->wake.notify_all();
    interrupt();
    if (m_worker.joinable()) {
        // The callback may drop the last reference to its reader; the worker then leaves on
        // its own once the callback returns, touching only the shared state.
        if (m_worker.get_id() == std::this_thread::get_id()) {
            m_worker.detach();
        } else {
            m_worker.join();
        }
    }
    m_pump.reset();
}

int32_t SourceReaderBase::readSample(uint32_t streamIndex, uint32_t /*controlFlags*/,
                                     uint32_t* actualStreamIndex, uint32_t* streamFlags,
                                     int64_t* timestamp, std::shared_ptr<Sample>* sample) {
    if (m_callback == nullptr) {
        uint32_t actual = 0;
        uint32_t flags = 0;
        int64_t time = 0;
        std::shared_ptr<Sample> got;
        int32_t hr = readBlocking(streamIndex, &actual, &flags, &time, &got);
        if (actualStreamIndex != nullptr) *actualStreamIndex = actual;
        if (streamFlags != nullptr) *streamFlags = failed(hr) ? MF_SOURCE_READERF_ERROR : flags;
        if (timestamp != nullptr) *timestamp = time;
        if (sample != nullptr) *sample = succeeded(hr) ? std::move(got) : nullptr;
        return hr;
    }
    if (!m_pump) return MF_E_SHUTDOWN;
    {
        std::lock_guard<std::mutex> guard(m_pump->lock);
        if (m_pump->stop) return MF_E_SHUTDOWN;
        m_pump->requests.push_back(streamIndex);
    }
    m_pump->wake.notify_one();
    return S_OK;
}

void SourceReaderBase::pumpLoop(std::shared_ptr<PumpState> state) {
    for (;;) {
        uint32_t stream = 0;
        {
            std::unique_lock<std::mutex> guard(state->lock);
            state->wake.wait(guard, [&] { return state->stop || !state->requests.empty(); });
            if (state->stop) return;
            stream = state->requests.front();
            state->requests.pop_front();
        }
        uint32_t actual = 0;
        uint32_t flags = 0;
        int64_t time = 0;
        std::shared_ptr<Sample> sample;
        int32_t hr = readBlocking(stream, &actual, &flags, &time, &sample);
        {
            std::lock_guard<std::mutex> guard(state->lock);
            if (state->stop) return;
        }
        if (failed(hr)) {
            flags |= MF_SOURCE_READERF_ERROR;
            sample.reset();
        }
        m_callback->onReadSample(hr, actual, flags, time, std::move(sample));
    }
}

}  // namespace OLK
