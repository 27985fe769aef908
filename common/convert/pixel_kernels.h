#pragma once

// Row kernels behind the conversions, one set per instruction set. The dispatched set is
// chosen once from the running CPU; the others are exported so that they can be checked
// against each other.

#include <cstddef>
#include <cstdint>

#include "olk_export.h"

namespace OLK::kernels {

struct RowKernels {
    // width pixels of YUY2 (width even) to B,G,R,0xFF.
    void (*yuy2)(uint8_t* dst, const uint8_t* src, uint32_t width);
    // Two luma rows sharing one interleaved U,V row (width even) to B,G,R,0. row1/dst1 may
    // be null for a last single row.
    void (*nv12)(uint8_t* dst0, uint8_t* dst1, const uint8_t* y0, const uint8_t* y1,
                 const uint8_t* uv, uint32_t width);
    // width pixels of B,G,R to B,G,R,0xFF.
    void (*rgb24)(uint8_t* dst, const uint8_t* src, uint32_t width);
    const char* name;
};

OLK_EXPORT const RowKernels& scalarKernels();
// Null when this build or this CPU has no AVX2.
OLK_EXPORT const RowKernels* avx2Kernels();
// Null when this build or this CPU has no AVX-512BW.
OLK_EXPORT const RowKernels* avx512Kernels();
// The set the conversions use: the widest the CPU has, else scalar.
OLK_EXPORT const RowKernels& activeKernels();

}  // namespace OLK::kernels
