// The inner loops of the FGT, in a portable form and with AVX2/FMA vectors
// (call those only when cpu::UsableLevel() is Avx2 or above), the logarithms
// also with AVX-512 ones (only at Avx512): the two sums of the Gaussian-windowed cosine and sine with
// the real parts of the signal for the analysis points of one row, turned
// into dB; the forward 8-point mean of a row; the grey image of the levels.
// All forms give the same values to rounding (the image bit for bit).
//
// The sums use the symmetry of the kernel: the Gaussian and the cosine are
// even and the sine is odd in the tap m, so the taps m and -m share one
// product, with the sum x[n+m] + x[n-m] for A and the difference for B. Only
// the tap -E has no partner (the kernel runs over -E .. E-1). The samples
// before a point are read from a reversed copy of the signal, so that both
// halves of the window are read forward. Four analysis points share every
// load of the kernel. Where the points lie a sample or two apart and the
// kernel is short (the top rows), the sums are taken at every sample instead,
// sixteen neighbouring samples at a time, and the points pick theirs. A row
// goes a stretch of points at a time: their times and samples, their powers
// A² + B², then the logarithms, the means and the pixels of the stretch.
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

// The times of `count` consecutive analysis points, the first at `t`, each
// the rounded sum of the one before and sigmaT, exactly as the chain of
// additions gives them; returns the time after the last. Within a binade
// every such sum adds the same multiple of the binade's unit in the last
// place, so runs of times are found without the chain's latency.
double NextTimes(double t, double sigmaT, int count, double* times);
// The same with the runs written four at a time with AVX2.
double NextTimesAvx2(double t, double sigmaT, int count, double* times);

// The time after `count` further additions of sigmaT to `t`, exactly as the
// chain of additions gives it, found a binade at a time: the time of value k
// of a row is TimeAfter(0, sigmaT, k), without computing those before it.
double TimeAfter(double t, double sigmaT, int count);

// Value k of a row of `count` values after the forward 8-point mean, from
// the row's values before it, `v` pointing at value k (v[0 .. 7] are read
// where k ≤ count - 9):
// bit for bit what SmoothRow (`grouped` false) or SmoothRowAvx2 (`grouped`
// true) leave there.
double SmoothedValue(const double* v, int k, int count, bool grouped);

// Sample numbers of `count` consecutive analysis points, the first at time
// `t`; returns the time of the point after the last one. Starting from 0
// and continuing with the returned time gives the points of a whole row.
double NextPoints(const RowPoints& points, double t, int count, int* samples);
// The same with AVX2 vectors, giving the same samples and time.
double NextPointsAvx2(const RowPoints& points, double t, int count, int* samples);

// The kernel of one row folded about its centre: for m = 0 .. E-1,
// foldedCos[m] = g_m·cos_m and foldedSin[m] = g_m·sin_m (tap 0's cosine part
// halved, since x[n] + x[n] counts it twice), zero from E up to `folded`, a
// multiple of 4; the unpaired tap -E is edgeCos = g_-E·cos_-E and
// edgeSin = g_-E·sin_-E. E is at least 1.
struct FoldedKernel {
    const double* foldedCos;
    const double* foldedSin;
    int folded;
    int E;
    double edgeCos;
    double edgeSin;
};

// The real parts of the signal, x[n] = forward[n] = backward[-n]; for every
// analysis point n, forward[n - E .. n + folded + 14] and
// backward[-n .. -n + folded - 1] must be readable (where points lie close,
// the sums are taken at every sample of groups of sixteen).
struct RealSignal {
    const double* forward;
    const double* backward;
};

// For each of the `count` analysis points k of a row, at sample n_k:
// A = Σ_m gcos_m·x[n_k + m], B = Σ_m gsin_m·x[n_k + m] over m = -E .. E-1,
// and out[k] = 10·log10(A² + B²).
void RowValuesPortable(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       int count, double* out);
void RowValuesAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                   double* out);
// The values of the `count` points from time `t` on, the first at an index of
// the row that is a multiple of 8: the same values bit for bit as those
// that a pass over the whole row (RowValuesPortable, RowValuesAvx2 or, with
// `wide`, RowValuesAvx512) gives at these indices, provided `count` ends the
// row or is a multiple of 8 too.
void RowValuesPortableFrom(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                           double t, int count, double* out);
void RowValuesAvx2From(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       double t, int count, double* out, bool wide);
void RowValuesAvx512From(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                         double t, int count, double* out);
// The same with the logarithms in AVX-512 vectors (call only at
// cpu::Level::Avx512).
void RowValuesAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                     double* out);

// Where the grey pixels of a row's finished levels go (see LevelToPixel),
// and the two levels of the mapping.
struct RowImage {
    uint32_t* pixels;
    double lower;
    double upper;
};

// The finished levels of one row: the values of RowValuesAvx2, their forward
// 8-point mean (SmoothRowAvx2) and, with an `image`, their pixels
// (BuildImageAvx2), done a stretch at a time while its values are still in
// the cache. Values and pixels are the same bit for bit as those of the three
// functions called one after the other over the whole row; the portable form
// calls the portable functions so.
void RowLevelsPortable(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       int count, double* out, const RowImage* image);
void RowLevelsAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                   double* out, const RowImage* image);
void RowLevelsAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                     double* out, const RowImage* image);

// 10·log10 of four values at once, to a few units in the last place.
void DecibelsAvx2(const double* power, double* out, int count);
// The same eight at a time with AVX-512 (call only at cpu::Level::Avx512), as
// RowValuesAvx512 and RowLevelsAvx512 take them.
void DecibelsAvx512(const double* power, double* out, int count);

// The forward 8-point mean of a row in place (see SmoothRow).
void SmoothRowAvx2(double* values, int count);

// The grey pixels of `count` levels (see LevelToPixel), bit for bit the same.
void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper);

}  // namespace fgt
