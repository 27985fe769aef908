#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/mmf_cap_sync.h"
#include "media/device_info.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/synthetic/synthetic_backend.h"
#include "pool/fast_mem.h"
#include "pool/work_slot.h"

namespace OLK {
namespace {

class SyncCapture : public ::testing::Test {
protected:
    void open(const char* modes) {
        SyntheticConfig config;
        std::string error;
        ASSERT_TRUE(SyntheticConfig::parse(modes, &config, &error)) << error;
        m_backend = std::make_unique<SyntheticBackend>(config);
        m_backend->setDeviceChangeListener(
            [this](const DeviceChangeEvent& e) { m_events.push_back(e); });
        std::vector<std::shared_ptr<Activate>> devices;
        ASSERT_EQ(m_backend->enumDevices(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID, &devices),
                  S_OK);
        ASSERT_FALSE(devices.empty());
        m_activate = devices[0];
        m_info = DeviceInfo::create(m_activate.get());
        ASSERT_TRUE(m_info);
        m_info->prune();
        ASSERT_GT(m_info->getModesCount(), 0u);
    }

    std::unique_ptr<SyntheticBackend> m_backend;
    std::shared_ptr<Activate> m_activate;
    std::shared_ptr<DeviceInfo> m_info;
    std::vector<DeviceChangeEvent> m_events;
};

TEST_F(SyncCapture, RefusesNullArgumentsAndUnshowableFormats) {
    open("modes=64x48@1000:MJPG,64x48@1000:YUY2");
    MmfCapSync sync;
    EXPECT_EQ(sync.SetDevice(nullptr, 0, m_info->getMT(0).get()), E_INVALIDARG);
    EXPECT_EQ(sync.SetDevice(m_activate.get(), 0, nullptr), E_INVALIDARG);
    ASSERT_TRUE(m_info->getOlkMT(0)->is(MFVideoFormat_MJPG));
    EXPECT_EQ(sync.SetDevice(m_activate.get(), 0, m_info->getMT(0).get()), E_INVALIDARG);
    EXPECT_FALSE(sync.isOpen());
    FastMem pool(1, 4096);
    EXPECT_EQ(sync.readFrameBlocking(WorkSlot::fromBlock(pool.get())), E_FAIL);
}

TEST_F(SyncCapture, DeliversEveryFrameInOrder) {
    open("modes=64x48@1000:YUY2");
    MmfCapSync sync;
    auto mt = m_info->getMT(0);
    ASSERT_EQ(sync.SetDevice(m_activate.get(), 0, mt.get()), S_OK);
    const size_t frame = 64 * 48 * 2;
    EXPECT_EQ(sync.frameLimit(), frame);
    FastMem pool(2, WorkSlot::sizeInBytes() + frame);
    auto* block = static_cast<uint8_t*>(pool.get());
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xA5, WorkSlot::sizeInBytes());
    WorkSlot* slot = WorkSlot::fromBlock(block);
    for (uint32_t n = 0; n < 30; ++n) {
        ASSERT_EQ(sync.readFrameBlocking(slot), S_OK);
        uint32_t number = 0;
        ASSERT_TRUE(readSyntheticFrameNumber(slot->data(), frame, &number));
        EXPECT_EQ(number, n);
    }
    // The slot header belongs to the caller.
    for (size_t i = 0; i < WorkSlot::sizeInBytes(); ++i) EXPECT_EQ(block[i], 0xA5) << i;

    // Reopening the same object starts the camera's count again.
    ASSERT_EQ(sync.SetDevice(m_activate.get(), MF_SOURCE_READER_FIRST_VIDEO_STREAM, mt.get()),
              S_OK);
    ASSERT_EQ(sync.readFrameBlocking(slot), S_OK);
    uint32_t number = 99;
    ASSERT_TRUE(readSyntheticFrameNumber(slot->data(), frame, &number));
    EXPECT_EQ(number, 0u);
}

TEST_F(SyncCapture, OversizedFrameIsRefusedWithoutWriting) {
    open("modes=64x48@1000:RGB32");
    MmfCapSync sync;
    ASSERT_EQ(sync.SetDevice(m_activate.get(), 0, m_info->getMT(0).get()), S_OK);
    FastMem pool(1, 64);
    auto* block = static_cast<uint8_t*>(pool.get());
    std::memset(block, 0x11, pool.getBlockSize());
    WorkSlot* slot = WorkSlot::fromBlock(block);
    EXPECT_EQ(sync.readFrameBlocking(slot, pool.getBlockSize() - WorkSlot::sizeInBytes()),
              MF_E_BUFFERTOOSMALL);
    for (size_t i = 0; i < pool.getBlockSize(); ++i) ASSERT_EQ(block[i], 0x11) << i;
    EXPECT_EQ(sync.readFrameBlocking(nullptr), E_FAIL);
}

TEST_F(SyncCapture, UnplugFailsTheReadAndNamesTheDevice) {
    open("modes=64x48@1000:NV12");
    MmfCapSync sync;
    ASSERT_EQ(sync.SetDevice(m_activate.get(), 0, m_info->getMT(0).get()), S_OK);
    FastMem pool(1, WorkSlot::sizeInBytes() + sync.frameLimit());
    WorkSlot* slot = WorkSlot::fromBlock(pool.get());
    ASSERT_EQ(sync.readFrameBlocking(slot), S_OK);
    m_backend->camera(0)->unplug();
    EXPECT_EQ(sync.readFrameBlocking(slot), E_DEVICE_GONE);

    ASSERT_EQ(m_events.size(), 1u);
    int lost = -1;
    EXPECT_EQ(sync.CheckDeviceLost(&m_events[0], &lost), S_OK);
    EXPECT_EQ(lost, 1);
    DeviceChangeEvent upper = m_events[0];
    upper.deviceName = "SYNTHETIC:VIDEO0";
    upper.eventType = kDbtDeviceArrival;  // the kind of event is not looked at
    EXPECT_EQ(sync.CheckDeviceLost(&upper, &lost), S_OK);
    EXPECT_EQ(lost, 1);

    DeviceChangeEvent otherType = m_events[0];
    otherType.deviceType = 2;  // a volume
    EXPECT_EQ(sync.CheckDeviceLost(&otherType, &lost), S_OK);
    EXPECT_EQ(lost, 0);
    DeviceChangeEvent otherDevice = m_events[0];
    otherDevice.deviceName = "synthetic:video1";
    lost = -1;
    EXPECT_EQ(sync.CheckDeviceLost(&otherDevice, &lost), S_OK);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(sync.CheckDeviceLost(nullptr, &lost), S_OK);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(sync.CheckDeviceLost(&m_events[0], nullptr), E_POINTER);

    EXPECT_EQ(sync.CloseDevice(), S_OK);
    EXPECT_EQ(sync.CheckDeviceLost(&m_events[0], &lost), S_OK);
    EXPECT_EQ(lost, 0);
}

}  // namespace
}  // namespace OLK
