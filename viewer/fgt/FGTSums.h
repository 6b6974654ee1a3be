// The inner loops of the FGT, in a portable form and with AVX2/FMA vectors
// (call those only when Avx2Available() is true): the two sums of the
// Gaussian-windowed cosine and sine with the real parts of the signal for a
// run of analysis points of one row, turned into dB, with four analysis
// points sharing every load of the kernel; the forward 8-point mean of a row;
// the grey image of the levels. Both forms give the same values to rounding
// (the image bit for bit).
#pragma once

#include <cstdint>

namespace fgt {

// For each of the `count` analysis points k, with the window starting at
// base + starts[k]:  A = Σ_i windowedCos[i]·x[i], B = Σ_i windowedSin[i]·x[i]
// over i = 0 .. taps-1, and out[k] = 10·log10(A² + B²). `taps` must be a
// multiple of 4 (pad the kernel with zero taps), and every window must be
// readable for `taps` values.
void RowValuesPortable(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                       const int* starts, int count, double* out);
void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                   const int* starts, int count, double* out);

// 10·log10 of four values at once, to a few units in the last place.
void DecibelsAvx2(const double* power, double* out, int count);

// The forward 8-point mean of a row in place (see SmoothRow).
void SmoothRowAvx2(double* values, int count);

// The grey pixels of `count` levels (see LevelToPixel), bit for bit the same.
void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper);

}  // namespace fgt
