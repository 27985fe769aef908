#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_helpers.h"
#include "session/camera_session.h"
#include "settings/camera_transfer.h"
#include "settings/preferences.h"
#include "shell/tab_basic.h"
#include "shell/tab_basic_model.h"
#include "sim/sim_camera.h"
#include "sim/video/sim_capture_devices.h"
#include "usb/usb_device.h"

namespace TVR::GuiTest {

namespace {

class RecordingMessages : public PageMessages {
public:
    void warning(const QString& title, const QString& text) override {
        shown.push_back((title + QStringLiteral("|") + text).toStdString());
    }
    std::vector<std::string> shown;
};

class RecordingPrompter : public TransferPrompter {
public:
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void showError(std::string_view, std::string_view) override {}
    void showStatus(std::string_view text) override { statuses.emplace_back(text); }
    std::vector<std::string> statuses;
};

std::vector<std::string> logTexts(const ApiLog& log) {
    std::vector<std::string> out;
    const size_t first = log.firstMessageIndex();
    for (size_t i = first; i < first + log.messageCount(); ++i) {
        if (auto m = log.message(i)) out.push_back(m->text);
    }
    return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

struct PageRig {
    explicit PageRig(const std::string& simOptions, bool tracking = false,
                     const std::function<void(CameraRig&)>& before = {})
        : rig(simOptions) {
        preferences.setNumber(PreferenceName::kBase, 10);
        preferences.setNumber(PreferenceName::kSplash, 0);
        preferences.setNumber(PreferenceName::kDevNotify, tracking ? 1 : 0);
        if (before) before(rig);
        // The session opens the cameras itself.
        rig.sensor.reset();
        driver = rig.driver.get();
        backends.capture = std::make_unique<SimCaptureDevices>(*driver);
        backends.usb = std::move(rig.driver);
        CameraSession::Options options;
        options.windows = PanelModels::Windows::Attached;
        options.preferences = &preferences;
        session = std::make_unique<CameraSession>(backends, rig.log, prompter, options);
        session->camera().setWaitFunction([](uint32_t) {});
        page =
            std::make_unique<CTabBasic>(*session, preferences, &rig.geometry, nullptr, &messages);
    }
    ~PageRig() {
        page.reset();
        session.reset();
        backends.capture.reset();
        // The rig's own teardown expects its driver back.
        rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
    }
    QComboBox* box() { return control<QComboBox>(*page, 1015); }
    QLineEdit* port() { return control<QLineEdit>(*page, 1018); }
    QString label(int id) { return control<QLabel>(*page, id)->text(); }
    std::vector<QString> items() {
        std::vector<QString> out;
        for (int i = 0; i < box()->count(); ++i) out.push_back(box()->itemText(i));
        return out;
    }
    ImgSensor& camera() { return session->camera(); }
    SettingsStore& store() { return session->store(); }

    CameraRig rig;
    Sim::SimDriver* driver = nullptr;
    Preferences preferences;
    Backends backends;
    RecordingPrompter prompter;
    std::unique_ptr<CameraSession> session;
    RecordingMessages messages;
    std::unique_ptr<CTabBasic> page;
};

QString numbered(Sim::SimDriver& driver, const Sim::SimCamera& cam, int index) {
    return QStringLiteral("Device #%1 (Tavro Brisco camera @%2)")
        .arg(index)
        .arg(pathSuffixNumber(driver.pathOf(cam)));
}

}  // namespace

TEST(CTabBasic, ListsTwoCamerasAndOpensTheOneSelected) {
    PageRig p("cameras=2");
    const auto cams = p.driver->cameras();
    ASSERT_NE(p.box(), nullptr);
    EXPECT_EQ(p.items(), (std::vector<QString>{numbered(*p.driver, *cams[0], 0),
                                               numbered(*p.driver, *cams[1], 1)}));
    EXPECT_EQ(p.box()->currentIndex(), 0);
    EXPECT_TRUE(p.camera().connected());
    EXPECT_EQ(p.camera().device().path(), p.driver->pathOf(*cams[0]));
    EXPECT_EQ(p.port()->text(), QStringLiteral("0x20"));
    EXPECT_EQ(p.label(1066), QStringLiteral("Detected chipset type: OV9750"));
    EXPECT_EQ(p.label(1081), QStringLiteral("\tFX3:\t1.1.4.5.105"));
    EXPECT_EQ(p.label(1082), QStringLiteral("\tFPGA:\t1.1.4.5.90"));
    EXPECT_FALSE(control<QLabel>(*p.page, 1270)->isVisibleTo(p.page.get()));
    EXPECT_FALSE(control<QLabel>(*p.page, 1271)->isVisibleTo(p.page.get()));
    EXPECT_EQ(control<QLabel>(*p.page, 1270)->text(), QStringLiteral("Upgrade available"));
    EXPECT_TRUE(p.messages.shown.empty());
    // The selection read the camera into the store.
    EXPECT_EQ(p.store().getString("SENSOR_MODEL"), "OV9750");

    cams[1]->clearRequests();
    p.box()->setCurrentIndex(1);
    EXPECT_EQ(p.camera().device().path(), p.driver->pathOf(*cams[1]));
    EXPECT_TRUE(p.camera().connected());
    EXPECT_FALSE(cams[1]->requests().empty());
    EXPECT_TRUE(contains(logTexts(p.rig.log), "Opening device# 1 and reading its status"));
}

TEST(CTabBasic, NoCameraShowsTheDefaultsAndSaysSo) {
    PageRig p("cameras=0");
    EXPECT_EQ(p.box()->count(), 0);
    EXPECT_EQ(p.port()->text(), QStringLiteral("0x20"));
    EXPECT_EQ(p.label(1066), QStringLiteral("Cannot detect chipset type"));
    const auto lines = logTexts(p.rig.log);
    EXPECT_TRUE(contains(lines, "Initializing..."));
    EXPECT_TRUE(contains(lines, "No cameras are currently available"));
    EXPECT_TRUE(
        contains(p.prompter.statuses, "No Tavro cameras connected/available on the system"));
}

TEST(CTabBasic, AnOfflineCameraIsListedAndCannotBeUsed) {
    PageRig p("", false, [](CameraRig& r) {
        Sim::SimCameraConfig broken;
        broken.openFails = true;
        r.driver->addCamera(broken);
    });
    ASSERT_EQ(p.box()->count(), 2);
    EXPECT_EQ(p.box()->itemText(1),
              QStringLiteral("Offline/malfunctioning (expect long timeouts if selected!)"));
    EXPECT_EQ(p.box()->currentIndex(), 0);

    p.box()->setCurrentIndex(1);
    EXPECT_FALSE(p.camera().connected());
    EXPECT_TRUE(contains(logTexts(p.rig.log),
                         "That device is offline/mulfunctioning (or the control port is "
                         "wrong?), you can't use it"));
    EXPECT_EQ(p.label(1066), QStringLiteral("Cannot detect chipset type"));
}

TEST(CTabBasic, TheListFollowsPluggingAndReportsTheLostCamera) {
    PageRig p("cameras=2", true);
    ASSERT_TRUE(p.page->registeredForDeviceChanges());
    const auto cams = p.driver->cameras();
    p.box()->setCurrentIndex(1);
    ASSERT_EQ(p.camera().device().path(), p.driver->pathOf(*cams[1]));

    p.driver->unplug(cams[1]);
    ASSERT_TRUE(waitUntil([&] { return p.box()->count() == 1; }));
    EXPECT_EQ(p.box()->itemText(0), QStringLiteral("Tavro Brisco camera"));
    EXPECT_EQ(p.box()->currentIndex(), 0);
    ASSERT_EQ(p.messages.shown.size(), 1u);
    EXPECT_EQ(p.messages.shown[0], "Warning|Lost currently selected device named\n[" +
                                       numbered(*p.driver, *cams[1], 1).toStdString() + "]");
    EXPECT_TRUE(p.camera().connected());
    EXPECT_EQ(p.camera().device().path(), p.driver->pathOf(*cams[0]));

    // Its return lists it again; the open camera stays selected without a warning.
    p.driver->plug(cams[1]);
    ASSERT_TRUE(waitUntil([&] { return p.box()->count() == 2; }));
    EXPECT_EQ(p.box()->currentIndex(), 0);
    EXPECT_EQ(p.messages.shown.size(), 1u);
    EXPECT_EQ(p.camera().device().path(), p.driver->pathOf(*cams[0]));
}

TEST(CTabBasic, WithoutTrackingOrWhileSuspendedPluggingChangesNothing) {
    PageRig p("");
    EXPECT_FALSE(p.page->registeredForDeviceChanges());
    const auto extra = p.driver->addCamera();
    QCoreApplication::processEvents();
    EXPECT_FALSE(p.page->recheckPending());
    EXPECT_EQ(p.box()->count(), 1);

    p.page->setDeviceTracking(true);
    p.page->setDeviceChangesSuspended(true);
    p.driver->unplug(extra);
    QCoreApplication::processEvents();
    EXPECT_FALSE(p.page->recheckPending());
    p.page->setDeviceChangesSuspended(false);
    p.page->deviceChange();
    EXPECT_TRUE(p.page->recheckPending());
    p.page->setDeviceTracking(false);
    EXPECT_FALSE(p.page->recheckPending());
    EXPECT_FALSE(p.page->registeredForDeviceChanges());
}

TEST(CTabBasic, ControlPortTakesOnlyPositiveAddresses) {
    PageRig p("");
    ASSERT_EQ(p.camera().i2cAddress(), 0x20);
    for (const char* text : {"0", "-5"}) {
        p.port()->clear();
        QTest::keyClicks(p.port(), QString::fromLatin1(text));
        EXPECT_EQ(p.camera().i2cAddress(), 0x20) << text;
        EXPECT_FALSE(p.store().has("CTRL_PORT")) << text;
    }
    p.port()->clear();
    QTest::keyClicks(p.port(), QStringLiteral("0x6C"));
    EXPECT_EQ(p.port()->text(), QStringLiteral("0x6C"));
    EXPECT_EQ(p.camera().i2cAddress(), 0x6C);
    EXPECT_EQ(p.store().getInt("CTRL_PORT"), 0x6C);
    p.page->refresh();
    EXPECT_EQ(p.port()->text(), QStringLiteral("0x6C"));
}

}  // namespace TVR::GuiTest
