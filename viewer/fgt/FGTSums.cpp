#include "FGTSums.h"

#include <cmath>

#include "FGTComputation.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FONAVID_FGT_X86 1
#endif

namespace fgt {

namespace {

// Four analysis points are summed together; a short last block repeats the
// last point, whose extra results are dropped.
constexpr int kPointsPerBlock = 4;

// The windows of the next block of points; a short last block repeats the
// last point. `t` is the time of the next point.
inline void NextBlock(const double* window0, const RowPoints& points, int k, int count, double& t,
                      const double* (&x)[kPointsPerBlock]) {
    for (int p = 0; p < kPointsPerBlock; ++p) {
        if (k + p < count) {
            x[p] = window0 + NearestSample(t, points.frADC, points.nSamples);
            t = t + points.sigmaT;
        } else {
            x[p] = x[p - 1];
        }
    }
}

}  // namespace

void RowValuesPortable(const double* windowedCos, const double* windowedSin, int taps, const double* window0,
                       const RowPoints& points, int count, double* out) {
    double t = 0.0;
    for (int k = 0; k < count; k += kPointsPerBlock) {
        const double* x[kPointsPerBlock];
        NextBlock(window0, points, k, count, t, x);
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
            out[k + p] = 10.0 * std::log10(sa * sa + sb * sb);
        }
    }
}

#ifdef FONAVID_FGT_X86

namespace {

#define FGT_AVX2 __attribute__((target("avx2,fma")))

// The sums of the lanes of each of four vectors, as one vector.
FGT_AVX2 inline __m256d SumEachOfFour(__m256d v0, __m256d v1, __m256d v2, __m256d v3) {
    const __m256d h01 = _mm256_hadd_pd(v0, v1);  // v0 0+1, v1 0+1, v0 2+3, v1 2+3
    const __m256d h23 = _mm256_hadd_pd(v2, v3);
    return _mm256_add_pd(_mm256_permute2f128_pd(h01, h23, 0x20), _mm256_permute2f128_pd(h01, h23, 0x31));
}

// 10·log10(p) for four values. Positive normal values go through
// p = 2^e·m with m in [√½, √2) and ln m = 2·atanh(s), s = (m - 1)/(m + 1),
// summed to the term s^21 (|s| ≤ 0.1716, so the next term is below 1e-17 of
// the result); zero, subnormal, negative, infinite and NaN lanes take the
// scalar log10.
FGT_AVX2 inline __m256d Decibels4(__m256d p) {
    const __m256i bits = _mm256_castpd_si256(p);
    // Sign and exponent together: 1..0x7FE for positive normal values.
    const __m256i top = _mm256_srli_epi64(bits, 52);
    const __m256i normal = _mm256_and_si256(_mm256_cmpgt_epi64(top, _mm256_setzero_si256()),
                                            _mm256_cmpgt_epi64(_mm256_set1_epi64x(0x7FF), top));
    if (_mm256_movemask_pd(_mm256_castsi256_pd(normal)) != 0xF) {
        alignas(32) double v[4];
        _mm256_store_pd(v, p);
        for (double& x : v) x = 10.0 * std::log10(x);
        return _mm256_load_pd(v);
    }
    const __m256i mantissa = _mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFFLL));
    __m256d m = _mm256_castsi256_pd(_mm256_or_si256(mantissa, _mm256_set1_epi64x(0x3FF0000000000000LL)));
    const __m256i biased = _mm256_sub_epi64(top, _mm256_set1_epi64x(1023));
    // The exponents fit 32 bits: take the low halves and convert.
    const __m256i packed = _mm256_permutevar8x32_epi32(biased, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
    __m256d e = _mm256_cvtepi32_pd(_mm256_castsi256_si128(packed));
    const __m256d above = _mm256_cmp_pd(m, _mm256_set1_pd(1.4142135623730951), _CMP_GT_OQ);
    m = _mm256_blendv_pd(m, _mm256_mul_pd(m, _mm256_set1_pd(0.5)), above);
    e = _mm256_add_pd(e, _mm256_and_pd(above, _mm256_set1_pd(1.0)));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d s = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
    const __m256d z = _mm256_mul_pd(s, s);
    __m256d series = _mm256_set1_pd(1.0 / 21.0);
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 19.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 17.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 15.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 13.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 11.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 9.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 7.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 5.0));
    series = _mm256_fmadd_pd(series, z, _mm256_set1_pd(1.0 / 3.0));
    // ln m = 2s + 2s·z·series(z): the leading term stays exact.
    const __m256d twoS = _mm256_add_pd(s, s);
    const __m256d lnM = _mm256_fmadd_pd(_mm256_mul_pd(twoS, z), series, twoS);
    // ln 2 in two parts, so that e·ln 2 keeps its precision.
    const __m256d ln2High = _mm256_set1_pd(6.93147180369123816490e-01);
    const __m256d ln2Low = _mm256_set1_pd(1.90821492927058770002e-10);
    const __m256d lnP = _mm256_add_pd(_mm256_mul_pd(e, ln2High), _mm256_fmadd_pd(e, ln2Low, lnM));
    return _mm256_mul_pd(lnP, _mm256_set1_pd(4.34294481903251827651));  // 10 / ln 10
}

}  // namespace

FGT_AVX2 void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps,
                            const double* window0, const RowPoints& points, int count, double* out) {
    double t = 0.0;
    for (int k = 0; k < count; k += kPointsPerBlock) {
        const double* x[kPointsPerBlock];
        NextBlock(window0, points, k, count, t, x);
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
        const __m256d a = SumEachOfFour(a0, a1, a2, a3);
        const __m256d b = SumEachOfFour(b0, b1, b2, b3);
        const __m256d db = Decibels4(_mm256_add_pd(_mm256_mul_pd(a, a), _mm256_mul_pd(b, b)));
        if (k + kPointsPerBlock <= count) {
            _mm256_storeu_pd(out + k, db);
        } else {
            alignas(32) double v[kPointsPerBlock];
            _mm256_store_pd(v, db);
            for (int p = 0; k + p < count; ++p) out[k + p] = v[p];
        }
    }
}

FGT_AVX2 void DecibelsAvx2(const double* power, double* out, int count) {
    int k = 0;
    for (; k + 4 <= count; k += 4) _mm256_storeu_pd(out + k, Decibels4(_mm256_loadu_pd(power + k)));
    for (; k < count; ++k) out[k] = 10.0 * std::log10(power[k]);
}

FGT_AVX2 void SmoothRowAvx2(double* values, int count) {
    // Four means at a time: every value they read lies at or after the first
    // one written, so nothing read is already replaced.
    int k = 0;
    const __m256d eighth = _mm256_set1_pd(0.125);
    for (; k + 3 <= count - 9; k += 4) {
        const double* v = values + k;
        const __m256d s01 = _mm256_add_pd(_mm256_loadu_pd(v), _mm256_loadu_pd(v + 1));
        const __m256d s23 = _mm256_add_pd(_mm256_loadu_pd(v + 2), _mm256_loadu_pd(v + 3));
        const __m256d s45 = _mm256_add_pd(_mm256_loadu_pd(v + 4), _mm256_loadu_pd(v + 5));
        const __m256d s67 = _mm256_add_pd(_mm256_loadu_pd(v + 6), _mm256_loadu_pd(v + 7));
        const __m256d sum = _mm256_add_pd(_mm256_add_pd(s01, s23), _mm256_add_pd(s45, s67));
        _mm256_storeu_pd(values + k, _mm256_mul_pd(sum, eighth));
    }
    if (k <= count - 9) SmoothRow(values + k, count - k);
}

FGT_AVX2 void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper) {
    const __m256d D = _mm256_set1_pd(lower);
    const __m256d U = _mm256_set1_pd(upper);
    const __m256d range = _mm256_set1_pd(upper - lower);
    const __m256d scale = _mm256_set1_pd(255.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d limit = _mm256_set1_pd(256.0);
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m128i greyToPixel = _mm_set1_epi32(65793);
    long i = 0;
    for (; i + 4 <= count; i += 4) {
        __m256d v = _mm256_loadu_pd(levels + i);
        // The same tests as the scalar form: a NaN passes both unchanged.
        v = _mm256_blendv_pd(v, D, _mm256_cmp_pd(v, D, _CMP_LT_OQ));
        v = _mm256_blendv_pd(v, U, _mm256_cmp_pd(v, U, _CMP_GT_OQ));
        __m256d q = _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(U, v), scale), range);
        const __m256d inside =
            _mm256_and_pd(_mm256_cmp_pd(q, zero, _CMP_GE_OQ), _mm256_cmp_pd(q, limit, _CMP_LT_OQ));
        q = _mm256_and_pd(q, inside);
        const __m128i grey = _mm_and_si128(_mm256_cvttpd_epi32(q), lowByte);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i), _mm_mullo_epi32(grey, greyToPixel));
    }
    for (; i < count; ++i) pixels[i] = LevelToPixel(levels[i], lower, upper);
}

#else

// Without x86 vectors the portable loops serve both paths.
void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps, const double* window0,
                   const RowPoints& points, int count, double* out) {
    RowValuesPortable(windowedCos, windowedSin, taps, window0, points, count, out);
}
void DecibelsAvx2(const double* power, double* out, int count) {
    for (int k = 0; k < count; ++k) out[k] = 10.0 * std::log10(power[k]);
}
void SmoothRowAvx2(double* values, int count) { SmoothRow(values, count); }
void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper) {
    for (long i = 0; i < count; ++i) pixels[i] = LevelToPixel(levels[i], lower, upper);
}

#endif

}  // namespace fgt
