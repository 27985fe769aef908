#include "tools/greenscreen/green_screen.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include "gui_test_helpers.h"
#include "tools/greenscreen/green_screen_model.h"

namespace TVR::GuiTest {
namespace {

constexpr uint8_t kGsBase = 128;

int16_t hueRegister(const Sim::SimCameraFirmware& fw, int band) {
    const auto base = static_cast<uint8_t>(kGsBase + 16 * band);
    return static_cast<int16_t>(fw.fpgaRegister(base + 6) | fw.fpgaRegister(base + 7) << 8);
}

struct BandWindow {
    explicit BandWindow(const std::string& sim = "") : rig(sim), model(rig.store, *rig.sensor) {
        window = std::make_unique<CGreenScreen>(model, &rig.geometry, nullptr);
    }
    ~BandWindow() { window.reset(); }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    template <typename W>
    W* get(int id) {
        W* w = control<W>(*window, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    // Sends a drop of `data` onto `target` as the desktop would; whether the target took it.
    bool drop(QWidget* target, const QMimeData& data) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        return dropEvent.isAccepted();
    }
    void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    CameraRig rig;
    GreenScreenModel model;
    std::unique_ptr<CGreenScreen> window;
};

}  // namespace

TEST(CGreenScreen, ShowingReadsTheFourBandsOfTheCamera) {
    BandWindow w;
    EXPECT_EQ(w.window->windowTitle(), "Configure the chroma key enhancer (color substitution)");
    w.fw().setFpgaRegister(kGsBase + 16 * 2 + 0, 1);
    w.fw().setFpgaRegister(kGsBase + 16 * 2 + 2, 77);
    w.fw().setFpgaRegister(kGsBase + 16 * 2 + 6, static_cast<uint8_t>(hueToRaw(200) & 0xFF));
    w.fw().setFpgaRegister(kGsBase + 16 * 2 + 7, static_cast<uint8_t>(hueToRaw(200) >> 8 & 0xFF));
    w.rig.simCamera->clearRequests();
    w.window->show();
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 120);
    EXPECT_EQ(w.get<QSlider>(CGreenScreen::kHueSlider)->value(), 120);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kSatMinEdit)->value(), 20);
    EXPECT_FALSE(w.get<QCheckBox>(CGreenScreen::kEnableCheck)->isChecked());
    EXPECT_TRUE(w.get<CGSButton>(CGreenScreen::kFirstBandButton)->isChecked());
    for (const auto& r : w.rig.simCamera->requests()) EXPECT_TRUE(r.setup.isIn());

    QTest::mouseClick(w.get<CGSButton>(CGreenScreen::kFirstBandButton + 2), Qt::LeftButton);
    EXPECT_EQ(w.model.currentBand(), 2);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 200);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kSatMinEdit)->value(), 77);
    EXPECT_TRUE(w.get<QCheckBox>(CGreenScreen::kEnableCheck)->isChecked());
    EXPECT_FALSE(w.get<CGSButton>(CGreenScreen::kFirstBandButton)->isChecked());
    EXPECT_TRUE(w.get<CGSButton>(CGreenScreen::kFirstBandButton + 2)->isChecked());
    EXPECT_TRUE(w.rig.store.getBool("GS3_ON"));
}

TEST(CGreenScreen, ControlsWriteTheCurrentBand) {
    BandWindow w;
    w.window->show();
    QTest::mouseClick(w.get<CGSButton>(CGreenScreen::kFirstBandButton + 1), Qt::LeftButton);
    w.get<QSlider>(CGreenScreen::kLumMaxSlider)->setValue(201);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kLumMaxEdit)->value(), 201);
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 16 + 5), 201);
    EXPECT_EQ(w.rig.store.getInt("GS2_LUMINOSITY_MAX"), 201);

    w.get<QSpinBox>(CGreenScreen::kHueEdit)->setValue(181);
    EXPECT_EQ(w.get<QSlider>(CGreenScreen::kHueSlider)->value(), 181);
    EXPECT_EQ(hueRegister(w.fw(), 1), -8146);

    clickBox(w.get<QCheckBox>(CGreenScreen::kEnableCheck));
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 16), 1);
    EXPECT_TRUE(w.rig.store.getBool("GS2_ON"));

    w.window->setColourChooser([](const QColor& initial) -> std::optional<QColor> {
        EXPECT_EQ(initial, QColor(0, 255, 0));
        return QColor(0x12, 0x34, 0x56);
    });
    QWidget* swatch = w.get<QWidget>(CGreenScreen::kColourSwatch);
    QTest::mouseClick(swatch, Qt::LeftButton, Qt::NoModifier, swatch->rect().center());
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 16 + 10), 0x12);
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 16 + 12), 0x34);
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 16 + 14), 0x56);
    EXPECT_EQ(w.rig.store.value("GS2_RGB_B").text, "0x56");

    // Cancelling the colour dialog changes nothing.
    w.window->setColourChooser([](const QColor&) { return std::optional<QColor>(); });
    w.rig.simCamera->clearRequests();
    QTest::mouseClick(swatch, Qt::LeftButton, Qt::NoModifier, swatch->rect().center());
    EXPECT_TRUE(w.rig.simCamera->requests().empty());

    // The key brightness is a preview only.
    w.get<QSlider>(CGreenScreen::kKeySlider)->setValue(55);
    EXPECT_EQ(w.model.keyBrightness(), 200);
    EXPECT_TRUE(w.rig.simCamera->requests().empty());
}

TEST(CGreenScreen, DraggingBandThreeOntoBandOneCopiesIt) {
    BandWindow w;
    w.window->show();
    ColorSubsInfo src;
    src.enabled = 1;
    src.hue = 300;
    src.hueTolerance = 40;
    src.satMin = 5;
    src.rgb = 0xABCDEF;
    w.model.setBandRecord(2, src);
    auto* source = w.get<CGSButton>(CGreenScreen::kFirstBandButton + 2);
    auto* target = w.get<CGSButton>(CGreenScreen::kFirstBandButton);
    const std::unique_ptr<QMimeData> data = source->dragData();
    EXPECT_EQ(data->data(kBandMimeType), QByteArray("\x02\x00\x00\x00", 4));

    // Its own button refuses it.
    EXPECT_FALSE(w.drop(source, *data));
    EXPECT_TRUE(w.drop(target, *data));
    EXPECT_EQ(w.model.band(0), src);
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 0), 1);
    EXPECT_EQ(hueRegister(w.fw(), 0), hueToRaw(300));
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 2), 5);
    EXPECT_EQ(w.fw().fpgaRegister(kGsBase + 14), 0xAB);
    // Band 1 was current and still is, now showing the copy.
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 300);

    // Foreign data is refused.
    QMimeData foreign;
    foreign.setData(kBandMimeType, QByteArray("\x07\x00\x00\x00", 4));
    EXPECT_FALSE(w.drop(target, foreign));
    foreign.setText(QStringLiteral("2"));
    foreign.removeFormat(kBandMimeType);
    EXPECT_FALSE(w.drop(target, foreign));
}

TEST(CGreenScreen, ThePickerReadsTheGrabbedScreen) {
    BandWindow w;
    w.window->show();
    QImage screen(64, 32, QImage::Format_RGB32);
    screen.fill(qRgb(0, 0, 200));
    screen.setPixel(10, 20, qRgb(255, 255, 0));
    w.window->startPicker(screen);
    QWidget* picker = w.window->pickerWindow();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->objectName(), "colourPicker");

    w.mouse(picker, QEvent::MouseMove, {3, 3}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 240);
    EXPECT_EQ(w.get<QSlider>(CGreenScreen::kKeySlider)->value(), 55);
    EXPECT_EQ(hueRegister(w.fw(), 0), hueToRaw(240));
    w.mouse(picker, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
    w.mouse(picker, QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(w.window->pickerWindow(), nullptr);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 60);
    EXPECT_EQ(w.rig.store.getInt("GS1_HUE"), 60);
    EXPECT_EQ(hueRegister(w.fw(), 0), hueToRaw(60));

    // Escape puts the hue back where picking started.
    w.window->startPicker(screen);
    picker = w.window->pickerWindow();
    ASSERT_NE(picker, nullptr);
    w.mouse(picker, QEvent::MouseMove, {0, 0}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 240);
    QTest::keyClick(picker, Qt::Key_Escape);
    EXPECT_EQ(w.window->pickerWindow(), nullptr);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 60);
    EXPECT_EQ(hueRegister(w.fw(), 0), hueToRaw(60));
}

TEST(CGreenScreen, InverseButtonUploadsFourBands) {
    BandWindow w;
    w.window->show();
    w.get<QSpinBox>(CGreenScreen::kHueEdit)->setValue(100);
    w.get<QSpinBox>(CGreenScreen::kToleranceEdit)->setValue(30);
    QTest::mouseClick(w.get<QPushButton>(CGreenScreen::kInverseButton), Qt::LeftButton);
    EXPECT_EQ(w.model.currentBand(), 0);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kHueEdit)->value(), 280);
    EXPECT_EQ(w.get<QSpinBox>(CGreenScreen::kToleranceEdit)->value(), 150);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(w.fw().fpgaRegister(static_cast<uint8_t>(kGsBase + 16 * b)), b == 2 ? 0 : 1) << b;
    }
    EXPECT_EQ(hueRegister(w.fw(), 2), hueToRaw(100));
    EXPECT_EQ(hueRegister(w.fw(), 3), hueToRaw(280));
}

TEST(CGreenScreen, WithoutACameraNothingIsShownAndTheReasonIsGiven) {
    BandWindow w("cameras=0");
    ASSERT_FALSE(w.rig.sensor->connected());
    w.window->show();
    EXPECT_FALSE(w.window->isEnabled());
    EXPECT_TRUE(w.get<QSpinBox>(CGreenScreen::kHueEdit)->text().isEmpty());
    EXPECT_EQ(w.window->findChild<QLabel*>(QStringLiteral("status"))->text(),
              "No camera is connected: no bands to show");
    EXPECT_FALSE(w.rig.store.has("GS1_HUE"));
}

TEST(CGreenScreen, ACameraThatStopsAnsweringGreysTheWindow) {
    BandWindow w;
    Sim::SimFaults faults;
    faults.failAfter = 5;
    w.rig.simCamera->setFaults(faults);
    w.window->show();
    EXPECT_FALSE(w.window->isEnabled());
    EXPECT_EQ(w.window->findChild<QLabel*>(QStringLiteral("status"))->text(),
              "The camera did not answer: no bands to show");
}

}  // namespace TVR::GuiTest
