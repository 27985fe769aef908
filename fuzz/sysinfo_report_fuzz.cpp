// Arbitrary bytes as the camera's system information record: taken apart and reported without
// reading outside the record; only a record of a known layout and size is taken at all.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "tools/sysinfo/sys_info_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> record(data, size);
    const TVR::SystemInformation info = TVR::parseSystemInformation(record);
    if (info.valid) {
        FUZZ_CHECK(info.size == 39 || info.size == 54);
        FUZZ_CHECK(size >= info.size);
        FUZZ_CHECK(info.hasAddresses == (info.size == 54));
    } else {
        FUZZ_CHECK(info.uptimeMs == 0 && info.heapAllocations == 0 && !info.knownPart());
    }
    FUZZ_CHECK(!TVR::sysInfoHeaderText(info).empty());
    FUZZ_CHECK(!TVR::systemInformationReport(info, true).empty());
    static_cast<void>(TVR::sysInfoUsbText(info));
    return 0;
}
