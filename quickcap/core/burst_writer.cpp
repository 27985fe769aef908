#include "burst_writer.h"

#include <fmt/format.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "convert/img_xform.h"
#include "media/mf_guids.h"
#include "pool/work_slot.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

namespace OLK {

namespace {

namespace fs = std::filesystem;

struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

int64_t frameNumber(const WorkSlot* slot, size_t index) {
    const int64_t sequence = readStamp(slot).sequence;
    return sequence >= 0 ? sequence : static_cast<int64_t>(index);
}

// The pixel layout kept in the video: the capture format's own samples, so nothing is lost.
AVPixelFormat videoFormatFor(const GUID& subtype) {
    if (subtype == MFVideoFormat_YUY2) return AV_PIX_FMT_YUV422P;
    if (subtype == MFVideoFormat_NV12) return AV_PIX_FMT_YUV420P;
    return AV_PIX_FMT_BGR0;  // RGB24 and RGB32 (B, G, R in memory)
}

// Unpacks one captured frame into the planes of frame (in its video layout).
void unpack(const uint8_t* src, const BurstFormatSpec& spec, AVFrame* frame) {
    const uint32_t w = spec.width;
    const uint32_t h = spec.height;
    const auto stride = static_cast<ptrdiff_t>(spec.stride);
    if (spec.subtype == MFVideoFormat_YUY2) {
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* row = src + y * stride;
            uint8_t* py = frame->data[0] + y * frame->linesize[0];
            uint8_t* pu = frame->data[1] + y * frame->linesize[1];
            uint8_t* pv = frame->data[2] + y * frame->linesize[2];
            for (uint32_t x = 0; x + 1 < w; x += 2) {
                py[x] = row[2 * x];
                pu[x / 2] = row[2 * x + 1];
                py[x + 1] = row[2 * x + 2];
                pv[x / 2] = row[2 * x + 3];
            }
        }
    } else if (spec.subtype == MFVideoFormat_NV12) {
        for (uint32_t y = 0; y < h; ++y) {
            std::copy_n(src + y * stride, w, frame->data[0] + y * frame->linesize[0]);
        }
        const uint8_t* chroma = src + h * stride;
        for (uint32_t y = 0; y < (h + 1) / 2; ++y) {
            const uint8_t* row = chroma + y * stride;
            uint8_t* pu = frame->data[1] + y * frame->linesize[1];
            uint8_t* pv = frame->data[2] + y * frame->linesize[2];
            for (uint32_t x = 0; x < w / 2; ++x) {
                pu[x] = row[2 * x];
                pv[x] = row[2 * x + 1];
            }
        }
    } else {
        ImgXform::getConversionFunction(spec.subtype)(frame->data[0], frame->linesize[0], src,
                                                      spec.stride, w, h);
    }
}

// RGBA rows for the PNG encoder, through the viewer's own conversion.
void toRgba(const uint8_t* src, const BurstFormatSpec& spec, AVFrame* frame) {
    ImgXform::getConversionFunction(spec.subtype)(frame->data[0], frame->linesize[0], src,
                                                  spec.stride, spec.width, spec.height);
    for (uint32_t y = 0; y < spec.height; ++y) {
        uint8_t* px = frame->data[0] + y * frame->linesize[0];
        for (uint32_t x = 0; x < spec.width; ++x, px += 4) {
            std::swap(px[0], px[2]);  // B,G,R,A -> R,G,B,A
            px[3] = 0xFF;
        }
    }
}

FramePtr allocFrame(AVPixelFormat format, const BurstFormatSpec& spec, std::string* error) {
    FramePtr frame(av_frame_alloc());
    if (!frame) {
        *error = "out of memory";
        return nullptr;
    }
    frame->format = format;
    frame->width = static_cast<int>(spec.width);
    frame->height = static_cast<int>(spec.height);
    if (int rc = av_frame_get_buffer(frame.get(), 0); rc < 0) {
        *error = "cannot allocate a frame: " + avError(rc);
        return nullptr;
    }
    return frame;
}

CodecPtr openEncoder(AVCodecID id, AVPixelFormat format, const BurstFormatSpec& spec,
                     bool globalHeader, std::string* error) {
    const AVCodec* codec = avcodec_find_encoder(id);
    if (codec == nullptr) {
        *error = fmt::format("no {} encoder in this FFmpeg", avcodec_get_name(id));
        return nullptr;
    }
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        *error = "out of memory";
        return nullptr;
    }
    ctx->width = static_cast<int>(spec.width);
    ctx->height = static_cast<int>(spec.height);
    ctx->pix_fmt = format;
    ctx->time_base =
        AVRational{static_cast<int>(spec.rateDenominator), static_cast<int>(spec.rateNumerator)};
    ctx->framerate =
        AVRational{static_cast<int>(spec.rateNumerator), static_cast<int>(spec.rateDenominator)};
    if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0) {
        *error = fmt::format("cannot open the {} encoder: {}", avcodec_get_name(id), avError(rc));
        return nullptr;
    }
    return ctx;
}

bool writeFile(const fs::path& path, const uint8_t* data, size_t size, std::string* error) {
    // Written beside the target and renamed, so a failed write never leaves a partial frame.
    fs::path part = path;
    part += ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(data, 1, size, f) == size;
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    std::error_code ec;
    if (ok) fs::rename(part, path, ec);
    if (!ok || ec) {
        fs::remove(part, ec);
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

BurstResult writePngs(const std::vector<const WorkSlot*>& frames, const BurstFormatSpec& spec,
                      const fs::path& folder, const std::function<bool(size_t, size_t)>& progress) {
    BurstResult result;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
        result.error = "cannot create the folder " + folder.string();
        return result;
    }
    CodecPtr png = openEncoder(AV_CODEC_ID_PNG, AV_PIX_FMT_RGBA, spec, false, &result.error);
    FramePtr rgba = png ? allocFrame(AV_PIX_FMT_RGBA, spec, &result.error) : nullptr;
    PacketPtr packet(av_packet_alloc());
    if (!png || !rgba || !packet) {
        if (result.error.empty()) result.error = "out of memory";
        return result;
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        if (av_frame_make_writable(rgba.get()) < 0) {
            result.error = "out of memory";
            return result;
        }
        toRgba(frames[i]->data(), spec, rgba.get());
        rgba->pts = static_cast<int64_t>(i);
        int rc = avcodec_send_frame(png.get(), rgba.get());
        if (rc >= 0) rc = avcodec_receive_packet(png.get(), packet.get());
        if (rc < 0) {
            result.error = "PNG encoding failed: " + avError(rc);
            return result;
        }
        const fs::path file = folder / burstPngName(frameNumber(frames[i], i));
        const bool ok =
            writeFile(file, packet->data, static_cast<size_t>(packet->size), &result.error);
        av_packet_unref(packet.get());
        if (!ok) return result;
        result.files.push_back(file.string());
        ++result.written;
        if (progress && !progress(i + 1, frames.size())) {
            result.cancelled = true;
            return result;
        }
    }
    result.ok = true;
    return result;
}

struct OutputDeleter {
    void operator()(AVFormatContext* oc) const {
        if (oc->pb != nullptr) avio_closep(&oc->pb);
        avformat_free_context(oc);
    }
};

BurstResult writeVideo(const std::vector<const WorkSlot*>& frames, const BurstFormatSpec& spec,
                       const fs::path& target,
                       const std::function<bool(size_t, size_t)>& progress) {
    BurstResult result;
    fs::path part = target;
    part += ".part";
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, "matroska", part.c_str());
        rc < 0 || raw == nullptr) {
        result.error = "no Matroska writer in this FFmpeg: " + avError(rc);
        return result;
    }
    std::unique_ptr<AVFormatContext, OutputDeleter> oc(raw);
    const AVPixelFormat layout = videoFormatFor(spec.subtype);
    const bool globalHeader = (oc->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    CodecPtr enc = openEncoder(AV_CODEC_ID_FFV1, layout, spec, globalHeader, &result.error);
    FramePtr frame = enc ? allocFrame(layout, spec, &result.error) : nullptr;
    PacketPtr packet(av_packet_alloc());
    AVStream* stream = enc ? avformat_new_stream(oc.get(), nullptr) : nullptr;
    if (!enc || !frame || !packet || stream == nullptr) {
        if (result.error.empty()) result.error = "out of memory";
        return result;
    }
    avcodec_parameters_from_context(stream->codecpar, enc.get());
    stream->time_base = enc->time_base;
    stream->avg_frame_rate = enc->framerate;
    auto fail = [&](const std::string& what, int rc) {
        result.error = what + ": " + avError(rc);
        oc.reset();
        std::error_code ec;
        fs::remove(part, ec);
        return result;
    };
    if (int rc = avio_open(&oc->pb, part.c_str(), AVIO_FLAG_WRITE); rc < 0) {
        return fail("cannot create " + target.string(), rc);
    }
    if (int rc = avformat_write_header(oc.get(), nullptr); rc < 0) {
        return fail("cannot write the video header", rc);
    }
    const int64_t first = frames.empty() ? 0 : frameNumber(frames.front(), 0);
    auto drain = [&]() -> int {
        for (;;) {
            int rc = avcodec_receive_packet(enc.get(), packet.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return 0;
            if (rc < 0) return rc;
            av_packet_rescale_ts(packet.get(), enc->time_base, stream->time_base);
            packet->stream_index = stream->index;
            rc = av_interleaved_write_frame(oc.get(), packet.get());
            if (rc < 0) return rc;
        }
    };
    for (size_t i = 0; i < frames.size(); ++i) {
        if (int rc = av_frame_make_writable(frame.get()); rc < 0) return fail("out of memory", rc);
        unpack(frames[i]->data(), spec, frame.get());
        // Frames keep their place in time: a frame the device lost leaves its gap.
        frame->pts = frameNumber(frames[i], i) - first;
        int rc = avcodec_send_frame(enc.get(), frame.get());
        if (rc >= 0) rc = drain();
        if (rc < 0) return fail("video encoding failed", rc);
        ++result.written;
        if (progress && !progress(i + 1, frames.size())) {
            result.cancelled = true;
            oc.reset();
            std::error_code ec;
            fs::remove(part, ec);
            return result;
        }
    }
    int rc = avcodec_send_frame(enc.get(), nullptr);
    if (rc >= 0) rc = drain();
    if (rc >= 0) rc = av_write_trailer(oc.get());
    if (rc < 0) return fail("cannot finish the video", rc);
    rc = avio_closep(&oc->pb);
    if (rc < 0) return fail("cannot close the video", rc);
    std::error_code ec;
    fs::rename(part, target, ec);
    if (ec) {
        fs::remove(part, ec);
        result.error = "cannot write " + target.string();
        return result;
    }
    result.files.push_back(target.string());
    result.ok = true;
    return result;
}

}  // namespace

std::string burstPngName(int64_t number) { return fmt::format("frame_{:06}.png", number); }

BurstResult writeBurst(const std::vector<const WorkSlot*>& frames, const BurstFormatSpec& spec,
                       BurstFormat format, const std::string& target,
                       const std::function<bool(size_t, size_t)>& progress) {
    BurstResult result;
    if (frames.empty()) {
        result.error = "no frames are buffered";
        return result;
    }
    if (spec.width == 0 || spec.height == 0 || spec.rateNumerator == 0 ||
        spec.rateDenominator == 0 || !ImgXform::isFormatSupported(spec.subtype) ||
        spec.subtype == GUID_NULL) {
        result.error = "the frames' format cannot be saved";
        return result;
    }
    return format == BurstFormat::kPng ? writePngs(frames, spec, target, progress)
                                       : writeVideo(frames, spec, target, progress);
}

}  // namespace OLK
