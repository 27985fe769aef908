#include "main_window_helpers.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/brisco_pages.h"
#include "shell/panel_models.h"
#include "shell/tab_basic_model.h"
#include "shell/tab_gains_model.h"
#include "shell/tab_led_model.h"
#include "sim/sim_driver.h"
#include "sim/sim_firmware.h"
#include "sim/video/sim_capture_devices.h"

namespace TVR::GuiTest {

QMessageBox::StandardButton ScriptedDialogs::message(QWidget*, const MessageRequest& request) {
    shown.push_back(request);
    if (!answers.empty()) {
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    return request.defaultButton != QMessageBox::NoButton ? request.defaultButton : QMessageBox::Ok;
}

std::optional<QString> ScriptedDialogs::chooseSettingsFile(QWidget*, bool, const QString&) {
    ++fileDialogs;
    if (files.empty()) return std::nullopt;
    QString f = files.front();
    files.pop_front();
    return f;
}

QStringList ScriptedDialogs::titles() const {
    QStringList t;
    for (const auto& r : shown) t.push_back(r.title);
    return t;
}

TestTab::TestTab(TableValueOwner& model, const PreferencesStorage* geometry, QWidget* parent,
                 const QString& title)
    : CDlgBaseTab(model, geometry, parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(title, this));
    initDialog();
}

MainWindowRig::MainWindowRig(const std::string& simOptions, bool expert, bool beta)
    : rig(simOptions) {
    // The window opens the camera itself.
    rig.sensor.reset();
    preferences.setNumber(PreferenceName::kExpert, expert ? 1 : 0);
    preferences.setNumber(PreferenceName::kBetaOn, beta ? 1 : 0);
    backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
    backends.usb = std::move(rig.driver);

    TestPages* made = &pages;
    PageFactory factory = [made](PanelContext& c, QWidget* parent) {
        std::vector<Page> list;
        auto tab = [&](TableValueOwner& model, const char* caption) {
            auto* t = new TestTab(model, &c.geometry, parent, QString::fromLatin1(caption));
            made->tabs.push_back(t);
            list.push_back({t->windowTitle(), t, t, {}, {}});
        };
        tab(c.models.basic(), "Device");
        list.back().deviceTracking = [made](bool on) { made->tracking.push_back(on); };
        tab(c.models.gains(), "Sensor");
        auto* camera = new QWidget(parent);
        list.push_back(
            {QStringLiteral("Camera"), camera, nullptr, [made] { ++made->cameraRefreshes; }, {}});
        tab(c.models.led(), "Peripherals");
        return list;
    };
    MainWindowSetup setup{
        backends, rig.log, preferences, rig.geometry, dialogs, std::move(factory), 50, 1, [this] {
            ++restarts;
            return true;
        }};
    window = std::make_unique<CbriscoDlg>(std::move(setup));
    window->camera().setWaitFunction([](uint32_t) {});
    if (rig.simCamera) rig.simCamera->clearRequests();
}

MainWindowRig::~MainWindowRig() {
    window.reset();
    backends.capture.reset();
    // The rig's own teardown expects its driver back.
    rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
}

void MainWindowRig::drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    const QPoint at(10, 10);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &dropEvent);
}

bool MainWindowRig::showActive() {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get(), 2000);
}

ProgramWindowRig::ProgramWindowRig(const std::string& simOptions, bool expert, bool beta)
    : rig(simOptions) {
    // The window opens the camera itself.
    rig.sensor.reset();
    preferences.setNumber(PreferenceName::kExpert, expert ? 1 : 0);
    preferences.setNumber(PreferenceName::kBetaOn, beta ? 1 : 0);
    backends.capture = std::make_unique<SimCaptureDevices>(*rig.driver);
    backends.usb = std::move(rig.driver);
    MainWindowSetup setup{backends,     rig.log, preferences,
                          rig.geometry, dialogs, briscoPageFactory(),
                          50,           1,       [] { return true; }};
    window = std::make_unique<CbriscoDlg>(std::move(setup));
    registerBriscoTools(*window);
    window->show();
}

ProgramWindowRig::~ProgramWindowRig() {
    window.reset();
    backends.capture.reset();
    rig.driver.reset(static_cast<Sim::SimDriver*>(backends.usb.release()));
}

Sim::SimCamera& ProgramWindowRig::cam(size_t index) {
    return *static_cast<Sim::SimDriver&>(*backends.usb).cameras().at(index);
}

Sim::SimCameraFirmware& ProgramWindowRig::fw(size_t index) {
    return *std::dynamic_pointer_cast<Sim::SimCameraFirmware>(cam(index).firmware());
}

QWidget* ProgramWindowRig::openTool(int menuId) {
    EXPECT_TRUE(window->runCommand(menuId)) << menuId;
    return window->showTool(menuId);
}

}  // namespace TVR::GuiTest
