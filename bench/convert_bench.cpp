// Frame conversion at 1920x1080 against libyuv and swscale in the same run. Every
// conversion reports vs_libyuv: its frames per second over libyuv's for the same format,
// timed right after it in the same process.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include <libyuv.h>
extern "C" {
#include <libswscale/swscale.h>
}

#include "convert/convert_img2rgb32.h"
#include "convert/img_xform.h"

namespace {

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;
constexpr int32_t kDstStride = kWidth * 4;

enum Format { kYuy2 = 0, kNv12 = 1, kRgb24 = 2 };

struct Input {
    std::vector<uint8_t> bytes;
    int32_t stride;
};

const Input& input(Format f) {
    static const std::vector<Input> inputs = [] {
        std::mt19937 rng(42);
        std::vector<Input> v;
        const int32_t strides[] = {2 * kWidth, kWidth, 3 * kWidth};
        const size_t rows[] = {kHeight, kHeight * 3 / 2, kHeight};
        for (int i = 0; i < 3; ++i) {
            Input in{std::vector<uint8_t>(strides[i] * rows[i]), strides[i]};
            for (auto& b : in.bytes) {
                b = static_cast<uint8_t>(rng());
            }
            v.push_back(std::move(in));
        }
        return v;
    }();
    return inputs[f];
}

std::vector<uint8_t>& output() {
    static std::vector<uint8_t> out(static_cast<size_t>(kDstStride) * kHeight);
    return out;
}

void libyuvConvert(Format f, uint8_t* dst) {
    const Input& in = input(f);
    const uint8_t* s = in.bytes.data();
    switch (f) {
        case kYuy2:
            libyuv::YUY2ToARGB(s, in.stride, dst, kDstStride, kWidth, kHeight);
            break;
        case kNv12:
            libyuv::NV12ToARGB(s, in.stride, s + kHeight * in.stride, in.stride, dst, kDstStride,
                               kWidth, kHeight);
            break;
        case kRgb24:
            libyuv::RGB24ToARGB(s, in.stride, dst, kDstStride, kWidth, kHeight);
            break;
    }
}

double libyuvFpsNow(Format f, std::chrono::duration<double> span) {
    uint8_t* dst = output().data();
    const auto start = std::chrono::steady_clock::now();
    int frames = 0;
    std::chrono::duration<double> elapsed{};
    do {
        libyuvConvert(f, dst);
        ++frames;
        elapsed = std::chrono::steady_clock::now() - start;
    } while (elapsed < span);
    return frames / elapsed.count();
}

// The machine is shared, so libyuv is timed again right after each run, for as long as the
// run took, and the ratio is taken against that rate.
template <typename Body>
void runFrames(benchmark::State& state, Format f, bool isLibyuv, Body&& body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double fps = static_cast<double>(state.iterations()) / elapsed.count();
    const double reference =
        isLibyuv ? fps : libyuvFpsNow(f, std::min(elapsed, std::chrono::duration<double>(0.5)));
    state.counters["fps"] = fps;
    state.counters["libyuv_fps"] = reference;
    state.counters["vs_libyuv"] = fps / reference;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDstStride * kHeight);
}

void libyuvBench(benchmark::State& state, Format f) {
    uint8_t* dst = output().data();
    runFrames(state, f, true, [&] { libyuvConvert(f, dst); });
}

void swscaleBench(benchmark::State& state, Format f) {
    const AVPixelFormat from[] = {AV_PIX_FMT_YUYV422, AV_PIX_FMT_NV12, AV_PIX_FMT_BGR24};
    SwsContext* ctx = sws_getContext(kWidth, kHeight, from[f], kWidth, kHeight, AV_PIX_FMT_BGRA,
                                     SWS_POINT, nullptr, nullptr, nullptr);
    if (ctx == nullptr) {
        state.SkipWithError("sws_getContext failed");
        return;
    }
    const Input& in = input(f);
    const uint8_t* planes[4] = {in.bytes.data(), nullptr, nullptr, nullptr};
    int strides[4] = {in.stride, 0, 0, 0};
    if (f == kNv12) {
        planes[1] = in.bytes.data() + kHeight * in.stride;
        strides[1] = in.stride;
    }
    uint8_t* dst[4] = {output().data(), nullptr, nullptr, nullptr};
    const int dstStrides[4] = {kDstStride, 0, 0, 0};
    runFrames(state, f, false, [&] {
        sws_scale(ctx, planes, strides, 0, static_cast<int>(kHeight), dst, dstStrides);
    });
    sws_freeContext(ctx);
}

void tavroBench(benchmark::State& state, Format f) {
    const OLK::GUID subtypes[] = {OLK::MFVideoFormat_YUY2, OLK::MFVideoFormat_NV12,
                                  OLK::MFVideoFormat_RGB24};
    TVR::ConvertImg2RGB32 conv;
    conv.setMaxWorkers(static_cast<uint32_t>(state.range(0)));
    conv.setConversionFunction(subtypes[f]);
    const Input& in = input(f);
    uint8_t* dst = output().data();
    runFrames(state, f, false,
              [&] { conv(dst, kDstStride, in.bytes.data(), in.stride, kWidth, kHeight); });
}

void imgXformBench(benchmark::State& state, Format f) {
    const OLK::GUID subtypes[] = {OLK::MFVideoFormat_YUY2, OLK::MFVideoFormat_NV12,
                                  OLK::MFVideoFormat_RGB24};
    const auto fn = OLK::ImgXform::getConversionFunction(subtypes[f]);
    const Input& in = input(f);
    uint8_t* dst = output().data();
    runFrames(state, f, false,
              [&] { fn(dst, kDstStride, in.bytes.data(), in.stride, kWidth, kHeight); });
}

// The floor for any conversion: writing the destination frame once.
void memcpyBench(benchmark::State& state) {
    std::vector<uint8_t> src(output().size(), 1);
    uint8_t* dst = output().data();
    for (auto _ : state) {
        std::memcpy(dst, src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * src.size());
}

void registerAll() {
    const char* names[] = {"YUY2", "NV12", "RGB24"};
    benchmark::RegisterBenchmark("memcpy_dst_frame", memcpyBench)->UseRealTime();
    for (Format f : {kYuy2, kNv12, kRgb24}) {
        const std::string n = names[f];
        benchmark::RegisterBenchmark(("libyuv/" + n).c_str(), libyuvBench, f)->UseRealTime();
        benchmark::RegisterBenchmark(("swscale/" + n).c_str(), swscaleBench, f)->UseRealTime();
        benchmark::RegisterBenchmark(("ImgXform/" + n).c_str(), imgXformBench, f)->UseRealTime();
        benchmark::RegisterBenchmark(("ConvertImg2RGB32/" + n).c_str(), tavroBench, f)
            ->ArgName("workers")
            ->Arg(1)
            ->Arg(2)
            ->Arg(4)
            ->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
