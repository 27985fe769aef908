// Decodes request records with the decoder every backend shares, and builds the libusb transfers
// from them, against buffers of hostile sizes. The record is copied into a buffer of exactly its
// size, so any read past it is caught; every decoded offset and length must lie inside the record,
// lengths that disagree are refused, and rejections come with a message.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "libusb/transfer_request.h"
#include "usb/request_decoder.h"
#include "usb/request_record.h"

namespace {

namespace Lu = TVR::Libusb;
namespace Rec = TVR::Rec;

volatile uint32_t g_sink;

// Caller's buffers up to this size are allocated to build the libusb transfers over.
constexpr size_t kBuiltLengthLimit = 1 << 16;

// Reads every byte of a decoded area, so an area outside the record cannot hide.
void touch(std::span<const uint8_t> area) {
    uint32_t sum = 0;
    for (uint8_t b : area) sum += b;
    g_sink = sum;
}

size_t hostileLength(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return in.ConsumeIntegralInRange<size_t>(0, 1 << 20);
        case 1:
            return TVR::kMaxTransferLength - 2 + in.ConsumeIntegralInRange<size_t>(0, 4);
        case 2:
            return std::numeric_limits<size_t>::max() - in.ConsumeIntegralInRange<size_t>(0, 4);
        default:
            return in.ConsumeIntegral<size_t>();
    }
}

void checkControl(std::span<const uint8_t> record) {
    std::string error;
    const auto r = TVR::decodeControlRequest(record, error);
    const auto t = Lu::buildControlTransfer(record, error);
    FUZZ_CHECK(r.has_value() == t.has_value());
    if (!r) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    TVR::RequestHeader h;
    FUZZ_CHECK(TVR::decodeRequestHeader(record, h));
    FUZZ_CHECK(h.bufferLength == h.wLength);
    FUZZ_CHECK(r->dataOffset >= Rec::kHeaderSize && r->dataOffset <= record.size());
    FUZZ_CHECK(record.size() - r->dataOffset >= r->wLength);
    touch(record.subspan(r->dataOffset, r->wLength));
    // The setup packet is the header's first eight bytes as they stand.
    FUZZ_CHECK(std::equal(r->setup.begin(), r->setup.end(), record.begin()));
    FUZZ_CHECK(r->bmRequestType == h.bmRequestType && r->bRequest == h.bRequest &&
               r->wValue == h.wValue && r->wIndex == h.wIndex && r->wLength == h.wLength);
    FUZZ_CHECK(r->in() == ((record[0] & 0x80) != 0));
    FUZZ_CHECK(r->timeoutSec == h.timeoutSec);

    // The libusb transfer: the setup packet, then the data written or room for the reply.
    FUZZ_CHECK(t->timeoutMs == TVR::recordTimeoutMs(h.timeoutSec));
    FUZZ_CHECK(t->buffer.size() == TVR::kSetupSize + r->wLength);
    FUZZ_CHECK(std::equal(r->setup.begin(), r->setup.end(), t->buffer.begin()));
    const auto data = record.subspan(r->dataOffset, r->wLength);
    const auto wire = std::span<const uint8_t>(t->buffer).subspan(TVR::kSetupSize);
    if (r->in()) {
        FUZZ_CHECK(std::all_of(wire.begin(), wire.end(), [](uint8_t b) { return b == 0; }));
    } else {
        FUZZ_CHECK(std::equal(data.begin(), data.end(), wire.begin(), wire.end()));
    }
}

void checkStream(std::span<const uint8_t> record, size_t bufferLength, uint32_t maxPacket) {
    std::string error;
    const auto s = TVR::decodeStreamRequest(record, bufferLength, error);
    const auto iso = TVR::decodeIsochRequest(record, bufferLength, error);
    if (bufferLength <= kBuiltLengthLimit) {
        // The libusb transfers take exactly what the decoder takes.
        const std::vector<uint8_t> data(bufferLength, 0x5A);
        const auto bulk = Lu::buildStreamTransfer(TVR::Ioctl::kBulkTransfer, record, data, error);
        const auto isoch = Lu::buildStreamTransfer(TVR::Ioctl::kIsochTransfer, record, data, error);
        FUZZ_CHECK(bulk.has_value() == s.has_value() && isoch.has_value() == iso.has_value());
        if (bulk) {
            FUZZ_CHECK(!bulk->isoch && bulk->buffer.size() == std::max<size_t>(bufferLength, 1));
            FUZZ_CHECK(bulk->request.in() ||
                       std::equal(data.begin(), data.end(), bulk->buffer.begin()));
        }
        if (isoch) {
            FUZZ_CHECK(isoch->isoch && isoch->packetCount == iso->packetCount &&
                       isoch->packetListOffset == iso->packetListOffset);
        }
    }
    if (!s) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(!iso);
        return;
    }
    FUZZ_CHECK(TVR::isDataEndpoint(s->endpoint));
    FUZZ_CHECK(s->endpoint == record[Rec::kEndpoint]);
    FUZZ_CHECK(TVR::getLe32(record, Rec::kBufferLength) == 0);
    FUZZ_CHECK(s->length == bufferLength && s->length <= TVR::kMaxTransferLength);
    if (!iso) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(iso->stream.endpoint == s->endpoint && iso->stream.length == s->length);
    FUZZ_CHECK(iso->packetCount >= 1 && iso->packetCount <= TVR::kMaxIsoPackets);
    FUZZ_CHECK(iso->packetListOffset >= Rec::kHeaderSize && iso->packetListOffset <= record.size());
    const size_t listBytes = size_t{iso->packetCount} * Rec::kIsoPacketSize;
    FUZZ_CHECK(record.size() - iso->packetListOffset >= listBytes);
    touch(record.subspan(iso->packetListOffset, listBytes));

    // The packets the backend would submit for the decoded request.
    const auto lengths = Lu::isoPacketLengths(iso->stream.length, iso->packetCount, maxPacket);
    FUZZ_CHECK(lengths.size() == iso->packetCount);
    uint64_t sum = 0;
    for (uint32_t n : lengths) {
        FUZZ_CHECK(maxPacket == 0 || n <= maxPacket);
        sum += n;
    }
    FUZZ_CHECK(sum <= iso->stream.length);
    // Without a packet size the total is spread over the packets, all of it.
    FUZZ_CHECK(maxPacket != 0 || sum == iso->stream.length);
    FUZZ_CHECK(maxPacket == 0 || sum == std::min<uint64_t>(iso->stream.length,
                                                           uint64_t{maxPacket} * iso->packetCount));
}

void checkArithmetic(FuzzedDataProvider& in) {
    const uint32_t sec = in.ConsumeIntegral<uint32_t>();
    FUZZ_CHECK(TVR::recordTimeoutMs(sec) ==
               std::min<uint64_t>(uint64_t{sec} * 1000, std::numeric_limits<uint32_t>::max()));
    const auto wMaxPacketSize = in.ConsumeIntegral<uint16_t>();
    const bool companion = in.ConsumeBool();
    const auto burst = in.ConsumeIntegral<uint8_t>();
    const auto attributes = in.ConsumeIntegral<uint8_t>();
    const uint32_t bytes =
        Lu::isoServiceIntervalBytes(wMaxPacketSize, companion, burst, attributes);
    FUZZ_CHECK(bytes <= (wMaxPacketSize & 0x7FFu) * (companion ? 256u * 4u : 4u));
    FUZZ_CHECK((wMaxPacketSize & 0x7FF) != 0 || bytes == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t bufferLength = hostileLength(in);
    const uint32_t maxPacket = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<uint32_t>(1, 49152);
    checkArithmetic(in);

    const std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
    const size_t n = bytes.size();
    // Exactly the record's size on the heap: no slack for an overread to land in.
    const auto record = std::make_unique<uint8_t[]>(n);
    std::copy(bytes.begin(), bytes.end(), record.get());
    const std::span<const uint8_t> rec(record.get(), n);

    checkControl(rec);
    checkStream(rec, bufferLength, maxPacket);
    const auto endpoint = TVR::decodeAbortRequest(rec);
    FUZZ_CHECK(endpoint.has_value() == (n > 0));
    if (endpoint) FUZZ_CHECK(*endpoint == rec[0]);
    return 0;
}
