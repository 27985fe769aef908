#include "versioninfo.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace TVR {
namespace {

std::array<uint8_t, 4> bytesOf(uint32_t word) {
    return {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
}

TEST(VersionInfo, Fx3WordDecodesFieldsAndNames) {
    VersionInfoFX3 fx3;
    const std::array<uint8_t, 4> reply = {0x09, 0x01, 0x28, 0x00};
    ASSERT_TRUE(fx3.load(reply));
    EXPECT_EQ(fx3.word(), 0x00280109u);
    EXPECT_EQ(fx3.shortText(), "1.1.1.0.5");
    EXPECT_EQ(fx3.productName(), "Gen. 1: \"Ostrel\"");
    EXPECT_EQ(fx3.releaseName(), "Dev. build");
    EXPECT_EQ(fx3.vendorName(), "Cypress");
    EXPECT_EQ(fx3.hardwareName(), "FX3");
    EXPECT_EQ(fx3.recordName(), "fx3");
    EXPECT_TRUE(fx3.buildAtLeast(5));
    EXPECT_FALSE(fx3.buildAtLeast(6));
    EXPECT_TRUE(fx3.buildBelow(6));
    EXPECT_FALSE(fx3.buildBelow(5));
}

TEST(VersionInfo, DetailedTextUsesIndentAndLfCrLineEnds) {
    VersionInfoFX3 fx3;
    const std::array<uint8_t, 4> reply = {0x09, 0x01, 0x28, 0x00};
    fx3.load(reply);
    EXPECT_EQ(fx3.detailedText("  "),
              "  Vendor:\tCypress\n\r  H/W config:\tFX3\n\r  Product:\tGen. 1: \"Ostrel\"\n\r"
              "  Release:\tDev. build\n\r  Build#:\t5\n\r");

    VersionInfoFPGA fpga;
    fpga.load(bytesOf(VersionInfoBase::makeWord(2, 3, 5, 7, 400)));
    EXPECT_EQ(fpga.detailedText(""),
              "Vendor:\tIntel\n\rH/W config:\tArtix UltraScale+\n\rProduct:\tGen. 4: Vimmet\n\r"
              "Release:\tBugfix\n\rBuild#:\t400\n\r");
    EXPECT_EQ(fpga.recordName(), "fpga");
}

TEST(VersionInfo, FailedOrMalformedReplyIsUnknown) {
    VersionInfoFX3 fx3;
    const std::array<uint8_t, 4> good = {0x09, 0x01, 0x28, 0x00};
    const std::array<uint8_t, 5> longer = {0x09, 0x01, 0x28, 0x00, 0x00};
    const std::vector<std::vector<uint8_t>> bad = {{}, {0x09, 0x01, 0x28}};
    for (const auto& reply : bad) {
        fx3.load(good);
        EXPECT_FALSE(fx3.load(reply));
        EXPECT_EQ(fx3.word(), VersionInfoBase::kUnknownWord);
        EXPECT_EQ(fx3.shortText(), "UNKNOWN");
        for (int n : {0, 1, 5}) {
            EXPECT_FALSE(fx3.buildAtLeast(n)) << n;
            EXPECT_FALSE(fx3.buildBelow(n + 100)) << n;
        }
        EXPECT_EQ(fx3.vendorName(), "Unknown");
        EXPECT_EQ(fx3.hardwareName(), "Unknown");
        EXPECT_EQ(fx3.productName(), "Unknown");
    }
    EXPECT_FALSE(fx3.load(longer));
    EXPECT_EQ(fx3.shortText(), "UNKNOWN");
}

TEST(VersionInfo, InvalidNewLayoutIsReadInPackedLayout) {
    // FX3 hardware 2 fails the new layout; its packed reading (vendor 0) fails too.
    VersionInfoFX3 fx3;
    const std::array<uint8_t, 4> hw2 = {0x11, 0x03, 0x2A, 0x07};
    EXPECT_FALSE(fx3.load(hw2));
    EXPECT_EQ(fx3.word(), VersionInfoBase::makeWord(0, 17, 3, 5, 2 * 256 + 7));
    EXPECT_EQ(fx3.shortText(), "UNKNOWN");

    // Byte 0 = vendor 1 in bits 5-7, hardware 1 in bits 0-4.
    const std::array<uint8_t, 4> packed = {0x21, 0x04, 0x2A, 0x07};
    ASSERT_TRUE(fx3.load(packed));
    EXPECT_EQ(fx3.shortText(), "1.1.4.5.519");
    EXPECT_EQ(fx3.releaseName(), "Release");

    // A packed FPGA record is taken as it stands: no build correction.
    VersionInfoFPGA fpga;
    const std::array<uint8_t, 4> packedFpga = {0x22, 0x04, 0x2D, 0x10};
    ASSERT_TRUE(fpga.load(packedFpga));
    EXPECT_EQ(fpga.shortText(), "1.2.4.5.272");
    EXPECT_EQ(fpga.hardwareName(), "Artix 200T");
}

TEST(VersionInfo, OldBuildNumbersAreCorrected) {
    VersionInfoFPGA fpga;
    ASSERT_TRUE(fpga.load(bytesOf(VersionInfoBase::makeWord(1, 2, 4, 0, 100))));
    EXPECT_EQ(fpga.build(), 25);
    EXPECT_EQ(fpga.product(), 4);
    EXPECT_EQ(fpga.vendorName(), "Xilinx");

    fpga.load(bytesOf(VersionInfoBase::makeWord(2, 2, 1, 5, 355)));
    EXPECT_EQ(fpga.build(), 88);
    EXPECT_EQ(fpga.releaseKind(), 5);
    fpga.load(bytesOf(VersionInfoBase::makeWord(1, 2, 1, 5, 356)));
    EXPECT_EQ(fpga.build(), 356);
    fpga.load(bytesOf(VersionInfoBase::makeWord(1, 1, 1, 5, 100)));
    EXPECT_EQ(fpga.build(), 100);

    // Build field 408 of any valid record in 0x0CC00000-0x0CC7FFFF.
    VersionInfoFX3 fx3;
    ASSERT_TRUE(fx3.load(bytesOf(0x0CC00409)));
    EXPECT_EQ(fx3.build(), 102);
    EXPECT_EQ(fx3.shortText(), "1.1.4.0.102");
    ASSERT_TRUE(fpga.load(bytesOf(0x0CC50411)));
    EXPECT_EQ(fpga.build(), 102);
    EXPECT_EQ(fpga.releaseKind(), 5);
    ASSERT_TRUE(fx3.load(bytesOf(0x0CC80409)));
    EXPECT_EQ(fx3.build(), 409);
}

TEST(VersionInfo, ValidityAndUnlistedNames) {
    VersionInfoFPGA fpga;
    VersionInfoFX3 fx3;
    for (int product : {0, 6, 255}) {
        EXPECT_FALSE(fpga.isValidWord(VersionInfoBase::makeWord(1, 1, product, 5, 10)));
        EXPECT_FALSE(fx3.isValidWord(VersionInfoBase::makeWord(1, 1, product, 5, 10)));
    }
    EXPECT_FALSE(fpga.isValidWord(VersionInfoBase::makeWord(3, 1, 1, 5, 10)));
    EXPECT_FALSE(fpga.isValidWord(VersionInfoBase::makeWord(1, 4, 1, 5, 10)));
    EXPECT_FALSE(fx3.isValidWord(VersionInfoBase::makeWord(2, 1, 1, 5, 10)));
    EXPECT_TRUE(fpga.isValidWord(VersionInfoBase::makeWord(2, 3, 5, 5, 10)));
    EXPECT_EQ(VersionInfoBase::productText(6), "Unknown");
    EXPECT_EQ(VersionInfoBase::productText(3), "Gen. 3: Brisco (Alpha)");
    EXPECT_EQ(VersionInfoBase::releaseKindName(4), "Rel. candidate");
    EXPECT_EQ(VersionInfoBase::releaseKindName(8), "Unknown");
}

// Records what the record asks of the download server.
class RecordingSource : public ReleaseSource {
public:
    ReleaseList releases(const VersionInfoBase& record, int releaseKind) const override {
        asked.push_back(std::string(record.recordName()) + ":" + std::to_string(releaseKind));
        ReleaseList list;
        list.releases.push_back({5, static_cast<uint32_t>(record.build()), "fw/a.img", 245760});
        return list;
    }
    LatestRelease latestRelease(const VersionInfoBase& record, int releaseKind) const override {
        asked.push_back("latest " + std::string(record.recordName()) + ":" +
                        std::to_string(releaseKind));
        return {{5, 33, "fw/b.img", 245800}, {}};
    }
    mutable std::vector<std::string> asked;
};

TEST(VersionInfo, ReleaseQueriesGoToTheSourceOnlyForValidRecords) {
    VersionInfoFX3 fx3;
    EXPECT_TRUE(fx3.releases(5).releases.empty());
    EXPECT_EQ(fx3.latestRelease(5).release.size, -1);

    auto source = std::make_shared<RecordingSource>();
    fx3.setReleaseSource(source);
    EXPECT_TRUE(fx3.releases(5).releases.empty());
    EXPECT_EQ(fx3.latestRelease(5).release.build, 0u);
    EXPECT_TRUE(source->asked.empty());

    const std::array<uint8_t, 4> reply = {0x09, 0x01, 0x28, 0x00};
    fx3.load(reply);
    const ReleaseList list = fx3.releases(5);
    ASSERT_EQ(list.releases.size(), 1u);
    EXPECT_EQ(list.releases[0].build, 5u);
    EXPECT_EQ(fx3.latestRelease(4).release.path, "fw/b.img");
    EXPECT_EQ(source->asked, (std::vector<std::string>{"fx3:5", "latest fx3:4"}));
}

}  // namespace
}  // namespace TVR
