// Parses hostile FX3 "CY" images and plans their flash programming. A parsed image's sections
// lie inside the input, in order and without overlap; its checksum is the sum of their words;
// a refused image carries a message. The plan covers the image in whole write units.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "fx3_image.h"
#include "fx3_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    const TVR::Fx3ImageParse parsed = TVR::parseFx3Image(file);
    FUZZ_CHECK(parsed.image.has_value() == (parsed.error == TVR::Fx3ImageError::None));
    if (parsed.image) {
        const uint8_t* next = data + 12;
        uint32_t sum = 0;
        for (const TVR::Fx3Section& s : parsed.image->sections) {
            FUZZ_CHECK(!s.data.empty() && s.data.size() % 4 == 0);
            FUZZ_CHECK(s.data.data() == next);
            FUZZ_CHECK(s.data.data() + s.data.size() <= data + size);
            FUZZ_CHECK(uint64_t{s.address} + s.data.size() <= (uint64_t{1} << 32));
            next = s.data.data() + s.data.size() + 8;
            sum += TVR::sumOfWords(s.data);
        }
        FUZZ_CHECK(sum == parsed.image->computedChecksum);
        FUZZ_CHECK(size >= 2 && data[0] == 'C' && data[1] == 'Y');
    } else {
        FUZZ_CHECK(!parsed.message.empty());
    }

    const TVR::SpiPlan plan = TVR::planSpiProgram(size);
    if (size == 0) {
        FUZZ_CHECK(plan.pieces.empty());
    } else {
        FUZZ_CHECK(uint64_t{plan.sectors} * TVR::kSpiSectorSize >= size);
        uint32_t at = 0;
        for (const TVR::SpiPiece& p : plan.pieces) {
            FUZZ_CHECK(p.offset == at && p.length > 0 && p.length % TVR::kSpiWriteUnit == 0);
            at += p.length;
        }
        FUZZ_CHECK(at >= size && at - size < TVR::kSpiWriteUnit);
    }
    return 0;
}
