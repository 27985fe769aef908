// Loads camera version replies into the FX3 and FPGA version records. A record is valid exactly
// when it says so, a valid record's fields rebuild its word, an invalid one answers no build
// gate, and a bad reply after a good one leaves the record unknown.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "fuzz_check.h"
#include "versioninfo.h"

namespace {

void checkRecord(TVR::VersionInfoBase& record, std::span<const uint8_t> reply, int gate) {
    const bool ok = record.load(reply);
    FUZZ_CHECK(ok == record.valid());
    FUZZ_CHECK(reply.size() == 4 || !ok);
    if (!ok) {
        FUZZ_CHECK(reply.size() == 4 || record.word() == TVR::VersionInfoBase::kUnknownWord);
        FUZZ_CHECK(record.shortText() == "UNKNOWN");
        FUZZ_CHECK(record.productName() == "Unknown" && record.vendorName() == "Unknown");
        FUZZ_CHECK(!record.buildBelow(gate) && !record.buildAtLeast(gate));
        FUZZ_CHECK(record.releases(0).releases.empty());
        return;
    }
    FUZZ_CHECK(record.isValidWord(record.word()));
    FUZZ_CHECK(TVR::VersionInfoBase::makeWord(record.vendor(), record.hardware(), record.product(),
                                              record.releaseKind(),
                                              record.build()) == record.word());
    FUZZ_CHECK(record.build() >= 0 && record.build() <= 0x1FFF);
    FUZZ_CHECK(record.buildBelow(gate) != record.buildAtLeast(gate));
    FUZZ_CHECK(record.shortText() ==
               std::to_string(record.vendor()) + "." + std::to_string(record.hardware()) + "." +
                   std::to_string(record.product()) + "." + std::to_string(record.releaseKind()) +
                   "." + std::to_string(record.build()));
    FUZZ_CHECK(record.productName() != "Unknown");
    FUZZ_CHECK(record.detailedText("  ").starts_with("  Vendor:\t"));

    // A short reply afterwards: the record forgets the good one.
    FUZZ_CHECK(!record.load(reply.first(3)));
    FUZZ_CHECK(!record.valid() && record.word() == TVR::VersionInfoBase::kUnknownWord);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte is a build gate as the firmware checks them, the rest the reply.
    const int gate = data[0] * 32;
    const std::span<const uint8_t> reply(data + 1, size - 1);
    TVR::VersionInfoFX3 fx3;
    TVR::VersionInfoFPGA fpga;
    checkRecord(fx3, reply, gate);
    checkRecord(fpga, reply, gate);
    return 0;
}
