#include "SonogramKernels.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "CpuFeatures.h"

// The vector helpers below are always inlined, so the 32-byte vector
// arguments never cross a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

// Four bins per vector: one 256-bit register with AVX2, two 128-bit ones
// with SSE2. Bins that take the C library's path do so a whole block of
// four at a time: the blocks start at bin 0 for the levels and at bin 1 for
// the phase steps.
constexpr int kBlock = 4;
typedef double vd __attribute__((vector_size(8 * kBlock)));
typedef long long vi __attribute__((vector_size(8 * kBlock)));
typedef unsigned long long vu __attribute__((vector_size(8 * kBlock)));

// A column is done in chunks of this many bins. The arithmetic of a block
// is one long chain of dependent operations, and the processor overlaps
// only as many blocks as its window holds operations. So each chunk goes
// through three passes: the first reads the interleaved spectrum, forms the
// products, checks for special values and carries the logarithm and the
// arctangent up to their divisions; the second evaluates the polynomials
// and the third sums up, both over the chunk's plain arrays. Each pass is a
// short chain, and many more blocks are in flight at once. Every lane sees the same operations as in
// one pass, so the results are the same.
constexpr int kChunk = 64;

#define SONOGRAM_INLINE static inline __attribute__((always_inline))

SONOGRAM_INLINE vd Load(const double* p) {
    vd v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

SONOGRAM_INLINE void Store(double* p, vd v) { __builtin_memcpy(p, &v, sizeof v); }

// Natural logarithm, fdlibm's reduction and polynomial: p = 2^e m with m in
// [sqrt(2)/2, sqrt(2)), ln m = f - (f^2/2 - s (f^2/2 + R(s^2))), s = f / (2 + f).
// Valid for positive normal finite p. In three parts, each a chain of its
// own: the reduction to e, f and s, the polynomial R and the sum.
struct LogReduced {
    vd e, f, s;
};

SONOGRAM_INLINE LogReduced LogReduce(vd p) {
    const vu bits = (vu)p;
    const vu mantissaBits = (bits & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL;
    vd m = (vd)mantissaBits;
    // The biased exponent as a double through the 2^52 trick (no 64-bit
    // integer conversion needed).
    vd e = (vd)((bits >> 52) | 0x4330000000000000ULL) - 4503599627370496.0 - 1023.0;
    const vi high = m > 1.4142135623730951;
    m = high ? m * 0.5 : m;
    e = high ? e + 1.0 : e;
    const vd f = m - 1.0;
    return LogReduced{e, f, f / (2.0 + f)};
}

// R(s^2).
SONOGRAM_INLINE vd LogPolynomial(vd s) {
    const vd z = s * s;
    const vd w = z * z;
    const vd t1 =
        w * (3.999999999940941908e-01 + w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
    const vd t2 =
        z * (6.666666666666735130e-01 +
             w * (2.857142874366239149e-01 + w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
    return t2 + t1;
}

SONOGRAM_INLINE vd LogFinish(vd e, vd f, vd s, vd r) {
    const vd hfsq = 0.5 * f * f;
    return e * 6.93147180369123816490e-01 - ((hfsq - (s * (hfsq + r) + e * 1.90821492927058770002e-10)) - f);
}

// atan2(y, x) from fdlibm's arctangent polynomial on |t| <= tan(pi/8), with
// the octant restored from |y| > |x| and the signs. Valid for finite x, y
// that are not both zero (the callers leave those to the C library). In
// three parts, each a chain of its own: the reduction to the ratio t, the
// polynomial, and the sum with the octant restored.
struct Atan2Reduced {
    vd t;
    vd hi, lo;  // pi/4 in two parts where t = (a - 1) / (a + 1) of the ratio a, else 0
};

// |y| > |x|: the result is reflected about pi/4.
SONOGRAM_INLINE vi YAbove(vd y, vd x) {
    const vu magnitudeBits = vu{} + 0x7FFFFFFFFFFFFFFFULL;
    return (vd)((vu)y & magnitudeBits) > (vd)((vu)x & magnitudeBits);
}

SONOGRAM_INLINE Atan2Reduced Atan2Reduce(vd y, vd x) {
    const vu magnitudeBits = vu{} + 0x7FFFFFFFFFFFFFFFULL;
    const vd ax = (vd)((vu)x & magnitudeBits);
    const vd ay = (vd)((vu)y & magnitudeBits);
    const vi yAbove = YAbove(y, x);
    const vd mx = yAbove ? ay : ax;
    const vd mn = yAbove ? ax : ay;
    // Above tan(pi/8) the ratio is reduced by atan(a) = pi/4 + atan((a - 1) / (a + 1)),
    // formed from mn and mx directly: one division per lane either way.
    const vi reduced = mn > 0.41421356237309503 * mx;
    const vd num = reduced ? mn - mx : mn;
    const vd den = reduced ? mn + mx : mx;
    return Atan2Reduced{num / den, reduced ? 7.85398163397448278999e-01 : 0.0,
                        reduced ? 3.06161699786838301793e-17 : 0.0};
}

// The odd and even parts of the polynomial, s1 + s2.
SONOGRAM_INLINE vd Atan2Polynomial(vd t) {
    const vd z = t * t;
    const vd w = z * z;
    const vd s1 = z * (3.33333333333329318027e-01 +
                       w * (1.42857142725034663711e-01 +
                            w * (9.09088713343650656196e-02 +
                                 w * (6.66107313738753120669e-02 +
                                      w * (4.97687799461593236017e-02 + w * 1.62858201153657823623e-02)))));
    const vd s2 = w * (-1.99999999998764832476e-01 +
                       w * (-1.11111104054623557880e-01 +
                            w * (-7.69187620504482999495e-02 +
                                 w * (-5.83357013379057348645e-02 + w * -3.65315727442169155270e-02))));
    return s1 + s2;
}

SONOGRAM_INLINE vd Atan2Finish(vd y, vd x, vd t, vd polynomial, vd hi, vd lo) {
    vd r = hi - ((t * polynomial - lo) - t);
    r = YAbove(y, x) ? 1.57079632679489655800e+00 - (r - 6.12323399573676603587e-17) : r;
    r = (vi)x < 0 ? 3.14159265358979311600e+00 - (r - 1.22464679914735317720e-16) : r;
    // The sign of y, the signed zeros included.
    return (vd)((vu)r ^ ((vu)y & 0x8000000000000000ULL));
}

// The real and imaginary parts of the four points at X. With 256-bit
// registers (`wide`) the lanes come in the order 0, 2, 1, 3 that unpacking
// two pairs of points gives without crossing the halves of a register; with
// 128-bit ones the natural order, point by point.
template <bool wide>
SONOGRAM_INLINE void LoadBlock(const KCOMPLEX_DOUBLE* X, vd& re, vd& im) {
    if constexpr (wide) {
        const vd q0 = Load(&X[0].re);
        const vd q1 = Load(&X[2].re);
        re = __builtin_shufflevector(q0, q1, 0, 4, 2, 6);
        im = __builtin_shufflevector(q0, q1, 1, 5, 3, 7);
    } else {
        re = vd{X[0].re, X[1].re, X[2].re, X[3].re};
        im = vd{X[0].im, X[1].im, X[2].im, X[3].im};
    }
}

// Lanes in the order of LoadBlock back in natural order.
template <bool wide>
SONOGRAM_INLINE vd Natural(vd v) {
    if constexpr (wide)
        return __builtin_shufflevector(v, v, 0, 2, 1, 3);
    else
        return v;
}

SONOGRAM_INLINE bool AnyLane(vi mask) { return (mask[0] | mask[1] | mask[2] | mask[3]) != 0; }

double ScalarLevel(const KCOMPLEX_DOUBLE& z, double refLevel) {
    return 10.0 * std::log10(z.re * z.re + z.im * z.im) - refLevel;
}

double ScalarPhaseStep(const KCOMPLEX_DOUBLE& z1, const KCOMPLEX_DOUBLE& z0) {
    return std::atan2(z1.im * z0.re - z1.re * z0.im, z1.re * z0.re + z1.im * z0.im);
}

// Zero, subnormal and non-finite powers: their levels take the library's
// path.
SONOGRAM_INLINE vi SpecialPower(vd p) { return ~((p >= DBL_MIN) & (p <= DBL_MAX)); }

// Far out of the range of any spectrum (overflowing sums, ratios of
// subnormals), zeros and non-finite values: these products take the
// library's path.
SONOGRAM_INLINE vi ExtraordinaryProduct(vd re, vd im) {
    const vu magnitudeBits = vu{} + 0x7FFFFFFFFFFFFFFFULL;
    const vd absRe = (vd)((vu)re & magnitudeBits);
    const vd absIm = (vd)((vu)im & magnitudeBits);
    return ~((absRe <= 1e300) & (absIm <= 1e300) & ((absRe >= 1e-300) | (absIm >= 1e-300)));
}

// The levels of `count` bins from bin k (count a multiple of four, at most
// kChunk).
template <bool wide>
SONOGRAM_INLINE void LevelsOfChunk(const KCOMPLEX_DOUBLE* X, int k, int count, double refLevel,
                                   double* levels) {
    const double dbPerNeper = 10.0 / std::log(10.0);
    alignas(32) double power[kChunk], e[kChunk], f[kChunk], s[kChunk], r[kChunk];
    vi special = vi{};
    for (int b = 0; b < count; b += kBlock) {
        vd re, im;
        LoadBlock<wide>(X + k + b, re, im);
        const vd p = Natural<wide>(re * re + im * im);
        special |= SpecialPower(p);
        const LogReduced reduced = LogReduce(p);
        Store(power + b, p);
        Store(e + b, reduced.e);
        Store(f + b, reduced.f);
        Store(s + b, reduced.s);
    }
    for (int b = 0; b < count; b += kBlock) Store(r + b, LogPolynomial(Load(s + b)));
    for (int b = 0; b < count; b += kBlock)
        Store(levels + k + b,
              LogFinish(Load(e + b), Load(f + b), Load(s + b), Load(r + b)) * dbPerNeper - refLevel);
    if (!AnyLane(special)) return;
    // A block with a special power goes the library's way as a whole.
    for (int b = 0; b < count; b += kBlock) {
        if (!AnyLane(SpecialPower(Load(power + b)))) continue;
        for (int j = k + b; j < k + b + kBlock; ++j) levels[j] = ScalarLevel(X[j], refLevel);
    }
}

// The phase steps of `count` bins from bin k, all of them with both
// neighbours (count a multiple of four, at most kChunk).
template <bool wide>
SONOGRAM_INLINE void PhaseStepsOfChunk(const KCOMPLEX_DOUBLE* X, int k, int count, double* phaseSteps) {
    alignas(32) double productRe[kChunk], productIm[kChunk], t[kChunk], polynomial[kChunk], hi[kChunk],
        lo[kChunk];
    vi special = vi{};
    for (int b = 0; b < count; b += kBlock) {
        vd ar, ai, br, bi;
        LoadBlock<wide>(X + k + b + 1, ar, ai);
        LoadBlock<wide>(X + k + b - 1, br, bi);
        const vd re = Natural<wide>(ar * br + ai * bi);
        const vd im = Natural<wide>(ai * br - ar * bi);
        special |= ExtraordinaryProduct(re, im);
        const Atan2Reduced r = Atan2Reduce(im, re);
        Store(productRe + b, re);
        Store(productIm + b, im);
        Store(t + b, r.t);
        Store(hi + b, r.hi);
        Store(lo + b, r.lo);
    }
    for (int b = 0; b < count; b += kBlock) Store(polynomial + b, Atan2Polynomial(Load(t + b)));
    for (int b = 0; b < count; b += kBlock)
        Store(phaseSteps + k + b, Atan2Finish(Load(productIm + b), Load(productRe + b), Load(t + b),
                                              Load(polynomial + b), Load(hi + b), Load(lo + b)));
    if (!AnyLane(special)) return;
    // A block with an extraordinary product goes the library's way as a whole.
    for (int b = 0; b < count; b += kBlock) {
        if (!AnyLane(ExtraordinaryProduct(Load(productRe + b), Load(productIm + b)))) continue;
        for (int j = k + b; j < k + b + kBlock; ++j) phaseSteps[j] = ScalarPhaseStep(X[j + 1], X[j - 1]);
    }
}

template <bool wide>
SONOGRAM_INLINE void Kernel(const KCOMPLEX_DOUBLE* X, int rows, double refLevel, double* levels,
                            double* phaseSteps) {
    if (rows <= 0) return;
    const int levelBlocksEnd = rows / kBlock * kBlock;
    for (int k = 0; k < levelBlocksEnd; k += kChunk)
        LevelsOfChunk<wide>(X, k, std::min(kChunk, levelBlocksEnd - k), refLevel, levels);
    for (int k = levelBlocksEnd; k < rows; ++k) levels[k] = ScalarLevel(X[k], refLevel);

    if (rows == 1) {
        phaseSteps[0] = 0.0;
        return;
    }
    phaseSteps[0] = ScalarPhaseStep(X[1], X[0]);
    // Bins 1 .. rows - 2 have both neighbours.
    const int phaseBlocksEnd = 1 + (rows - 2) / kBlock * kBlock;
    for (int k = 1; k < phaseBlocksEnd; k += kChunk)
        PhaseStepsOfChunk<wide>(X, k, std::min(kChunk, phaseBlocksEnd - k), phaseSteps);
    for (int k = phaseBlocksEnd; k < rows - 1; ++k) phaseSteps[k] = ScalarPhaseStep(X[k + 1], X[k - 1]);
    phaseSteps[rows - 1] = ScalarPhaseStep(X[rows - 1], X[rows - 2]);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void KernelAvx2(const KCOMPLEX_DOUBLE* X, int rows, double refLevel,
                                                double* levels, double* phaseSteps) {
    Kernel<true>(X, rows, refLevel, levels, phaseSteps);
}
#endif

void KernelPortable(const KCOMPLEX_DOUBLE* X, int rows, double refLevel, double* levels, double* phaseSteps) {
    Kernel<false>(X, rows, refLevel, levels, phaseSteps);
}

}  // namespace

void FastLevelsAndPhaseSteps(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel, double* levels,
                             double* phaseSteps) {
#if defined(__x86_64__) || defined(__i386__)
    if (cpu::UsableLevel() >= cpu::Level::Avx2) {
        KernelAvx2(spectrum, rows, refLevel, levels, phaseSteps);
        return;
    }
#endif
    KernelPortable(spectrum, rows, refLevel, levels, phaseSteps);
}

}  // namespace sonogram
