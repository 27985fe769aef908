#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <system_error>

#include "fx3.h"
#include "protocol/vendor_requests.h"

namespace TVR {

namespace {

constexpr int kFx3Tables01 = 45;
constexpr int kFpgaTables01 = 61;
constexpr int kFx3Tables24 = 51;
constexpr int kFpgaTables24 = 70;
constexpr int kFx3Tables35 = 58;
constexpr int kFpgaTables35 = 73;
constexpr int kFx3TableBlocks = 55;
constexpr int kFpgaKind4Width13 = 73;
constexpr uint32_t kScaleBits345 = 0x3D800801;
// VR_TABLE addresses the start and the count by their low bytes.
constexpr int kBlockEntries = 256;
constexpr int kMaxBlockCount = 255;
constexpr int kSelectKinds = 8;

int signExtend(uint16_t raw, int bits) {
    const int mask = (1 << bits) - 1;
    const int v = raw & mask;
    return (v & (1 << (bits - 1))) != 0 ? v - (1 << bits) : v;
}

std::unique_lock<std::mutex> lockTables() {
    try {
        return std::unique_lock(fpgaTableMutex());
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace

std::mutex& fpgaTableMutex() {
    static std::mutex mutex;
    return mutex;
}

bool FX3::tableAvailable(int kind) const {
    if (!connected()) return false;
    switch (kind) {
        case 0:
        case 1:
            return fx3Build(kFx3Tables01) && fpgaBuild(kFpgaTables01);
        case 2:
        case 4:
            return fx3Build(kFx3Tables24) && fpgaBuild(kFpgaTables24);
        case 3:
        case 5:
            return fx3Build(kFx3Tables35) && fpgaBuild(kFpgaTables35);
        default:
            return false;
    }
}

bool FX3::tableBlockAvailable(int kind) const {
    return tableAvailable(kind) && fx3Build(kFx3TableBlocks);
}

int FX3::signExtendTableValue(int kind, uint16_t raw) const {
    switch (kind) {
        case 0:
            return signExtend(raw, 14);
        case 1:
        case 2:
            return signExtend(raw, 12);
        case 3:
        case 5:
            return signExtend(raw, 13);
        case 4:
            return fpgaBuild(kFpgaKind4Width13) ? signExtend(raw, 13) : signExtend(raw, 16);
        default:
            return signExtend(raw, 16);
    }
}

double FX3::tableScale(int kind) {
    switch (kind) {
        case 0:
            return 45.0 / 2048.0;
        case 1:
        case 2:
            return 1.0 / 256.0;
        case 3:
        case 4:
        case 5:
            return static_cast<double>(std::bit_cast<float>(kScaleBits345));
        default:
            return 1.0;
    }
}

int FX3::tableRawFromValue(int kind, double value) {
    const double raw = std::floor(value / tableScale(kind));
    // Keeps the conversion defined; the entry takes the low 16 bits.
    if (!std::isfinite(raw)) return 0;
    return static_cast<int>(std::clamp(raw, -32768.0, 65535.0));
}

void FX3::clearTableSelectCache() {
    m_selectHigh = -1;
    m_selectLow = -1;
}

bool FX3::selectTableEntryLocked(int kind, int entry) {
    if (kind < 0 || kind >= kSelectKinds || entry < 0 || entry > kMaxTableEntry) return false;
    const int high = kind * 32 + ((entry >> 8) & 0xF) * 2;
    const int low = entry & 0xFF;
    if (m_selectHigh != high) {
        if (!writeFpgaReg(FpgaReg::kTableSelectHigh, static_cast<uint8_t>(high))) return false;
        m_selectHigh = high;
    }
    if (m_selectLow != low) {
        if (!writeFpgaReg(FpgaReg::kTableSelectLow, static_cast<uint8_t>(low))) return false;
        m_selectLow = low;
    }
    return true;
}

std::optional<int> FX3::readTableEntryLocked(int kind, int entry) {
    if (!selectTableEntryLocked(kind, entry)) return std::nullopt;
    const auto low = readFpgaReg(FpgaReg::kTableDataLow);
    if (!low) return std::nullopt;
    const auto high = readFpgaReg(FpgaReg::kTableDataHigh);
    if (!high) return std::nullopt;
    return signExtendTableValue(kind, static_cast<uint16_t>(*low | (*high << 8)));
}

bool FX3::writeTableEntryLocked(int kind, int entry, int raw) {
    if (!selectTableEntryLocked(kind, entry)) return false;
    const auto bits = static_cast<unsigned>(raw);
    return writeFpgaReg(FpgaReg::kTableDataLow, static_cast<uint8_t>(bits & 0xFF)) &&
           writeFpgaReg(FpgaReg::kTableDataHigh, static_cast<uint8_t>((bits >> 8) & 0xFF));
}

bool FX3::selectTableEntry(int kind, int entry) {
    const auto lock = lockTables();
    return lock.owns_lock() && selectTableEntryLocked(kind, entry);
}

std::optional<int> FX3::readTableEntry(int kind, int entry) {
    const auto lock = lockTables();
    if (!lock.owns_lock()) return std::nullopt;
    return readTableEntryLocked(kind, entry);
}

bool FX3::writeTableEntry(int kind, int entry, int raw) {
    const auto lock = lockTables();
    return lock.owns_lock() && writeTableEntryLocked(kind, entry, raw);
}

// Ranges.

bool FpgaTable::blockFits(int kind, int start, size_t count, bool forcePerEntry) const {
    if (forcePerEntry || !m_fx3.tableBlockAvailable(kind)) return false;
    return start >= 0 && count >= 1 && count <= kMaxBlockCount &&
           start + static_cast<int>(count) <= kBlockEntries;
}

bool FpgaTable::blockRead(int kind, int start, int count, std::vector<double>& out) {
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * 2);
    const auto value = static_cast<uint16_t>(kTableCountFlag + count);
    const auto index = static_cast<uint16_t>(kind * 256 + start);
    if (!m_fx3.vendorRequest(VR_TABLE, false, value, index, bytes)) return false;
    const double scale = FX3::tableScale(kind);
    for (int i = 0; i < count; ++i) {
        const auto raw = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        out.push_back(m_fx3.signExtendTableValue(kind, raw) * scale);
    }
    return true;
}

bool FpgaTable::blockWrite(int kind, int start, std::span<const double> values) {
    std::vector<uint8_t> bytes;
    bytes.reserve(values.size() * 2);
    for (double v : values) {
        const auto raw = static_cast<unsigned>(FX3::tableRawFromValue(kind, v));
        bytes.push_back(static_cast<uint8_t>(raw & 0xFF));
        bytes.push_back(static_cast<uint8_t>((raw >> 8) & 0xFF));
    }
    const auto value = static_cast<uint16_t>(kTableCountFlag + values.size());
    const auto index = static_cast<uint16_t>(kind * 256 + start);
    return m_fx3.vendorRequest(VR_TABLE, true, value, index, {}, bytes);
}

std::vector<double> FpgaTable::readRange(int kind, int start, int count, bool forcePerEntry) {
    std::vector<double> values;
    if (count <= 0) {
        m_error = false;
        return values;
    }
    const auto lock = lockTables();
    if (!lock.owns_lock()) {
        m_error = true;
        return values;
    }
    bool done = false;
    if (blockFits(kind, start, static_cast<size_t>(count), forcePerEntry)) {
        done = blockRead(kind, start, count, values);
    }
    if (!done && m_fx3.tableAvailable(kind)) {
        const double scale = FX3::tableScale(kind);
        for (int i = 0; i < count; ++i) {
            const auto raw = m_fx3.readTableEntryLocked(kind, start + i);
            if (!raw) break;
            values.push_back(*raw * scale);
        }
    }
    m_error = values.size() < static_cast<size_t>(count);
    return values;
}

int FpgaTable::writeRange(int kind, int start, std::span<const double> values, bool forcePerEntry) {
    if (values.empty()) {
        m_error = false;
        return 0;
    }
    const auto lock = lockTables();
    if (!lock.owns_lock()) {
        m_error = true;
        return 0;
    }
    // A failed block write is not taken for success: the entries go one by one instead.
    if (blockFits(kind, start, values.size(), forcePerEntry) && blockWrite(kind, start, values)) {
        m_error = false;
        return static_cast<int>(values.size());
    }
    int written = 0;
    if (m_fx3.tableAvailable(kind)) {
        for (double v : values) {
            if (!m_fx3.writeTableEntryLocked(kind, start + written,
                                             FX3::tableRawFromValue(kind, v))) {
                break;
            }
            ++written;
        }
    }
    m_error = written < static_cast<int>(values.size());
    return written;
}

bool FpgaTable::writeValue(int kind, int entry, double value, bool forcePerEntry) {
    const std::array<double, 1> one = {value};
    return writeRange(kind, entry, one, forcePerEntry) == 1 && !m_error;
}

}  // namespace TVR
