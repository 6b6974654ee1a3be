// The transform kernels behind CKFFT: a plain portable loop and an AVX2/FMA
// version, plus the twiddle lookup and digit reversal both share. GUI-free and
// internal to the library; CKFFT chooses the kernel at run time.
#pragma once

#include <cstddef>

#include "KComplex.h"

namespace kfft {

// The quarter-wave table: entry i = cos(2π·i/65536), i = 0..16384.
constexpr int kQuarter = 16384;
constexpr int kTableEntries = kQuarter + 1;
constexpr int kLongest = 65536;

// Passes of the radix-4 transform of n points, or 0 when n is not a power of
// 4 from 16 to 65536.
int PassCount(int n);

// exp(-2πi·w/65536) for 0 <= w < 65536, folded into the first quadrant of
// the table.
inline void Twiddle(const double* table, int w, double& re, double& im) {
    const int r = w & (kQuarter - 1);
    const double u = table[r];
    const double v = table[kQuarter - r];
    switch (w >> 14) {
        case 0:
            re = u;
            im = -v;
            break;
        case 1:
            re = -v;
            im = -u;
            break;
        case 2:
            re = -u;
            im = v;
            break;
        default:
            re = v;
            im = u;
            break;
    }
}

// The straightforward transform: passes of span n, n/4, ..., 4 over the
// whole block, twiddles looked up once per j, then the digit reversal.
void TransformPortable(KCOMPLEX_DOUBLE* data, int n, int passes, const double* table, double c21,
                       double mc21);

// Reorders the n points into base-4 digit-reversed order (an involution).
void DigitReverse(KCOMPLEX_DOUBLE* data, int n);

// Twiddles packed for the vector kernel. For every span E = 65536, 16384,
// ..., 16 and every pair of quarter-span offsets (j, j+1), six values follow
// one another: W1(j), W1(j+1), W2(j), W2(j+1), W3(j), W3(j+1). Entry j = 0 is
// exactly 1 + 0i (the kernel keeps that butterfly twiddle-free anyway).
constexpr std::size_t kPackedTwiddles = 3 * (16384 + 4096 + 1024 + 256 + 64 + 16 + 4);
std::size_t PackedTwiddleOffset(int span);
void FillPackedTwiddles(KCOMPLEX_DOUBLE* packed, const double* table);

// The vector transform; same passes, same twiddles, same order of results.
// Only called when cpu::UsableLevel() is Avx2 or above.
void TransformAvx2(KCOMPLEX_DOUBLE* data, int n, const KCOMPLEX_DOUBLE* packed, double c21, double mc21);

}  // namespace kfft
