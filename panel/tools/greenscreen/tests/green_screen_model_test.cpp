#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "protocol/vendor_requests.h"
#include "shell/tests/panel_test_helpers.h"
#include "sim/sim_camera.h"
#include "tools/greenscreen/green_screen_model.h"

namespace TVR::PanelTest {

namespace {

using BandRegs = std::array<uint8_t, kBandRegisterCount>;

BandRegs bandRegisters(const Sim::SimCameraFirmware& fw, int band) {
    BandRegs r{};
    for (int i = 0; i < kBandRegisterCount; ++i) {
        r[static_cast<size_t>(i)] = fw.fpgaRegister(static_cast<uint8_t>(128 + 16 * band + i));
    }
    return r;
}

// The FPGA registers written since the requests were last cleared.
std::set<int> writtenRegisters(const Sim::SimCamera& camera) {
    std::set<int> regs;
    for (const auto& r : camera.requests()) {
        if (r.kind == Sim::SimRequestRecord::Kind::Control && !r.setup.isIn() &&
            r.setup.bRequest == VR_FPGA_REG) {
            regs.insert(r.setup.wIndex);
        }
    }
    return regs;
}

bool logHas(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

struct BandRig {
    explicit BandRig(const std::string& sim = "") : rig(sim), model(rig.store, *rig.sensor) {
        rig.simCamera->clearRequests();
        rig.markLog();
    }
    Sim::SimCameraFirmware& fw() { return *rig.firmware; }
    // Puts `band` into record `index` and uploads it.
    bool upload(int index, const ColorSubsInfo& band) {
        model.setBandRecord(index, band);
        model.setCurrentBand(index);
        return model.uploadBand();
    }

    CameraRig rig;
    GreenScreenModel model;
};

ColorSubsInfo sampleBand(int hue, int tolerance) {
    ColorSubsInfo b;
    b.enabled = 1;
    b.hue = hue;
    b.hueTolerance = tolerance;
    b.satMin = 40;
    b.satMax = 230;
    b.lumMin = 16;
    b.lumMax = 235;
    b.rgb = 0x3366CC;  // red CC, green 66, blue 33
    return b;
}

}  // namespace

TEST(GreenScreenConversions, HueAndToleranceStepsAtTheEdges) {
    EXPECT_EQ(hueToRaw(0), 0);
    EXPECT_EQ(hueToRaw(180), 8192);
    EXPECT_EQ(hueToRaw(181), -8146);
    EXPECT_EQ(hueToRaw(359), -45);
    EXPECT_EQ(hueToRaw(-1), -45);  // any integer is taken modulo 360
    EXPECT_EQ(hueToRaw(720 + 90), 4096);
    EXPECT_EQ(hueFromRaw(-8192), 180);
    EXPECT_EQ(hueFromRaw(8192), 180);
    EXPECT_EQ(hueFromRaw(0), 0);
    EXPECT_EQ(hueFromRaw(-45), 359);
    EXPECT_EQ(hueFromRaw(-8146), 181);
    EXPECT_EQ(hueFromRaw(5461), 120);
    for (int h = 0; h < 360; ++h) EXPECT_EQ(hueFromRaw(hueToRaw(h)), h) << h;

    EXPECT_EQ(toleranceToRaw(10), 455);
    EXPECT_EQ(toleranceToRaw(180), 8192);
    EXPECT_EQ(toleranceToRaw(500), 8192);  // the window is at most a full turn
    EXPECT_EQ(toleranceToRaw(-3), 0);
    for (int t = 0; t <= 180; ++t) EXPECT_EQ(toleranceFromRaw(toleranceToRaw(t)), t) << t;
}

TEST(GreenScreenConversions, HsvColoursOfEachSector) {
    EXPECT_EQ(hsvToRgb(0, 255, 255), (Rgb{255, 0, 0}));
    EXPECT_EQ(hsvToRgb(30, 255, 255), (Rgb{255, 128, 0}));
    EXPECT_EQ(hsvToRgb(120, 255, 255), (Rgb{0, 255, 0}));
    EXPECT_EQ(hsvToRgb(200, 255, 128), (Rgb{0, 85, 128}));
    EXPECT_EQ(hsvToRgb(-60, 255, 255), (Rgb{255, 0, 255}));
    EXPECT_EQ(hsvToRgb(77, 0, 90), (Rgb{90, 90, 90}));
    EXPECT_EQ(hsvToRgb(240, 128, 200), (Rgb{99, 99, 200}));
}

TEST(GreenScreenConversions, KeysOfEveryBandAndTheOlderNames) {
    EXPECT_EQ(bandKey(0, BandKey::On), "GS1_ON");
    EXPECT_EQ(bandKey(3, BandKey::Blue), "GS4_RGB_B");
    EXPECT_EQ(bandKey(1, BandKey::HueTolerance), "GS2_HUE_TOLERANCE");
    EXPECT_EQ(bandKey(2, BandKey::LuminosityMax, true), "GS3_ENHANCER_LUMINOSITY_MAX");
    EXPECT_EQ(bandKey(0, BandKey::SaturationMin, true), "GS1_ENHANCER_SATURATION_MIN");
}

TEST(GreenScreenUpload, RegisterImagesOfEdgeBands) {
    BandRig p;
    // A window across 0/360, an empty saturation range, the full luminance range.
    ColorSubsInfo across = sampleBand(350, 20);
    across.satMin = 200;
    across.satMax = 100;
    across.lumMin = 0;
    across.lumMax = 255;
    ASSERT_TRUE(p.upload(1, across));
    const BandRegs expected{1,    0,    200,  100, 0,    255, 0x39, 0xFE,
                            0x8E, 0x03, 0xCC, 0,   0x66, 0,   0x33, 0};
    EXPECT_EQ(bandRegisters(p.fw(), 1), expected);
    EXPECT_EQ(bandRegisterImage(across), expected);

    // Register 1 is never written, and only band 1's registers were.
    std::set<int> regs;
    for (int i = 0; i < kBandRegisterCount; ++i) {
        if (i != 1) regs.insert(144 + i);
    }
    EXPECT_EQ(writtenRegisters(*p.rig.simCamera), regs);

    ColorSubsInfo half = sampleBand(180, 180);
    half.enabled = 0;
    ASSERT_TRUE(p.upload(3, half));
    const BandRegs halfRegs = bandRegisters(p.fw(), 3);
    EXPECT_EQ(halfRegs[0], 0);
    EXPECT_EQ(halfRegs[6] | halfRegs[7] << 8, 8192);
    EXPECT_EQ(halfRegs[8] | halfRegs[9] << 8, 8192);

    ColorSubsInfo past = sampleBand(181, 0);
    ASSERT_TRUE(p.upload(2, past));
    const BandRegs pastRegs = bandRegisters(p.fw(), 2);
    EXPECT_EQ(static_cast<int16_t>(pastRegs[6] | pastRegs[7] << 8), -8146);
    EXPECT_EQ(pastRegs[8] | pastRegs[9] << 8, 0);
    EXPECT_TRUE(logHas(p.rig.newMessages(), "Uploading one band of Color Substitution to device"));
}

TEST(GreenScreenUpload, ReadBackGivesTheUploadedBandsAndFillsTheStore) {
    BandRig p;
    const std::array<ColorSubsInfo, 4> bands{sampleBand(350, 20), sampleBand(181, 0),
                                             sampleBand(0, 180), sampleBand(120, 45)};
    for (int b = 0; b < 4; ++b) ASSERT_TRUE(p.upload(b, bands[static_cast<size_t>(b)]));

    GreenScreenModel fresh(p.rig.store, *p.rig.sensor);
    fresh.readState();
    for (int b = 0; b < 4; ++b) {
        ColorSubsInfo want = bands[static_cast<size_t>(b)];
        const ColorSubsInfo& got = fresh.band(b);
        // The saved picker values stay the window's own.
        want.savedHue = got.savedHue;
        want.savedTolerance = got.savedTolerance;
        EXPECT_EQ(got, want) << b;
    }
    EXPECT_TRUE(p.rig.store.getBool("GS1_ON"));
    EXPECT_EQ(p.rig.store.getInt("GS1_HUE"), 350);
    EXPECT_EQ(p.rig.store.getInt("GS2_HUE"), 181);
    EXPECT_EQ(p.rig.store.getInt("GS3_HUE_TOLERANCE"), 180);
    EXPECT_EQ(p.rig.store.value("GS4_RGB_B").text, "0x33");
    EXPECT_EQ(p.rig.store.value("GS4_SATURATION_MAX").text, "230");
}

TEST(GreenScreenRead, CameraQuirksOfTheUpperBoundsAndTheEnableBit) {
    BandRig p;
    p.fw().setFpgaRegister(128 + 3, 0);     // satMax
    p.fw().setFpgaRegister(128 + 5, 0);     // lumMax
    p.fw().setFpgaRegister(128 + 0, 0xFE);  // only bit 0 counts
    p.fw().setFpgaRegister(144 + 0, 0x03);
    p.fw().setFpgaRegister(144 + 6, 0x00);  // hue raw -8192
    p.fw().setFpgaRegister(144 + 7, 0xE0);
    p.model.readState();
    EXPECT_EQ(p.model.band(0).satMax, 255);
    EXPECT_EQ(p.model.band(0).lumMax, 255);
    EXPECT_EQ(p.model.band(0).enabled, 0);
    EXPECT_EQ(p.model.band(1).enabled, 1);
    EXPECT_EQ(p.model.band(1).hue, 180);
    // The simulated camera's power-up bands.
    EXPECT_EQ(p.model.band(2).hue, 120);
    EXPECT_EQ(p.model.band(2).hueTolerance, 10);
    EXPECT_EQ(p.model.band(2).rgb, 0x00FF00u);
    EXPECT_TRUE(
        logHas(p.rig.newMessages(), "Reading the state of the 4 bands of Color Substitution"));
}

TEST(GreenScreenRead, FailingCameraGivesZerosAndNamesEachRead) {
    BandRig p;
    Sim::SimFaults faults;
    faults.failAfter = 0;
    p.rig.simCamera->setFaults(faults);
    p.model.readState();
    for (int i = 0; i < 4; ++i) {
        const ColorSubsInfo& b = p.model.band(i);
        EXPECT_EQ(b.enabled, 0);
        EXPECT_EQ(b.hue, 0);
        EXPECT_EQ(b.hueTolerance, 0);
        EXPECT_EQ(b.satMin, 0);
        EXPECT_EQ(b.satMax, 255);
        EXPECT_EQ(b.lumMin, 0);
        EXPECT_EQ(b.lumMax, 255);
        EXPECT_EQ(b.rgb, 0u);
    }
    const auto log = p.rig.newMessages();
    for (const char* text :
         {"Error getting status of Green Screen enhancer", "Error performing operation [read hue]",
          "Error performing operation [read hue tolerance]",
          "Error performing operation [read saturation threshold]",
          "Error performing operation [read red component of substituion solor]",
          "Error performing operation [get min brightness]",
          "Error performing operation [get max brightness]"}) {
        EXPECT_TRUE(logHas(log, text)) << text;
    }
}

TEST(GreenScreenRead, CameraLeavingMidwayStopsTheReads) {
    BandRig p;
    Sim::SimFaults faults;
    faults.unplugAfter = 3;
    p.rig.simCamera->setFaults(faults);
    const uint64_t failedBefore = p.rig.sensor->failedRequests();
    p.model.readState();
    EXPECT_GT(p.rig.sensor->failedRequests(), failedBefore);
    // Nothing more is asked of a camera that left.
    const size_t asked = p.rig.simCamera->requests().size();
    p.model.readState();
    EXPECT_EQ(p.rig.simCamera->requests().size(), asked);
}

TEST(GreenScreenUpload, FailuresAreLoggedWithTheirLabelsAndReported) {
    BandRig p;
    Sim::SimFaults faults;
    faults.failAfter = 2;  // the enable and the low hue byte still arrive
    p.rig.simCamera->setFaults(faults);
    EXPECT_FALSE(p.upload(0, sampleBand(200, 30)));
    const auto log = p.rig.newMessages();
    EXPECT_FALSE(logHas(log, "Error enabling Green Screen enhancer"));
    for (const char* text :
         {"Error performing operation [set hue]", "Error performing operation [set hue tolerance]",
          "Error performing operation [set max brightness]",
          "Error performing operation [set red component of substituion solor]"}) {
        EXPECT_TRUE(logHas(log, text)) << text;
    }

    BandRig q;
    Sim::SimFaults gone;
    gone.unplugAfter = 0;
    q.rig.simCamera->setFaults(gone);
    EXPECT_FALSE(q.upload(0, sampleBand(200, 30)));
    EXPECT_TRUE(logHas(q.rig.newMessages(), "Error enabling Green Screen enhancer"));
}

TEST(GreenScreenEdits, OneFieldIsStoredAndWrittenAloneUnlessHeld) {
    BandRig p;
    EXPECT_TRUE(p.model.editField(BandField::SatMin, 300));  // a byte keeps its low 8 bits
    EXPECT_EQ(p.model.current().satMin, 44);
    EXPECT_EQ(p.rig.store.getInt("GS1_SATURATION_MIN"), 44);
    EXPECT_EQ(p.fw().fpgaRegister(130), 44);
    EXPECT_EQ(writtenRegisters(*p.rig.simCamera), (std::set<int>{130}));

    p.model.setCurrentBand(2);
    EXPECT_TRUE(p.model.editField(BandField::Hue, 270));
    EXPECT_EQ(p.rig.store.getInt("GS3_HUE"), 270);
    EXPECT_EQ(static_cast<int16_t>(p.fw().fpgaRegister(166) | p.fw().fpgaRegister(167) << 8),
              hueToRaw(270));

    EXPECT_TRUE(p.model.setEnabled(true));
    EXPECT_EQ(p.fw().fpgaRegister(160), 1);
    EXPECT_TRUE(p.rig.store.getBool("GS3_ON"));
    EXPECT_TRUE(p.model.setReplacementColour(0x0A0B0C));
    EXPECT_EQ(p.rig.store.value("GS3_RGB_R").text, "0xC");
    EXPECT_EQ(p.fw().fpgaRegister(170), 0x0C);
    EXPECT_EQ(p.fw().fpgaRegister(174), 0x0A);

    p.rig.simCamera->clearRequests();
    {
        UpdateHold hold(p.model);
        EXPECT_FALSE(p.model.editField(BandField::LumMax, 200));
    }
    EXPECT_EQ(p.rig.store.getInt("GS3_LUMINOSITY_MAX"), 200);
    EXPECT_TRUE(p.rig.simCamera->requests().empty());
}

TEST(GreenScreenCopy, DraggingBandThreeOntoBandOneCopiesEveryField) {
    BandRig p;
    ColorSubsInfo src = sampleBand(300, 25);
    src.savedHue = 77;
    src.savedTolerance = 33;
    p.model.setBandRecord(2, src);
    p.model.setCurrentBand(1);
    p.rig.store.setDecimal("GS1_HUE", 5);
    p.rig.simCamera->clearRequests();

    EXPECT_TRUE(p.model.copyBand(2, 0));
    EXPECT_EQ(p.model.band(0), src);
    EXPECT_EQ(p.model.currentBand(), 1);
    EXPECT_EQ(bandRegisters(p.fw(), 0), bandRegisterImage(src));
    EXPECT_EQ(p.rig.store.getInt("GS1_HUE"), 5);  // a drop stores nothing
    EXPECT_TRUE(logHas(p.rig.newMessages(), "Copying color substitution info from slot# 2 into 0"));

    p.rig.simCamera->clearRequests();
    EXPECT_FALSE(p.model.copyBand(1, 1));
    EXPECT_FALSE(p.model.copyBand(0, 4));
    EXPECT_FALSE(p.model.copyBand(-1, 0));
    EXPECT_TRUE(p.rig.simCamera->requests().empty());
}

TEST(GreenScreenInverse, OppositeHueBandsAroundTheCurrentOne) {
    BandRig p;
    ColorSubsInfo o = sampleBand(100, 30);
    o.satMin = 60;  // saturation margin min(60, 25) = 25
    o.satMax = 230;
    o.lumMin = 10;  // luminance margin min(10, 20) = 10
    o.lumMax = 235;
    p.model.setBandRecord(1, o);
    p.model.setCurrentBand(1);
    EXPECT_TRUE(p.model.buildInverse());
    EXPECT_EQ(p.model.currentBand(), 0);

    const ColorSubsInfo& b1 = p.model.band(0);
    EXPECT_EQ(b1.hue, 280);
    EXPECT_EQ(b1.hueTolerance, 150);
    EXPECT_EQ(b1.enabled, 1);
    EXPECT_EQ(b1.satMin, 0);
    EXPECT_EQ(b1.lumMax, 255);
    EXPECT_EQ(b1.rgb, o.rgb);
    ColorSubsInfo third = o;
    third.enabled = 0;
    EXPECT_EQ(p.model.band(2), third);
    EXPECT_EQ(p.model.band(1).hue, 280);
    EXPECT_EQ(p.model.band(1).hueTolerance, 179);
    EXPECT_EQ(p.model.band(1).satMax, 60);
    EXPECT_EQ(p.model.band(3).satMin, 230);
    EXPECT_EQ(p.model.band(3).lumMin, 0);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(bandRegisters(p.fw(), b), bandRegisterImage(p.model.band(b))) << b;
    }
    EXPECT_FALSE(p.rig.store.has("GS1_HUE"));

    // A grey key: the opposite band takes almost every hue; luminance margin is the larger.
    BandRig q;
    ColorSubsInfo grey = sampleBand(10, 175);
    grey.satMin = 0;
    grey.satMax = 15;
    grey.lumMin = 40;
    grey.lumMax = 200;
    q.model.setBandRecord(0, grey);
    EXPECT_TRUE(q.model.buildInverse());
    EXPECT_EQ(q.model.band(0).hue, 190);
    EXPECT_EQ(q.model.band(0).hueTolerance, 179);
    EXPECT_EQ(q.model.band(1).lumMax, 40);
    EXPECT_EQ(q.model.band(3).lumMin, 200);
    EXPECT_EQ(q.model.band(1).satMax, 255);
}

TEST(GreenScreenStore, OlderKeysLoadTheirBandAndTheOthersAreStored) {
    BandRig p;
    SettingsStore& s = p.rig.store;
    s.setBool("GS3_ENHANCER_ON", true);
    s.setDecimal("GS3_ENHANCER_HUE", 181);
    s.setDecimal("GS3_ENHANCER_HUE_TOLERANCE", 12);
    s.setDecimal("GS3_ENHANCER_SATURATION_MIN", 0x105);  // cut to its low byte
    s.setDecimal("GS3_ENHANCER_SATURATION_MAX", 99);
    s.setDecimal("GS3_ENHANCER_LUMINOSITY_MIN", 7);
    s.setDecimal("GS3_ENHANCER_LUMINOSITY_MAX", 250);
    s.setHex("GS3_ENHANCER_RGB_R", 0x12);
    s.setHex("GS3_ENHANCER_RGB_G", 0x34);
    s.setHex("GS3_ENHANCER_RGB_B", 0x56);
    p.model.setCurrentBand(1);
    p.model.loadFromStore();

    const BandRegs regs = bandRegisters(p.fw(), 2);
    EXPECT_EQ(regs,
              (BandRegs{1, 0, 5, 99, 7, 250, 0x2E, 0xE0, 0x22, 0x02, 0x12, 0, 0x34, 0, 0x56, 0}));
    EXPECT_EQ(p.model.currentBand(), 1);
    // Nothing was sent for the other bands; their records went into the store.
    for (int i = 0; i < 4; ++i) {
        if (i == 2) continue;
        EXPECT_TRUE(s.has(bandKey(i, BandKey::On))) << i;
        EXPECT_EQ(s.getInt(bandKey(i, BandKey::SaturationMin)), 20) << i;
    }
    EXPECT_FALSE(s.has("GS3_ON"));
    for (int reg : writtenRegisters(*p.rig.simCamera)) EXPECT_TRUE(reg >= 160 && reg < 176) << reg;
}

TEST(GreenScreenStore, SettingsFileCarriesAllBandsToAnotherCamera) {
    TestSupport::TempFolder folder;
    const std::string path = folder.file("bands.qcf");
    {
        BandRig a;
        const std::array<ColorSubsInfo, 4> bands{sampleBand(350, 20), sampleBand(181, 3),
                                                 sampleBand(0, 180), sampleBand(120, 45)};
        for (int b = 0; b < 4; ++b) ASSERT_TRUE(a.upload(b, bands[static_cast<size_t>(b)]));
        a.model.readState();
        ASSERT_TRUE(a.rig.store.saveFileAs(path));
    }
    BandRig a2;  // the same bands written again to compare with
    const std::array<ColorSubsInfo, 4> bands{sampleBand(350, 20), sampleBand(181, 3),
                                             sampleBand(0, 180), sampleBand(120, 45)};
    for (int b = 0; b < 4; ++b) ASSERT_TRUE(a2.upload(b, bands[static_cast<size_t>(b)]));

    BandRig b;
    ASSERT_TRUE(b.rig.store.loadFile(path));
    b.model.loadFromStore();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bandRegisters(b.fw(), i), bandRegisters(a2.fw(), i)) << i;
    }
}

TEST(GreenScreenPicker, PickedHueOfKnownPixels) {
    EXPECT_EQ(pickColour({255, 0, 0}), (PickedColour{0, 255}));
    EXPECT_EQ(pickColour({0, 200, 0}), (PickedColour{120, 200}));
    EXPECT_EQ(pickColour({0, 0, 90}), (PickedColour{240, 90}));
    EXPECT_EQ(pickColour({255, 0, 128}), (PickedColour{330, 255}));  // -30 brought into range
    EXPECT_EQ(pickColour({255, 255, 0}), (PickedColour{60, 255}));
    EXPECT_EQ(pickColour({10, 20, 30}), (PickedColour{210, 30}));
    EXPECT_EQ(pickColour({77, 77, 77}), (PickedColour{120, 77}));
    EXPECT_EQ(pickColour({0, 0, 0}), (PickedColour{120, 0}));
}

TEST(GreenScreenPicker, MovesWriteTheHueAndEscapePutsTheOldOneBack) {
    BandRig p;
    p.model.editField(BandField::Hue, 45);
    p.model.startPicker();
    EXPECT_TRUE(p.model.pickerActive());
    EXPECT_EQ(p.model.current().savedHue, 45);
    p.model.pickerMove({0, 0, 200});
    EXPECT_EQ(p.model.pickerState(), PickerState::Tracking);
    EXPECT_EQ(p.model.current().hue, 240);
    EXPECT_EQ(p.model.keyBrightness(), 200);
    EXPECT_EQ(p.rig.store.getInt("GS1_HUE"), 240);
    EXPECT_EQ(static_cast<int16_t>(p.fw().fpgaRegister(134) | p.fw().fpgaRegister(135) << 8),
              hueToRaw(240));
    p.model.pickerCancel();
    EXPECT_FALSE(p.model.pickerActive());
    EXPECT_EQ(p.model.current().hue, 45);
    EXPECT_EQ(p.rig.store.getInt("GS1_HUE"), 45);
    EXPECT_EQ(static_cast<int16_t>(p.fw().fpgaRegister(134) | p.fw().fpgaRegister(135) << 8),
              hueToRaw(45));

    p.model.startPicker();
    p.model.pickerMove({255, 0, 0});
    p.model.pickerButtonDown();
    EXPECT_EQ(p.model.pickerState(), PickerState::ButtonDown);
    EXPECT_TRUE(p.model.pickerButtonUp({255, 255, 0}));
    EXPECT_FALSE(p.model.pickerActive());
    EXPECT_EQ(p.model.current().hue, 60);
    EXPECT_EQ(p.rig.store.getInt("GS1_HUE"), 60);

    // A button-up before any move is another event: the picker ends without picking.
    p.model.startPicker();
    EXPECT_FALSE(p.model.pickerButtonUp({0, 255, 0}));
    EXPECT_FALSE(p.model.pickerActive());
    EXPECT_EQ(p.model.current().hue, 60);
}

TEST(GreenScreenPreviews, HueBarMarksTheWindowAcrossZero) {
    ColorSubsInfo band;
    band.hue = 355;
    band.hueTolerance = 10;
    const auto bar = hueBar(band, 360);
    ASSERT_EQ(bar.size(), 360u);
    EXPECT_EQ(bar[0], hsvToRgb(0, 255, 255));  // inside: 345..5
    EXPECT_EQ(bar[359], hsvToRgb(359, 255, 255));
    EXPECT_EQ(bar[100], hsvToRgb(100, 255, 128));
    EXPECT_EQ(bar[344], hsvToRgb(344, 255, 128));
    EXPECT_EQ(bar[6], hsvToRgb(6, 255, 128));

    band.hue = 120;
    band.hueTolerance = 0;  // still one degree each side
    const auto narrow = hueBar(band, 360);
    const auto lit = std::count_if(narrow.begin(), narrow.end(), [](const Rgb& c) {
        return std::max({c.r, c.g, c.b}) == 255;
    });
    EXPECT_EQ(lit, 3);
    EXPECT_TRUE(hueBar(band, 0).empty());
}

TEST(GreenScreenPreviews, GradientRunsFromSatMaxToSatMinAcrossTheWindow) {
    ColorSubsInfo band;
    band.hue = 120;
    band.hueTolerance = 30;
    band.satMax = 255;
    band.satMin = 0;
    EXPECT_EQ(bandGradient(band, 255, 0, 0, 61, 10), hsvToRgb(90, 255, 255));
    EXPECT_EQ(bandGradient(band, 255, 60, 0, 61, 10), hsvToRgb(150, 255, 255));
    EXPECT_EQ(bandGradient(band, 200, 30, 9, 61, 10), (Rgb{200, 200, 200}));
    EXPECT_EQ(bandGradient(band, 255, 0, 0, 0, 10), Rgb{});
}

}  // namespace TVR::PanelTest
