#include "media/guid_names.h"

#include <fmt/format.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "media/mf_guids.h"
#include "media/mf_result.h"

namespace OLK {
namespace {

struct GuidName {
    GUID guid;
    const char* name;
};

#define OLK_GUID_ROW(g) \
    GuidName { g, #g }

constexpr GuidName kGuidNames[] = {
    OLK_GUID_ROW(MF_MT_MAJOR_TYPE),
    OLK_GUID_ROW(MF_MT_SUBTYPE),
    OLK_GUID_ROW(MF_MT_ALL_SAMPLES_INDEPENDENT),
    OLK_GUID_ROW(MF_MT_FIXED_SIZE_SAMPLES),
    OLK_GUID_ROW(MF_MT_COMPRESSED),
    OLK_GUID_ROW(MF_MT_SAMPLE_SIZE),
    OLK_GUID_ROW(MF_MT_WRAPPED_TYPE),
    OLK_GUID_ROW(MF_MT_AUDIO_NUM_CHANNELS),
    OLK_GUID_ROW(MF_MT_AUDIO_SAMPLES_PER_SECOND),
    OLK_GUID_ROW(MF_MT_AUDIO_FLOAT_SAMPLES_PER_SECOND),
    OLK_GUID_ROW(MF_MT_AUDIO_AVG_BYTES_PER_SECOND),
    OLK_GUID_ROW(MF_MT_AUDIO_BLOCK_ALIGNMENT),
    OLK_GUID_ROW(MF_MT_AUDIO_BITS_PER_SAMPLE),
    OLK_GUID_ROW(MF_MT_AUDIO_VALID_BITS_PER_SAMPLE),
    OLK_GUID_ROW(MF_MT_AUDIO_SAMPLES_PER_BLOCK),
    OLK_GUID_ROW(MF_MT_AUDIO_CHANNEL_MASK),
    OLK_GUID_ROW(MF_MT_AUDIO_FOLDDOWN_MATRIX),
    OLK_GUID_ROW(MF_MT_AUDIO_WMADRC_PEAKREF),
    OLK_GUID_ROW(MF_MT_AUDIO_WMADRC_PEAKTARGET),
    OLK_GUID_ROW(MF_MT_AUDIO_WMADRC_AVGREF),
    OLK_GUID_ROW(MF_MT_AUDIO_WMADRC_AVGTARGET),
    OLK_GUID_ROW(MF_MT_AUDIO_PREFER_WAVEFORMATEX),
    OLK_GUID_ROW(MF_MT_AAC_PAYLOAD_TYPE),
    OLK_GUID_ROW(MF_MT_AAC_AUDIO_PROFILE_LEVEL_INDICATION),
    OLK_GUID_ROW(MF_MT_FRAME_SIZE),
    OLK_GUID_ROW(MF_MT_FRAME_RATE),
    OLK_GUID_ROW(MF_MT_FRAME_RATE_RANGE_MAX),
    OLK_GUID_ROW(MF_MT_FRAME_RATE_RANGE_MIN),
    OLK_GUID_ROW(MF_MT_PIXEL_ASPECT_RATIO),
    OLK_GUID_ROW(MF_MT_DRM_FLAGS),
    OLK_GUID_ROW(MF_MT_PAD_CONTROL_FLAGS),
    OLK_GUID_ROW(MF_MT_SOURCE_CONTENT_HINT),
    OLK_GUID_ROW(MF_MT_VIDEO_CHROMA_SITING),
    OLK_GUID_ROW(MF_MT_INTERLACE_MODE),
    OLK_GUID_ROW(MF_MT_TRANSFER_FUNCTION),
    OLK_GUID_ROW(MF_MT_VIDEO_PRIMARIES),
    OLK_GUID_ROW(MF_MT_CUSTOM_VIDEO_PRIMARIES),
    OLK_GUID_ROW(MF_MT_YUV_MATRIX),
    OLK_GUID_ROW(MF_MT_VIDEO_LIGHTING),
    OLK_GUID_ROW(MF_MT_VIDEO_NOMINAL_RANGE),
    OLK_GUID_ROW(MF_MT_GEOMETRIC_APERTURE),
    OLK_GUID_ROW(MF_MT_MINIMUM_DISPLAY_APERTURE),
    OLK_GUID_ROW(MF_MT_PAN_SCAN_APERTURE),
    OLK_GUID_ROW(MF_MT_PAN_SCAN_ENABLED),
    OLK_GUID_ROW(MF_MT_AVG_BITRATE),
    OLK_GUID_ROW(MF_MT_AVG_BIT_ERROR_RATE),
    OLK_GUID_ROW(MF_MT_MAX_KEYFRAME_SPACING),
    OLK_GUID_ROW(MF_MT_DEFAULT_STRIDE),
    OLK_GUID_ROW(MF_MT_PALETTE),
    OLK_GUID_ROW(MF_MT_USER_DATA),
    OLK_GUID_ROW(MF_MT_AM_FORMAT_TYPE),
    OLK_GUID_ROW(MF_MT_MPEG_START_TIME_CODE),
    OLK_GUID_ROW(MF_MT_MPEG2_PROFILE),
    OLK_GUID_ROW(MF_MT_MPEG2_LEVEL),
    OLK_GUID_ROW(MF_MT_MPEG2_FLAGS),
    OLK_GUID_ROW(MF_MT_MPEG_SEQUENCE_HEADER),
    OLK_GUID_ROW(MF_MT_DV_AAUX_SRC_PACK_0),
    OLK_GUID_ROW(MF_MT_DV_AAUX_CTRL_PACK_0),
    OLK_GUID_ROW(MF_MT_DV_AAUX_SRC_PACK_1),
    OLK_GUID_ROW(MF_MT_DV_AAUX_CTRL_PACK_1),
    OLK_GUID_ROW(MF_MT_DV_VAUX_SRC_PACK),
    OLK_GUID_ROW(MF_MT_DV_VAUX_CTRL_PACK),
    OLK_GUID_ROW(MF_MT_ARBITRARY_HEADER),
    OLK_GUID_ROW(MF_MT_ARBITRARY_FORMAT),
    OLK_GUID_ROW(MF_MT_IMAGE_LOSS_TOLERANT),
    OLK_GUID_ROW(MF_MT_MPEG4_SAMPLE_DESCRIPTION),
    OLK_GUID_ROW(MF_MT_MPEG4_CURRENT_SAMPLE_ENTRY),
    OLK_GUID_ROW(MF_MT_ORIGINAL_4CC),
    OLK_GUID_ROW(MF_MT_ORIGINAL_WAVE_FORMAT_TAG),
    OLK_GUID_ROW(MFMediaType_Audio),
    OLK_GUID_ROW(MFMediaType_Video),
    OLK_GUID_ROW(MFMediaType_Protected),
    OLK_GUID_ROW(MFMediaType_SAMI),
    OLK_GUID_ROW(MFMediaType_Script),
    OLK_GUID_ROW(MFMediaType_Image),
    OLK_GUID_ROW(MFMediaType_HTML),
    OLK_GUID_ROW(MFMediaType_Binary),
    OLK_GUID_ROW(MFMediaType_FileTransfer),
    OLK_GUID_ROW(MFVideoFormat_AI44),
    OLK_GUID_ROW(MFVideoFormat_ARGB32),
    OLK_GUID_ROW(MFVideoFormat_AYUV),
    OLK_GUID_ROW(MFVideoFormat_DV25),
    OLK_GUID_ROW(MFVideoFormat_DV50),
    OLK_GUID_ROW(MFVideoFormat_DVH1),
    OLK_GUID_ROW(MFVideoFormat_DVSD),
    OLK_GUID_ROW(MFVideoFormat_DVSL),
    OLK_GUID_ROW(MFVideoFormat_H264),
    OLK_GUID_ROW(MFVideoFormat_I420),
    OLK_GUID_ROW(MFVideoFormat_IYUV),
    OLK_GUID_ROW(MFVideoFormat_M4S2),
    GuidName{MFVideoFormat_MJPG, "MJPG"},
    OLK_GUID_ROW(MFVideoFormat_MP43),
    OLK_GUID_ROW(MFVideoFormat_MP4S),
    OLK_GUID_ROW(MFVideoFormat_MP4V),
    OLK_GUID_ROW(MFVideoFormat_MPG1),
    OLK_GUID_ROW(MFVideoFormat_MSS1),
    OLK_GUID_ROW(MFVideoFormat_MSS2),
    OLK_GUID_ROW(MFVideoFormat_NV11),
    GuidName{MFVideoFormat_NV12, "NV12"},
    OLK_GUID_ROW(MFVideoFormat_P010),
    OLK_GUID_ROW(MFVideoFormat_P016),
    OLK_GUID_ROW(MFVideoFormat_P210),
    OLK_GUID_ROW(MFVideoFormat_P216),
    OLK_GUID_ROW(MFVideoFormat_RGB24),
    OLK_GUID_ROW(MFVideoFormat_RGB32),
    OLK_GUID_ROW(MFVideoFormat_RGB555),
    OLK_GUID_ROW(MFVideoFormat_RGB565),
    OLK_GUID_ROW(MFVideoFormat_RGB8),
    OLK_GUID_ROW(MFVideoFormat_UYVY),
    OLK_GUID_ROW(MFVideoFormat_v210),
    OLK_GUID_ROW(MFVideoFormat_v410),
    OLK_GUID_ROW(MFVideoFormat_WMV1),
    OLK_GUID_ROW(MFVideoFormat_WMV2),
    OLK_GUID_ROW(MFVideoFormat_WMV3),
    OLK_GUID_ROW(MFVideoFormat_WVC1),
    OLK_GUID_ROW(MFVideoFormat_Y210),
    OLK_GUID_ROW(MFVideoFormat_Y216),
    OLK_GUID_ROW(MFVideoFormat_Y410),
    OLK_GUID_ROW(MFVideoFormat_Y416),
    OLK_GUID_ROW(MFVideoFormat_Y41P),
    OLK_GUID_ROW(MFVideoFormat_Y41T),
    GuidName{MFVideoFormat_YUY2, "YUY2"},
    OLK_GUID_ROW(MFVideoFormat_YV12),
    OLK_GUID_ROW(MFVideoFormat_YVYU),
    OLK_GUID_ROW(MFAudioFormat_PCM),
    GuidName{MFAudioFormat_Float, "IEEE-FLOAT"},
    OLK_GUID_ROW(MFAudioFormat_DTS),
    OLK_GUID_ROW(MFAudioFormat_Dolby_AC3_SPDIF),
    OLK_GUID_ROW(MFAudioFormat_DRM),
    OLK_GUID_ROW(MFAudioFormat_WMAudioV8),
    OLK_GUID_ROW(MFAudioFormat_WMAudioV9),
    OLK_GUID_ROW(MFAudioFormat_WMAudio_Lossless),
    OLK_GUID_ROW(MFAudioFormat_WMASPDIF),
    OLK_GUID_ROW(MFAudioFormat_MSP1),
    OLK_GUID_ROW(MFAudioFormat_MP3),
    OLK_GUID_ROW(MFAudioFormat_MPEG),
    OLK_GUID_ROW(MFAudioFormat_AAC),
    OLK_GUID_ROW(MFAudioFormat_ADTS),
    GuidName{FORMAT_VideoInfo, "WMFORMAT_VideoInfo"},
    OLK_GUID_ROW(FORMAT_VideoInfo2),
};

#undef OLK_GUID_ROW

static_assert(std::size(kGuidNames) == 140);

}  // namespace

const char* GetGUIDNameConst(const GUID& guid) {
    for (const GuidName& row : kGuidNames) {
        if (row.guid == guid) return row.name;
    }
    return nullptr;
}

std::string guidToRegistryString(const GUID& g) {
    return fmt::format("{{{:08X}-{:04X}-{:04X}-{:02X}{:02X}-{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}}}",
                       g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                       g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

int32_t GetGUIDName(const GUID& guid, char** name) {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    const char* known = GetGUIDNameConst(guid);
    std::string text = known != nullptr ? std::string(known) : guidToRegistryString(guid);
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    *name = copy;
    return S_OK;
}

void taskMemFree(void* memory) { std::free(memory); }

std::string guid2str(const GUID& guid) {
    char* name = nullptr;
    if (failed(GetGUIDName(guid, &name))) return {};
    std::string out(name);
    taskMemFree(name);
    return out;
}

size_t guidNameCount() { return std::size(kGuidNames); }

}  // namespace OLK
