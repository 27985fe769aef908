#include "fx3_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fx3_loader.h"
#include "image_builder.h"

namespace TVR {
namespace {

using FirmwareTest::Fx3ImageBuilder;

TEST(Fx3Image, ParsesSectionsEntryAndChecksum) {
    Fx3ImageBuilder b;
    b.section(0x40000000, 1200).section(0x40010000, 3);
    const std::vector<uint8_t> file = b.build(0x40000123);
    const Fx3ImageParse parsed = parseFx3Image(file);
    ASSERT_EQ(parsed.error, Fx3ImageError::None) << parsed.message;
    ASSERT_TRUE(parsed.image);
    const Fx3Image& image = *parsed.image;
    ASSERT_EQ(image.sections.size(), 2u);
    EXPECT_EQ(image.sections[0].address, 0x40000000u);
    EXPECT_EQ(image.sections[0].data.size(), 4800u);
    EXPECT_EQ(image.sections[0].data.data(), file.data() + 12);
    EXPECT_EQ(image.sections[1].address, 0x40010000u);
    EXPECT_EQ(image.sections[1].data.size(), 12u);
    EXPECT_EQ(image.entry, 0x40000123u);
    EXPECT_EQ(image.checksum, b.checksum());
    EXPECT_TRUE(image.checksumMatches());

    // A wrong stored checksum still parses; the loaders decide what to do with it.
    Fx3ImageBuilder bad;
    bad.section(0x40000000, 16).wrongChecksum();
    const Fx3ImageParse wrong = parseFx3Image(bad.build(0x40000000));
    ASSERT_TRUE(wrong.image);
    EXPECT_FALSE(wrong.image->checksumMatches());
}

TEST(Fx3Image, HostileImagesAreRejected) {
    EXPECT_EQ(parseFx3Image({}).error, Fx3ImageError::NoSignature);
    std::vector<uint8_t> file = Fx3ImageBuilder().section(0x40000000, 8).build(0x40000000);
    file[1] = 'X';
    EXPECT_EQ(parseFx3Image(file).error, Fx3ImageError::NoSignature);

    // Every cut of a good image, wherever it falls, is a clean refusal.
    const std::vector<uint8_t> good =
        Fx3ImageBuilder().section(0x40000000, 700).section(0x40004000, 2).build(0x40000000);
    for (size_t n = 0; n < good.size(); ++n) {
        const Fx3ImageParse p = parseFx3Image(std::span(good).first(n));
        EXPECT_FALSE(p.image) << n;
        EXPECT_NE(p.error, Fx3ImageError::None) << n;
    }
    EXPECT_TRUE(parseFx3Image(good).image);

    // Section lengths past the end of the file, up to the largest the field holds.
    for (uint32_t words : {701u, 0x40000000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> longer = good;
        Fx3ImageBuilder::put32(longer, 4, words);
        const Fx3ImageParse p = parseFx3Image(longer);
        EXPECT_EQ(p.error, Fx3ImageError::Truncated) << words;
        EXPECT_FALSE(p.message.empty());
    }

    // A section that would wrap round the address space.
    const std::vector<uint8_t> wraps = Fx3ImageBuilder().section(0xFFFFFFF0, 8).build(0);
    EXPECT_EQ(parseFx3Image(wraps).error, Fx3ImageError::AddressWraps);
}

TEST(Fx3Image, SpiPiecePlanning) {
    const SpiPlan small = planSpiProgram(1000);
    EXPECT_EQ(small.sectors, 1);
    ASSERT_EQ(small.pieces.size(), 1u);
    EXPECT_EQ(small.pieces[0].offset, 0u);
    EXPECT_EQ(small.pieces[0].length, 1024u);

    const SpiPlan mid = planSpiProgram(65537);
    EXPECT_EQ(mid.sectors, 2);
    ASSERT_EQ(mid.pieces.size(), 33u);
    EXPECT_EQ(mid.pieces[31].offset, 63488u);
    EXPECT_EQ(mid.pieces[31].length, 2048u);
    EXPECT_EQ(mid.pieces[32].offset, 65536u);
    EXPECT_EQ(mid.pieces[32].length, 256u);

    const SpiPlan exact = planSpiProgram(4096);
    EXPECT_EQ(exact.pieces.size(), 2u);
    EXPECT_EQ(exact.pieces[1].length, 2048u);

    EXPECT_TRUE(planSpiProgram(0).pieces.empty());
    EXPECT_TRUE(planSpiProgram(kSpiMaxImage + 1).pieces.empty());
    const SpiPlan largest = planSpiProgram(kSpiMaxImage);
    EXPECT_EQ(largest.sectors, 256);
    EXPECT_EQ(largest.pieces.back().offset + largest.pieces.back().length, kSpiMaxImage);
}

}  // namespace
}  // namespace TVR
