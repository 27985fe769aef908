#include "media/media_util.h"

#include <iomanip>
#include <sstream>
#include <vector>

#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {
namespace {

enum class Layout { kPackedRgb, kPacked, kPlanar420, kPlanar420Wide };

struct StrideRow {
    uint32_t fourcc;
    uint32_t bitsPerPixel;  // of the first plane
    Layout layout;
};

constexpr StrideRow kStrides[] = {
    {22, 32, Layout::kPackedRgb},  // RGB32
    {21, 32, Layout::kPackedRgb},  // ARGB32
    {20, 24, Layout::kPackedRgb},  // RGB24
    {23, 16, Layout::kPackedRgb},  // RGB565
    {24, 16, Layout::kPackedRgb},  // RGB555
    {41, 8, Layout::kPackedRgb},   // RGB8
    {makeFourCC('A', 'Y', 'U', 'V'), 32, Layout::kPacked},
    {makeFourCC('Y', 'U', 'Y', '2'), 16, Layout::kPacked},
    {makeFourCC('U', 'Y', 'V', 'Y'), 16, Layout::kPacked},
    {makeFourCC('Y', 'V', 'Y', 'U'), 16, Layout::kPacked},
    {makeFourCC('Y', '2', '1', '0'), 32, Layout::kPacked},
    {makeFourCC('Y', '2', '1', '6'), 32, Layout::kPacked},
    {makeFourCC('Y', '4', '1', '0'), 32, Layout::kPacked},
    {makeFourCC('Y', '4', '1', '6'), 64, Layout::kPacked},
    {makeFourCC('v', '4', '1', '0'), 32, Layout::kPacked},
    {makeFourCC('N', 'V', '1', '2'), 8, Layout::kPlanar420},
    {makeFourCC('Y', 'V', '1', '2'), 8, Layout::kPlanar420},
    {makeFourCC('I', '4', '2', '0'), 8, Layout::kPlanar420},
    {makeFourCC('I', 'Y', 'U', 'V'), 8, Layout::kPlanar420},
    {makeFourCC('P', '0', '1', '0'), 16, Layout::kPlanar420Wide},
    {makeFourCC('P', '0', '1', '6'), 16, Layout::kPlanar420Wide},
};

const StrideRow* findStrideRow(uint32_t fourcc) {
    for (const StrideRow& row : kStrides) {
        if (row.fourcc == fourcc) return &row;
    }
    return nullptr;
}

}  // namespace

std::string prop2str(const Attributes* attributes, const GUID& key) {
    if (attributes == nullptr) return {};
    uint32_t length = 0;
    if (attributes->getStringLength(key, &length) != S_OK || length == 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    if (attributes->getString(key, buffer.data(), length + 1, nullptr) != S_OK) return "ERROR";
    return std::string(buffer.data());
}

std::string outputLargeInt(uint64_t n) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(1);
    if (n > 524288) {
        out << static_cast<double>(n) / 1048576.0 << " M";
    } else if (n <= 512) {
        out << n;
    } else {
        out << static_cast<double>(n) / 1024.0 << " K";
    }
    return out.str();
}

int32_t LogMediaType(const Attributes* mediaType) {
    return mediaType == nullptr ? kLogMediaTypeNullResult : S_OK;
}

std::shared_ptr<PresentationDescriptor> pdFromActivate(Activate* activate, int stream) {
    if (activate == nullptr) return nullptr;
    std::shared_ptr<MediaSource> source;
    if (failed(activate->activateObject(&source)) || !source) return nullptr;
    std::shared_ptr<PresentationDescriptor> pd;
    if (failed(source->createPresentationDescriptor(&pd)) || !pd) return nullptr;
    if (stream >= 0) {
        bool selected = false;
        std::shared_ptr<StreamDescriptor> sd;
        if (failed(pd->getStreamDescriptorByIndex(static_cast<uint32_t>(stream), &selected, &sd))) {
            return nullptr;
        }
        if (!selected && failed(pd->selectStream(static_cast<uint32_t>(stream)))) return nullptr;
    }
    return pd;
}

bool strideForFourCC(uint32_t fourcc, uint32_t width, int32_t* stride) {
    const StrideRow* row = findStrideRow(fourcc);
    if (row == nullptr || stride == nullptr) return false;
    uint64_t bytes = (static_cast<uint64_t>(width) * row->bitsPerPixel + 7) / 8;
    if (row->layout == Layout::kPackedRgb) bytes = (bytes + 3) & ~uint64_t{3};
    if (bytes > INT32_MAX) return false;
    *stride = static_cast<int32_t>(bytes);
    return true;
}

uint32_t imageSizeForFourCC(uint32_t fourcc, uint32_t width, uint32_t height) {
    const StrideRow* row = findStrideRow(fourcc);
    int32_t stride = 0;
    if (row == nullptr || !strideForFourCC(fourcc, width, &stride)) return 0;
    uint64_t rows = height;
    if (row->layout == Layout::kPlanar420 || row->layout == Layout::kPlanar420Wide) {
        rows = static_cast<uint64_t>(height) + (height + 1) / 2;
    }
    uint64_t size = rows * static_cast<uint64_t>(stride);
    return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

}  // namespace OLK
