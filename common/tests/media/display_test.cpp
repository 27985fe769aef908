#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "capture/display.h"

namespace OLK {
namespace {

class DrmTree {
public:
    DrmTree() {
        char pattern[] = "/tmp/olk-drm-XXXXXX";
        m_root = mkdtemp(pattern);
    }
    ~DrmTree() { std::filesystem::remove_all(m_root); }

    void connector(const std::string& name, const std::string& status, const std::string& enabled,
                   const std::string& modes) {
        const std::string dir = m_root + "/" + name;
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/status") << status << "\n";
        if (!enabled.empty()) std::ofstream(dir + "/enabled") << enabled << "\n";
        std::ofstream(dir + "/modes") << modes;
    }
    const std::string& root() const { return m_root; }

private:
    std::string m_root;
};

TEST(EnumDisplays, ConnectedMonitorsSideBySide) {
    DrmTree drm;
    drm.connector("card0-HDMI-A-1", "connected", "enabled", "1920x1080\n1280x720\n");
    drm.connector("card0-DP-1", "connected", "enabled", "2560x1440\n");
    drm.connector("card0-DP-2", "disconnected", "disabled", "");
    std::filesystem::create_directories(drm.root() + "/card0");
    std::filesystem::create_directories(drm.root() + "/renderD128");
    std::ofstream(drm.root() + "/version") << "drm 1.1.0\n";

    auto displays = enumDrmDisplays(drm.root(), false);
    ASSERT_EQ(displays.size(), 2u);
    // Connector order: DP-1 sorts before HDMI-A-1.
    EXPECT_EQ(displays[0].toString(), "DP-1@card0 (2560x1440)");
    EXPECT_TRUE(displays[0].isPrimary());
    EXPECT_EQ(displays[0].rcMonitor().right, 2560);
    EXPECT_EQ(displays[1].toString(), "HDMI-A-1@card0 (1920x1080)");
    EXPECT_FALSE(displays[1].isPrimary());
    EXPECT_EQ(displays[1].rcMonitor().left, 2560);
    EXPECT_EQ(displays[1].rcMonitor().right, 4480);
    EXPECT_EQ(displays[1].rcMonitor().bottom, 1080);
    EXPECT_EQ(displays[1].rcWindow().right, 4480);
    EXPECT_NE(displays[0].monitor(), displays[1].monitor());
}

TEST(EnumDisplays, DetachedMonitorOnlyWithAll) {
    DrmTree drm;
    drm.connector("card1-eDP-1", "connected", "enabled", "1366x768\n");
    drm.connector("card1-HDMI-A-1", "connected", "disabled", "1920x1080\n");
    auto attached = enumDrmDisplays(drm.root(), false);
    ASSERT_EQ(attached.size(), 1u);
    EXPECT_EQ(attached[0].device().deviceName, "eDP-1");
    auto all = enumDrmDisplays(drm.root(), true);
    ASSERT_EQ(all.size(), 2u);
    // "HDMI-A-1" sorts before "eDP-1"; the detached one is never the primary.
    EXPECT_EQ(all[0].device().deviceName, "HDMI-A-1");
    EXPECT_FALSE(all[0].isPrimary());
    EXPECT_EQ(all[0].device().stateFlags & kDisplayDeviceAttachedToDesktop, 0u);
    EXPECT_TRUE(all[1].isPrimary());
}

TEST(EnumDisplays, BadOrMissingDataGivesNoDisplay) {
    DrmTree drm;
    drm.connector("card0-DP-1", "connected", "enabled", "garbage\n");
    drm.connector("card0-DP-2", "connected", "enabled", "99999999x1080\n");
    drm.connector("card0-DP-3", "connected", "enabled", "");
    drm.connector("cardX-DP-4", "connected", "enabled", "800x600\n");
    EXPECT_TRUE(enumDrmDisplays(drm.root(), true).empty());
    EXPECT_TRUE(enumDrmDisplays(drm.root() + "/missing", true).empty());
}

TEST(EnumDisplays, AtMostSixteenDevices) {
    DrmTree drm;
    for (int i = 0; i < 20; ++i) {
        drm.connector("card0-DP-" + std::to_string(100 + i), "connected", "enabled", "640x480\n");
    }
    EXPECT_EQ(enumDrmDisplays(drm.root(), false).size(), 16u);
}

}  // namespace
}  // namespace OLK
