#include "tools/colorgrading/color_grading_dlg_base.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "fx3.h"
#include "gui_test_helpers.h"
#include "main_window_helpers.h"
#include "session/camera_session.h"
#include "shell/brisco_commands.h"
#include "shell/brisco_status_bar.h"
#include "shell/panel_models.h"
#include "sim/sim_camera.h"
#include "tools/colorgrading/cg_variants.h"
#include "tools/colorgrading/color_grading_luma_switch.h"
#include "tools/colorgrading/color_grading_tools.h"
#include "tools/colorgrading/vert_transp_slider.h"

namespace TVR::GuiTest {
namespace {

constexpr int kHvSKind = 1;

uint16_t rawOf(int kind, double d) {
    return static_cast<uint16_t>(FX3::tableRawFromValue(kind, d) & 0xFFFF);
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

// Key clicks with Ctrl leave the application believing Ctrl is held; a release of the key
// itself tells it otherwise, as on a real keyboard.
void releaseModifiers(QWidget* w) { QTest::keyRelease(w, Qt::Key_Control, Qt::NoModifier); }

// Drags a slider's thumb by `dy` pixels, as a user would.
void drag(CVertTranspSlider* s, int dy) {
    const QPoint from = s->thumbRect().center();
    mouse(s, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step) {
        mouse(s, QEvent::MouseMove, from + QPoint(0, dy * step / 4), Qt::NoButton, Qt::LeftButton);
    }
    mouse(s, QEvent::MouseButtonRelease, from + QPoint(0, dy), Qt::LeftButton, Qt::NoButton);
}

// One editor over its own model and simulated camera.
template <typename Info, typename Dlg>
struct EditorRig {
    explicit EditorRig(const std::string& sim = "")
        : rig(sim), model(rig.store, *rig.sensor, std::make_unique<Info>()) {
        window = std::make_unique<Dlg>(model, &rig.geometry, nullptr);
        releaseModifiers(window.get());
    }
    ~EditorRig() { window.reset(); }
    CVertTranspSlider* slider(int i) {
        auto* s = control<CVertTranspSlider>(*window, CColorGradingDlgBase::kFirstSliderId + i);
        EXPECT_NE(s, nullptr) << i;
        return s;
    }

    CameraRig rig;
    ColorGradingModel model;
    std::unique_ptr<Dlg> window;
};

using HvSEditor = EditorRig<CGInfoHvS, CColorGradingDlgHvS>;

TEST(CColorGradingDlg, ShowsTheCameraCurveOverItsPicture) {
    HvSEditor e;
    e.rig.firmware->setTableEntry(kHvSKind, 3, 768);  // factor 3: the top
    e.window->show();
    ASSERT_TRUE(waitUntil([&] { return e.window->isVisible(); }));
    EXPECT_EQ(e.window->windowTitle(), "Hue vs. Saturation");
    EXPECT_EQ(e.slider(3)->value(), 0);
    EXPECT_EQ(e.slider(4)->value(), 300);  // an empty table entry is a factor of 0
    EXPECT_EQ(e.slider(3)->maximum(), 300);
    EXPECT_EQ(e.slider(3)->pageStep(), 15);
    ASSERT_TRUE(e.model.info().bitmap().has_value());
    for (int id : {CColorGradingDlgBase::kNeutralId, CColorGradingDlgBase::kDefaultId,
                   CColorGradingDlgBase::kRotateLeftId, CColorGradingDlgBase::kRotateRightId,
                   CColorGradingDlgBase::kShortcutsId}) {
        EXPECT_NE(control<QPushButton>(*e.window, id), nullptr) << id;
    }
    EXPECT_NE(control<QWidget>(*e.window, CColorGradingDlgBase::kSideBarId), nullptr);
    // The picture shows through the transparent sliders: top left is full red.
    const QImage shot = e.window->grab().toImage();
    const QRgb corner = shot.pixel(2, 2);
    EXPECT_GT(qRed(corner), 200);
    EXPECT_LT(qGreen(corner), 60);
}

TEST(CColorGradingDlg, DraggingASliderWritesTheTableAndUndoRestoresIt) {
    HvSEditor e;
    for (int i = 0; i < kCurveSliders; ++i) e.rig.firmware->setTableEntry(kHvSKind, i, 384);
    e.window->show();
    ASSERT_EQ(e.slider(10)->value(), 150);
    drag(e.slider(10), -40);
    const int moved = e.slider(10)->value();
    ASSERT_LT(moved, 150);
    EXPECT_EQ(e.model.info().position(10), static_cast<uint32_t>(moved));
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 10), rawOf(kHvSKind, 3.0 - moved / 100.0));
    EXPECT_EQ(e.rig.store.getReal("CG_HVS_0010"), 3.0 - moved / 100.0);
    EXPECT_EQ(e.slider(10)->state(), SliderState::LastChanged);
    // Dragging within moments merges into one entry.
    EXPECT_EQ(e.model.history().top(), 1u);

    QTest::keyClick(e.window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(e.slider(10)->value(), 150);
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 10), 384);
    QTest::keyClick(e.window.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(e.slider(10)->value(), moved);
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 10), rawOf(kHvSKind, 3.0 - moved / 100.0));
    releaseModifiers(e.window.get());
}

TEST(CColorGradingDlg, ButtonsRightClickAndRotation) {
    HvSEditor e;
    e.window->show();
    for (int i = 0; i < kCurveSliders; ++i) e.slider(i)->setValue(i);
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 63), rawOf(kHvSKind, 2.37));
    QTest::mouseClick(control<QPushButton>(*e.window, CColorGradingDlgBase::kRotateLeftId),
                      Qt::LeftButton);
    EXPECT_EQ(e.slider(0)->value(), 1);
    EXPECT_EQ(e.slider(63)->value(), 0);
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 63), 768);
    QTest::mouseClick(control<QPushButton>(*e.window, CColorGradingDlgBase::kRotateRightId),
                      Qt::LeftButton);
    EXPECT_EQ(e.slider(0)->value(), 0);
    // Ctrl+Right released rotates too.
    QTest::keyRelease(e.slider(5), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(e.slider(0)->value(), 63);
    EXPECT_EQ(e.slider(5)->value(), 4);

    // A right click resets one slider.
    mouse(e.slider(20), QEvent::MouseButtonPress, e.slider(20)->rect().center(), Qt::RightButton,
          Qt::RightButton);
    EXPECT_EQ(e.slider(20)->value(), 150);
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 20), 384);

    QTest::mouseClick(control<QPushButton>(*e.window, CColorGradingDlgBase::kDefaultId),
                      Qt::LeftButton);
    EXPECT_EQ(e.slider(11)->value(), 22);  // factor 2.78
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 11), rawOf(kHvSKind, 2.78));
    QTest::mouseClick(control<QPushButton>(*e.window, CColorGradingDlgBase::kNeutralId),
                      Qt::LeftButton);
    for (int i : {0, 11, 63}) EXPECT_EQ(e.slider(i)->value(), 150) << i;
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 11), 384);
}

TEST(CColorGradingDlg, HoverNamesTheSliderInTheTitle) {
    HvSEditor e;
    e.window->show();
    mouse(e.slider(8), QEvent::MouseMove, e.slider(8)->rect().center(), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(e.window->windowTitle().toStdString(),
              "Hue vs. Saturation - Slider #8 (hue: 45\u00B0), adj. slider: 300, dev 0.00");
}

TEST(CColorGradingDlg, SplineEditPushesTheWholeCurveLater) {
    HvSEditor e;
    for (int i = 0; i < kCurveSliders; ++i) e.rig.firmware->setTableEntry(kHvSKind, i, 384);
    e.window->show();
    e.rig.simCamera->clearRequests();
    // Alt held while slider 31 moves bends the curve through the anchors 0, 31 and 63.
    QTest::keyPress(e.slider(31), Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(e.slider(0)->state(), SliderState::Anchor);
    mouse(e.slider(31), QEvent::MouseMove, e.slider(31)->rect().center(), Qt::NoButton,
          Qt::NoButton, Qt::AltModifier);
    QTest::keyPress(e.slider(31), Qt::Key_Up, Qt::AltModifier);
    EXPECT_TRUE(e.window->pushPending());
    EXPECT_TRUE(e.rig.simCamera->requests().empty());
    EXPECT_TRUE(waitUntil([&] { return !e.window->pushPending(); }));
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 31), rawOf(kHvSKind, 1.51));
    EXPECT_EQ(e.rig.firmware->tableEntry(kHvSKind, 30),
              rawOf(kHvSKind, 3.0 - e.slider(30)->value() / 100.0));
    QTest::keyRelease(e.slider(31), Qt::Key_Alt, Qt::NoModifier);
    EXPECT_EQ(e.slider(0)->state(), SliderState::Plain);
}

TEST(CColorGradingMenu, CtrlF1OpensHueVsHueWithTheCamerasCurve) {
    MainWindowRig r;
    registerColorGradingTools(*r.window);
    r.rig.firmware->setTableEntry(0, 3, static_cast<uint16_t>(-4096));  // -90 degrees
    ASSERT_TRUE(r.showActive());
    QTest::keyClick(r.window.get(), Qt::Key_F1, Qt::ControlModifier);
    releaseModifiers(r.window.get());
    auto* dlg = r.window->findChild<CColorGradingDlgHvH*>();
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->windowTitle().startsWith("Hue vs. Hue"));
    ColorGradingModel& m = dlg->curveModel();
    EXPECT_EQ(dlg->slider(3)->value(), static_cast<int>(m.info().adjToPos(900)));
    EXPECT_EQ(dlg->slider(4)->value(), 1800);
    // Shown again, not made again.
    dlg->hide();
    ASSERT_TRUE(r.window->runCommand(MenuId::kGradingFirst));
    EXPECT_EQ(r.window->findChildren<CColorGradingDlgHvH*>().size(), 1);
    EXPECT_TRUE(dlg->isVisible());
}

TEST(CColorGradingMenu, ItemsFollowTheCamerasTablesAndLumaFirmware) {
    MainWindowRig r("fx3=72;fpga=72");
    registerColorGradingTools(*r.window);
    r.window->updateMenuState();
    EXPECT_TRUE(r.window->action(MenuId::kGradingFirst)->isEnabled());
    EXPECT_TRUE(r.window->action(MenuId::kGradingFirst + 4)->isEnabled());
    // Saturation vs. saturation and hue vs. luma need FPGA build 73.
    EXPECT_FALSE(r.window->action(MenuId::kGradingFirst + 3)->isEnabled());
    EXPECT_FALSE(r.window->action(MenuId::kGradingFirst + 5)->isEnabled());
    ASSERT_TRUE(r.window->runCommand(MenuId::kGradingFirst + 4));
    auto* older = r.window->findChild<CColorGradingDlgLvL*>();
    ASSERT_NE(older, nullptr);
    EXPECT_TRUE(older->isVisible());
    EXPECT_EQ(older->windowTitle(), "Luma vs. Luma (pre-73)");
    EXPECT_EQ(r.window->findChild<CColorGradingDlgLvL73*>(), nullptr);
    auto* stand = r.window->findChild<CColorGradingLumaSwitch*>();
    ASSERT_NE(stand, nullptr);
    EXPECT_FALSE(stand->isVisible());
}

TEST(CColorGradingMenu, CameraFailingMidUploadLeavesTheWindowUsable) {
    // Entry by entry (no block transfers before FX3 build 55), so the camera stops answering
    // in the middle of the table.
    MainWindowRig r("fx3=54");
    registerColorGradingTools(*r.window);
    ASSERT_TRUE(r.window->runCommand(MenuId::kGradingFirst));
    auto* dlg = r.window->findChild<CColorGradingDlgHvH*>();
    ASSERT_NE(dlg, nullptr);
    Sim::SimFaults f;
    f.failAfter = 20;
    r.rig.simCamera->setFaults(f);
    const size_t mark = dlg->store().log().firstMessageIndex() + dlg->store().log().messageCount();
    QTest::mouseClick(control<QPushButton>(*dlg, CColorGradingDlgBase::kDefaultId), Qt::LeftButton);
    const auto said = messagesSince(dlg->store().log(), mark);
    EXPECT_NE(std::find(said.begin(), said.end(), "Error bulk-writing Hue vs. Hue values"),
              said.end());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->isEnabled());
    // The defaults stay on screen and in the store for a later push.
    EXPECT_EQ(dlg->slider(1)->value(), static_cast<int>(dlg->curveModel().info().defaultPos(1)));
    EXPECT_DOUBLE_EQ(dlg->store().getReal("CG_HVH_0001"), -4.9);
    dlg->slider(7)->setValue(1000);
    const QString refused =
        QString::fromStdString(fmt::format("Error writing Hue vs. Hue value {:.2f} for index 7",
                                           dlg->curveModel().info().shownDeviation(7)));
    EXPECT_TRUE(waitUntil([&] { return r.window->statusBar().paneText() == refused; }))
        << r.window->statusBar().paneText().toStdString();
    EXPECT_TRUE(r.window->statusBar().errorShown());
    // Once the camera answers again the window works on.
    r.rig.simCamera->setFaults({});
    dlg->slider(7)->setValue(2600);
    EXPECT_EQ(r.rig.firmware->tableEntry(0, 7),
              rawOf(0, dlg->curveModel().info().shownDeviation(7)));
    EXPECT_NE(r.rig.firmware->tableEntry(0, 7), 0);
}

}  // namespace
}  // namespace TVR::GuiTest
