#include "SonogramKernels.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

// The vector helpers below are always inlined, so the 32-byte vector
// arguments never cross a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

// Four bins per step: one 256-bit register with AVX2, two 128-bit ones
// with SSE2.
constexpr int kLanes = 4;
typedef double vd __attribute__((vector_size(8 * kLanes)));
typedef long long vi __attribute__((vector_size(8 * kLanes)));
typedef unsigned long long vu __attribute__((vector_size(8 * kLanes)));

#define SONOGRAM_INLINE static inline __attribute__((always_inline))

// Natural logarithm, fdlibm's reduction and polynomial: p = 2^e m with m in
// [sqrt(2)/2, sqrt(2)), ln m = f - (f^2/2 - s (f^2/2 + R(s^2))), s = f / (2 + f).
// Valid for positive normal finite p.
SONOGRAM_INLINE vd Log(vd p) {
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
    const vd s = f / (2.0 + f);
    const vd z = s * s;
    const vd w = z * z;
    const vd t1 =
        w * (3.999999999940941908e-01 + w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
    const vd t2 =
        z * (6.666666666666735130e-01 +
             w * (2.857142874366239149e-01 + w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
    const vd r = t2 + t1;
    const vd hfsq = 0.5 * f * f;
    return e * 6.93147180369123816490e-01 - ((hfsq - (s * (hfsq + r) + e * 1.90821492927058770002e-10)) - f);
}

// atan2(y, x) from fdlibm's arctangent polynomial on |t| <= tan(pi/8), with
// the octant restored from |y| > |x| and the signs. Valid for finite x, y;
// the signed zeros come out as in the C library.
SONOGRAM_INLINE vd Atan2(vd y, vd x) {
    const vu absMask = vu{} + 0x7FFFFFFFFFFFFFFFULL;
    const vd ax = (vd)((vu)x & absMask);
    const vd ay = (vd)((vu)y & absMask);
    const vi yAbove = ay > ax;
    const vd mx = yAbove ? ay : ax;
    const vd mn = yAbove ? ax : ay;
    // Above tan(pi/8) the ratio is reduced by atan(a) = pi/4 + atan((a - 1) / (a + 1)),
    // formed from mn and mx directly: one division per lane either way.
    const vi reduced = mn > 0.41421356237309503 * mx;
    const vd num = reduced ? mn - mx : mn;
    const vd den = reduced ? mn + mx : mx;
    const vi nonZero = den > 0.0;
    const vd t = nonZero ? num / (nonZero ? den : 1.0) : 0.0;
    const vd hi = reduced ? 7.85398163397448278999e-01 : 0.0;
    const vd lo = reduced ? 3.06161699786838301793e-17 : 0.0;
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
    vd r = hi - ((t * (s1 + s2) - lo) - t);
    r = yAbove ? 1.57079632679489655800e+00 - (r - 6.12323399573676603587e-17) : r;
    const vi xNegative = (vi)((vu)x >> 63) != 0;
    r = xNegative ? 3.14159265358979311600e+00 - (r - 1.22464679914735317720e-16) : r;
    const vi yNegative = (vi)((vu)y >> 63) != 0;
    return yNegative ? -r : r;
}

SONOGRAM_INLINE bool AnyLane(vi mask) {
    long long any = 0;
    for (int j = 0; j < kLanes; ++j) any |= mask[j];
    return any != 0;
}

double ScalarPhaseStep(const KCOMPLEX_DOUBLE& z1, const KCOMPLEX_DOUBLE& z0) {
    return std::atan2(z1.im * z0.re - z1.re * z0.im, z1.re * z0.re + z1.im * z0.im);
}

SONOGRAM_INLINE void Kernel(const KCOMPLEX_DOUBLE* X, int rows, double refLevel, double* levels,
                            double* phaseSteps) {
    if (rows <= 0) return;
    const double dbPerNeper = 10.0 / std::log(10.0);
    int k = 0;
    for (; k + kLanes <= rows; k += kLanes) {
        vd re, im;
        for (int j = 0; j < kLanes; ++j) {
            re[j] = X[k + j].re;
            im[j] = X[k + j].im;
        }
        const vd p = re * re + im * im;
        if (AnyLane(~((p >= DBL_MIN) & (p <= DBL_MAX)))) {
            for (int j = k; j < k + kLanes; ++j)
                levels[j] = 10.0 * std::log10(X[j].re * X[j].re + X[j].im * X[j].im) - refLevel;
            continue;
        }
        const vd level = Log(p) * dbPerNeper - refLevel;
        for (int j = 0; j < kLanes; ++j) levels[k + j] = level[j];
    }
    for (; k < rows; ++k) levels[k] = 10.0 * std::log10(X[k].re * X[k].re + X[k].im * X[k].im) - refLevel;

    if (rows == 1) {
        phaseSteps[0] = 0.0;
        return;
    }
    phaseSteps[0] = ScalarPhaseStep(X[1], X[0]);
    k = 1;
    for (; k + kLanes <= rows - 1; k += kLanes) {
        vd ar, ai, br, bi;
        for (int j = 0; j < kLanes; ++j) {
            ar[j] = X[k + j + 1].re;
            ai[j] = X[k + j + 1].im;
            br[j] = X[k + j - 1].re;
            bi[j] = X[k + j - 1].im;
        }
        const vd re = ar * br + ai * bi;
        const vd im = ai * br - ar * bi;
        const vd absRe = re < 0.0 ? -re : re;
        const vd absIm = im < 0.0 ? -im : im;
        // Far out of the range of any spectrum (overflowing sums, ratios of
        // subnormals), zeros and non-finite values: the library's path.
        const vi ordinary = (absRe <= 1e300) & (absIm <= 1e300) & ((absRe >= 1e-300) | (absIm >= 1e-300));
        if (AnyLane(~ordinary)) {
            for (int j = k; j < k + kLanes; ++j) phaseSteps[j] = ScalarPhaseStep(X[j + 1], X[j - 1]);
            continue;
        }
        const vd step = Atan2(im, re);
        for (int j = 0; j < kLanes; ++j) phaseSteps[k + j] = step[j];
    }
    for (; k < rows - 1; ++k) phaseSteps[k] = ScalarPhaseStep(X[k + 1], X[k - 1]);
    phaseSteps[rows - 1] = ScalarPhaseStep(X[rows - 1], X[rows - 2]);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void KernelAvx2(const KCOMPLEX_DOUBLE* X, int rows, double refLevel,
                                                double* levels, double* phaseSteps) {
    Kernel(X, rows, refLevel, levels, phaseSteps);
}
#endif

void KernelPortable(const KCOMPLEX_DOUBLE* X, int rows, double refLevel, double* levels, double* phaseSteps) {
    Kernel(X, rows, refLevel, levels, phaseSteps);
}

}  // namespace

bool VectorKernelAvailable() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
#else
    return false;
#endif
}

void FastLevelsAndPhaseStepsWith(bool vector, const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel,
                                 double* levels, double* phaseSteps) {
#if defined(__x86_64__) || defined(__i386__)
    if (vector && VectorKernelAvailable()) {
        KernelAvx2(spectrum, rows, refLevel, levels, phaseSteps);
        return;
    }
#else
    (void)vector;
#endif
    KernelPortable(spectrum, rows, refLevel, levels, phaseSteps);
}

void FastLevelsAndPhaseSteps(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel, double* levels,
                             double* phaseSteps) {
    FastLevelsAndPhaseStepsWith(true, spectrum, rows, refLevel, levels, phaseSteps);
}

}  // namespace sonogram
