#include "versioninfo.h"

#include <fmt/format.h>

#include <array>

namespace TVR {
namespace {

constexpr std::string_view kUnknown = "Unknown";

constexpr std::array<std::string_view, 8> kReleaseKindNames = {
    "Dev. build", "Alpha", "Beta", "Evaluation", "Rel. candidate", "Release", "Backport", "Bugfix",
};

constexpr std::array<std::string_view, 5> kProductNames = {
    "Gen. 1: \"Ostrel\"", "Gen. 2: Pandle", "Gen. 3: Brisco (Alpha)",
    "Gen. 3: Brisco",     "Gen. 4: Vimmet",
};

constexpr int kFx3VendorCypress = 1;
constexpr int kFx3HardwareFx3 = 1;
constexpr int kFpgaVendorXilinx = 1;
constexpr int kFpgaVendorIntel = 2;
constexpr int kFpgaHardwareArtix100T = 1;
constexpr int kFpgaHardwareArtixUltraScale = 3;

bool productListed(int product) { return product >= 1 && product <= 5; }

// Earlier firmware of these configurations stored the build number two bits higher.
bool needsBuildCorrection(uint32_t word) {
    const bool oldArtix200T =
        (word & 0x4) == 0 && VersionInfoBase::hardwareOf(word) == 2 && (word >> 19) < 356;
    const bool oldRange = word >= 0x0CC00000 && word <= 0x0CC7FFFF;
    return oldArtix200T || oldRange;
}

}  // namespace

uint32_t VersionInfoBase::makeWord(int vendor, int hardware, int product, int releaseKind,
                                   int build) {
    return (static_cast<uint32_t>(vendor) & 0x7) | ((static_cast<uint32_t>(hardware) & 0x1F) << 3) |
           ((static_cast<uint32_t>(product) & 0xFF) << 8) |
           ((static_cast<uint32_t>(releaseKind) & 0x7) << 16) |
           ((static_cast<uint32_t>(build) & 0x1FFF) << 19);
}

bool VersionInfoBase::load(std::span<const uint8_t> bytes) {
    if (bytes.size() != 4) {
        markUnknown();
        return false;
    }
    const uint32_t word = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                          (static_cast<uint32_t>(bytes[2]) << 16) |
                          (static_cast<uint32_t>(bytes[3]) << 24);
    if (isValidWord(word)) {
        m_word = needsBuildCorrection(word) ? ((word >> 2) & 0x3FF80000) | (word & 0x7FFFF) : word;
        m_valid = true;
        return true;
    }
    // The older packed layout: vendor and hardware share byte 0, build spans bytes 2 and 3.
    const int vendor = bytes[0] >> 5;
    const int hardware = bytes[0] & 0x1F;
    const int product = bytes[1];
    const int releaseKind = (bytes[2] >> 3) & 0x7;
    const int build = (bytes[2] & 0x3) * 256 + bytes[3];
    m_word = makeWord(vendor, hardware, product, releaseKind, build);
    m_valid = isValidWord(m_word);
    return m_valid;
}

void VersionInfoBase::markUnknown() {
    m_word = kUnknownWord;
    m_valid = false;
}

std::string VersionInfoBase::detailedText(std::string_view indent) const {
    return fmt::format(
        "{}Vendor:\t{}\n\r{}H/W config:\t{}\n\r{}Product:\t{}\n\r{}Release:\t{}\n\r"
        "{}Build#:\t{}\n\r",
        indent, vendorName(), indent, hardwareName(), indent, productName(), indent, releaseName(),
        indent, build());
}

std::string VersionInfoBase::shortText() const {
    if (!m_valid) {
        return "UNKNOWN";
    }
    return fmt::format("{}.{}.{}.{}.{}", vendor(), hardware(), product(), releaseKind(), build());
}

ReleaseList VersionInfoBase::releases(int releaseKind) const {
    if (!m_valid || !m_releaseSource) {
        return {};
    }
    return m_releaseSource->releases(*this, releaseKind);
}

LatestRelease VersionInfoBase::latestRelease(int releaseKind) const {
    if (!m_valid || !m_releaseSource) {
        return {};
    }
    return m_releaseSource->latestRelease(*this, releaseKind);
}

bool VersionInfoBase::buildBelow(int n) const { return m_valid && build() < n; }

bool VersionInfoBase::buildAtLeast(int n) const { return m_valid && build() >= n; }

std::string_view VersionInfoBase::productName() const {
    return m_valid ? productText(product()) : kUnknown;
}

void VersionInfoBase::setReleaseSource(std::shared_ptr<const ReleaseSource> source) {
    m_releaseSource = std::move(source);
}

std::string_view VersionInfoBase::releaseKindName(int kind) {
    if (kind < 0 || kind >= static_cast<int>(kReleaseKindNames.size())) {
        return kUnknown;
    }
    return kReleaseKindNames[static_cast<size_t>(kind)];
}

std::string_view VersionInfoBase::productText(int product) {
    return productListed(product) ? kProductNames[static_cast<size_t>(product - 1)] : kUnknown;
}

std::string_view VersionInfoFX3::recordName() const { return "fx3"; }

std::string_view VersionInfoFX3::vendorName() const {
    return valid() && vendor() == kFx3VendorCypress ? "Cypress" : kUnknown;
}

std::string_view VersionInfoFX3::hardwareName() const {
    return valid() && hardware() == kFx3HardwareFx3 ? "FX3" : kUnknown;
}

bool VersionInfoFX3::isValidWord(uint32_t word) const {
    return vendorOf(word) == kFx3VendorCypress && hardwareOf(word) == kFx3HardwareFx3 &&
           productListed(productOf(word));
}

std::string_view VersionInfoFPGA::recordName() const { return "fpga"; }

std::string_view VersionInfoFPGA::vendorName() const {
    if (!valid()) {
        return kUnknown;
    }
    switch (vendor()) {
        case kFpgaVendorXilinx:
            return "Xilinx";
        case kFpgaVendorIntel:
            return "Intel";
        default:
            return kUnknown;
    }
}

std::string_view VersionInfoFPGA::hardwareName() const {
    if (!valid()) {
        return kUnknown;
    }
    switch (hardware()) {
        case 1:
            return "Artix 100T";
        case 2:
            return "Artix 200T";
        case 3:
            return "Artix UltraScale+";
        default:
            return kUnknown;
    }
}

bool VersionInfoFPGA::isValidWord(uint32_t word) const {
    const int vendor = vendorOf(word);
    const int hardware = hardwareOf(word);
    return (vendor == kFpgaVendorXilinx || vendor == kFpgaVendorIntel) &&
           hardware >= kFpgaHardwareArtix100T && hardware <= kFpgaHardwareArtixUltraScale &&
           productListed(productOf(word));
}

}  // namespace TVR
