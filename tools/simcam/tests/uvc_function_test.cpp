#include <sys/socket.h>

#include <gtest/gtest.h>

#include "protocol/uvc_property_ids.h"
#include "sim_usbip_device.h"
#include "simcam_cameras.h"
#include "usbip/usbip_connection.h"
#include "usbip_host_helpers.h"
#include "uvc_function.h"

namespace TVR::Simcam {
namespace {

using Testing::HostEnd;

constexpr uint8_t kClassIn = 0xA1;
constexpr uint8_t kClassOut = 0x21;
constexpr uint8_t kSetCur = 0x01, kGetCur = 0x81, kGetMin = 0x82, kGetMax = 0x83, kGetDef = 0x87,
                  kGetInfo = 0x86;

uint16_t puIndex() { return uint16_t{kProcessingUnitId} << 8 | kVideoControlInterface; }
uint16_t ctIndex() { return uint16_t{kCameraTerminalId} << 8 | kVideoControlInterface; }
int32_t le(const std::vector<uint8_t>& d) {
    int32_t v = 0;
    for (size_t i = 0; i < d.size(); ++i) v |= int32_t{d[i]} << (8 * i);
    if (d.size() == 2) v = static_cast<int16_t>(v);
    return v;
}

struct UvcServed : Testing::ServedCamera {
    std::vector<uint8_t> get(uint8_t request, uint8_t selector, uint16_t index, uint16_t len) {
        auto r = host->control(kClassIn, request, uint16_t{selector} << 8, index, len);
        EXPECT_TRUE(r);
        EXPECT_EQ(r->header.status, 0);
        return r ? r->data : std::vector<uint8_t>{};
    }
    int32_t set(uint8_t selector, uint16_t index, std::vector<uint8_t> v) {
        const auto n = static_cast<uint16_t>(v.size());
        auto r = host->control(kClassOut, kSetCur, uint16_t{selector} << 8, index, n, v);
        return r ? r->header.status : -1;
    }
};

TEST(UvcFunction, ProcessingUnitControlsAreTheCamerasProperties) {
    UvcServed s;
    EXPECT_EQ(le(s.get(kGetMin, 0x02, puIndex(), 2)), -64);
    EXPECT_EQ(le(s.get(kGetMax, 0x02, puIndex(), 2)), 64);
    EXPECT_EQ(s.get(kGetInfo, 0x02, puIndex(), 1), std::vector<uint8_t>{0x03});
    EXPECT_EQ(s.set(0x02, puIndex(), {0xF6, 0xFF}), 0);  // -10
    EXPECT_EQ(s.cam->uvc().property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness)->value, -10);
    EXPECT_EQ(le(s.get(kGetCur, 0x02, puIndex(), 2)), -10);

    // Out of range: stalled, the error code control says why, nothing changed.
    EXPECT_EQ(s.set(0x02, puIndex(), {100, 0}), Usbip::kStatusStall);
    EXPECT_EQ(s.get(kGetCur, 0x02, kVideoControlInterface, 1), std::vector<uint8_t>{0x04});
    EXPECT_EQ(s.cam->uvc().property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness)->value, -10);

    // White balance: automatic at power-up; switching it to manual keeps the temperature.
    EXPECT_EQ(s.get(kGetCur, 0x0B, puIndex(), 1), std::vector<uint8_t>{1});
    EXPECT_EQ(s.set(0x0B, puIndex(), {0}), 0);
    const auto wb = s.cam->uvc().property(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance);
    EXPECT_EQ(wb->flags, Sim::kSimUvcManual);
    EXPECT_EQ(wb->value, 4600);

    // A control the unit does not have.
    auto none = s.host->control(kClassIn, kGetCur, 0x05 << 8, puIndex(), 2);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->header.status, Usbip::kStatusStall);
}

TEST(UvcFunction, ExposureTimeIsInHundredMicrosecondUnits) {
    UvcServed s;
    // log2 seconds -13..-1: 2^-13 s rounds to one unit, 0.5 s is 5000 units.
    EXPECT_EQ(le(s.get(kGetMin, 0x04, ctIndex(), 4)), 1);
    EXPECT_EQ(le(s.get(kGetMax, 0x04, ctIndex(), 4)), 5000);
    EXPECT_EQ(le(s.get(kGetDef, 0x04, ctIndex(), 4)), 156);  // 2^-6 s
    EXPECT_EQ(s.set(0x02, ctIndex(), {0x01}), 0);            // manual exposure
    EXPECT_EQ(s.set(0x04, ctIndex(), {0x27, 0, 0, 0}), 0);   // 39 units: 2^-8 s
    const auto e =
        s.cam->uvc().property(Sim::SimUvcSet::CameraControl, UvcCameraControl::kExposure);
    EXPECT_EQ(e->value, -8);
    EXPECT_EQ(e->flags, Sim::kSimUvcManual);
    EXPECT_EQ(s.get(kGetCur, 0x02, ctIndex(), 1), std::vector<uint8_t>{0x01});
    EXPECT_EQ(s.set(0x02, ctIndex(), {0x08}), 0);  // aperture priority: automatic
    EXPECT_EQ(
        s.cam->uvc().property(Sim::SimUvcSet::CameraControl, UvcCameraControl::kExposure)->flags,
        Sim::kSimUvcAuto);
}

TEST(UvcFunction, ProbeCommitAndIsochronousFramesWithPayloadHeaders) {
    UvcServed s;
    // Probe 320x240 at 15 fps (frame index 2): the camera fills in size and payload.
    std::vector<uint8_t> probe(34, 0);
    probe[2] = 1;
    probe[3] = 2;
    probe[4] = 0x1A;  // 666666 (0x000A2C2A) asked as 0x000A2C1A: the nearest interval wins
    probe[5] = 0x2C;
    probe[6] = 0x0A;
    EXPECT_EQ(s.set(0x01, kVideoStreamingInterface, probe), 0);
    const auto cur = s.get(kGetCur, 0x01, kVideoStreamingInterface, 34);
    ASSERT_EQ(cur.size(), 34u);
    EXPECT_EQ(cur[3], 2);
    EXPECT_EQ(le({cur[4], cur[5], cur[6], cur[7]}), 666666);
    EXPECT_EQ(le({cur[18], cur[19], cur[20], cur[21]}), 320 * 240 * 2);
    const uint32_t packet = s.device->uvc().packetSize();
    EXPECT_EQ(le({cur[22], cur[23], cur[24], cur[25]}), static_cast<int32_t>(packet));
    EXPECT_EQ(s.set(0x02, kVideoStreamingInterface, cur), 0);
    auto alt = s.host->control(0x01, 11, 1, kVideoStreamingInterface, 0);
    ASSERT_TRUE(alt);
    EXPECT_EQ(alt->header.status, 0);

    // Read two whole frames packet by packet.
    const size_t frameBytes = 320 * 240 * 2;
    std::vector<std::vector<uint8_t>> frames(1);
    std::vector<uint8_t> fids;
    while (frames.size() < 3) {
        Usbip::Submit iso;
        iso.direction = Usbip::kDirIn;
        iso.endpoint = 1;
        iso.numberOfPackets = 8;
        iso.transferLength = packet * 8;
        for (uint32_t i = 0; i < 8; ++i) iso.packets.push_back({i * packet, packet, 0, -18});
        s.host->submit(iso);
        auto r = s.host->read();
        ASSERT_TRUE(r);
        ASSERT_EQ(r->packets.size(), 8u);
        size_t at = 0;
        for (const auto& p : r->packets) {
            EXPECT_EQ(p.status, 0);
            if (p.actualLength == 0) continue;
            ASSERT_GE(p.actualLength, 2u);
            const uint8_t* h = r->data.data() + at;
            EXPECT_EQ(h[0], 2);
            EXPECT_NE(h[1] & 0x80, 0) << "end of header";
            frames.back().insert(frames.back().end(), h + 2, h + p.actualLength);
            fids.push_back(h[1] & 0x01);
            if (h[1] & 0x02) frames.emplace_back();
            at += p.actualLength;
        }
        EXPECT_EQ(at, r->data.size());
    }
    ASSERT_EQ(frames[0].size(), frameBytes);
    ASSERT_EQ(frames[1].size(), frameBytes);
    EXPECT_EQ(frameCounterOf(frames[1].data()), frameCounterOf(frames[0].data()) + 1);
    EXPECT_NE(fids.front(), fids.back()) << "the frame id toggles";
}

TEST(UvcFunction, FramesFollowBrightness) {
    Sim::SimUvcState uvc;
    const auto dark = renderFrame(uvc, 64, 8, 7);
    ASSERT_TRUE(uvc.set(Sim::SimUvcSet::ProcAmp, UvcProcAmp::kBrightness, 40, Sim::kSimUvcManual));
    const auto bright = renderFrame(uvc, 64, 8, 8);
    EXPECT_EQ(frameCounterOf(dark.data()), 7u);
    EXPECT_EQ(frameCounterOf(bright.data()), 8u);
    // Luma of the second row's middle bar.
    const size_t at = 64 * 2 + 40 * 2;
    EXPECT_GT(bright[at], dark[at]);
}

TEST(UvcFunction, ReplacesOnlyTheVideoFunctionOfTheDescriptor) {
    Sim::SimCameraConfig cfg;
    const auto original = Sim::SimCamera(cfg).configDescriptor();
    const auto withUvc = withUvcFunction(original, true);
    ASSERT_FALSE(withUvc.empty());
    size_t iad = 0;
    while (original[iad + 1] != 11) iad += original[iad];
    EXPECT_TRUE(std::equal(original.begin() + 4, original.begin() + static_cast<ptrdiff_t>(iad),
                           withUvc.begin() + 4))
        << "vendor interface unchanged";
    EXPECT_EQ(withUvc[2] | withUvc[3] << 8, static_cast<int>(withUvc.size()));
    EXPECT_TRUE(withUvcFunction({9, 2, 9, 0, 0, 1, 0, 0x80, 50}, true).empty());
}

}  // namespace
}  // namespace TVR::Simcam
