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

// Sample number of the analysis point at time t: the nearest sample,
// trunc(t·Fs + 0.5), kept within 0 .. nSamples.
inline int NearestSample(double t, double frADC, long nSamples) {
    const double n = static_cast<double>(static_cast<long long>(t * frADC + 0.5));
    if (n < 0.0) return 0;
    return n > static_cast<double>(nSamples) ? static_cast<int>(nSamples) : static_cast<int>(n);
}

// Where the analysis points of a row lie: point k is the sample nearest to
// the time reached after k additions of sigmaT to 0.
struct RowPoints {
    double frADC;
    double sigmaT;
    long nSamples;
};

// For each of the `count` analysis points k of a row, at sample n_k:
// A = Σ_i windowedCos[i]·x[n_k + i], B = Σ_i windowedSin[i]·x[n_k + i] over
// i = 0 .. taps-1, where x = window0 is the first tap of the window of sample 0,
// and out[k] = 10·log10(A² + B²). `taps` must be a multiple of 4 (pad the
// kernel with zero taps), and every window must be readable for `taps` values.
void RowValuesPortable(const double* windowedCos, const double* windowedSin, int taps, const double* window0,
                       const RowPoints& points, int count, double* out);
void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps, const double* window0,
                   const RowPoints& points, int count, double* out);

// 10·log10 of four values at once, to a few units in the last place.
void DecibelsAvx2(const double* power, double* out, int count);

// The forward 8-point mean of a row in place (see SmoothRow).
void SmoothRowAvx2(double* values, int count);

// The grey pixels of `count` levels (see LevelToPixel), bit for bit the same.
void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper);

}  // namespace fgt
