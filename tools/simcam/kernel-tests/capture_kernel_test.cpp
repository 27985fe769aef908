#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>

#include "kernel_rig.h"
#include "media/capture_backend.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "protocol/uvc_property_ids.h"
#include "sim/sim_uvc.h"
#include "uvc_function.h"
#include "video/capture_device.h"
#include "video/sysfs_capture_devices.h"
#include "video/v4l2_uvc_properties.h"

namespace TVR::KernelTests {
namespace {

using UvcCameraControl::kExposure;
using UvcProcAmp::kBrightness;
using UvcProcAmp::kContrast;
using UvcProcAmp::kWhiteBalance;

std::optional<CaptureDevice> vividNode() {
    for (const auto& d : listV4l2CaptureDevices({})) {
        if (d.name.find("vivid") != std::string::npos) return d;
    }
    return std::nullopt;
}

TEST(CaptureSideOnSysfs, UvcNodeSitsAtTheCamerasLocationAndVividIsSoftware) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const std::string location = kernelLocationOf(0x04B4, 0x00F1);
    const auto node = captureNodeAt(location);
    ASSERT_TRUE(node) << "no capture node at " << location;
    EXPECT_EQ(node->name, "Brisco USB3 camera");
    EXPECT_FALSE(node->softwareDevice);
    EXPECT_EQ(node->symbolicLink.rfind("/dev/video", 0), 0u) << node->symbolicLink;

    const auto vivid = vividNode();
    ASSERT_TRUE(vivid);
    EXPECT_TRUE(vivid->softwareDevice);
    EXPECT_TRUE(vivid->location.empty());
    // Only the capture node of each device is listed, not its metadata node.
    size_t atCamera = 0;
    for (const auto& d : listV4l2CaptureDevices({})) atCamera += d.location == location;
    EXPECT_EQ(atCamera, 1u);
}

TEST(UvcPropertiesOverV4l2, UvcvideoControlsAreTheSimulatedCamerasProperties) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const auto node = captureNodeAt(kernelLocationOf(0x04B4, 0x00F1));
    ASSERT_TRUE(node);
    V4l2UvcProperties props(node->symbolicLink);
    ASSERT_TRUE(props.isOpen());
    auto* amp = props.procAmp();
    auto* cc = props.cameraControl();
    ASSERT_TRUE(amp);
    ASSERT_TRUE(cc);
    auto& uvc = k.cam->uvc();

    const auto br = amp->range(kBrightness);
    ASSERT_TRUE(br);
    EXPECT_EQ(br->min, -64);
    EXPECT_EQ(br->max, 64);
    EXPECT_EQ(br->defaultValue, 0);
    EXPECT_TRUE(amp->set(kBrightness, 10, kUvcFlagManual));
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::ProcAmp, kBrightness)->value, 10);
    EXPECT_EQ(amp->get(kBrightness)->value, 10);
    EXPECT_TRUE(amp->set(kContrast, 50, kUvcFlagManual));
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::ProcAmp, kContrast)->value, 50);

    // White balance: automatic after power-up, then a manual temperature.
    ASSERT_TRUE(amp->get(kWhiteBalance));
    EXPECT_EQ(amp->get(kWhiteBalance)->flags, kUvcFlagAuto);
    EXPECT_TRUE(amp->set(kWhiteBalance, 5000, kUvcFlagManual));
    auto wb = uvc.property(Sim::SimUvcSet::ProcAmp, kWhiteBalance);
    EXPECT_EQ(wb->value, 5000);
    EXPECT_EQ(wb->flags, Sim::kSimUvcManual);
    EXPECT_TRUE(amp->set(kWhiteBalance, 5000, kUvcFlagAuto));
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::ProcAmp, kWhiteBalance)->flags, Sim::kSimUvcAuto);

    // Exposure in log2 seconds over the 100 µs units of the camera terminal.
    const auto ex = cc->range(kExposure);
    ASSERT_TRUE(ex);
    EXPECT_EQ(ex->min, -13);
    EXPECT_EQ(ex->max, -1);
    EXPECT_TRUE(cc->set(kExposure, -8, kUvcFlagManual));
    auto e = uvc.property(Sim::SimUvcSet::CameraControl, kExposure);
    EXPECT_EQ(e->value, -8);
    EXPECT_EQ(e->flags, Sim::kSimUvcManual);
    const auto got = cc->get(kExposure);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->value, -8);
    EXPECT_EQ(got->flags, kUvcFlagManual);
    EXPECT_TRUE(cc->set(kExposure, -8, kUvcFlagAuto));
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::CameraControl, kExposure)->flags, Sim::kSimUvcAuto);

    // Out of range: refused by the driver or the camera, and nothing changes.
    EXPECT_FALSE(amp->set(kBrightness, 500, kUvcFlagManual));
    EXPECT_EQ(uvc.property(Sim::SimUvcSet::ProcAmp, kBrightness)->value, 10);
}

TEST(UvcPropertiesOverV4l2, VividControls) {
    const auto vivid = vividNode();
    ASSERT_TRUE(vivid);
    V4l2UvcProperties props(vivid->symbolicLink);
    ASSERT_TRUE(props.procAmp());
    const auto br = props.procAmp()->range(kBrightness);
    ASSERT_TRUE(br);
    EXPECT_EQ(br->min, 0);
    EXPECT_EQ(br->max, 255);
    EXPECT_TRUE(props.procAmp()->set(kBrightness, 100, kUvcFlagManual));
    EXPECT_EQ(props.procAmp()->get(kBrightness)->value, 100);
    EXPECT_TRUE(props.procAmp()->set(kBrightness, br->defaultValue, kUvcFlagManual));
}

// --- olmek-common's V4L2 backend -------------------------------------------------------------

struct Mode {
    OLK::GUID subtype{};
    uint32_t width = 0, height = 0, rateNum = 0, rateDen = 0;
    std::shared_ptr<OLK::Attributes> type;
};

// The enumerated device with that link; `seen` collects the links listed.
std::shared_ptr<OLK::Activate> deviceByLink(const std::string& link, std::string* seen = nullptr) {
    auto backend = OLK::makeV4l2Backend("/dev");
    std::vector<std::shared_ptr<OLK::Activate>> devices;
    if (backend->enumDevices(OLK::MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices) !=
        OLK::S_OK) {
        return nullptr;
    }
    for (auto& d : devices) {
        std::string l;
        d->getAllocatedString(OLK::MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, &l);
        if (seen) *seen += l + " ";
        if (l == link) return d;
    }
    return nullptr;
}

std::vector<Mode> modesOf(OLK::MediaSource& source) {
    std::vector<Mode> out;
    std::shared_ptr<OLK::PresentationDescriptor> pd;
    if (source.createPresentationDescriptor(&pd) != OLK::S_OK) return out;
    bool selected = false;
    std::shared_ptr<OLK::StreamDescriptor> sd;
    if (pd->getStreamDescriptorByIndex(0, &selected, &sd) != OLK::S_OK) return out;
    std::shared_ptr<OLK::MediaTypeHandler> handler;
    sd->getMediaTypeHandler(&handler);
    uint32_t count = 0;
    handler->getMediaTypeCount(&count);
    for (uint32_t i = 0; i < count; ++i) {
        Mode m;
        handler->getMediaTypeByIndex(i, &m.type);
        m.type->getGUID(OLK::MF_MT_SUBTYPE, &m.subtype);
        m.type->getPair(OLK::MF_MT_FRAME_SIZE, &m.width, &m.height);
        m.type->getPair(OLK::MF_MT_FRAME_RATE, &m.rateNum, &m.rateDen);
        out.push_back(m);
    }
    return out;
}

TEST(OlmekV4l2Backend, EnumeratesVividModes) {
    const auto vivid = vividNode();
    ASSERT_TRUE(vivid);
    auto dev = deviceByLink(vivid->symbolicLink);
    ASSERT_TRUE(dev);
    std::shared_ptr<OLK::MediaSource> source;
    ASSERT_EQ(dev->activateObject(&source), OLK::S_OK);
    const auto modes = modesOf(*source);
    EXPECT_FALSE(modes.empty());
    EXPECT_TRUE(std::any_of(modes.begin(), modes.end(), [](const Mode& m) {
        return m.subtype == OLK::MFVideoFormat_YUY2 && m.width > 0 && m.rateNum > 0;
    }));
    source->shutdown();
}

class CountingCallback : public OLK::SourceReaderCallback {
public:
    int32_t onReadSample(int32_t status, uint32_t, uint32_t flags, int64_t,
                         std::shared_ptr<OLK::Sample> sample) override {
        std::lock_guard lock(m_mutex);
        if (status == OLK::S_OK && flags == 0 && sample) {
            samples.push_back(sample->sequence());
        } else {
            failures++;
        }
        m_cv.notify_all();
        return OLK::S_OK;
    }
    bool waitFor(size_t n) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(60),
                             [&] { return samples.size() + failures >= n; });
    }
    std::vector<int64_t> samples;
    size_t failures = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

TEST(OlmekV4l2Backend, StreamsTheSimulatedCameraThroughUvcvideo) {
    KernelCamera k;
    ASSERT_TRUE(k.attached()) << k.error;
    const auto node = captureNodeAt(kernelLocationOf(0x04B4, 0x00F1));
    ASSERT_TRUE(node);
    std::shared_ptr<OLK::Activate> dev;
    // The node is listed in sysfs a moment before it opens.
    std::string seen;
    ASSERT_TRUE(waitFor([&] {
        seen.clear();
        return (dev = deviceByLink(node->symbolicLink, &seen)) != nullptr;
    })) << node->symbolicLink
        << " not among " << seen;
    std::shared_ptr<OLK::MediaSource> source;
    ASSERT_EQ(dev->activateObject(&source), OLK::S_OK);
    const auto modes = modesOf(*source);
    std::set<std::pair<uint32_t, uint32_t>> sizes;
    for (const auto& m : modes) {
        EXPECT_EQ(m.subtype, OLK::MFVideoFormat_YUY2);
        sizes.emplace(m.width, m.height);
    }
    std::set<std::pair<uint32_t, uint32_t>> expected;
    for (const auto& f : Simcam::uvcFrameSizes()) expected.emplace(f.width, f.height);
    EXPECT_EQ(sizes, expected);
    const auto small = std::find_if(modes.begin(), modes.end(), [](const Mode& m) {
        return m.width == 320 && m.height == 240;
    });
    ASSERT_NE(small, modes.end());

    // Blocking reads: frames in order, each the camera's next one.
    std::shared_ptr<OLK::SourceReader> reader;
    ASSERT_EQ(source->createSourceReader(nullptr, nullptr, &reader), OLK::S_OK);
    ASSERT_EQ(reader->setCurrentMediaType(OLK::MF_SOURCE_READER_FIRST_VIDEO_STREAM, *small->type),
              OLK::S_OK);
    int64_t lastSequence = -1;
    uint32_t lastCounter = 0;
    for (int i = 0; i < 8; ++i) {
        uint32_t actual = 0, flags = 0;
        int64_t time = 0;
        std::shared_ptr<OLK::Sample> sample;
        ASSERT_EQ(reader->readSample(OLK::MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &actual, &flags,
                                     &time, &sample),
                  OLK::S_OK)
            << "frame " << i;
        ASSERT_TRUE(sample);
        std::shared_ptr<OLK::MediaBuffer> buffer;
        ASSERT_EQ(sample->convertToContiguousBuffer(&buffer), OLK::S_OK);
        uint8_t* data = nullptr;
        uint32_t max = 0, length = 0;
        ASSERT_EQ(buffer->lock(&data, &max, &length), OLK::S_OK);
        EXPECT_EQ(length, 320u * 240u * 2u);
        const uint32_t counter = Simcam::frameCounterOf(data);
        buffer->unlock();
        if (i > 0) {
            EXPECT_GT(sample->sequence(), lastSequence);
            EXPECT_GT(counter, lastCounter) << "frames arrive in the camera's order";
        }
        lastSequence = sample->sequence();
        lastCounter = counter;
    }
    reader.reset();

    // Callback reads.
    CountingCallback callback;
    std::shared_ptr<OLK::SourceReader> async;
    ASSERT_EQ(source->createSourceReader(nullptr, &callback, &async), OLK::S_OK);
    ASSERT_EQ(async->setCurrentMediaType(OLK::MF_SOURCE_READER_FIRST_VIDEO_STREAM, *small->type),
              OLK::S_OK);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(async->readSample(OLK::MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, nullptr, nullptr,
                                    nullptr, nullptr),
                  OLK::S_OK);
    }
    ASSERT_TRUE(callback.waitFor(4));
    EXPECT_EQ(callback.failures, 0u);
    ASSERT_EQ(callback.samples.size(), 4u);
    EXPECT_TRUE(std::is_sorted(callback.samples.begin(), callback.samples.end()));

    // The camera leaves: the next read reports it.
    k.driver.unplug(k.cam);
    ASSERT_EQ(async->readSample(OLK::MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, nullptr, nullptr,
                                nullptr, nullptr),
              OLK::S_OK);
    ASSERT_TRUE(callback.waitFor(5));
    EXPECT_EQ(callback.failures, 1u);
    async.reset();
    source->shutdown();
    k.driver.plug(k.cam);
}

}  // namespace
}  // namespace TVR::KernelTests
