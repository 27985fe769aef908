#include "tools/cmx/cmx.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <algorithm>

#include "gui_test_helpers.h"
#include "protocol/vendor_requests.h"
#include "tools/cmx/cmx_model.h"

namespace TVR::GuiTest {
namespace {

constexpr uint8_t kCmxGuiBase = 0xD0;
constexpr int kRedSlider = 1327;
constexpr int kRedEdit = 1328;
constexpr int kRedSpin = 1329;
constexpr int kWhiteEdit = 1346;

size_t cmxGuiWrites(const Sim::SimCamera& camera) {
    const auto requests = camera.requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& r) {
        return r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn() &&
               r.setup.bRequest == VR_FPGA_REG && r.setup.wIndex >= kCmxGuiBase &&
               r.setup.wIndex < kCmxGuiBase + 18;
    }));
}

struct MatrixWindow {
    explicit MatrixWindow(const std::string& sim = "") : rig(sim), model(rig.store, *rig.sensor) {
        window = std::make_unique<CCMX>(model, &rig.geometry, nullptr);
    }
    ~MatrixWindow() { window.reset(); }
    template <typename W>
    W* get(int id) {
        W* w = control<W>(*window, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    QString status() { return window->findChild<QLabel*>(QStringLiteral("status"))->text(); }

    CameraRig rig;
    CmxModel model;
    std::unique_ptr<CCMX> window;
};

}  // namespace

TEST(CCMX, ShowsTheCamerasMatrixAndThePresets) {
    MatrixWindow w;
    EXPECT_EQ(w.window->windowTitle(), "Color correction matrix");
    EXPECT_EQ(w.get<QPlainTextEdit>(CCMX::kMatrixText)->toPlainText(),
              "1.0\t0.0\t0.0\n0.0\t1.0\t0.0\n0.0\t0.0\t1.0");
    auto* presets = w.get<QComboBox>(CCMX::kPresets);
    ASSERT_EQ(presets->count(), 5);
    EXPECT_EQ(presets->itemText(0), "Chose a preset");
    EXPECT_EQ(presets->itemText(4), "Sepia");
    w.rig.firmware->setFpgaRegister(kCmxGuiBase, 0x80);  // 1.25 in the top-left corner
    w.window->show();
    EXPECT_EQ(w.get<QPlainTextEdit>(CCMX::kMatrixText)->toPlainText(),
              "1.25000\t0.00000\t0.00000\n0.00000\t1.00000\t0.00000\n0.00000\t0.00000\t1.00000");
    EXPECT_EQ(w.get<QLineEdit>(kRedEdit)->text(), "0.000");
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 0u);
}

TEST(CCMX, SlidersAdjustRowsAndAutoApplyWritesEachChange) {
    MatrixWindow w;
    w.window->show();
    w.rig.simCamera->clearRequests();
    w.get<QSlider>(kRedSlider)->setValue(50);
    EXPECT_EQ(w.get<QLineEdit>(kRedEdit)->text(), "0.500");
    EXPECT_TRUE(w.get<QPlainTextEdit>(CCMX::kMatrixText)
                    ->toPlainText()
                    .startsWith("1.50000\t-0.25000\t-0.25000\n"));
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 0u);

    clickBox(w.get<QCheckBox>(CCMX::kAutoApply));
    EXPECT_FALSE(w.get<QPushButton>(CCMX::kApply)->isEnabled());
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 18u);
    EXPECT_EQ(w.rig.firmware->fpgaRegister(kCmxGuiBase + 1), 3);

    // A spin step changes the value by 0.02 and writes once.
    QTest::keyClick(w.get<QWidget>(kRedSpin), Qt::Key_Up);
    EXPECT_EQ(w.get<QLineEdit>(kRedEdit)->text(), "0.520");
    EXPECT_EQ(w.get<QSlider>(kRedSlider)->value(), 52);
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 36u);

    w.get<QLineEdit>(kWhiteEdit)->setText("1.000");
    EXPECT_TRUE(w.get<QPlainTextEdit>(CCMX::kMatrixText)->toPlainText().startsWith("3.04000\t"));
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 54u);

    clickBox(w.get<QCheckBox>(CCMX::kAutoApply));
    EXPECT_TRUE(w.get<QPushButton>(CCMX::kApply)->isEnabled());
}

TEST(CCMX, PresetsTranspositionAndRefusals) {
    MatrixWindow w;
    w.window->show();
    auto* presets = w.get<QComboBox>(CCMX::kPresets);
    w.get<QLineEdit>(kRedEdit)->setText("0.300");
    presets->setCurrentIndex(3);
    emit presets->activated(3);
    EXPECT_EQ(w.get<QLineEdit>(kRedEdit)->text(), "0.000");
    EXPECT_EQ(w.get<QSlider>(kRedSlider)->value(), 0);
    EXPECT_TRUE(w.get<QPlainTextEdit>(CCMX::kMatrixText)->toPlainText().startsWith("0.28900\t"));
    EXPECT_EQ(w.rig.firmware->fpgaRegister(kCmxGuiBase), 147);

    auto* text = w.get<QPlainTextEdit>(CCMX::kMatrixText);
    clickBox(w.get<QCheckBox>(CCMX::kTransposed));
    text->setPlainText("1 2 3\n4 5 6\n7 8 9");
    QTest::mouseClick(w.get<QPushButton>(CCMX::kApply), Qt::LeftButton);
    EXPECT_EQ(w.rig.firmware->fpgaRegister(kCmxGuiBase + 3), 8);   // 4 at index 1, twice
    EXPECT_EQ(w.rig.firmware->fpgaRegister(kCmxGuiBase + 5), 14);  // 7 at index 2
    EXPECT_TRUE(w.status().isEmpty());

    w.rig.simCamera->clearRequests();
    text->setPlainText("1 2 3\n4 5 6\n7 8");
    QTest::mouseClick(w.get<QPushButton>(CCMX::kApply), Qt::LeftButton);
    EXPECT_TRUE(w.status().contains("9 numbers"));
    text->setPlainText("1 2 3\n4 500 6\n7 8 9");
    QTest::mouseClick(w.get<QPushButton>(CCMX::kApply), Qt::LeftButton);
    EXPECT_TRUE(w.status().contains("-64"));
    EXPECT_EQ(cmxGuiWrites(*w.rig.simCamera), 0u);
}

TEST(CCMX, AFailingCameraIsReported) {
    MatrixWindow w;
    w.window->show();
    Sim::SimFaults faults;
    faults.failAfter = 3;
    w.rig.simCamera->setFaults(faults);
    QTest::mouseClick(w.get<QPushButton>(CCMX::kApply), Qt::LeftButton);
    EXPECT_TRUE(w.status().contains("did not take"));
}

}  // namespace TVR::GuiTest
