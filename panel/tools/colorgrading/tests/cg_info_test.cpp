#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "tools/colorgrading/cg_variants.h"

namespace TVR {
namespace {

constexpr CGPixel kGrey128 = cgRgb(128, 128, 128);

std::vector<std::unique_ptr<CGInfo>> allCurves() {
    std::vector<std::unique_ptr<CGInfo>> v;
    v.push_back(std::make_unique<CGInfoHvH>());
    v.push_back(std::make_unique<CGInfoHvS>());
    v.push_back(std::make_unique<CGInfoLvS>());
    v.push_back(std::make_unique<CGInfoSvS>());
    v.push_back(std::make_unique<CGInfoLvL>());
    v.push_back(std::make_unique<CGInfoLvL73>());
    v.push_back(std::make_unique<CGInfoHvL>());
    return v;
}

TEST(CGHsv, SectorsGreyAndHueWrapping) {
    EXPECT_EQ(cgHsvToRgb(77, 0, 90), cgRgb(90, 90, 90));
    EXPECT_EQ(cgHsvToRgb(0, 255, 255), cgRgb(255, 0, 0));
    EXPECT_EQ(cgHsvToRgb(30, 255, 255), cgRgb(255, 128, 0));
    EXPECT_EQ(cgHsvToRgb(120, 255, 255), cgRgb(0, 255, 0));
    EXPECT_EQ(cgHsvToRgb(-120, 255, 255), cgRgb(0, 0, 255));
    EXPECT_EQ(cgHsvToRgb(780, 255, 255), cgRgb(255, 255, 0));
    EXPECT_EQ(cgHsvToRgb(300, 255, 255), cgRgb(255, 0, 255));
    EXPECT_EQ(cgHsvToRgb(180, 255, 170), cgRgb(0, 170, 170));
}

TEST(CGInfo, ConstructionTitlesRangesAndCodes) {
    const auto curves = allCurves();
    const char* titles[] = {"Hue vs. Hue",
                            "Hue vs. Saturation",
                            "Luma vs. Saturation",
                            "Saturation vs. Saturation",
                            "Luma vs. Luma (pre-73)",
                            "Luma vs. Luma",
                            "Hue vs. Luma"};
    const int32_t ranges[] = {3600, 300, 300, 511, 255, 511, 70};
    const int types[] = {0, 1, 2, 3, 4, 4, 5};
    const char* codes[] = {"HVH", "HVS", "LVS", "SVS", "LVL", "LVL", "HVL"};
    for (size_t i = 0; i < curves.size(); ++i) {
        const CGInfo& c = *curves[i];
        SCOPED_TRACE(titles[i]);
        EXPECT_EQ(c.title(), titles[i]);
        EXPECT_EQ(c.range(), ranges[i]);
        EXPECT_EQ(c.type(), types[i]);
        EXPECT_EQ(c.code(), codes[i]);
        EXPECT_EQ(c.hoverIndex(), kNoSlider);
        for (uint32_t p : c.positions()) EXPECT_EQ(p, static_cast<uint32_t>(ranges[i] / 2));
        EXPECT_FALSE(c.bitmap().has_value());
    }
    EXPECT_EQ(curveCode(6), "");
    EXPECT_EQ(curveCode(-1), "");
}

TEST(CGInfo, KeysIncludingTheOlderPrefix) {
    CGInfoHvH hvh;
    EXPECT_EQ(hvh.key(0), "CG_HVH_0000");
    EXPECT_EQ(hvh.key(63), "CG_HVH_0063");
    EXPECT_EQ(hvh.legacyKey(7), "GC_HVH_0007");
    // Both luma vs. luma curves share their keys.
    EXPECT_EQ(CGInfoLvL().key(12), "CG_LVL_0012");
    EXPECT_EQ(CGInfoLvL73().key(12), "CG_LVL_0012");
}

TEST(CGInfo, ResponseCurveEdgesAndShape) {
    CGInfoHvH h;
    EXPECT_EQ(h.posToAdj(0), 0u);
    EXPECT_EQ(h.posToAdj(1800), 1800u);
    EXPECT_EQ(h.posToAdj(3600), 3600u);
    EXPECT_EQ(h.posToAdj(4000), 4000u);  // beyond R maps onto itself
    EXPECT_EQ(h.posToAdj(1801), 1800u);  // fine near neutral
    EXPECT_EQ(h.posToAdj(1), 2u);        // coarse near the ends
    EXPECT_EQ(h.posToAdj(900), 1522u);
    EXPECT_EQ(h.adjToPos(0), 0u);
    EXPECT_EQ(h.adjToPos(1800), 1800u);
    EXPECT_EQ(h.adjToPos(3600), 3600u);
    EXPECT_EQ(h.adjToPos(5000), 3600u);
    uint32_t last = 0;
    for (uint32_t p = 0; p <= 3600; ++p) {
        const uint32_t a = h.posToAdj(p);
        ASSERT_GE(a, last) << p;
        last = a;
        // The inverse finds a position of every adjusted value the curve produces.
        ASSERT_EQ(h.posToAdj(h.adjToPos(a)), a) << p;
    }
    CGInfoSvS s;
    EXPECT_EQ(s.posToAdj(255), 255u);
    EXPECT_EQ(s.posToAdj(511), 511u);
    for (uint32_t p = 0; p <= 511; ++p)
        ASSERT_EQ(s.posToAdj(s.adjToPos(s.posToAdj(p))), s.posToAdj(p));
    // The others have no response curve.
    CGInfoHvS hvs;
    EXPECT_EQ(hvs.posToAdj(17), 17u);
    EXPECT_EQ(hvs.adjToPos(17), 17u);
}

TEST(CGInfo, DeviationScales) {
    CGInfoHvS hvs;
    EXPECT_DOUBLE_EQ(hvs.deviation(0), 1.5);
    hvs.setPosition(0, 0);
    EXPECT_DOUBLE_EQ(hvs.deviation(0), 3.0);
    hvs.setPosition(0, 300);
    EXPECT_DOUBLE_EQ(hvs.deviation(0), 0.0);
    EXPECT_EQ(hvs.setDeviation(1, 0.65), 235u);

    CGInfoSvS svs;
    EXPECT_DOUBLE_EQ(svs.deviation(5), 0.0);
    CGInfoLvL73 lvl73;
    EXPECT_DOUBLE_EQ(lvl73.deviation(5), 0.0);
    CGInfoHvL hvl;
    EXPECT_DOUBLE_EQ(hvl.deviation(5), 0.0);
    hvl.setPosition(5, 0);
    EXPECT_DOUBLE_EQ(hvl.deviation(5), 35.0);

    // Saturation vs. saturation truncates before subtracting, the others after.
    EXPECT_EQ(svs.devToAdj(10.7), 245u);
    EXPECT_EQ(svs.devToAdj(-10.7), 265u);
    EXPECT_EQ(lvl73.devToAdj(10.7), 244u);
    EXPECT_EQ(lvl73.devToAdj(-10.7), 265u);
    EXPECT_EQ(hvl.devToAdj(0.5), 34u);
    EXPECT_EQ(CGInfoLvL().devToAdj(10.7), 245u);
}

TEST(CGInfo, OutOfRangeDeviationsStayOnTheSlider) {
    CGInfoHvS hvs;
    EXPECT_EQ(hvs.devToAdj(5.0), 0u);
    EXPECT_EQ(hvs.devToAdj(-1.0), 300u);
    EXPECT_EQ(hvs.devToAdj(std::numeric_limits<double>::quiet_NaN()), 150u);
    EXPECT_EQ(hvs.devToAdj(std::numeric_limits<double>::infinity()), 0u);
    CGInfoHvH hvh;
    EXPECT_EQ(hvh.setDeviation(3, std::numeric_limits<double>::infinity()), 1800u);
    EXPECT_EQ(hvh.setDeviation(3, std::numeric_limits<double>::quiet_NaN()), 1800u);
    EXPECT_EQ(CGInfoHvL().devToAdj(-1000.0), 70u);
}

TEST(CGInfoHvH, AbsoluteHues) {
    CGInfoHvH h;
    EXPECT_DOUBLE_EQ(h.deviation(0), 0.0);
    EXPECT_DOUBLE_EQ(h.deviation(63), 354.375);
    EXPECT_EQ(h.setDeviation(63, 354.375), 1800u);
    // A shift past +180 wraps round to the other side.
    EXPECT_EQ(h.posToAdj(h.setDeviation(10, 10 * 5.625 + 190.0)), 100u);
    EXPECT_NEAR(h.shownDeviation(10), -170.0, 1e-9);
    EXPECT_EQ(h.posToAdj(h.setDeviation(0, -30.0)), 1500u);
    EXPECT_NEAR(h.deviation(0), -30.0, 1e-9);
    // A hue past a full turn comes back under 360.
    h.setDeviation(63, 354.375 + 20.0);
    EXPECT_NEAR(h.deviation(63), 14.375, 1e-9);
    // Many turns away lands on the same shift.
    EXPECT_EQ(h.setDeviation(5, 5 * 5.625 + 25.0 + 3600.0 * 5),
              h.setDeviation(6, 6 * 5.625 + 25.0));
}

TEST(CGInfo, NeutralCurves) {
    CGInfoLvL lvl;
    EXPECT_EQ(lvl.neutralPos(0), 254u);
    EXPECT_EQ(lvl.neutralPos(63), 0u);
    EXPECT_EQ(lvl.neutralPos(32), 124u);
    lvl.setPosition(0, lvl.neutralPos(0));
    lvl.setPosition(63, lvl.neutralPos(63));
    EXPECT_DOUBLE_EQ(lvl.deviation(0), 1.0);
    EXPECT_DOUBLE_EQ(lvl.deviation(63), 255.0);
    CGInfoLvL73 lvl73;
    for (int i = 0; i < kCurveSliders; ++i) {
        EXPECT_EQ(lvl73.defaultPos(i), 255u);
        EXPECT_EQ(lvl73.neutralPos(i), 255u);
    }
    CGInfoSvS svs;
    CGInfoHvL hvl;
    EXPECT_EQ(svs.defaultPos(9), svs.neutralPos(9));
    EXPECT_EQ(hvl.defaultPos(9), 35u);
}

TEST(CGInfo, DefaultCurvesGiveTheirTablesDeviations) {
    CGInfoHvH hvh;
    CGInfoHvS hvs;
    CGInfoLvS lvs;
    CGInfoLvL lvl;
    auto defaultDev = [](CGInfo& c, int i) {
        c.setPosition(i, c.defaultPos(i));
        return c.shownDeviation(i);
    };
    EXPECT_NEAR(defaultDev(hvh, 0), -3.5, 1e-9);
    EXPECT_NEAR(defaultDev(hvh, 1), -4.9, 1e-9);
    EXPECT_NEAR(defaultDev(hvh, 7), 0.0, 1e-9);
    EXPECT_NEAR(defaultDev(hvh, 28), -20.4, 1e-9);
    EXPECT_NEAR(defaultDev(hvh, 42), -16.8, 1e-9);
    EXPECT_NEAR(defaultDev(hvh, 63), -5.6, 1e-9);
    EXPECT_NEAR(defaultDev(hvs, 0), 0.65, 1e-9);
    EXPECT_NEAR(defaultDev(hvs, 11), 2.78, 1e-9);
    EXPECT_NEAR(defaultDev(hvs, 29), 2.78, 1e-9);
    EXPECT_NEAR(defaultDev(hvs, 59), 2.21, 1e-9);
    EXPECT_NEAR(defaultDev(hvs, 63), 0.65, 1e-9);
    EXPECT_NEAR(defaultDev(lvs, 4), 2.93, 1e-9);
    EXPECT_NEAR(defaultDev(lvs, 40), 1.37, 1e-9);
    EXPECT_NEAR(defaultDev(lvs, 50), 1.01, 1e-9);
    EXPECT_NEAR(defaultDev(lvs, 63), 1.0, 1e-9);
    EXPECT_EQ(lvl.defaultPos(0), 255u);
    EXPECT_EQ(lvl.defaultPos(63), 3u);
    EXPECT_NEAR(defaultDev(lvl, 44), 181.0, 1e-9);
}

TEST(CGInfo, SliderDescriptions) {
    CGInfoHvH hvh;
    EXPECT_EQ(hvh.describeSlider(2), "Slider #2 (hue: 11\u00B0), adj. slider: 1800, dev 0.00");
    hvh.setPosition(2, 0);
    EXPECT_EQ(hvh.describeSlider(2), "Slider #2 (hue: 11\u00B0), adj. slider: 0, dev -180.00");
    CGInfoLvS lvs;
    EXPECT_EQ(lvs.describeSlider(4), "Slider #4 (luma: 16), adj. slider: 150, dev 1.50");
    CGInfoHvL hvl;
    EXPECT_EQ(hvl.describeSlider(63), "Slider #63 (hue: 354\u00B0), adj. slider: 35, dev 0.00");
}

TEST(CGInfo, SwatchesFollowTheHoveredSlider) {
    CGInfoHvH hvh;
    ASSERT_TRUE(hvh.paintSwatches().has_value());
    EXPECT_EQ(*hvh.paintSwatches(), (CGSwatches{kGrey128, kGrey128}));
    hvh.setHoverIndex(16);  // input hue 90
    EXPECT_EQ(hvh.paintSwatches()->input, cgHsvToRgb(90, 192, 192));
    EXPECT_EQ(hvh.paintSwatches()->output, cgHsvToRgb(90, 192, 192));
    hvh.setPosition(16, hvh.adjToPos(hvh.devToAdj(30.0)));
    EXPECT_EQ(hvh.paintSwatches()->output, cgHsvToRgb(120, 192, 192));

    CGInfoHvS hvs;
    hvs.setHoverIndex(0);
    hvs.setPosition(0, 0);  // factor 3
    EXPECT_EQ(hvs.paintSwatches()->output, cgHsvToRgb(0, 175, 192));
    CGInfoLvL lvl;
    lvl.setHoverIndex(63);
    lvl.setPosition(63, 0);
    EXPECT_EQ(*lvl.paintSwatches(), (CGSwatches{cgRgb(232, 232, 232), cgRgb(232, 232, 232)}));
    CGInfoLvS lvs;
    lvs.setHoverIndex(0);
    EXPECT_EQ(lvs.paintSwatches()->input, cgHsvToRgb(0, 64, 16));
    EXPECT_FALSE(CGInfoSvS().paintSwatches().has_value());
    EXPECT_FALSE(CGInfoLvL73().paintSwatches().has_value());
    EXPECT_FALSE(CGInfoHvL().paintSwatches().has_value());
}

TEST(CGInfo, BackgroundPictures) {
    constexpr int w = 770;
    constexpr int h = 114;
    constexpr int band = 4;
    const CGBitmap hvh = CGInfoHvH().prepareBackground(w, h, band);
    ASSERT_EQ(hvh.width, w);
    ASSERT_EQ(hvh.height, h);
    ASSERT_EQ(hvh.pixels.size(), static_cast<size_t>(w * h));
    EXPECT_EQ(hvh.at(0, h / 2), cgRgb(200, 0, 0));
    // The top row shows a slider at position 0: half a turn away, at the brightest value.
    EXPECT_EQ(hvh.at(0, 0), cgHsvToRgb(180, 255, 170));
    EXPECT_EQ(hvh.at(w - 1, h / 2), cgHsvToRgb(359, 255, 200));

    const CGBitmap hvs = CGInfoHvS().prepareBackground(w, h, band);
    EXPECT_EQ(hvs.at(0, 0), cgRgb(255, 0, 0));
    EXPECT_EQ(hvs.at(0, h - 1), cgHsvToRgb(0, 2, 2));
    const CGBitmap lvl = CGInfoLvL().prepareBackground(w, h, band);
    EXPECT_EQ(lvl.at(5, 0), cgRgb(96, 96, 96));
    EXPECT_EQ(lvl.at(5, h / 2), cgRgb(48, 48, 48));
    const CGBitmap lvl73 = CGInfoLvL73().prepareBackground(w, h, band);
    EXPECT_EQ(lvl73.at(5, h / 2), cgRgb(70, 70, 70));
    EXPECT_EQ(lvl73.at(5, 0), cgRgb(96, 96, 96));
    const CGBitmap svs = CGInfoSvS().prepareBackground(w, h, band);
    EXPECT_EQ(svs.at(0, h / 2), cgHsvToRgb(120, 255, 200));
    EXPECT_EQ(svs.at(0, 0), cgHsvToRgb(120, 255, 200));
    const CGBitmap hvl = CGInfoHvL().prepareBackground(w, h, band);
    EXPECT_EQ(hvl.at(0, h / 2), cgHsvToRgb(0, 255, 192));
    EXPECT_EQ(hvl.at(0, 0), cgHsvToRgb(0, 127, 255));
    const CGBitmap lvs = CGInfoLvS().prepareBackground(w, h, band);
    EXPECT_EQ(lvs.at(0, 0), cgHsvToRgb(60, 255, 16));
    // Degenerate sizes give an empty picture rather than a division by zero.
    EXPECT_TRUE(CGInfoHvS().prepareBackground(0, 0, band).pixels.empty());
}

}  // namespace
}  // namespace TVR
