#include "fx3_loader.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "fx3.h"
#include "fx3_image.h"

namespace TVR {
namespace {

// A sector erase takes well under a second on the flash parts used; a camera that stays busy
// far beyond that will not finish.
constexpr auto kEraseBusyLimit = std::chrono::seconds(10);
constexpr auto kEraseBusyPoll = std::chrono::milliseconds(1);

bool writeVerified(FX3& fx3, uint32_t address, std::span<const uint8_t> piece,
                   std::span<uint8_t> readBack) {
    for (int attempt = 0; attempt < kRamPieceAttempts; ++attempt) {
        if (!fx3.bootLoaderWriteRam(address, piece)) continue;
        if (!fx3.bootLoaderReadRam(address, readBack)) continue;
        if (std::equal(piece.begin(), piece.end(), readBack.begin())) return true;
    }
    return false;
}

bool eraseSector(FX3& fx3, uint16_t sector) {
    if (!fx3.spiErase(sector)) return false;
    const auto deadline = std::chrono::steady_clock::now() + kEraseBusyLimit;
    while (true) {
        const std::optional<bool> busy = fx3.spiEraseBusy(sector);
        if (!busy) return false;
        if (!*busy) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(kEraseBusyPoll);
    }
}

}  // namespace

SpiPlan planSpiProgram(size_t size) {
    SpiPlan plan;
    if (size == 0 || size > kSpiMaxImage) return plan;
    plan.sectors = static_cast<uint16_t>((size + kSpiSectorSize - 1) / kSpiSectorSize);
    const size_t padded = (size + kSpiWriteUnit - 1) / kSpiWriteUnit * kSpiWriteUnit;
    for (size_t offset = 0; offset < padded; offset += FX3::kSpiPage) {
        const size_t length = std::min(FX3::kSpiPage, padded - offset);
        plan.pieces.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(length)});
    }
    return plan;
}

int loadFx3Ram(FX3& fx3, std::span<const uint8_t> image) {
    const Fx3ImageParse parsed = parseFx3Image(image);
    if (parsed.error == Fx3ImageError::NoSignature) return kRamLoadNoSignature;
    if (!parsed.image) return kRamLoadMalformed;

    // The read-back covers just the piece: a full 2048-byte read of a short last piece could
    // reach past the end of the boot loader's RAM and fail every attempt.
    std::vector<uint8_t> readBack(FX3::kBootLoaderChunk);
    uint32_t checksum = 0;
    for (const Fx3Section& section : parsed.image->sections) {
        for (size_t at = 0; at < section.data.size(); at += FX3::kBootLoaderChunk) {
            const auto piece =
                section.data.subspan(at, std::min(FX3::kBootLoaderChunk, section.data.size() - at));
            const auto address = static_cast<uint32_t>(section.address + at);
            if (!writeVerified(fx3, address, piece, std::span(readBack).first(piece.size()))) {
                return kRamLoadWriteFailed;
            }
            checksum += sumOfWords(piece);
        }
    }
    if (checksum != parsed.image->checksum) return kRamLoadChecksumMismatch;
    // The boot loader jumps to the program and may drop off the bus before it answers.
    (void)fx3.bootLoaderStart(parsed.image->entry);
    return kRamLoadDone;
}

std::string fx3ImageProblem(std::span<const uint8_t> image) {
    const Fx3ImageParse parsed = parseFx3Image(image);
    if (!parsed.image) return parsed.message;
    if (!parsed.image->checksumMatches()) return "The image's checksum does not match its data";
    if (planSpiProgram(image.size()).pieces.empty()) return "The image is too large for the flash";
    return {};
}

int programFx3Spi(FX3& fx3, std::span<const uint8_t> image) {
    // The flash is erased first, so an image the FX3 could not boot would leave the camera
    // with no program at all.
    if (!fx3ImageProblem(image).empty()) return kSpiProgramBadImage;
    const SpiPlan plan = planSpiProgram(image.size());
    for (uint16_t sector = 0; sector < plan.sectors; ++sector) {
        if (!eraseSector(fx3, sector)) return kSpiProgramEraseFailed;
    }
    std::vector<uint8_t> padded;
    for (const SpiPiece& piece : plan.pieces) {
        std::span<const uint8_t> data;
        if (piece.offset + piece.length <= image.size()) {
            data = image.subspan(piece.offset, piece.length);
        } else {
            padded.assign(piece.length, 0);
            std::memcpy(padded.data(), image.data() + piece.offset, image.size() - piece.offset);
            data = padded;
        }
        if (!fx3.spiWrite(piece.offset, data)) return kSpiProgramWriteFailed;
    }
    return kSpiProgramDone;
}

}  // namespace TVR
