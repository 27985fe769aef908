#include "convert/kernels_internal.h"
#include "convert/pixel_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define OLK_HAVE_AVX2_KERNELS 1
#endif

namespace OLK::kernels {

#if defined(OLK_HAVE_AVX2_KERNELS)

// Only intrinsics live in these functions: the target attribute must not leak AVX2 code
// into inline functions that other files share.
#define OLK_AVX2 __attribute__((target("avx2"))) inline

namespace {

// Each BT.601 sum needs 17 bits, so it is split as 256·m + x with both parts inside 16 bits,
// for example 298c + 409e + 128 = 256(c + 2e) + (42c − 103e + 128); then
// (sum >> 8) == m + (x >> 8) exactly. With c = Y − 16, d = U − 128, e = V − 128 and the
// constants moved out, every part is one multiply-add of a (Y, U) or (Y, V) byte pair:
//   R = (Y + 2V − 272) + ((42Y − 103V + 12640) >> 8)
//   G = (Y − V + 112) + ((42Y − 100U + 48V + 6112) >> 8)
//   B = (Y + 2U − 272) + ((42Y + 4U − 1056) >> 8)
// None of the 16-bit intermediate values can saturate.
OLK_AVX2 __m256i pairCoefficients(int8_t first, int8_t second) {
    return _mm256_set1_epi16(static_cast<int16_t>(
        static_cast<uint8_t>(first) | (static_cast<uint16_t>(static_cast<uint8_t>(second)) << 8)));
}

OLK_AVX2 __m256i channel(__m256i x, int16_t xBias, __m256i m, int16_t mBias) {
    const __m256i hi = _mm256_srai_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(xBias)), 8);
    return _mm256_add_epi16(_mm256_add_epi16(m, _mm256_set1_epi16(mBias)), hi);
}

// 16 pixels from one (Y, U) and one (Y, V) byte pair per 16-bit lane, laid out as pixels
// 0-3, 8-11 in the low half and 4-7, 12-15 in the high half; that order makes the final
// interleave come out contiguous. Writes 64 bytes B,G,R,alpha.
OLK_AVX2 void storePixels(uint8_t* dst, __m256i yu, __m256i yv, __m256i alpha) {
    const __m256i xr = _mm256_maddubs_epi16(yv, pairCoefficients(42, -103));
    const __m256i xg = _mm256_add_epi16(_mm256_maddubs_epi16(yu, pairCoefficients(42, -100)),
                                        _mm256_maddubs_epi16(yv, pairCoefficients(0, 48)));
    const __m256i xb = _mm256_maddubs_epi16(yu, pairCoefficients(42, 4));
    const __m256i mr = _mm256_maddubs_epi16(yv, pairCoefficients(1, 2));
    const __m256i mg = _mm256_maddubs_epi16(yv, pairCoefficients(1, -1));
    const __m256i mb = _mm256_maddubs_epi16(yu, pairCoefficients(1, 2));
    const __m256i r = channel(xr, 12640, mr, -272);
    const __m256i g = channel(xg, 6112, mg, 112);
    const __m256i b = channel(xb, -1056, mb, -272);
    // Saturating packs are the clamp to 0..255.
    const __m256i br = _mm256_packus_epi16(b, r);
    const __m256i ga = _mm256_packus_epi16(g, alpha);
    const __m256i bg = _mm256_unpacklo_epi8(br, ga);
    const __m256i ra = _mm256_unpackhi_epi8(br, ga);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_unpacklo_epi16(bg, ra));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), _mm256_unpackhi_epi16(bg, ra));
}

__attribute__((target("avx2"))) void yuy2Avx2(uint8_t* dst, const uint8_t* src, uint32_t width) {
    const __m256i alpha = _mm256_set1_epi16(0xFF);
    // Per 128-bit half: Y0 U0 Y1 V0 Y2 U1 ... to (Y, U) and (Y, V) for every pixel.
    const __m256i toYU = _mm256_setr_epi8(0, 1, 2, 1, 4, 5, 6, 5, 8, 9, 10, 9, 12, 13, 14, 13, 0, 1,
                                          2, 1, 4, 5, 6, 5, 8, 9, 10, 9, 12, 13, 14, 13);
    const __m256i toYV = _mm256_setr_epi8(0, 3, 2, 3, 4, 7, 6, 7, 8, 11, 10, 11, 12, 15, 14, 15, 0,
                                          3, 2, 3, 4, 7, 6, 7, 8, 11, 10, 11, 12, 15, 14, 15);
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i a = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * x)), 0xD8);
        const __m256i b = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * x + 32)), 0xD8);
        storePixels(dst + 4 * x, _mm256_shuffle_epi8(a, toYU), _mm256_shuffle_epi8(a, toYV), alpha);
        storePixels(dst + 4 * x + 64, _mm256_shuffle_epi8(b, toYU), _mm256_shuffle_epi8(b, toYV),
                    alpha);
    }
    for (; x + 16 <= width; x += 16) {
        const __m256i v = _mm256_permute4x64_epi64(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * x)), 0xD8);
        storePixels(dst + 4 * x, _mm256_shuffle_epi8(v, toYU), _mm256_shuffle_epi8(v, toYV), alpha);
    }
    yuy2Scalar(dst + 4 * x, src + 2 * x, width - x);
}

__attribute__((target("avx2"))) void nv12Avx2(uint8_t* dst0, uint8_t* dst1, const uint8_t* y0,
                                              const uint8_t* y1, const uint8_t* uv,
                                              uint32_t width) {
    const __m256i alpha = _mm256_setzero_si256();
    // Four pixels per 32-bit word in both planes; this order gives each unpack the pixel
    // layout storePixels expects.
    const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i spreadU = _mm256_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14,
                                             0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14);
    const __m256i spreadV = _mm256_setr_epi8(1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15,
                                             1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15);
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i c = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(uv + x)), order);
        const __m256i u = _mm256_shuffle_epi8(c, spreadU);
        const __m256i v = _mm256_shuffle_epi8(c, spreadV);
        const __m256i l0 = _mm256_permutevar8x32_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y0 + x)), order);
        storePixels(dst0 + 4 * x, _mm256_unpacklo_epi8(l0, u), _mm256_unpacklo_epi8(l0, v), alpha);
        storePixels(dst0 + 4 * x + 64, _mm256_unpackhi_epi8(l0, u), _mm256_unpackhi_epi8(l0, v),
                    alpha);
        if (dst1 != nullptr) {
            const __m256i l1 = _mm256_permutevar8x32_epi32(
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y1 + x)), order);
            storePixels(dst1 + 4 * x, _mm256_unpacklo_epi8(l1, u), _mm256_unpacklo_epi8(l1, v),
                        alpha);
            storePixels(dst1 + 4 * x + 64, _mm256_unpackhi_epi8(l1, u), _mm256_unpackhi_epi8(l1, v),
                        alpha);
        }
    }
    nv12Scalar(dst0 + 4 * x, dst1 ? dst1 + 4 * x : nullptr, y0 + x, y1 ? y1 + x : nullptr, uv + x,
               width - x);
}

__attribute__((target("avx2"))) void rgb24Avx2(uint8_t* dst, const uint8_t* src, uint32_t width) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
    uint32_t x = 0;
    // Each step reads 28 bytes for 8 pixels (24 bytes), so stop early enough to stay
    // inside the row.
    for (; x + 10 <= width; x += 8) {
        const uint8_t* s = src + 3 * x;
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x),
                            _mm256_or_si256(_mm256_shuffle_epi8(v, spread), alpha));
    }
    rgb24Scalar(dst + 4 * x, src + 3 * x, width - x);
}

#define OLK_AVX512 __attribute__((target("avx512bw"))) inline

// Full masks: the unmasked forms trip a false uninitialised-value warning in GCC 12.
constexpr __mmask8 kAll8 = 0xFF;
constexpr __mmask16 kAll16 = 0xFFFF;

OLK_AVX512 __m512i pairCoefficients512(int8_t first, int8_t second) {
    return _mm512_set1_epi16(static_cast<int16_t>(
        static_cast<uint8_t>(first) | (static_cast<uint16_t>(static_cast<uint8_t>(second)) << 8)));
}

OLK_AVX512 __m512i channel512(__m512i x, int16_t xBias, __m512i m, int16_t mBias) {
    const __m512i hi = _mm512_srai_epi16(_mm512_add_epi16(x, _mm512_set1_epi16(xBias)), 8);
    return _mm512_add_epi16(_mm512_add_epi16(m, _mm512_set1_epi16(mBias)), hi);
}

// storePixels over 32 pixels: 128-bit lane k holds pixels 4k..4k+3 and 16+4k..16+4k+3.
OLK_AVX512 void storePixels512(uint8_t* dst, __m512i yu, __m512i yv, __m512i alpha) {
    const __m512i xr = _mm512_maddubs_epi16(yv, pairCoefficients512(42, -103));
    const __m512i xg = _mm512_add_epi16(_mm512_maddubs_epi16(yu, pairCoefficients512(42, -100)),
                                        _mm512_maddubs_epi16(yv, pairCoefficients512(0, 48)));
    const __m512i xb = _mm512_maddubs_epi16(yu, pairCoefficients512(42, 4));
    const __m512i mr = _mm512_maddubs_epi16(yv, pairCoefficients512(1, 2));
    const __m512i mg = _mm512_maddubs_epi16(yv, pairCoefficients512(1, -1));
    const __m512i mb = _mm512_maddubs_epi16(yu, pairCoefficients512(1, 2));
    const __m512i r = channel512(xr, 12640, mr, -272);
    const __m512i g = channel512(xg, 6112, mg, 112);
    const __m512i b = channel512(xb, -1056, mb, -272);
    const __m512i br = _mm512_packus_epi16(b, r);
    const __m512i ga = _mm512_packus_epi16(g, alpha);
    const __m512i bg = _mm512_unpacklo_epi8(br, ga);
    const __m512i ra = _mm512_unpackhi_epi8(br, ga);
    _mm512_storeu_si512(dst, _mm512_unpacklo_epi16(bg, ra));
    _mm512_storeu_si512(dst + 64, _mm512_unpackhi_epi16(bg, ra));
}

__attribute__((target("avx512bw"))) void yuy2Avx512(uint8_t* dst, const uint8_t* src,
                                                    uint32_t width) {
    const __m512i alpha = _mm512_set1_epi16(0xFF);
    const __m512i toYU = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(0, 1, 2, 1, 4, 5, 6, 5, 8, 9, 10, 9, 12, 13, 14, 13));
    const __m512i toYV = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(0, 3, 2, 3, 4, 7, 6, 7, 8, 11, 10, 11, 12, 15, 14, 15));
    const __m512i order = _mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7);
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m512i v =
            _mm512_maskz_permutexvar_epi64(kAll8, order, _mm512_loadu_si512(src + 2 * x));
        storePixels512(dst + 4 * x, _mm512_shuffle_epi8(v, toYU), _mm512_shuffle_epi8(v, toYV),
                       alpha);
    }
    yuy2Avx2(dst + 4 * x, src + 2 * x, width - x);
}

__attribute__((target("avx512bw"))) void nv12Avx512(uint8_t* dst0, uint8_t* dst1, const uint8_t* y0,
                                                    const uint8_t* y1, const uint8_t* uv,
                                                    uint32_t width) {
    const __m512i alpha = _mm512_setzero_si512();
    // 64 pixels per step, four per 32-bit word: this order gives each unpack the layout
    // storePixels512 expects.
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m512i spreadU = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14));
    const __m512i spreadV = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(1, 1, 3, 3, 5, 5, 7, 7, 9, 9, 11, 11, 13, 13, 15, 15));
    uint32_t x = 0;
    for (; x + 64 <= width; x += 64) {
        const __m512i c = _mm512_maskz_permutexvar_epi32(kAll16, order, _mm512_loadu_si512(uv + x));
        const __m512i u = _mm512_shuffle_epi8(c, spreadU);
        const __m512i v = _mm512_shuffle_epi8(c, spreadV);
        const __m512i l0 =
            _mm512_maskz_permutexvar_epi32(kAll16, order, _mm512_loadu_si512(y0 + x));
        storePixels512(dst0 + 4 * x, _mm512_unpacklo_epi8(l0, u), _mm512_unpacklo_epi8(l0, v),
                       alpha);
        storePixels512(dst0 + 4 * x + 128, _mm512_unpackhi_epi8(l0, u), _mm512_unpackhi_epi8(l0, v),
                       alpha);
        if (dst1 != nullptr) {
            const __m512i l1 =
                _mm512_maskz_permutexvar_epi32(kAll16, order, _mm512_loadu_si512(y1 + x));
            storePixels512(dst1 + 4 * x, _mm512_unpacklo_epi8(l1, u), _mm512_unpacklo_epi8(l1, v),
                           alpha);
            storePixels512(dst1 + 4 * x + 128, _mm512_unpackhi_epi8(l1, u),
                           _mm512_unpackhi_epi8(l1, v), alpha);
        }
    }
    nv12Avx2(dst0 + 4 * x, dst1 ? dst1 + 4 * x : nullptr, y0 + x, y1 ? y1 + x : nullptr, uv + x,
             width - x);
}

#define OLK_AVX512VBMI __attribute__((target("avx512bw,avx512vbmi"))) inline

// The colour sums of storePixels512 for 32 pixels in their natural order, packed as
// br = B0..7 R0..7 | B8..15 R8..15 | ... and ga likewise; two byte permutes interleave
// them, which saves the lane permute of the input and two of the four unpacks.
OLK_AVX512VBMI void storePixelsVbmi(uint8_t* dst, __m512i yu, __m512i yv, __m512i alpha,
                                    __m512i first, __m512i second) {
    const __m512i xr = _mm512_maddubs_epi16(yv, pairCoefficients512(42, -103));
    const __m512i xg = _mm512_add_epi16(_mm512_maddubs_epi16(yu, pairCoefficients512(42, -100)),
                                        _mm512_maddubs_epi16(yv, pairCoefficients512(0, 48)));
    const __m512i xb = _mm512_maddubs_epi16(yu, pairCoefficients512(42, 4));
    const __m512i mr = _mm512_maddubs_epi16(yv, pairCoefficients512(1, 2));
    const __m512i mg = _mm512_maddubs_epi16(yv, pairCoefficients512(1, -1));
    const __m512i mb = _mm512_maddubs_epi16(yu, pairCoefficients512(1, 2));
    const __m512i r = channel512(xr, 12640, mr, -272);
    const __m512i g = channel512(xg, 6112, mg, 112);
    const __m512i b = channel512(xb, -1056, mb, -272);
    const __m512i br = _mm512_packus_epi16(b, r);
    const __m512i ga = _mm512_packus_epi16(g, alpha);
    _mm512_storeu_si512(dst, _mm512_permutex2var_epi8(br, first, ga));
    _mm512_storeu_si512(dst + 64, _mm512_permutex2var_epi8(br, second, ga));
}

// Byte c of pixel p comes from br (c = 0, 2) or ga (c = 1, 3), low or high half of a lane.
struct InterleaveIndex {
    alignas(64) int8_t bytes[64];
};
constexpr InterleaveIndex interleaveIndex(int firstPixel) {
    InterleaveIndex idx{};
    for (int i = 0; i < 64; ++i) {
        const int p = firstPixel + i / 4;
        const int c = i % 4;
        idx.bytes[i] =
            static_cast<int8_t>(((c & 1) ? 64 : 0) + ((c & 2) ? 8 : 0) + 16 * (p / 8) + p % 8);
    }
    return idx;
}
constexpr InterleaveIndex kFirstHalf = interleaveIndex(0);
constexpr InterleaveIndex kSecondHalf = interleaveIndex(16);

__attribute__((target("avx512bw,avx512vbmi"))) void yuy2Avx512Vbmi(uint8_t* dst, const uint8_t* src,
                                                                   uint32_t width) {
    const __m512i alpha = _mm512_set1_epi16(0xFF);
    const __m512i toYU = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(0, 1, 2, 1, 4, 5, 6, 5, 8, 9, 10, 9, 12, 13, 14, 13));
    const __m512i toYV = _mm512_maskz_broadcast_i32x4(
        kAll16, _mm_setr_epi8(0, 3, 2, 3, 4, 7, 6, 7, 8, 11, 10, 11, 12, 15, 14, 15));
    const __m512i first = _mm512_load_si512(kFirstHalf.bytes);
    const __m512i second = _mm512_load_si512(kSecondHalf.bytes);
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m512i v = _mm512_loadu_si512(src + 2 * x);
        storePixelsVbmi(dst + 4 * x, _mm512_shuffle_epi8(v, toYU), _mm512_shuffle_epi8(v, toYV),
                        alpha, first, second);
    }
    yuy2Avx2(dst + 4 * x, src + 2 * x, width - x);
}

}  // namespace

const RowKernels* avx2Kernels() {
    static const RowKernels kAvx2{&yuy2Avx2, &nv12Avx2, &rgb24Avx2, "avx2"};
    static const bool kSupported = __builtin_cpu_supports("avx2");
    return kSupported ? &kAvx2 : nullptr;
}

const RowKernels* avx512Kernels() {
    static const RowKernels kAvx512{
        __builtin_cpu_supports("avx512vbmi") ? &yuy2Avx512Vbmi : &yuy2Avx512, &nv12Avx512,
        &rgb24Avx2, "avx512bw"};
    static const bool kSupported =
        __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw");
    return kSupported ? &kAvx512 : nullptr;
}

#else

const RowKernels* avx2Kernels() { return nullptr; }
const RowKernels* avx512Kernels() { return nullptr; }

#endif

}  // namespace OLK::kernels
