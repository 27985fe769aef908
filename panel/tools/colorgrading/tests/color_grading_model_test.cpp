#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fx3.h"
#include "session/tests/session_test_helpers.h"
#include "shell/panel_models.h"
#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "test_support.h"
#include "tools/colorgrading/cg_variants.h"
#include "tools/colorgrading/color_grading_model.h"

namespace TVR::PanelTest {
namespace {

constexpr int64_t kMs = 1'000'000;

// A curve model on its own simulated camera, with a clock the test moves.
template <typename Info>
struct CurveRig {
    explicit CurveRig(const std::string& sim = "")
        : rig(sim), model(rig.store, *rig.sensor, std::make_unique<Info>()) {
        model.setClock([this] { return now; });
    }
    CGInfo& info() { return model.info(); }
    int kind() { return model.info().type(); }
    uint16_t entry(int i) { return rig.firmware->tableEntry(kind(), i); }
    // The raw entry a deviation becomes in the camera.
    uint16_t rawOf(double d) {
        return static_cast<uint16_t>(FX3::tableRawFromValue(kind(), d) & 0xFFFF);
    }
    void failFromNow() {
        Sim::SimFaults f;
        f.failAfter = 0;
        rig.simCamera->setFaults(f);
    }

    CameraRig rig;
    ColorGradingModel model;
    int64_t now = 1'000 * kMs;
};

uint32_t pos(ColorGradingModel& m, int i) { return m.info().position(i); }

TEST(ColorGradingModel, ReadsTheCurveFromTheCamera) {
    CurveRig<CGInfoHvS> r;
    for (int i = 0; i < kCurveSliders; ++i) r.rig.firmware->setTableEntry(1, i, 384);  // 1.5
    r.rig.firmware->setTableEntry(1, 3, 768);                                          // 3.0
    r.rig.firmware->setTableEntry(1, 4, 0);                                            // 0.0
    r.model.readState();
    EXPECT_EQ(pos(r.model, 0), 150u);
    EXPECT_EQ(pos(r.model, 3), 0u);
    EXPECT_EQ(pos(r.model, 4), 300u);
    EXPECT_EQ(r.rig.store.value("CG_HVS_0003"), (SettingValue{SettingType::Real, "3.0000"}));
    EXPECT_EQ(r.rig.store.value("CG_HVS_0063"), (SettingValue{SettingType::Real, "1.5000"}));
    EXPECT_TRUE(r.rig.newMessages().empty());
}

TEST(ColorGradingModel, ReadFailureGoesNeutralAndStoresNothing) {
    CurveRig<CGInfoLvL> r("fpga=72");
    r.info().setPosition(0, 17);
    r.rig.markLog();
    r.failFromNow();
    r.model.readState();
    EXPECT_EQ(pos(r.model, 0), 254u);
    EXPECT_EQ(pos(r.model, 63), 0u);
    EXPECT_FALSE(r.rig.store.has("CG_LVL_0000"));
    EXPECT_EQ(r.rig.newMessages(),
              std::vector<std::string>{"Error reading Luma vs. Luma (pre-73) values"});
}

TEST(ColorGradingModel, UnsupportedCurveIsNeitherReadNorWritten) {
    // Hue vs. luma needs FPGA build 73.
    CurveRig<CGInfoHvL> r("fpga=72");
    EXPECT_FALSE(r.model.supported());
    r.rig.firmware->setTableEntry(5, 0, 100);
    r.info().setPosition(0, 10);
    r.model.readState();
    EXPECT_EQ(pos(r.model, 0), 10u);
    EXPECT_FALSE(r.rig.store.has("CG_HVL_0000"));
    r.rig.simCamera->clearRequests();
    EXPECT_TRUE(r.model.writeAll());
    EXPECT_TRUE(r.rig.simCamera->requests().empty());
    // The store still takes what the window shows.
    EXPECT_EQ(r.rig.store.getReal("CG_HVL_0000"), 25.0);
}

TEST(ColorGradingModel, SingleSliderWritesReachTheTable) {
    CurveRig<CGInfoHvS> r;
    r.model.moved(7, 0, {});
    EXPECT_EQ(r.entry(7), 768);
    EXPECT_EQ(r.rig.store.getReal("CG_HVS_0007"), 3.0);
    // Skipped while the window fills its controls.
    r.model.setUpdateCounter(1);
    EXPECT_FALSE(r.model.writeSlider(7));
    r.model.setUpdateCounter(0);
}

TEST(ColorGradingModel, WriteFailuresAreLoggedAndTheStoreKeepsTheValue) {
    CurveRig<CGInfoHvS> r;
    r.rig.markLog();
    r.failFromNow();
    r.model.moved(2, 100, {});
    EXPECT_EQ(r.rig.store.getReal("CG_HVS_0002"), 2.0);
    EXPECT_EQ(r.rig.newMessages(),
              std::vector<std::string>{"Error writing Hue vs. Saturation value 2.00 for index 2"});
    r.rig.markLog();
    EXPECT_FALSE(r.model.writeAll());
    EXPECT_EQ(r.rig.newMessages(),
              std::vector<std::string>{"Error bulk-writing Hue vs. Saturation values"});
    EXPECT_EQ(r.rig.store.getReal("CG_HVS_0063"), 1.5);
}

TEST(ColorGradingModel, HalfTurnShiftComesBackAsTheOtherHalf) {
    // Per-entry access only (no block transfers before FX3 build 55).
    CurveRig<CGInfoHvH> r("fx3=54");
    EXPECT_FALSE(r.rig.sensor->tableBlockAvailable(0));
    r.model.moved(0, 3600, {});
    EXPECT_EQ(r.entry(0), 0x2000);
    r.model.readState();
    EXPECT_EQ(pos(r.model, 0), 0u);
    EXPECT_DOUBLE_EQ(r.rig.store.getReal("CG_HVH_0000"), -180.0);
}

// Writes a recognisable curve with writeAll, then reads it into a second model.
template <typename Info>
void curveRoundTrip(const std::string& sim) {
    SCOPED_TRACE(sim);
    CurveRig<Info> r(sim);
    ASSERT_TRUE(r.model.supported());
    const int32_t range = r.info().range();
    for (int i = 0; i < kCurveSliders; ++i) {
        // Short of R: a hue shift of +180 comes back as -180, the same hue.
        r.info().setPosition(i, static_cast<int64_t>(i) * range / kCurveSliders);
    }
    ASSERT_TRUE(r.model.writeAll());
    std::vector<double> written;
    for (int i = 0; i < kCurveSliders; ++i) {
        const double d = r.info().shownDeviation(i);
        written.push_back(d);
        ASSERT_EQ(r.entry(i), r.rawOf(d)) << i;
    }
    ColorGradingModel second(r.rig.store, *r.rig.sensor, std::make_unique<Info>());
    second.readState();
    for (int i = 0; i < kCurveSliders; ++i) {
        // What came back is the written deviation at the table's resolution.
        const double back = r.rig.store.getReal(r.info().key(i));
        EXPECT_LE(back, written[static_cast<size_t>(i)] + 1e-9) << i;
        EXPECT_GT(back, written[static_cast<size_t>(i)] - FX3::tableScale(r.kind()) - 1e-9) << i;
    }
}

TEST(ColorGradingModel, CurvesWrittenReadBackOnBothTablePaths) {
    for (const char* sim : {"fx3=105", "fx3=72", "fx3=54;fpga=72"}) {
        curveRoundTrip<CGInfoHvH>(sim);
        curveRoundTrip<CGInfoHvS>(sim);
        curveRoundTrip<CGInfoLvS>(sim);
    }
    for (const char* sim : {"fx3=105", "fx3=72"}) {
        curveRoundTrip<CGInfoSvS>(sim);
        curveRoundTrip<CGInfoLvL73>(sim);
        curveRoundTrip<CGInfoHvL>(sim);
    }
    curveRoundTrip<CGInfoLvL>("fx3=105;fpga=72");
    curveRoundTrip<CGInfoLvL>("fx3=54;fpga=72");
}

TEST(ColorGradingModel, LoadTakesOlderKeysRecordsAndPushes) {
    CurveRig<CGInfoHvS> r;
    r.rig.store.setReal("GC_HVS_0000", 3.0);
    r.rig.store.setReal("GC_HVS_0001", 0.0);
    r.rig.store.setReal("CG_HVS_0001", 2.0);  // the newer key wins
    r.model.loadFromStore();
    EXPECT_EQ(pos(r.model, 0), 0u);
    EXPECT_EQ(pos(r.model, 1), 100u);
    EXPECT_EQ(pos(r.model, 2), 150u);
    EXPECT_EQ(r.entry(0), 768);
    EXPECT_EQ(r.entry(1), 512);
    EXPECT_EQ(r.entry(2), 384);
    ASSERT_EQ(r.model.history().top(), 2u);
    EXPECT_EQ(r.model.history().entries()[1].oldPos, 150);
    EXPECT_EQ(r.model.history().entries()[1].newPos, 100);
    EXPECT_TRUE(r.model.undo());
    EXPECT_EQ(pos(r.model, 1), 150u);
    EXPECT_EQ(r.entry(1), 384);
}

TEST(ColorGradingModel, UnreadableStoredValueEndsTheLoadUntouched) {
    CurveRig<CGInfoHvS> r;
    r.rig.store.setReal("CG_HVS_0000", 3.0);
    r.rig.store.setString("CG_HVS_0005", "oops");
    r.rig.simCamera->clearRequests();
    r.model.loadFromStore();
    EXPECT_EQ(pos(r.model, 0), 150u);
    EXPECT_EQ(r.model.history().top(), 0u);
    EXPECT_TRUE(r.rig.simCamera->requests().empty());
}

TEST(ColorGradingModel, QuickDragsMergeIntoOneUndoEntry) {
    CurveRig<CGInfoHvS> r;
    r.model.moved(5, 100, {});
    r.now += 100 * kMs;
    r.model.moved(5, 200, {});
    r.now += 299 * kMs;
    r.model.moved(5, 120, {});
    ASSERT_EQ(r.model.history().top(), 1u);
    EXPECT_EQ(r.model.history().entries()[0].oldPos, 150);
    EXPECT_EQ(r.model.history().entries()[0].newPos, 120);
    // The entry's time is its first change, so the window does not slide.
    r.now += 2 * kMs;
    r.model.moved(5, 130, {});
    EXPECT_EQ(r.model.history().top(), 2u);
    // Another slider starts its own entry.
    r.model.moved(6, 10, {});
    EXPECT_EQ(r.model.history().top(), 3u);

    EXPECT_TRUE(r.model.undo());
    EXPECT_EQ(pos(r.model, 6), 150u);
    EXPECT_EQ(r.entry(6), 384);
    EXPECT_TRUE(r.model.undo());
    EXPECT_EQ(pos(r.model, 5), 120u);
    EXPECT_TRUE(r.model.undo());
    EXPECT_EQ(pos(r.model, 5), 150u);
    EXPECT_FALSE(r.model.undo());
    EXPECT_TRUE(r.model.redo());
    EXPECT_EQ(pos(r.model, 5), 120u);
    EXPECT_EQ(r.entry(5), r.rawOf(1.8));
    // A new change drops what could be redone.
    r.now += 1000 * kMs;
    r.model.moved(9, 0, {});
    EXPECT_FALSE(r.model.redo());
    EXPECT_EQ(r.model.history().entries().size(), 2u);
}

TEST(ColorGradingModel, GroupedMovesWrapAroundAndUndoTogether) {
    CurveRig<CGInfoHvS> r;
    r.info().setPosition(63, 290);
    r.model.moved(0, 170, {.shift = true});
    for (int i : {62, 0, 1, 2}) EXPECT_EQ(pos(r.model, i), 170u) << i;
    EXPECT_EQ(pos(r.model, 63), 300u);  // clamped at the bottom
    EXPECT_EQ(pos(r.model, 3), 150u);
    EXPECT_EQ(pos(r.model, 61), 150u);
    EXPECT_EQ(r.entry(62), r.rawOf(1.3));
    EXPECT_EQ(r.entry(2), r.rawOf(1.3));
    ASSERT_EQ(r.model.history().top(), 1u);
    EXPECT_TRUE(r.model.history().entries()[0].grouped);
    EXPECT_TRUE(r.model.undo());
    for (int i : {62, 0, 1, 2}) EXPECT_EQ(pos(r.model, i), 150u) << i;
    EXPECT_EQ(pos(r.model, 63), 280u);
    EXPECT_EQ(r.entry(1), 384);
}

TEST(ColorGradingModel, CtrlLocksAndCopiesTheLockedPosition) {
    CurveRig<CGInfoHvS> r;
    r.model.moved(5, 40, {.ctrl = true});
    EXPECT_EQ(r.model.lockedIndex(), 5);
    EXPECT_EQ(r.model.sliderState(5), SliderState::Locked);
    EXPECT_EQ(pos(r.model, 5), 150u);  // the locked slider stays
    r.info().setPosition(5, 60);
    r.model.moved(9, 250, {.ctrl = true});
    EXPECT_EQ(pos(r.model, 9), 60u);
    EXPECT_EQ(r.entry(9), r.rawOf(2.4));
    EXPECT_EQ(r.model.sliderState(9), SliderState::Plain);
    r.model.unlock();
    EXPECT_EQ(r.model.lockedIndex(), kNoSlider);
    EXPECT_EQ(r.model.sliderState(5), SliderState::Plain);
    r.model.moved(9, 250, {});
    EXPECT_EQ(pos(r.model, 9), 250u);
    EXPECT_EQ(r.model.sliderState(9), SliderState::LastChanged);
    r.model.moved(10, 250, {});
    EXPECT_EQ(r.model.sliderState(9), SliderState::Plain);
    EXPECT_EQ(r.model.sliderState(10), SliderState::LastChanged);
}

TEST(ColorGradingModel, RightClicks) {
    CurveRig<CGInfoHvH> r;
    r.info().setPosition(4, 100);
    r.model.rightClick(4, {});
    EXPECT_EQ(pos(r.model, 4), 1800u);
    EXPECT_EQ(r.model.history().top(), 1u);
    // Alt without Ctrl on a slider that is no anchor changes nothing.
    r.info().setPosition(4, 100);
    r.model.rightClick(4, {.alt = true});
    EXPECT_EQ(pos(r.model, 4), 100u);
    EXPECT_EQ(r.model.history().top(), 1u);
    // ... and on an anchor removes it.
    r.model.rightClick(31, {.alt = true});
    EXPECT_EQ(r.model.anchors(), (std::vector<int>{0, 63}));
    // Ctrl with a locked slider copies its output hue.
    r.model.moved(10, 0, {.ctrl = true});  // locks 10 where it stands
    r.info().setPosition(10, r.info().adjToPos(r.info().devToAdj(30.0)));
    const double hue = r.info().deviation(10);
    r.model.rightClick(20, {.ctrl = true});
    EXPECT_NEAR(r.info().deviation(20), hue, 0.1);
    r.model.rightClick(0, {.ctrl = true, .alt = true});
    for (int i : {0, 33, 63}) EXPECT_NEAR(r.info().deviation(i), hue, 0.3) << i;
    EXPECT_EQ(r.entry(33), r.rawOf(r.info().shownDeviation(33)));
}

TEST(ColorGradingModel, SplineBetweenAnchors) {
    CurveRig<CGInfoHvS> r;
    r.model.rightClick(31, {.alt = true});
    r.model.rightClick(63, {.alt = true});
    // Two anchors after this one: the Alt-drag only makes slider 20 an anchor.
    EditEffect e = r.model.moved(20, 10, {.alt = true});
    EXPECT_FALSE(e.pushLater);
    EXPECT_EQ(pos(r.model, 20), 150u);
    EXPECT_EQ(r.model.sliderState(20), SliderState::Anchor);
    EXPECT_EQ(r.model.anchors(), (std::vector<int>{0, 20}));
    // The third anchor bends the curve through all three.
    r.rig.simCamera->clearRequests();
    e = r.model.moved(40, 50, {.alt = true});
    EXPECT_TRUE(e.pushLater);
    EXPECT_TRUE(r.rig.simCamera->requests().empty());  // pushed later, whole
    EXPECT_EQ(pos(r.model, 0), 150u);
    EXPECT_EQ(pos(r.model, 20), 150u);
    EXPECT_EQ(pos(r.model, 40), 50u);
    for (int k = 22; k <= 40; ++k) EXPECT_LT(pos(r.model, k), pos(r.model, k - 1)) << k;
    EXPECT_GT(pos(r.model, 10), 150u);  // the natural spline swings past the flat start
    EXPECT_LT(pos(r.model, 63), 50u);   // and runs on past the last anchor
    EXPECT_EQ(r.model.history().top(), 64u);
    ASSERT_TRUE(r.model.writeAll());
    EXPECT_EQ(r.entry(40), 640);
    EXPECT_EQ(r.entry(0), 384);
}

TEST(NaturalSpline, LinearThroughCollinearPointsAndNaturalEnds) {
    const auto line = naturalSpline({0, 31, 63}, {0, 31, 63}, 64);
    for (int k = 0; k < 64; ++k) EXPECT_NEAR(line[static_cast<size_t>(k)], k, 1e-9);
    const auto bent = naturalSpline({0, 10, 20}, {0, 10, 0}, 21);
    EXPECT_NEAR(bent[10], 10.0, 1e-9);
    EXPECT_NEAR(bent[5], bent[15], 1e-9);  // symmetric
    // Second derivative zero at the ends: nearly straight next to them.
    EXPECT_NEAR(bent[2] - bent[1], bent[1] - bent[0], 0.05);
}

TEST(ColorGradingModel, RotationOneStepBothWays) {
    CurveRig<CGInfoHvS> r;
    for (int i = 0; i < kCurveSliders; ++i) r.info().setPosition(i, i * 4);
    r.model.rotate(true);
    EXPECT_EQ(pos(r.model, 0), 4u);
    EXPECT_EQ(pos(r.model, 62), 252u);
    EXPECT_EQ(pos(r.model, 63), 0u);
    EXPECT_EQ(r.entry(63), 768);
    r.model.rotate(false);
    r.model.rotate(false);
    EXPECT_EQ(pos(r.model, 0), 252u);
    EXPECT_EQ(pos(r.model, 1), 0u);
    EXPECT_EQ(r.model.history().top(), 0u);
    for (int n = 0; n < 63; ++n) r.model.rotate(false);
    for (int i = 0; i < kCurveSliders; ++i) EXPECT_EQ(pos(r.model, i), uint32_t(i * 4)) << i;
    EXPECT_EQ(r.entry(10), r.rawOf(3.0 - 0.4));
}

TEST(ColorGradingModel, NeutralThenUndoRevertsOnlyTheLastSlider) {
    CurveRig<CGInfoLvS> r;
    for (int i = 0; i < kCurveSliders; ++i) r.info().setPosition(i, 10);
    r.model.resetAll(false);
    ASSERT_TRUE(r.model.writeAll());
    for (int i = 0; i < kCurveSliders; ++i) EXPECT_EQ(pos(r.model, i), 150u);
    EXPECT_TRUE(r.model.undo());
    EXPECT_EQ(pos(r.model, 63), 10u);
    EXPECT_EQ(pos(r.model, 62), 150u);
    EXPECT_EQ(r.entry(63), r.rawOf(2.9));
    r.model.resetAll(true);
    EXPECT_EQ(pos(r.model, 4), r.info().defaultPos(4));
}

TEST(ColorGradingModel, TitleTooltipAndHover) {
    CurveRig<CGInfoHvS> r;
    EXPECT_EQ(r.model.windowTitle(), "Hue vs. Saturation");
    EXPECT_TRUE(r.model.hover(3));
    EXPECT_FALSE(r.model.hover(3));
    EXPECT_EQ(r.model.windowTitle(),
              "Hue vs. Saturation - Slider #3 (hue: 16\u00B0), adj. slider: 150, dev 1.50");
    EXPECT_EQ(r.model.tooltip(3), "1.5");
    r.info().setPosition(3, 0);
    EXPECT_EQ(r.model.tooltip(3), "3");
    r.model.showAnchors(true);
    EXPECT_EQ(r.model.sliderState(31), SliderState::Anchor);
    r.model.showAnchors(false);
    EXPECT_EQ(r.model.sliderState(31), SliderState::Plain);
}

// Tables of kinds 0-5, entries 0-63.
std::vector<uint16_t> curveTables(Sim::SimCameraFirmware& fw) {
    std::vector<uint16_t> t;
    for (unsigned kind = 0; kind < 6; ++kind) {
        for (unsigned i = 0; i < kCurveSliders; ++i) t.push_back(fw.tableEntry(kind, i));
    }
    return t;
}

void settingsRoundTrip(const std::string& sim) {
    SCOPED_TRACE(sim);
    TestSupport::TempFolder folder;
    SessionTest::SessionRig a(sim);
    SessionTest::SessionRig b(sim);
    ASSERT_TRUE(a.session->readAll());
    PanelModels& m = a.session->models();
    const bool current = a.session->camera().versionFX3().buildAtLeast(kLumaVsLumaCurrentBuild);
    int n = 0;
    for (OwnerId id : {OwnerId::HueVsHue, OwnerId::HueVsSat, OwnerId::LumaVsSat,
                       current ? OwnerId::LumaVsLuma : OwnerId::LumaVsLumaLegacy, OwnerId::SatVsSat,
                       OwnerId::HueVsLuma}) {
        ColorGradingModel* c = m.curve(id);
        ASSERT_NE(c, nullptr);
        const int32_t range = c->info().range();
        for (int i = 0; i < kCurveSliders; i += 3) {
            c->moved(i, static_cast<uint32_t>((i * 37 + n * 11) % (range + 1)), {});
        }
        c->moved(9, 1, {.shift = true});
        ++n;
    }
    const std::string file = folder.file("curves.qcf");
    ASSERT_TRUE(a.session->saveFileAs(file));
    const auto written = curveTables(a.firmware());
    ASSERT_NE(written, curveTables(b.firmware()));
    EXPECT_EQ(b.session->loadSettingsAndPush(file).outcome, LoadOutcome::Pushed);
    EXPECT_EQ(curveTables(b.firmware()), written);
}

TEST(ColorGradingSettings, AllCurvesTravelBetweenCamerasThroughAFile) {
    settingsRoundTrip("fx3=105");
    settingsRoundTrip("fx3=72;fpga=72");
}

TEST(ColorGradingSettings, CurvesAreValueOwnersInTheirOrder) {
    SessionTest::SessionRig rig;
    PanelModels& m = rig.session->models();
    EXPECT_EQ(m.curve(OwnerId::HueVsHue)->info().title(), "Hue vs. Hue");
    EXPECT_EQ(m.curve(OwnerId::LumaVsLuma)->info().title(), "Luma vs. Luma");
    EXPECT_EQ(m.curve(OwnerId::LumaVsLumaLegacy)->info().title(), "Luma vs. Luma (pre-73)");
    EXPECT_EQ(m.curve(OwnerId::HueVsLuma)->info().title(), "Hue vs. Luma");
    EXPECT_EQ(m.curve(OwnerId::TabGains), nullptr);
    for (OwnerId id : {OwnerId::HueVsHue, OwnerId::SatVsSat, OwnerId::LumaVsLumaLegacy}) {
        EXPECT_EQ(m.owners().find(id), m.curve(id));
    }
}

}  // namespace
}  // namespace TVR::PanelTest
