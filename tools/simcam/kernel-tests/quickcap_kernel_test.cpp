#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/capture_pipeline.h"
#include "core/frame_stamp.h"
#include "core/pipeline_rules.h"
#include "kernel_rig.h"
#include "media/capture_backend.h"
#include "media/media_type.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "pool/work_slot.h"
#include "uvc_function.h"

namespace TVR::KernelTests {
namespace {

using Clock = std::chrono::steady_clock;

// Stands in for a window's presenter: keeps the camera's own number of each frame it is given
// (from the frame's first pixels) and the driver's buffer sequence from the slot header.
class FrameNumberRenderer : public OLK::FrameRenderer {
public:
    int32_t setMediaType(const std::shared_ptr<OLK::Attributes>&) override {
        std::lock_guard lock(m_mutex);
        // Each start is a run of its own.
        m_cameraNumbers.clear();
        m_sequences.clear();
        return OLK::S_OK;
    }
    int32_t render(OLK::WorkSlot* slot) override {
        std::lock_guard lock(m_mutex);
        m_cameraNumbers.push_back(Simcam::frameCounterOf(slot->data()));
        m_sequences.push_back(OLK::readStamp(slot).sequence);
        return OLK::S_OK;
    }
    OLK::CounterSnapshot conversionCounter() const override { return {"convert to RGBA32", 0}; }
    void setConversionThreads(uint32_t) override {}

    size_t count() const {
        std::lock_guard lock(m_mutex);
        return m_cameraNumbers.size();
    }
    std::vector<uint32_t> cameraNumbers() const {
        std::lock_guard lock(m_mutex);
        return m_cameraNumbers;
    }
    std::vector<int64_t> sequences() const {
        std::lock_guard lock(m_mutex);
        return m_sequences;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_cameraNumbers;
    std::vector<int64_t> m_sequences;
};

// The dialog thread's part while capture runs: the replay window's timer ticks (here every
// millisecond) until `done` holds; false when `limit` passed first.
bool tickReplayUntil(OLK::CapturePipeline& pipeline, const std::function<bool()>& done,
                     std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        pipeline.replayTick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

template <typename T>
bool consecutive(const std::vector<T>& numbers) {
    for (size_t i = 1; i < numbers.size(); ++i) {
        if (numbers[i] != numbers[i - 1] + 1) return false;
    }
    return true;
}

std::string listed(const std::vector<uint32_t>& numbers) {
    std::string text;
    for (const uint32_t n : numbers) text += std::to_string(n) + " ";
    return text;
}

// The pipeline's index of the capture node with that link, once the V4L2 catalogue lists it.
std::optional<int> deviceIndex(OLK::CapturePipeline& pipeline, const std::string& link) {
    std::optional<int> index;
    waitFor([&] {
        pipeline.enumerate();
        const auto& devices = pipeline.devices();
        for (size_t i = 0; i < devices.size(); ++i) {
            std::string l;
            devices[i]->getAllocatedString(
                OLK::MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, &l);
            if (l == link) index = static_cast<int>(i);
        }
        return index.has_value();
    });
    return index;
}

// The device's mode of that size with the lowest rate it offers: emulated USB carries a few
// megabytes a second, and the test is about every frame arriving, not about speed.
std::optional<OLK::Selection> slowestMode(OLK::CapturePipeline& pipeline, int device,
                                          uint16_t width, uint16_t height) {
    const std::string size = " " + std::to_string(width) + " x " + std::to_string(height) + ",";
    const auto texts = pipeline.modeTexts(device, 0);
    std::optional<OLK::Selection> best;
    int bestRate = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].find(size) == std::string::npos) continue;
        const OLK::Selection s{device, 0, static_cast<int>(i)};
        const auto rate = pipeline.modeMaxRate(s);
        if (rate && *rate > 0 && (!best || *rate < bestRate)) {
            best = s;
            bestRate = *rate;
        }
    }
    return best;
}

struct QuickcapRig {
    QuickcapRig()
        : pipeline(OLK::makeV4l2Backend("/dev"), OLK::kMinPoolBytes, &realTime, &replay) {}
    FrameNumberRenderer realTime;
    FrameNumberRenderer replay;
    OLK::CapturePipeline pipeline;
};

constexpr size_t kFrames = 30;
constexpr auto kFrameLimit = std::chrono::seconds(60);

// One run of the viewer on the started selection: kFrames frames through both windows, each
// the camera's next one, nothing dropped on the way.
void expectEveryFrameInOrder(QuickcapRig& rig, const char* reader) {
    SCOPED_TRACE(reader);
    const auto begin = Clock::now();
    ASSERT_TRUE(tickReplayUntil(
        rig.pipeline, [&] { return rig.realTime.count() >= kFrames; }, kFrameLimit))
        << rig.realTime.count() << " frames shown";
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    ASSERT_TRUE(tickReplayUntil(
        rig.pipeline, [&] { return rig.replay.count() >= kFrames; }, std::chrono::seconds(10)))
        << rig.replay.count() << " frames replayed";
    const OLK::PipelineCounters c = rig.pipeline.counters();
    const auto shown = rig.realTime.cameraNumbers();
    const auto replayed = rig.replay.cameraNumbers();
    const auto sequences = rig.realTime.sequences();

    EXPECT_GE(c.received, kFrames);
    EXPECT_EQ(c.dropped, 0u) << "the driver's sequence has gaps";
    EXPECT_EQ(c.poolFull, 0u);
    EXPECT_TRUE(consecutive(shown)) << listed(shown);
    EXPECT_TRUE(consecutive(sequences)) << "driver sequence out of step";
    // The replay window shows the same frames in the same order.
    const size_t common = std::min(replayed.size(), shown.size());
    EXPECT_EQ(std::vector<uint32_t>(replayed.begin(), replayed.begin() + common),
              std::vector<uint32_t>(shown.begin(), shown.begin() + common));
    std::printf("quickcap %s reader: %zu frames at %.1f fps\n", reader, shown.size(),
                static_cast<double>(kFrames) / seconds);
}

TEST(QuickcapOnUvcvideo, BothReadersCaptureEveryFrameInOrder) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const auto node = captureNodeAt(kernelLocationOf(0x04B4, 0x00F1));
    ASSERT_TRUE(node);
    QuickcapRig rig;
    ASSERT_TRUE(rig.pipeline.openDisplay());
    const auto device = deviceIndex(rig.pipeline, node->symbolicLink);
    ASSERT_TRUE(device) << node->symbolicLink << " not in the catalogue";
    const auto selection = slowestMode(rig.pipeline, *device, 640, 480);
    ASSERT_TRUE(selection) << "no 640 x 480 mode";
    const int rate = *rig.pipeline.modeMaxRate(*selection);
    rig.pipeline.setSelection(*selection);
    rig.pipeline.setSlowMotion(false);
    rig.pipeline.setPlaybackRate(rate);

    ASSERT_EQ(rig.pipeline.start(), OLK::CapturePipeline::StartResult::kStarted);
    ASSERT_TRUE(rig.pipeline.startedMode());
    EXPECT_EQ(rig.pipeline.startedMode()->frameSize().width, 640u);
    EXPECT_EQ(rig.pipeline.startedMode()->frameSize().height, 480u);
    // 100 MiB of 640 x 480 YUY2 frames with their slot headers.
    EXPECT_EQ(rig.pipeline.pool()->countTotalBlocks(), OLK::kMinPoolBytes / (640 * 480 * 2));
    expectEveryFrameInOrder(rig, "asynchronous");

    // A restart in the synchronized mode reads the same node with blocking reads.
    rig.pipeline.setSynchronized(true);
    ASSERT_EQ(rig.pipeline.start(), OLK::CapturePipeline::StartResult::kStarted);
    expectEveryFrameInOrder(rig, "synchronized");
    rig.pipeline.close();
}

TEST(QuickcapOnUvcvideo, UnplugIsTheOpenDevicesLossAndLaunchRestartsWhenBack) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const std::string location = kernelLocationOf(0x04B4, 0x00F1);
    const auto node = captureNodeAt(location);
    ASSERT_TRUE(node);
    // Declared before the backend, whose watcher thread may report until it goes.
    std::mutex m;
    std::vector<OLK::DeviceChangeEvent> events;
    auto backend = OLK::makeV4l2Backend("/dev");
    backend->setDeviceChangeListener([&](const OLK::DeviceChangeEvent& e) {
        std::lock_guard lock(m);
        events.push_back(e);
    });
    FrameNumberRenderer realTime, replay;
    OLK::CapturePipeline pipeline(backend, OLK::kMinPoolBytes, &realTime, &replay);
    ASSERT_TRUE(pipeline.openDisplay());
    auto device = deviceIndex(pipeline, node->symbolicLink);
    ASSERT_TRUE(device);
    auto selection = slowestMode(pipeline, *device, 320, 240);
    ASSERT_TRUE(selection);
    pipeline.setSelection(*selection);
    ASSERT_EQ(pipeline.start(), OLK::CapturePipeline::StartResult::kStarted);
    ASSERT_TRUE(tickReplayUntil(
        pipeline, [&] { return realTime.count() >= 4; }, kFrameLimit));
    EXPECT_TRUE(pipeline.capturing());

    // The dialog hands every device change to the pipeline; only the open node's removal is
    // its loss, and it is reported once.
    k.driver.unplug(k.cam);
    auto removalOf = [&](const std::string& link) {
        std::lock_guard lock(m);
        for (const auto& e : events) {
            if (e.eventType == OLK::kDbtDeviceRemoveComplete && e.deviceName == link) return true;
        }
        return false;
    };
    ASSERT_TRUE(waitFor([&] { return removalOf(node->symbolicLink); }))
        << "no removal of " << node->symbolicLink;
    size_t losses = 0;
    {
        std::lock_guard lock(m);
        for (const auto& e : events) losses += pipeline.handleDeviceChange(e);
    }
    EXPECT_EQ(losses, 1u);
    EXPECT_FALSE(pipeline.capturing());

    // Launch again once the camera is back: a fresh catalogue finds its node, frames flow.
    k.driver.plug(k.cam);
    const auto back = captureNodeAt(location);
    ASSERT_TRUE(back);
    device = deviceIndex(pipeline, back->symbolicLink);
    ASSERT_TRUE(device);
    selection = slowestMode(pipeline, *device, 320, 240);
    ASSERT_TRUE(selection);
    pipeline.setSelection(*selection);
    ASSERT_EQ(pipeline.start(), OLK::CapturePipeline::StartResult::kStarted);
    ASSERT_TRUE(tickReplayUntil(
        pipeline, [&] { return realTime.count() >= 4; }, kFrameLimit));
    EXPECT_TRUE(consecutive(realTime.cameraNumbers())) << listed(realTime.cameraNumbers());
    EXPECT_EQ(pipeline.counters().dropped, 0u);
    pipeline.close();
    backend->setDeviceChangeListener(nullptr);
}

}  // namespace
}  // namespace TVR::KernelTests
