#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/capture_backend.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/synthetic/synthetic_backend.h"

namespace OLK {
namespace {

TEST(SyntheticConfig, ParsesEveryKey) {
    SyntheticConfig config;
    std::string error;
    ASSERT_TRUE(SyntheticConfig::parse(
        "cameras=2; modes=1920x1080@240:YUY2,640x480@480:NV12 ;videoinfo=0;streams=2;mics=1;"
        "name=Bench cam",
        &config, &error))
        << error;
    EXPECT_EQ(config.cameras, 2u);
    ASSERT_EQ(config.modes.size(), 2u);
    EXPECT_EQ(config.modes[0].width, 1920u);
    EXPECT_EQ(config.modes[0].fps, 240u);
    EXPECT_EQ(config.modes[1].subtype, MFVideoFormat_NV12);
    EXPECT_FALSE(config.videoInfoDuplicates);
    EXPECT_EQ(config.streams, 2u);
    EXPECT_EQ(config.microphones, 1u);
    EXPECT_EQ(config.name, "Bench cam");
}

TEST(SyntheticConfig, RejectsBadTextAndKeepsTheConfig) {
    const char* bad[] = {"cameras=17",
                         "cameras=-1",
                         "cameras=1x",
                         "modes=640x480@0:YUY2",
                         "modes=641x480@30:YUY2",
                         "modes=640x480@30:H264",
                         "modes=640x480:YUY2",
                         "modes=",
                         "speed=3",
                         "cameras",
                         "modes=640x99999@30:NV12",
                         "videoinfo=2"};
    for (const char* text : bad) {
        SyntheticConfig config;
        std::string error;
        EXPECT_FALSE(SyntheticConfig::parse(text, &config, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(config.cameras, 1u) << text;
        EXPECT_TRUE(config.modes.empty()) << text;
    }
}

TEST(SyntheticConfig, EnvironmentSelectsTheBackend) {
    setenv("OLK_SYNTHETIC", "cameras=3;modes=320x240@1000:RGB32", 1);
    auto backend = makeCaptureBackend();
    unsetenv("OLK_SYNTHETIC");
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->name(), "synthetic");
    std::vector<std::shared_ptr<Activate>> devices;
    ASSERT_EQ(backend->enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices), S_OK);
    EXPECT_EQ(devices.size(), 3u);
    EXPECT_EQ(makeCaptureBackend()->name(), "v4l2");
}

std::shared_ptr<Attributes> modeType(uint32_t w, uint32_t h, uint32_t fps, const GUID& subtype) {
    auto mt = std::make_shared<Attributes>();
    mt->setGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    mt->setGUID(MF_MT_SUBTYPE, subtype);
    mt->setPair(MF_MT_FRAME_SIZE, w, h);
    mt->setPair(MF_MT_FRAME_RATE, fps, 1);
    return mt;
}

std::shared_ptr<SourceReader> openReader(SyntheticBackend& backend, SourceReaderCallback* callback,
                                         std::shared_ptr<MediaSource>* source) {
    std::vector<std::shared_ptr<Activate>> devices;
    backend.enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices);
    if (devices.empty() || failed(devices[0]->activateObject(source))) return nullptr;
    std::shared_ptr<SourceReader> reader;
    if (failed((*source)->createSourceReader(nullptr, callback, &reader))) return nullptr;
    return reader;
}

SyntheticConfig smallCamera(const char* modes) {
    SyntheticConfig config;
    std::string error;
    EXPECT_TRUE(SyntheticConfig::parse(modes, &config, &error)) << error;
    return config;
}

TEST(SyntheticReader, RejectsModesTheCameraDoesNotHave) {
    SyntheticBackend backend(smallCamera("modes=64x48@1000:YUY2"));
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, nullptr, &source);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->setCurrentMediaType(0, *modeType(64, 48, 1000, MFVideoFormat_NV12)),
              MF_E_INVALIDMEDIATYPE);
    EXPECT_EQ(reader->setCurrentMediaType(7, *modeType(64, 48, 1000, MFVideoFormat_YUY2)),
              MF_E_INVALIDSTREAMNUMBER);
    std::shared_ptr<Sample> sample;
    uint32_t stream = 0, flags = 0;
    int64_t time = 0;
    EXPECT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &sample), MF_E_INVALIDREQUEST);
}

TEST(SyntheticReader, StampsConsecutiveNumbersWithTimesAtTheModeRate) {
    SyntheticBackend backend(smallCamera("modes=64x48@1000:NV12"));
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, nullptr, &source);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->setCurrentMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM,
                                          *modeType(64, 48, 1000, MFVideoFormat_NV12)),
              S_OK);
    for (uint32_t n = 0; n < 20; ++n) {
        std::shared_ptr<Sample> sample;
        uint32_t stream = 9, flags = 9;
        int64_t time = -1;
        ASSERT_EQ(reader->readSample(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &stream, &flags, &time,
                                     &sample),
                  S_OK);
        EXPECT_EQ(stream, 0u);
        EXPECT_EQ(flags, 0u);
        EXPECT_EQ(time, static_cast<int64_t>(n) * 10000);  // 1 ms in 100-ns units
        EXPECT_EQ(sample->sequence(), static_cast<int64_t>(n));
        std::shared_ptr<MediaBuffer> buffer;
        ASSERT_EQ(sample->convertToContiguousBuffer(&buffer), S_OK);
        uint8_t* data = nullptr;
        uint32_t length = 0;
        ASSERT_EQ(buffer->lock(&data, nullptr, &length), S_OK);
        EXPECT_EQ(length, 64u * 48u * 3u / 2u);
        uint32_t number = 0;
        ASSERT_TRUE(readSyntheticFrameNumber(data, length, &number));
        EXPECT_EQ(number, n);
        buffer->unlock();
    }
}

TEST(SyntheticReader, PackedFramesScrollOnePatternWithOnlyTheirOwnStamp) {
    // Frames are made as windows into one scrolling image, or rendered while a reader still
    // holds the previous window; both must give the same pictures, each with its own stamp.
    constexpr uint32_t kW = 64, kH = 48, kStride = kW * 2, kShift = 4;  // YUY2 moves 4 rows
    SyntheticBackend backend(smallCamera("modes=64x48@1000:YUY2"));
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, nullptr, &source);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->setCurrentMediaType(0, *modeType(kW, kH, 1000, MFVideoFormat_YUY2)), S_OK);
    auto bytesOf = [](const std::shared_ptr<Sample>& sample) {
        std::shared_ptr<MediaBuffer> buffer;
        EXPECT_EQ(sample->convertToContiguousBuffer(&buffer), S_OK);
        uint8_t* data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(buffer->lock(&data, nullptr, &length), S_OK);
        std::vector<uint8_t> bytes(data, data + length);
        buffer->unlock();
        return bytes;
    };
    std::vector<std::vector<uint8_t>> frames;
    std::shared_ptr<Sample> held;
    std::vector<uint8_t> heldBytes;
    // Past the 64 frames after which the image's phases come round again.
    for (uint32_t n = 0; n < 72; ++n) {
        std::shared_ptr<Sample> sample;
        uint32_t stream = 0, flags = 0;
        int64_t time = 0;
        ASSERT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &sample), S_OK);
        ASSERT_EQ(sample->sequence(), static_cast<int64_t>(n));
        frames.push_back(bytesOf(sample));
        ASSERT_EQ(frames.back().size(), kStride * kH);
        if (n == 10) {
            held = sample;
            heldBytes = frames.back();
        }
        if (n == 14) {
            EXPECT_EQ(bytesOf(held), heldBytes) << "a held frame changed under its reader";
            held.reset();
        }
        if (n == 71) {
            held = sample;
            heldBytes = frames.back();
        }
    }
    // A frame held across a change of mode keeps its bytes.
    ASSERT_EQ(reader->setCurrentMediaType(0, *modeType(kW, kH, 1000, MFVideoFormat_YUY2)), S_OK);
    std::shared_ptr<Sample> next;
    uint32_t stream = 0, flags = 0;
    int64_t time = 0;
    ASSERT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &next), S_OK);
    next.reset();
    EXPECT_EQ(bytesOf(held), heldBytes);
    for (uint32_t n = 0; n < frames.size(); ++n) {
        uint32_t number = 0;
        ASSERT_TRUE(readSyntheticFrameNumber(frames[n].data(), frames[n].size(), &number));
        EXPECT_EQ(number, n);
        if (n == 0) continue;
        // Row y of frame n is row y + 4 of frame n - 1; only the first 8 bytes hold a stamp.
        for (uint32_t y = 0; y + kShift < kH; ++y) {
            for (uint32_t x = y == 0 ? 8 : 0; x < kStride; ++x) {
                ASSERT_EQ(frames[n][y * kStride + x], frames[n - 1][(y + kShift) * kStride + x])
                    << "frame " << n << " row " << y << " byte " << x;
            }
        }
    }
}

TEST(SyntheticReader, ALateReaderLosesTheFramesBeyondTheCamerasBuffers) {
    SyntheticConfig config = smallCamera("modes=64x48@1000:YUY2;buffers=2");
    EXPECT_EQ(config.buffers, 2u);
    SyntheticBackend backend(config);
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, nullptr, &source);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->setCurrentMediaType(0, *modeType(64, 48, 1000, MFVideoFormat_YUY2)), S_OK);
    auto next = [&] {
        std::shared_ptr<Sample> sample;
        uint32_t stream = 0, flags = 0;
        int64_t time = 0;
        EXPECT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &sample), S_OK);
        return sample ? sample->sequence() : -1;
    };
    EXPECT_EQ(next(), 0);
    // Stands for a reader that fell behind: at 1000 fps, 30 ms is 30 frames, 2 of them held.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int64_t after = next();
    EXPECT_GE(after, 29);
    EXPECT_GT(next(), after);
}

TEST(SyntheticReader, UnplugEndsReadsAndIsReported) {
    SyntheticBackend backend(smallCamera("modes=64x48@1000:RGB24"));
    std::vector<DeviceChangeEvent> events;
    std::mutex lock;
    backend.setDeviceChangeListener([&](const DeviceChangeEvent& e) {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(e);
    });
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, nullptr, &source);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->setCurrentMediaType(0, *modeType(64, 48, 1000, MFVideoFormat_RGB24)), S_OK);
    std::shared_ptr<Sample> sample;
    uint32_t stream = 0, flags = 0;
    int64_t time = 0;
    ASSERT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &sample), S_OK);
    backend.camera(0)->unplug();
    EXPECT_EQ(reader->readSample(0, 0, &stream, &flags, &time, &sample), E_DEVICE_GONE);
    EXPECT_EQ(flags, MF_SOURCE_READERF_ERROR);
    EXPECT_EQ(sample, nullptr);
    backend.camera(0)->replug();
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].deviceType, kDbtDevTypDeviceInterface);
    EXPECT_EQ(events[0].eventType, kDbtDeviceRemoveComplete);
    EXPECT_EQ(events[0].deviceName, "synthetic:video0");
    EXPECT_EQ(events[1].eventType, kDbtDeviceArrival);
}

// Collects frame numbers from asynchronous reads and asks for the next frame from inside the
// callback, as the viewer's asynchronous reader does.
class CountingCallback : public SourceReaderCallback {
public:
    int32_t onReadSample(int32_t status, uint32_t /*stream*/, uint32_t /*flags*/,
                         int64_t /*timestamp*/, std::shared_ptr<Sample> sample) override {
        std::unique_lock<std::mutex> guard(m_lock);
        if (failed(status) || !sample) {
            m_status = status;
            m_done.notify_all();
            return status;
        }
        std::shared_ptr<MediaBuffer> buffer;
        sample->convertToContiguousBuffer(&buffer);
        uint8_t* data = nullptr;
        uint32_t length = 0;
        buffer->lock(&data, nullptr, &length);
        uint32_t number = 0;
        if (readSyntheticFrameNumber(data, length, &number)) m_numbers.push_back(number);
        buffer->unlock();
        if (m_numbers.size() >= kWanted) {
            m_done.notify_all();
            return S_OK;
        }
        SourceReader* reader = m_reader;
        guard.unlock();
        return reader->readSample(0, 0, nullptr, nullptr, nullptr, nullptr);
    }

    bool waitDone() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_done.wait(guard, [&] { return m_numbers.size() >= kWanted || m_status != S_OK; });
        return m_status == S_OK;
    }

    static constexpr size_t kWanted = 10;
    SourceReader* m_reader = nullptr;
    std::mutex m_lock;
    std::condition_variable m_done;
    std::vector<uint32_t> m_numbers;
    int32_t m_status = S_OK;
};

TEST(SyntheticReader, CallbackReadsDeliverFramesInOrder) {
    SyntheticBackend backend(smallCamera("modes=64x48@1000:YUY2"));
    CountingCallback callback;
    std::shared_ptr<MediaSource> source;
    auto reader = openReader(backend, &callback, &source);
    ASSERT_TRUE(reader);
    callback.m_reader = reader.get();
    ASSERT_EQ(reader->setCurrentMediaType(0, *modeType(64, 48, 1000, MFVideoFormat_YUY2)), S_OK);
    ASSERT_EQ(reader->readSample(0, 0, nullptr, nullptr, nullptr, nullptr), S_OK);
    ASSERT_TRUE(callback.waitDone());
    reader.reset();
    std::lock_guard<std::mutex> guard(callback.m_lock);
    for (size_t i = 0; i < CountingCallback::kWanted; ++i) EXPECT_EQ(callback.m_numbers[i], i);
}

TEST(SyntheticReader, FrameNumberNeedsItsCheckWord) {
    uint8_t bytes[8] = {5, 0, 0, 0, 0xFA, 0xFF, 0xFF, 0xFF};
    uint32_t number = 0;
    EXPECT_TRUE(readSyntheticFrameNumber(bytes, sizeof(bytes), &number));
    EXPECT_EQ(number, 5u);
    bytes[5] = 0;
    EXPECT_FALSE(readSyntheticFrameNumber(bytes, sizeof(bytes), &number));
    EXPECT_FALSE(readSyntheticFrameNumber(bytes, 7, &number));
    EXPECT_FALSE(readSyntheticFrameNumber(nullptr, 8, &number));
}

}  // namespace
}  // namespace OLK
