#include "FGTSums.h"

#include <algorithm>
#include <cmath>

#include "FGTComputation.h"
#include "GreyPixel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FONAVID_FGT_X86 1
#endif

// DecibelsOfReduced is always inlined and takes and gives its vectors by
// reference, so no vector crosses a call boundary (a vector passed by value
// to a function built without AVX would change the calling convention); so do
// its fused steps (MulAdd).

namespace fgt {

namespace {

// Four analysis points are summed together; a short last block repeats the
// last point, whose extra results are dropped.
constexpr int kPointsPerBlock = 4;
// Points found, summed and turned into dB at a time: the powers of a
// stretch stay in the first-level cache until their logarithms are taken.
constexpr int kStretch = 256;
static_assert(kStretch % kPointsPerBlock == 0, "stretches hold whole blocks");
// Rows whose points lie at most kDenseStep samples apart (and whose kernels
// are then at most ten taps a side: E is five steps) take their powers at
// every sample, kDenseGroup neighbouring samples at a time, at most
// kDenseSpan for a stretch.
constexpr double kDenseStep = 2.0;
constexpr int kDenseGroup = 16;
constexpr int kDenseSpan = 1024;
static_assert(kDenseSpan % kDenseGroup == 0, "the span holds whole groups");

}  // namespace

double NextPoints(const RowPoints& points, double t, int count, int* samples) {
    for (int k = 0; k < count; ++k) {
        samples[k] = NearestSample(t, points.frADC, points.nSamples);
        t = t + points.sigmaT;
    }
    return t;
}

namespace {

// The times t + i·δ of a run, i = 0 .. count-1, each exact, written from
// out[at] on.
using RunFill = void (*)(double t, double delta, int count, double* out, int at);

void FillRun(double t, double delta, int count, double* out, int at) {
    for (int i = 0; i < count; ++i) out[at + i] = t + i * delta;
}

// Skips the run: only the time after it is wanted.
void SkipRun(double, double, int, double*, int) {}

// NextTimes, with the runs of times written by `fill`.
template <RunFill fill>
double NextTimesWith(double t, double sigmaT, int count, double* times) {
    // Below this the unit in the last place of a time is no normal number.
    constexpr double kSmallest = 0x1p-960;
    int k = 0;
    while (k < count) {
        const double next = t + sigmaT;
        int exponent = 0;
        std::frexp(t, &exponent);
        const double top = std::ldexp(1.0, exponent);  // t lies in [top/2, top)
        const double unit = std::ldexp(1.0, exponent - 53);
        const double units = sigmaT / unit;
        // One addition at a time: odd times and steps, a sum that leaves the
        // binade, and a step whose remainder is exactly half a unit (rounding
        // to even then alternates).
        if (!(t >= kSmallest) || !std::isfinite(t) || !(sigmaT > 0.0) || !std::isfinite(sigmaT) ||
            next > top || units - std::floor(units) == 0.5) {
            fill(t, 0.0, 1, times, k++);
            t = next;
            continue;
        }
        // Every sum within the binade adds the same multiple of the unit:
        // t_j = t + j·δ, exact, as long as j·δ ≤ top - t (exact too).
        const double delta = next - t;
        const double room = top - t;
        const int left = count - k;
        int steps = left;  // valid steps from t, as far as they are needed
        if (delta > 0.0) {
            const double estimate = std::floor(room / delta);
            steps = estimate < left ? static_cast<int>(estimate) : left;
            while (steps < left && (steps + 1) * delta <= room) ++steps;
            while (steps > 0 && steps * delta > room) --steps;
        }
        const int run = std::min(left, steps + 1);
        fill(t, delta, run, times, k);
        k += run;
        t = run <= steps ? t + run * delta : (t + steps * delta) + sigmaT;
    }
    return t;
}

}  // namespace

double NextTimes(double t, double sigmaT, int count, double* times) {
    return NextTimesWith<FillRun>(t, sigmaT, count, times);
}

double TimeAfter(double t, double sigmaT, int count) {
    return NextTimesWith<SkipRun>(t, sigmaT, count, nullptr);
}

double SmoothedValue(const double* v, int k, int count, bool grouped) {
    if (k > count - 9) return v[0];
    // A pass over the row takes four means at a time, the pairs summed first,
    // wherever the whole group of four lies within the smoothed values.
    if (grouped && (k & ~3) + 3 <= count - 9)
        return (((v[0] + v[1]) + (v[2] + v[3])) + ((v[4] + v[5]) + (v[6] + v[7]))) * 0.125;
    double sum = v[0];
    for (int i = 1; i < 8; ++i) sum += v[i];
    return sum * 0.125;
}

void RowValuesPortable(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       int count, double* out) {
    RowValuesPortableFrom(kernel, signal, points, 0.0, count, out);
}

void RowValuesPortableFrom(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                           double t, int count, double* out) {
    int samples[kStretch];
    for (int first = 0; first < count; first += kStretch) {
        const int n = std::min(kStretch, count - first);
        t = NextPoints(points, t, n, samples);
        for (int k = 0; k < n; k += kPointsPerBlock) {
            const double* ahead[kPointsPerBlock];
            const double* behind[kPointsPerBlock];
            for (int p = 0; p < kPointsPerBlock; ++p) {
                const int sample = samples[std::min(k + p, n - 1)];
                ahead[p] = signal.forward + sample;
                behind[p] = signal.backward - sample;
            }
            // Four lanes of partial sums per point and per sum keep the
            // additions independent of each other.
            double a[kPointsPerBlock][4] = {};
            double b[kPointsPerBlock][4] = {};
            for (int q = 0; q < kernel.folded; q += 4) {
                for (int lane = 0; lane < 4; ++lane) {
                    const double c = kernel.foldedCos[q + lane];
                    const double s = kernel.foldedSin[q + lane];
                    for (int p = 0; p < kPointsPerBlock; ++p) {
                        const double later = ahead[p][q + lane];
                        const double earlier = behind[p][q + lane];
                        a[p][lane] += c * (later + earlier);
                        b[p][lane] += s * (later - earlier);
                    }
                }
            }
            for (int p = 0; p < kPointsPerBlock && k + p < n; ++p) {
                const double edge = ahead[p][-kernel.E];
                const double sa = (a[p][0] + a[p][2]) + (a[p][1] + a[p][3]) + kernel.edgeCos * edge;
                const double sb = (b[p][0] + b[p][2]) + (b[p][1] + b[p][3]) + kernel.edgeSin * edge;
                out[first + k + p] = 10.0 * std::log10(sa * sa + sb * sb);
            }
        }
    }
}

void RowLevelsPortable(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       int count, double* out, const RowImage* image) {
    RowValuesPortable(kernel, signal, points, count, out);
    SmoothRow(out, count);
    if (image != nullptr)
        for (int k = 0; k < count; ++k) image->pixels[k] = LevelToPixel(out[k], image->lower, image->upper);
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

// One step of the folded sums of one point: a += c·(later + earlier),
// b += s·(later - earlier). Each sample is loaded once: left to itself the
// compiler reads `earlier` twice, as an operand of the addition and of the
// subtraction, and the loads, not the arithmetic, then bound the loop.
FGT_AVX2 inline void FoldPair(__m256d c, __m256d s, const double* later, const double* earlier, __m256d& a,
                              __m256d& b) {
    __m256d u = _mm256_loadu_pd(later);
    __m256d v = _mm256_loadu_pd(earlier);
    __asm__("" : "+x"(u), "+x"(v));
    a = _mm256_fmadd_pd(c, _mm256_add_pd(u, v), a);
    b = _mm256_fmadd_pd(s, _mm256_sub_pd(u, v), b);
}

// a·b + c rounded once, for vectors of either width. Not forced inline:
// the series below calls it from code compiled for no particular
// instruction set, and it is inlined once the series is inlined into its
// vector caller.
FGT_AVX2 inline void MulAdd(const __m256d& a, const __m256d& b, const __m256d& c, __m256d& r) {
    r = _mm256_fmadd_pd(a, b, c);
}
#define FGT_AVX512 __attribute__((target("avx512f,avx512dq,avx2,fma")))
FGT_AVX512 inline void MulAdd(const __m512d& a, const __m512d& b, const __m512d& c, __m512d& r) {
    r = _mm512_fmadd_pd(a, b, c);
}

// 10·log10(2^e·m) from e and s = (m - 1)/(m + 1), for vectors of either
// width: ln m = 2·atanh(s) = 2s + 2s·z·series(z), z = s², the series summed
// to the term s^21 by Horner's rule with fused steps and the leading term
// kept exact; ln 2 in two parts, so that e·ln 2 keeps its precision
// (e·ln2High is exact).
template <class V>
static inline __attribute__((always_inline)) void DecibelsOfReduced(const V& s, const V& e, V& decibels) {
    const V z = s * s;
    V series;
    MulAdd(z, V{} + 1.0 / 21.0, V{} + 1.0 / 19.0, series);
    MulAdd(series, z, V{} + 1.0 / 17.0, series);
    MulAdd(series, z, V{} + 1.0 / 15.0, series);
    MulAdd(series, z, V{} + 1.0 / 13.0, series);
    MulAdd(series, z, V{} + 1.0 / 11.0, series);
    MulAdd(series, z, V{} + 1.0 / 9.0, series);
    MulAdd(series, z, V{} + 1.0 / 7.0, series);
    MulAdd(series, z, V{} + 1.0 / 5.0, series);
    MulAdd(series, z, V{} + 1.0 / 3.0, series);
    const V twoS = s + s;
    V lnM;
    MulAdd(twoS * z, series, twoS, lnM);
    V low;
    MulAdd(e, V{} + 1.90821492927058770002e-10, lnM, low);
    V lnP;
    MulAdd(e, V{} + 6.93147180369123816490e-01, low, lnP);
    decibels = lnP * 4.34294481903251827651;  // 10 / ln 10
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
    __m256d decibels;
    DecibelsOfReduced(s, e, decibels);
    return decibels;
}

// The samples nearest to `count` times, the same operations as
// NearestSample's four at a time.
FGT_AVX2 inline void TimesToSamples(const RowPoints& points, const double* times, int count, int* samples) {
    const __m256d rate = _mm256_set1_pd(points.frADC);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d last = _mm256_set1_pd(static_cast<double>(points.nSamples));
    // From 2^63 on the scalar conversion to long long fails to its lowest
    // value, which then counts as before the signal.
    const __m256d beyond = _mm256_set1_pd(9223372036854775808.0);
    // A short last group goes through the same vector operations.
    alignas(32) double lastTimes[4] = {};
    alignas(16) int lastSamples[4];
    const int whole = count / 4 * 4;
    for (int k = 0; k < count; k += 4) {
        const double* group = times + k;
        if (k == whole) {
            for (int i = 0; k + i < count; ++i) lastTimes[i] = times[k + i];
            group = lastTimes;
        }
        // The product is rounded before the addition, as in the scalar form
        // (the library is built without contraction).
        __m256d v = _mm256_mul_pd(_mm256_loadu_pd(group), rate);
        v = _mm256_round_pd(_mm256_add_pd(v, half), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        v = _mm256_andnot_pd(_mm256_cmp_pd(v, beyond, _CMP_GE_OQ), v);
        // NaN and negative values become 0 (max returns its second operand
        // for NaN), values past the end the last sample.
        v = _mm256_min_pd(_mm256_max_pd(v, zero), last);
        if (k < whole) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + k), _mm256_cvttpd_epi32(v));
        } else {
            _mm_store_si128(reinterpret_cast<__m128i*>(lastSamples), _mm256_cvttpd_epi32(v));
            for (int i = 0; k + i < count; ++i) samples[k + i] = lastSamples[i];
        }
    }
}

}  // namespace

namespace {

// FillRun four times at a time.
FGT_AVX2 void FillRunAvx2(double t, double delta, int count, double* times, int at) {
    double* out = times + at;
    const __m256d start = _mm256_set1_pd(t);
    const __m256d step = _mm256_set1_pd(delta);
    const __m256d four = _mm256_set1_pd(4.0);
    __m256d i = _mm256_setr_pd(0.0, 1.0, 2.0, 3.0);
    int k = 0;
    for (; k + 4 <= count; k += 4, i = _mm256_add_pd(i, four))
        _mm256_storeu_pd(out + k, _mm256_add_pd(start, _mm256_mul_pd(i, step)));
    for (; k < count; ++k) out[k] = t + k * delta;
}

}  // namespace

double NextTimesAvx2(double t, double sigmaT, int count, double* times) {
    return NextTimesWith<FillRunAvx2>(t, sigmaT, count, times);
}

FGT_AVX2 double NextPointsAvx2(const RowPoints& points, double t, int count, int* samples) {
    constexpr int kChunk = 64;
    double times[kChunk];
    for (int first = 0; first < count; first += kChunk) {
        const int n = std::min(kChunk, count - first);
        t = NextTimesAvx2(t, points.sigmaT, n, times);
        TimesToSamples(points, times, n, samples + first);
    }
    return t;
}

namespace {

// Smooths the values of a row of `count` values from value `from` on, as far
// as the first `available` values allow (a mean reads eight of them), in the
// same groups of four as a pass over the whole row. Returns the first value
// that is not final yet: `count` once the whole row is there.
FGT_AVX2 int SmoothSpanAvx2(double* values, int count, int from, int available) {
    // Four means at a time: every value they read lies at or after the first
    // one written, so nothing read is already replaced.
    int k = from;
    const __m256d eighth = _mm256_set1_pd(0.125);
    for (; k + 3 <= count - 9 && k + 3 <= available - 8; k += 4) {
        const double* v = values + k;
        const __m256d s01 = _mm256_add_pd(_mm256_loadu_pd(v), _mm256_loadu_pd(v + 1));
        const __m256d s23 = _mm256_add_pd(_mm256_loadu_pd(v + 2), _mm256_loadu_pd(v + 3));
        const __m256d s45 = _mm256_add_pd(_mm256_loadu_pd(v + 4), _mm256_loadu_pd(v + 5));
        const __m256d s67 = _mm256_add_pd(_mm256_loadu_pd(v + 6), _mm256_loadu_pd(v + 7));
        const __m256d sum = _mm256_add_pd(_mm256_add_pd(s01, s23), _mm256_add_pd(s45, s67));
        _mm256_storeu_pd(values + k, _mm256_mul_pd(sum, eighth));
    }
    if (available < count) return k;
    if (k <= count - 9) SmoothRow(values + k, count - k);
    return count;
}

// 10·log10 of `count` powers, in place.
FGT_AVX2 void DecibelsInPlace(double* power, int count) {
    int k = 0;
    for (; k + 4 <= count; k += 4) _mm256_storeu_pd(power + k, Decibels4(_mm256_loadu_pd(power + k)));
    for (; k < count; ++k) power[k] = 10.0 * std::log10(power[k]);
}

// 10·log10(p) for eight values with AVX-512: the exponent, and the mantissa
// m in [0.75, 1.5), come from one instruction each; 1/(m + 1) from the
// processor's 14-bit reciprocal and two Newton steps (2^-56); ln m =
// 2·atanh(s), s = (m - 1)/(m + 1), |s| ≤ 0.2, summed to the term s^21 as
// in Decibels4. Zero, subnormal, negative, infinite and NaN lanes take the
// scalar log10.
FGT_AVX512 inline __m512d Decibels8(__m512d p) {
    if (_mm512_fpclass_pd_mask(p, 0xFF) != 0) {
        alignas(64) double v[8];
        _mm512_store_pd(v, p);
        for (double& x : v) x = 10.0 * std::log10(x);
        return _mm512_load_pd(v);
    }
    const __m512d one = _mm512_set1_pd(1.0);
    // The masked forms with every lane set: the plain ones start from an
    // undefined register, which the compiler takes for an uninitialised read.
    const __mmask8 all = 0xFF;
    const __m512d m = _mm512_mask_getmant_pd(p, all, p, _MM_MANT_NORM_p75_1p5, _MM_MANT_SIGN_zero);
    __m512d e = _mm512_mask_getexp_pd(p, all, p);
    // A mantissa of 1.5 .. 2 comes back halved: its exponent is one more.
    e = _mm512_mask_add_pd(e, _mm512_cmp_pd_mask(m, one, _CMP_LT_OQ), e, one);
    const __m512d d = _mm512_add_pd(m, one);
    __m512d r = _mm512_mask_rcp14_pd(d, all, d);
    r = _mm512_fmadd_pd(r, _mm512_fnmadd_pd(d, r, one), r);
    r = _mm512_fmadd_pd(r, _mm512_fnmadd_pd(d, r, one), r);
    const __m512d s = _mm512_mul_pd(_mm512_sub_pd(m, one), r);
    __m512d decibels;
    DecibelsOfReduced(s, e, decibels);
    return decibels;
}

// DecibelsInPlace eight at a time.
FGT_AVX512 void DecibelsInPlaceAvx512(double* power, int count) {
    int k = 0;
    for (; k + 8 <= count; k += 8) _mm512_storeu_pd(power + k, Decibels8(_mm512_loadu_pd(power + k)));
    for (; k < count; ++k) power[k] = 10.0 * std::log10(power[k]);
}

// The powers A² + B² of the `n` points of a stretch at `samples`, four
// points at a time, each sharing the loads of the kernel.
FGT_AVX2 void SparsePowers(const FoldedKernel& kernel, const RealSignal& signal, const int* samples, int n,
                           double* power) {
    const __m256d edgeCos = _mm256_set1_pd(kernel.edgeCos);
    const __m256d edgeSin = _mm256_set1_pd(kernel.edgeSin);
    const double* fc = kernel.foldedCos;
    const double* fs = kernel.foldedSin;
    const int folded = kernel.folded;
    const int E = kernel.E;
    for (int k = 0; k < n; k += kPointsPerBlock) {
        const int n0 = samples[k];
        const int n1 = samples[std::min(k + 1, n - 1)];
        const int n2 = samples[std::min(k + 2, n - 1)];
        const int n3 = samples[std::min(k + 3, n - 1)];
        const double* f0 = signal.forward + n0;
        const double* f1 = signal.forward + n1;
        const double* f2 = signal.forward + n2;
        const double* f3 = signal.forward + n3;
        const double* r0 = signal.backward - n0;
        const double* r1 = signal.backward - n1;
        const double* r2 = signal.backward - n2;
        const double* r3 = signal.backward - n3;
        __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(),
                a3 = _mm256_setzero_pd();
        __m256d b0 = _mm256_setzero_pd(), b1 = _mm256_setzero_pd(), b2 = _mm256_setzero_pd(),
                b3 = _mm256_setzero_pd();
        for (int q = 0; q < folded; q += 4) {
            const __m256d c = _mm256_loadu_pd(fc + q);
            const __m256d s = _mm256_loadu_pd(fs + q);
            FoldPair(c, s, f0 + q, r0 + q, a0, b0);
            FoldPair(c, s, f1 + q, r1 + q, a1, b1);
            FoldPair(c, s, f2 + q, r2 + q, a2, b2);
            FoldPair(c, s, f3 + q, r3 + q, a3, b3);
        }
        const __m256d edge = _mm256_setr_pd(f0[-E], f1[-E], f2[-E], f3[-E]);
        const __m256d a = _mm256_fmadd_pd(edgeCos, edge, SumEachOfFour(a0, a1, a2, a3));
        const __m256d b = _mm256_fmadd_pd(edgeSin, edge, SumEachOfFour(b0, b1, b2, b3));
        const __m256d p = _mm256_fmadd_pd(a, a, _mm256_mul_pd(b, b));
        if (k + kPointsPerBlock <= n) {
            _mm256_storeu_pd(power + k, p);
        } else {
            alignas(32) double v[kPointsPerBlock];
            _mm256_store_pd(v, p);
            for (int i = 0; k + i < n; ++i) power[k + i] = v[i];
        }
    }
}

// The powers of the `n` points of a stretch at `samples` (in increasing
// order, at most kDenseSpan samples from first to last), from the powers at
// every sample between them: sixteen neighbouring samples at a time, the
// taps in the lanes' order, so that nothing is added across lanes. Where
// points lie about a sample apart or closer and the kernel is short, this
// costs far less than summing at each point.
FGT_AVX2 void DensePowers(const FoldedKernel& kernel, const double* forward, const int* samples, int n,
                          double* power) {
    alignas(32) double every[kDenseSpan];
    const int base = samples[0];
    const int groups = (samples[n - 1] - base + kDenseGroup) / kDenseGroup;
    const int E = kernel.E;
    const __m256d edgeCos = _mm256_set1_pd(kernel.edgeCos);
    const __m256d edgeSin = _mm256_set1_pd(kernel.edgeSin);
    for (int g = 0; g < groups; ++g) {
        const double* x = forward + base + g * kDenseGroup;
        const __m256d e0 = _mm256_loadu_pd(x - E);
        const __m256d e1 = _mm256_loadu_pd(x + 4 - E);
        const __m256d e2 = _mm256_loadu_pd(x + 8 - E);
        const __m256d e3 = _mm256_loadu_pd(x + 12 - E);
        __m256d a0 = _mm256_mul_pd(edgeCos, e0), a1 = _mm256_mul_pd(edgeCos, e1),
                a2 = _mm256_mul_pd(edgeCos, e2), a3 = _mm256_mul_pd(edgeCos, e3);
        __m256d b0 = _mm256_mul_pd(edgeSin, e0), b1 = _mm256_mul_pd(edgeSin, e1),
                b2 = _mm256_mul_pd(edgeSin, e2), b3 = _mm256_mul_pd(edgeSin, e3);
        for (int m = 0; m < E; ++m) {
            const __m256d c = _mm256_broadcast_sd(kernel.foldedCos + m);
            const __m256d s = _mm256_broadcast_sd(kernel.foldedSin + m);
            FoldPair(c, s, x + m, x - m, a0, b0);
            FoldPair(c, s, x + 4 + m, x + 4 - m, a1, b1);
            FoldPair(c, s, x + 8 + m, x + 8 - m, a2, b2);
            FoldPair(c, s, x + 12 + m, x + 12 - m, a3, b3);
        }
        double* p = every + g * kDenseGroup;
        _mm256_store_pd(p, _mm256_fmadd_pd(a0, a0, _mm256_mul_pd(b0, b0)));
        _mm256_store_pd(p + 4, _mm256_fmadd_pd(a1, a1, _mm256_mul_pd(b1, b1)));
        _mm256_store_pd(p + 8, _mm256_fmadd_pd(a2, a2, _mm256_mul_pd(b2, b2)));
        _mm256_store_pd(p + 12, _mm256_fmadd_pd(a3, a3, _mm256_mul_pd(b3, b3)));
    }
    for (int k = 0; k < n; ++k) power[k] = every[samples[k] - base];
}

// The sums of a row a stretch at a time, turned into dB. With `finish`, the
// values that a stretch makes final are then smoothed and, with an `image`,
// mapped to their pixels.
// With `wide`, the logarithms take AVX-512 vectors (in the sums, wider
// vectors gain nothing: their loads cross more cache lines).
FGT_AVX2 void RowStretchesAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                               double t, int count, double* out, bool finish, const RowImage* image,
                               bool wide) {
    int samples[kStretch];
    int finished = 0;
    const bool dense = points.sigmaT * points.frADC <= kDenseStep;
    double times[kStretch];
    for (int first = 0; first < count; first += kStretch) {
        const int n = std::min(kStretch, count - first);
        t = NextTimesAvx2(t, points.sigmaT, n, times);
        TimesToSamples(points, times, n, samples);
        double* power = out + first;
        if (dense && samples[n - 1] - samples[0] < kDenseSpan)
            DensePowers(kernel, signal.forward, samples, n, power);
        else
            SparsePowers(kernel, signal, samples, n, power);
        // The logarithms of a whole stretch at once: independent of each
        // other, they overlap in the pipeline.
        if (wide)
            DecibelsInPlaceAvx512(power, n);
        else
            DecibelsInPlace(power, n);
        if (finish) {
            const int done = SmoothSpanAvx2(out, count, finished, first + n);
            if (image != nullptr)
                BuildImageAvx2(out + finished, image->pixels + finished, done - finished, image->lower,
                               image->upper);
            finished = done;
        }
    }
}

}  // namespace

FGT_AVX2 void RowValuesAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                            int count, double* out) {
    RowStretchesAvx2(kernel, signal, points, 0.0, count, out, false, nullptr, false);
}

FGT_AVX2 void RowLevelsAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                            int count, double* out, const RowImage* image) {
    RowStretchesAvx2(kernel, signal, points, 0.0, count, out, true, image, false);
}

FGT_AVX512 void RowValuesAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                                int count, double* out) {
    RowStretchesAvx2(kernel, signal, points, 0.0, count, out, false, nullptr, true);
}

FGT_AVX512 void RowLevelsAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                                int count, double* out, const RowImage* image) {
    RowStretchesAvx2(kernel, signal, points, 0.0, count, out, true, image, true);
}

FGT_AVX2 void RowValuesAvx2From(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                                double t, int count, double* out, bool wide) {
    if (wide)
        RowValuesAvx512From(kernel, signal, points, t, count, out);
    else
        RowStretchesAvx2(kernel, signal, points, t, count, out, false, nullptr, false);
}

FGT_AVX512 void RowValuesAvx512From(const FoldedKernel& kernel, const RealSignal& signal,
                                    const RowPoints& points, double t, int count, double* out) {
    RowStretchesAvx2(kernel, signal, points, t, count, out, false, nullptr, true);
}

FGT_AVX2 void DecibelsAvx2(const double* power, double* out, int count) {
    if (out != power) std::copy(power, power + count, out);
    DecibelsInPlace(out, count);
}

FGT_AVX512 void DecibelsAvx512(const double* power, double* out, int count) {
    if (out != power) std::copy(power, power + count, out);
    DecibelsInPlaceAvx512(out, count);
}

FGT_AVX2 void SmoothRowAvx2(double* values, int count) { SmoothSpanAvx2(values, count, 0, count); }

FGT_AVX2 void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper) {
    const __m256d D = _mm256_set1_pd(lower);
    const __m256d U = _mm256_set1_pd(upper);
    const __m256d range = _mm256_set1_pd(upper - lower);
    const __m256d scale = _mm256_set1_pd(255.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d limit = _mm256_set1_pd(256.0);
    const __m128i lowByte = _mm_set1_epi32(0xFF);
    const __m256d ordered = lower < upper ? _mm256_castsi256_pd(_mm256_set1_epi64x(-1)) : _mm256_setzero_pd();
    const __m128i greyToPixel = _mm_set1_epi32(static_cast<int>(kGreyUnit));
    long i = 0;
    for (; i + 4 <= count; i += 4) {
        __m256d v = _mm256_loadu_pd(levels + i);
        // The same tests as the scalar form: a NaN passes both unchanged.
        v = _mm256_blendv_pd(v, D, _mm256_cmp_pd(v, D, _CMP_LT_OQ));
        v = _mm256_blendv_pd(v, U, _mm256_cmp_pd(v, U, _CMP_GT_OQ));
        __m256d q = _mm256_div_pd(_mm256_mul_pd(_mm256_sub_pd(U, v), scale), range);
        // At or below the lower level: white, as LevelToPixel gives it.
        q = _mm256_blendv_pd(q, scale, _mm256_and_pd(_mm256_cmp_pd(v, D, _CMP_LE_OQ), ordered));
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
void RowValuesAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                   double* out) {
    RowValuesPortable(kernel, signal, points, count, out);
}
double NextPointsAvx2(const RowPoints& points, double t, int count, int* samples) {
    return NextPoints(points, t, count, samples);
}
double NextTimesAvx2(double t, double sigmaT, int count, double* times) {
    return NextTimes(t, sigmaT, count, times);
}
void DecibelsAvx2(const double* power, double* out, int count) {
    for (int k = 0; k < count; ++k) out[k] = 10.0 * std::log10(power[k]);
}
void DecibelsAvx512(const double* power, double* out, int count) { DecibelsAvx2(power, out, count); }
void SmoothRowAvx2(double* values, int count) { SmoothRow(values, count); }
void RowLevelsAvx2(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                   double* out, const RowImage* image) {
    RowLevelsPortable(kernel, signal, points, count, out, image);
}
void RowValuesAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                     double* out) {
    RowValuesPortable(kernel, signal, points, count, out);
}
void RowValuesAvx2From(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                       double t, int count, double* out, bool) {
    RowValuesPortableFrom(kernel, signal, points, t, count, out);
}
void RowValuesAvx512From(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points,
                         double t, int count, double* out) {
    RowValuesPortableFrom(kernel, signal, points, t, count, out);
}
void RowLevelsAvx512(const FoldedKernel& kernel, const RealSignal& signal, const RowPoints& points, int count,
                     double* out, const RowImage* image) {
    RowLevelsPortable(kernel, signal, points, count, out, image);
}
void BuildImageAvx2(const double* levels, uint32_t* pixels, long count, double lower, double upper) {
    for (long i = 0; i < count; ++i) pixels[i] = LevelToPixel(levels[i], lower, upper);
}

#endif

}  // namespace fgt
