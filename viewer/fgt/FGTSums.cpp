#include "FGTSums.h"

#include <cmath>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FONAVID_FGT_X86 1
#endif

namespace fgt {

namespace {

// Four analysis points are summed together; a short last block repeats the
// last point, whose extra results are dropped.
constexpr int kPointsPerBlock = 4;

inline void BlockStarts(const double* base, const int* starts, int k, int count,
                        const double* (&x)[kPointsPerBlock]) {
    for (int p = 0; p < kPointsPerBlock; ++p) {
        const int index = k + p < count ? k + p : count - 1;
        x[p] = base + starts[index];
    }
}

inline double Decibels(double a, double b) { return 10.0 * std::log10(a * a + b * b); }

}  // namespace

void RowValuesPortable(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                       const int* starts, int count, double* out) {
    for (int k = 0; k < count; k += kPointsPerBlock) {
        const double* x[kPointsPerBlock];
        BlockStarts(base, starts, k, count, x);
        // Four lanes of partial sums per point and per sum keep the additions
        // independent of each other.
        double a[kPointsPerBlock][4] = {};
        double b[kPointsPerBlock][4] = {};
        for (int i = 0; i < taps; i += 4) {
            for (int lane = 0; lane < 4; ++lane) {
                const double c = windowedCos[i + lane];
                const double s = windowedSin[i + lane];
                for (int p = 0; p < kPointsPerBlock; ++p) {
                    const double v = x[p][i + lane];
                    a[p][lane] += c * v;
                    b[p][lane] += s * v;
                }
            }
        }
        for (int p = 0; p < kPointsPerBlock && k + p < count; ++p) {
            const double sa = (a[p][0] + a[p][2]) + (a[p][1] + a[p][3]);
            const double sb = (b[p][0] + b[p][2]) + (b[p][1] + b[p][3]);
            out[k + p] = Decibels(sa, sb);
        }
    }
}

#ifdef FONAVID_FGT_X86

namespace {

__attribute__((target("avx2,fma"))) inline double HorizontalSum(__m256d v) {
    const __m128d low = _mm256_castpd256_pd128(v);
    const __m128d high = _mm256_extractf128_pd(v, 1);
    const __m128d pair = _mm_add_pd(low, high);  // lanes 0+2, 1+3
    return _mm_cvtsd_f64(_mm_add_sd(pair, _mm_unpackhi_pd(pair, pair)));
}

}  // namespace

__attribute__((target("avx2,fma"))) void RowValuesAvx2(const double* windowedCos, const double* windowedSin,
                                                       int taps, const double* base, const int* starts,
                                                       int count, double* out) {
    for (int k = 0; k < count; k += kPointsPerBlock) {
        const double* x[kPointsPerBlock];
        BlockStarts(base, starts, k, count, x);
        const double* x0 = x[0];
        const double* x1 = x[1];
        const double* x2 = x[2];
        const double* x3 = x[3];
        __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(),
                a3 = _mm256_setzero_pd();
        __m256d b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd(), b2 = _mm256_setzero_pd(),
                b3 = _mm256_setzero_pd();
        for (int i = 0; i < taps; i += 4) {
            const __m256d c = _mm256_loadu_pd(windowedCos + i);
            const __m256d s = _mm256_loadu_pd(windowedSin + i);
            __m256d v = _mm256_loadu_pd(x0 + i);
            a0 = _mm256_fmadd_pd(c, v, a0);
            b0 = _mm256_fmadd_pd(s, v, b0);
            v = _mm256_loadu_pd(x1 + i);
            a1 = _mm256_fmadd_pd(c, v, a1);
            b1 = _mm256_fmadd_pd(s, v, b1);
            v = _mm256_loadu_pd(x2 + i);
            a2 = _mm256_fmadd_pd(c, v, a2);
            b2 = _mm256_fmadd_pd(s, v, b2);
            v = _mm256_loadu_pd(x3 + i);
            a3 = _mm256_fmadd_pd(c, v, a3);
            b3 = _mm256_fmadd_pd(s, v, b3);
        }
        const double sums[kPointsPerBlock][2] = {{HorizontalSum(a0), HorizontalSum(b0)},
                                                 {HorizontalSum(a1), HorizontalSum(b1)},
                                                 {HorizontalSum(a2), HorizontalSum(b2)},
                                                 {HorizontalSum(a3), HorizontalSum(b3)}};
        for (int p = 0; p < kPointsPerBlock && k + p < count; ++p)
            out[k + p] = Decibels(sums[p][0], sums[p][1]);
    }
}

#else

// Without x86 vectors the portable loop serves both paths.
void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                   const int* starts, int count, double* out) {
    RowValuesPortable(windowedCos, windowedSin, taps, base, starts, count, out);
}

#endif

}  // namespace fgt
