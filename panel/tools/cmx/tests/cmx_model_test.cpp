#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "protocol/vendor_requests.h"
#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/cmx/cmx_model.h"

namespace TVR::PanelTest {

namespace {

constexpr uint8_t kCmxRegBase = 0xD0;

size_t cmxMatrixWrites(const Sim::SimCamera& camera) {
    const auto requests = camera.requests();
    return static_cast<size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& r) {
        return r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn() &&
               r.setup.bRequest == VR_FPGA_REG && r.setup.wIndex >= kCmxRegBase &&
               r.setup.wIndex < kCmxRegBase + 18;
    }));
}

// Coefficient k as the camera holds it: (fraction, integer).
std::pair<uint8_t, uint8_t> coefficientRegisters(const Sim::SimCameraFirmware& fw, int k) {
    return {fw.fpgaRegister(static_cast<uint8_t>(kCmxRegBase + 2 * k)),
            fw.fpgaRegister(static_cast<uint8_t>(kCmxRegBase + 2 * k + 1))};
}

struct CmxRig {
    CmxRig() : model(rig.store, *rig.sensor) {
        rig.simCamera->clearRequests();
        rig.markLog();
    }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    CameraRig rig;
    CmxModel model;
};

void expectCmx(const CmxMatrix& got, const CmxMatrix& want) {
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;
}

}  // namespace

TEST(CmxText, ParsingFormattingAndTransposition) {
    EXPECT_EQ(
        formatCmx({1, 0, 0, 0, 1, 0, 0, 0, 1}),
        "1.00000\t0.00000\t0.00000\r\n0.00000\t1.00000\t0.00000\r\n0.00000\t0.00000\t1.00000");
    const auto m = parseCmxText(" 1 2\t3\r\n4  5 6\n+7 -8 9e0 ");
    ASSERT_TRUE(m.has_value());
    expectCmx(*m, {1, 2, 3, 4, 5, 6, 7, -8, 9});
    expectCmx(transposeCmx(*m), {1, 4, 7, 2, 5, -8, 3, 6, 9});
    EXPECT_EQ(parseCmxText(kCmxInitialText), (CmxMatrix{1, 0, 0, 0, 1, 0, 0, 0, 1}));

    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8").has_value());
    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8 9 10").has_value());
    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8 x").has_value());
    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8 9x").has_value());
    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8 nan").has_value());
    EXPECT_FALSE(parseCmxText("1 2 3 4 5 6 7 8 1e40").has_value());
    EXPECT_FALSE(parseCmxText("").has_value());
    EXPECT_TRUE(parseCmxNumbers("  ")->empty());
}

TEST(CmxText, RangeOfTheCameraAndPresetNames) {
    EXPECT_TRUE(cmxInRange({-64, 0, 0, 0, 63.5f, 0, 0, 0, 1}));
    EXPECT_FALSE(cmxInRange({-64.01f, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_FALSE(cmxInRange({0, 0, 0, 0, 63.6f, 0, 0, 0, 1}));
    ASSERT_EQ(cmxPresets().size(), 4u);
    EXPECT_EQ(cmxPresets()[0].name, "Neutral");
    EXPECT_EQ(cmxPreset("sepia"), &cmxPresets()[3]);
    EXPECT_EQ(cmxPreset("GREYSCALE"), &cmxPresets()[2]);
    EXPECT_EQ(cmxPreset("Sepi"), nullptr);
}

TEST(CmxArithmetic, ColourAdjustmentsKeepEveryRowSum) {
    const CmxMatrix neutral{1, 0, 0, 0, 1, 0, 0, 0, 1};
    expectCmx(adjustCmx(neutral, CmxColour::Red, 0, 0.5f),
              {1.5f, -0.25f, -0.25f, 0, 1, 0, 0, 0, 1});
    expectCmx(adjustCmx(neutral, CmxColour::Cyan, 0, 0.2f),
              {1, 0, 0, -0.1f, 1.2f, -0.1f, -0.1f, -0.1f, 1.2f});
    expectCmx(adjustCmx(neutral, CmxColour::Magenta, 0.5f, 0.3f),
              {0.8f, 0.1f, 0.1f, 0, 1, 0, 0.1f, 0.1f, 0.8f});
    const CmxMatrix sepia = cmxPresets()[3].coefficients;
    for (CmxColour c : {CmxColour::Red, CmxColour::Green, CmxColour::Blue, CmxColour::Yellow,
                        CmxColour::Cyan, CmxColour::Magenta}) {
        const CmxMatrix m = adjustCmx(sepia, c, -0.3f, 1.7f);
        for (int r = 0; r < 3; ++r) {
            const auto i = static_cast<size_t>(3 * r);
            EXPECT_NEAR(m[i] + m[i + 1] + m[i + 2], sepia[i] + sepia[i + 1] + sepia[i + 2], 1e-5);
        }
    }
    expectCmx(adjustCmx(neutral, CmxColour::White, 0, 1), {2, 0, 0, 0, 2, 0, 0, 0, 2});
    expectCmx(adjustCmx({2, 1, 0, 0, 2, 0, 0, 0, 2}, CmxColour::White, 1, 0),
              {1, 1, 0, 0, 1, 0, 0, 0, 1});
    expectCmx(adjustCmx(neutral, CmxColour::White, -1, 0.5f), {0, 0, 0, 0, 0, 0, 0, 0, 0});
}

TEST(CmxModel, EncodedCoefficientsReadBackFromTheCamera) {
    CmxRig p;
    ASSERT_EQ(p.model.setText("1.25390625 -0.25 0 0 1 0 0 0 1"), std::nullopt);
    EXPECT_EQ(p.model.apply(), CmxApply::Written);
    EXPECT_EQ(coefficientRegisters(p.fw(), 0), (std::pair<uint8_t, uint8_t>{130, 2}));
    EXPECT_EQ(coefficientRegisters(p.fw(), 1), (std::pair<uint8_t, uint8_t>{128, 0xFF}));

    CmxModel fresh(p.rig.store, *p.rig.sensor);
    fresh.readState();
    ASSERT_TRUE(fresh.lastReadOk());
    EXPECT_EQ(fresh.matrix()[0], 1.25390625f);
    EXPECT_EQ(fresh.matrix()[1], -0.25f);
    EXPECT_EQ(fresh.text().substr(0, 18), "1.25391\t-0.25000\t0");

    // The "Default" preset's single-precision -0.3085938 lies just below -0.30859375.
    EXPECT_EQ(p.model.choosePreset(1), CmxApply::Written);
    EXPECT_EQ(coefficientRegisters(p.fw(), 1), (std::pair<uint8_t, uint8_t>{97, 0xFF}));
    fresh.readState();
    EXPECT_EQ(fresh.matrix()[1], -0.310546875f);
}

TEST(CmxModel, PresetsWriteWhetherOrNotAutoApplyIsOn) {
    CmxRig p;
    ASSERT_EQ(p.model.setColour(CmxColour::Green, 0.4f), std::nullopt);
    EXPECT_EQ(p.model.choosePreset(2), CmxApply::Written);
    EXPECT_EQ(p.model.colourValue(CmxColour::Green), 0.0f);
    expectCmx(p.model.matrix(), cmxPresets()[2].coefficients);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 18u);
    EXPECT_EQ(p.model.choosePreset(4), std::nullopt);
    EXPECT_EQ(p.model.choosePreset(-1), std::nullopt);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p.model.choosePreset(i), CmxApply::Written);
        CmxModel back(p.rig.store, *p.rig.sensor);
        back.readState();
        for (size_t k = 0; k < 9; ++k) {
            EXPECT_NEAR(back.matrix()[k], cmxPresets()[static_cast<size_t>(i)].coefficients[k],
                        1.0 / 256)
                << i << ' ' << k;
        }
    }
}

TEST(CmxModel, TransposedTextIsWrittenColumnByColumn) {
    CmxRig p;
    p.model.setTransposed(true);
    p.model.setText("1 2 3\r\n4 5 6\r\n7 8 9");
    EXPECT_EQ(p.model.apply(), CmxApply::Written);
    expectCmx(p.model.matrix(), {1, 4, 7, 2, 5, 8, 3, 6, 9});
    CmxModel back(p.rig.store, *p.rig.sensor);
    back.readState();
    expectCmx(back.matrix(), {1, 4, 7, 2, 5, 8, 3, 6, 9});
}

TEST(CmxModel, BadTextsAndOutOfRangeMatricesSendNothing) {
    CmxRig p;
    p.model.setText("1 2 3 4 5 6 7 8");
    EXPECT_EQ(p.model.apply(), CmxApply::NotNine);
    p.model.setText("1 0 0 0 1 0 0 0 64");
    EXPECT_EQ(p.model.apply(), CmxApply::OutOfRange);
    p.model.setText("1 0 0 0 1 0 0 0 -65");
    EXPECT_EQ(p.model.apply(), CmxApply::OutOfRange);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 0u);
    expectCmx(p.model.matrix(), {1, 0, 0, 0, 1, 0, 0, 0, 1});
    const auto log = p.rig.newMessages();
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("was not applied"), std::string::npos);

    // A held window changes the matrix without sending it.
    {
        UpdateHold hold(p.model);
        p.model.setText("2 0 0 0 2 0 0 0 2");
        EXPECT_EQ(p.model.apply(), CmxApply::Kept);
    }
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 0u);
    EXPECT_EQ(p.model.matrix()[0], 2.0f);
}

TEST(CmxModel, AutoApplyWritesOncePerChange) {
    CmxRig p;
    EXPECT_EQ(p.model.setText("1 0 0 0 1 0 0 0 0.5"), std::nullopt);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 0u);
    EXPECT_EQ(p.model.setAutoApply(true), CmxApply::Written);  // checking applies at once
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 18u);
    EXPECT_EQ(p.model.setColour(CmxColour::Red, 0.5f), CmxApply::Written);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 36u);
    EXPECT_EQ(coefficientRegisters(p.fw(), 0), (std::pair<uint8_t, uint8_t>{0, 3}));  // 1.5
    EXPECT_EQ(p.model.text().substr(0, 27), "1.50000\t-0.25000\t-0.25000\r\n");
    EXPECT_EQ(p.model.setText("1 0 0 0 1 0 0 0 1"), CmxApply::Written);
    EXPECT_EQ(p.model.setText("1 0 0 0 1 0 0 0"), CmxApply::NotNine);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 54u);
    EXPECT_EQ(p.model.setAutoApply(false), std::nullopt);
    p.model.setColour(CmxColour::White, 1.0f);
    EXPECT_EQ(cmxMatrixWrites(*p.rig.simCamera), 54u);
}

TEST(CmxModel, SpinStepsStayWithinMinusOneToTwo) {
    CmxRig p;
    EXPECT_NEAR(*p.model.spinValue(CmxColour::Blue, 1), 0.02f, 1e-6);
    EXPECT_NEAR(*p.model.spinValue(CmxColour::Blue, -50), -1.0f, 1e-5);
    EXPECT_FALSE(p.model.spinValue(CmxColour::Blue, -51).has_value());
    p.model.setColour(CmxColour::Blue, 1.99f);
    EXPECT_NEAR(*p.model.spinValue(CmxColour::Blue, 0), 1.99f, 1e-6);
    EXPECT_FALSE(p.model.spinValue(CmxColour::Blue, 1).has_value());
}

TEST(CmxModel, FailuresLeaveTheMatrixAndSayWhy) {
    Sim::SimFaults failing, unplugged;
    failing.failAfter = 4;
    unplugged.unplugAfter = 4;
    int n = 0;
    for (const Sim::SimFaults& faults : {failing, unplugged}) {
        SCOPED_TRACE(n++);
        CmxRig p;
        p.model.setText("0.5 0 0 0 0.5 0 0 0 0.5");
        p.rig.simCamera->setFaults(faults);
        EXPECT_EQ(p.model.apply(), CmxApply::WriteFailed);
        const auto log = p.rig.newMessages();
        EXPECT_NE(std::find(log.begin(), log.end(), "Error writing the color correction matrix"),
                  log.end());

        CmxModel reader(p.rig.store, *p.rig.sensor);
        reader.setText("3 0 0 0 3 0 0 0 3");
        reader.apply();  // disconnected or failing: the text's matrix is kept
        const CmxMatrix before = reader.matrix();
        reader.readState();
        EXPECT_FALSE(reader.lastReadOk());
        EXPECT_EQ(reader.matrix(), before);
    }
}

}  // namespace TVR::PanelTest
