#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "convert/img_xform.h"
#include "core/burst_writer.h"
#include "core/capture_pipeline.h"
#include "core/pipeline_rules.h"
#include "media/mf_guids.h"
#include "media/synthetic/synthetic_backend.h"
#include "recording_renderer_helpers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace OLK {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path = fs::temp_directory_path() / ("quickcap-burst-" + std::to_string(rd()));
        fs::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// A running pipeline on a synthetic camera with its replay paused on a buffer of frames.
struct PausedCapture {
    explicit PausedCapture(const char* mode)
        : backend(make(mode)), pipeline(backend, kMinPoolBytes, &rt, &slow) {
        EXPECT_TRUE(pipeline.openDisplay());
        pipeline.enumerate();
        pipeline.setSelection({0, 0, 0});
        EXPECT_EQ(pipeline.start(), CapturePipeline::StartResult::kStarted);
        // Frame n + 1 is drawn only after frame n went on to the replay queue.
        EXPECT_TRUE(rt.waitFor(13));
        pipeline.replay().pause();
        for (WorkSlot* s : pipeline.replay().held()) frames.push_back(s);
        const MediaTypeVideo* m = pipeline.startedMode();
        spec.subtype = m->subtype();
        spec.width = m->frameSize().width;
        spec.height = m->frameSize().height;
        spec.stride = m->defaultStride();
        spec.rateNumerator = m->frameRateMax().numerator;
        spec.rateDenominator = m->frameRateMax().denominator;
    }
    static std::shared_ptr<SyntheticBackend> make(const char* mode) {
        SyntheticConfig config;
        EXPECT_TRUE(SyntheticConfig::parse(std::string("modes=") + mode, &config, nullptr));
        return std::make_shared<SyntheticBackend>(config);
    }

    Test::RecordingRenderer rt;
    Test::RecordingRenderer slow;
    std::shared_ptr<SyntheticBackend> backend;
    CapturePipeline pipeline;
    std::vector<const WorkSlot*> frames;
    BurstFormatSpec spec;
};

struct Input {
    AVFormatContext* ctx = nullptr;
    ~Input() { avformat_close_input(&ctx); }
};

TEST(BurstWriter, PngFilesAreExactlyTheBufferedFramesWhileCaptureGoesOn) {
    PausedCapture capture("64x48@1000:YUY2");
    ASSERT_GE(capture.frames.size(), 12u);
    const uint64_t before = capture.pipeline.counters().received;
    TempDir dir;
    size_t calls = 0;
    const BurstResult r = writeBurst(capture.frames, capture.spec, BurstFormat::kPng,
                                     dir.path().string(), [&](size_t done, size_t total) {
                                         ++calls;
                                         EXPECT_EQ(total, capture.frames.size());
                                         return done <= total;
                                     });
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(calls, capture.frames.size());
    std::set<std::string> expected;
    for (const WorkSlot* s : capture.frames) expected.insert(burstPngName(readStamp(s).sequence));
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        written.insert(entry.path().filename().string());
    }
    EXPECT_EQ(written, expected);
    // Capture kept running: more frames arrived than were buffered when the save began.
    ASSERT_TRUE(capture.rt.waitFor(capture.rt.sequences().size() + 5));
    EXPECT_GT(capture.pipeline.counters().received, before);

    // The first file decodes to the frame as the viewer converts it.
    Input in;
    const std::string first = (dir.path() / burstPngName(readStamp(capture.frames[0]).sequence));
    ASSERT_EQ(avformat_open_input(&in.ctx, first.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(in.ctx, nullptr), 0);
    const AVCodecParameters* par = in.ctx->streams[0]->codecpar;
    EXPECT_EQ(par->width, 64);
    EXPECT_EQ(par->height, 48);
    AVCodecContext* dec = avcodec_alloc_context3(avcodec_find_decoder(par->codec_id));
    avcodec_parameters_to_context(dec, par);
    ASSERT_EQ(avcodec_open2(dec, avcodec_find_decoder(par->codec_id), nullptr), 0);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    ASSERT_GE(av_read_frame(in.ctx, pkt), 0);
    ASSERT_EQ(avcodec_send_packet(dec, pkt), 0);
    ASSERT_EQ(avcodec_receive_frame(dec, frame), 0);
    std::vector<uint8_t> bgra(64 * 48 * 4);
    ImgXform::TransformImage_YUY2(bgra.data(), 64 * 4, capture.frames[0]->data(), 128, 64, 48);
    const uint8_t* got = frame->data[0] + 20 * frame->linesize[0] + 30 * 4;
    const uint8_t* want = bgra.data() + (20 * 64 + 30) * 4;
    EXPECT_EQ(got[0], want[2]);
    EXPECT_EQ(got[1], want[1]);
    EXPECT_EQ(got[2], want[0]);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
}

TEST(BurstWriter, Ffv1VideoKeepsEveryFrameLosslesslyAtTheCaptureRate) {
    PausedCapture capture("64x48@1000:YUY2");
    TempDir dir;
    const fs::path file = dir.path() / "burst.mkv";
    const BurstResult r =
        writeBurst(capture.frames, capture.spec, BurstFormat::kMatroskaFfv1, file.string(), {});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.written, capture.frames.size());
    EXPECT_FALSE(fs::exists(file.string() + ".part"));

    Input in;
    ASSERT_EQ(avformat_open_input(&in.ctx, file.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(in.ctx, nullptr), 0);
    AVStream* st = in.ctx->streams[0];
    EXPECT_EQ(st->codecpar->codec_id, AV_CODEC_ID_FFV1);
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_FFV1);
    AVCodecContext* dec = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(dec, st->codecpar);
    ASSERT_EQ(avcodec_open2(dec, codec, nullptr), 0);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const int64_t first = readStamp(capture.frames[0]).sequence;
    size_t index = 0;
    while (av_read_frame(in.ctx, pkt) >= 0) {
        ASSERT_LT(index, capture.frames.size());
        // 1000 fps: frame n of the device sits n - first milliseconds into the video.
        const int64_t ms = av_rescale_q(pkt->pts, st->time_base, AVRational{1, 1000});
        EXPECT_EQ(ms, readStamp(capture.frames[index]).sequence - first);
        ASSERT_EQ(avcodec_send_packet(dec, pkt), 0);
        ASSERT_EQ(avcodec_receive_frame(dec, frame), 0);
        ASSERT_EQ(frame->format, AV_PIX_FMT_YUV422P);
        const uint8_t* src = capture.frames[index]->data();
        bool same = true;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; x += 2) {
                const uint8_t* s = src + y * 128 + x * 2;
                same = same && frame->data[0][y * frame->linesize[0] + x] == s[0] &&
                       frame->data[1][y * frame->linesize[1] + x / 2] == s[1] &&
                       frame->data[0][y * frame->linesize[0] + x + 1] == s[2] &&
                       frame->data[2][y * frame->linesize[2] + x / 2] == s[3];
            }
        }
        EXPECT_TRUE(same) << "frame " << index;
        av_packet_unref(pkt);
        ++index;
    }
    EXPECT_EQ(index, capture.frames.size());
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
}

TEST(BurstWriter, CancellingOrFailingLeavesNoVideoAndSaysSo) {
    PausedCapture capture("64x48@1000:NV12");
    TempDir dir;
    const fs::path file = dir.path() / "burst.mkv";
    const BurstResult cancelled =
        writeBurst(capture.frames, capture.spec, BurstFormat::kMatroskaFfv1, file.string(),
                   [](size_t done, size_t) { return done < 2; });
    EXPECT_FALSE(cancelled.ok);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.written, 2u);
    EXPECT_TRUE(fs::is_empty(dir.path()));

    // A PNG folder that cannot exist (a file stands in its place).
    std::ofstream(dir.path() / "taken") << "x";
    const BurstResult failedPng = writeBurst(capture.frames, capture.spec, BurstFormat::kPng,
                                             (dir.path() / "taken").string(), {});
    EXPECT_FALSE(failedPng.ok);
    EXPECT_FALSE(failedPng.error.empty());
    const BurstResult failedVideo =
        writeBurst(capture.frames, capture.spec, BurstFormat::kMatroskaFfv1,
                   (dir.path() / "taken" / "burst.mkv").string(), {});
    EXPECT_FALSE(failedVideo.ok);
    EXPECT_FALSE(failedVideo.error.empty());
    EXPECT_FALSE(writeBurst({}, capture.spec, BurstFormat::kPng, dir.path().string(), {}).ok);
}

}  // namespace
}  // namespace OLK
