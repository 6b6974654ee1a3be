#include "SonogramKernels.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

// The vector helpers below are always inlined, so the 32-byte vector
// arguments never cross a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

typedef double v4d __attribute__((vector_size(32)));
typedef long long v4i __attribute__((vector_size(32)));
typedef unsigned long long v4u __attribute__((vector_size(32)));

#define SONOGRAM_INLINE static inline __attribute__((always_inline))

// Natural logarithm, fdlibm's reduction and polynomial: p = 2^e m with m in
// [sqrt(2)/2, sqrt(2)), ln m = f - (f^2/2 - s (f^2/2 + R(s^2))), s = f / (2 + f).
// Valid for positive normal finite p.
SONOGRAM_INLINE v4d Log(v4d p) {
    const v4u bits = (v4u)p;
    const v4u mantissaBits = (bits & 0x000FFFFFFFFFFFFFULL) | 0x3FF0000000000000ULL;
    v4d m = (v4d)mantissaBits;
    // The biased exponent as a double through the 2^52 trick (no 64-bit
    // integer conversion needed).
    v4d e = (v4d)((bits >> 52) | 0x4330000000000000ULL) - 4503599627370496.0 - 1023.0;
    const v4i high = m > 1.4142135623730951;
    m = high ? m * 0.5 : m;
    e = high ? e + 1.0 : e;
    const v4d f = m - 1.0;
    const v4d s = f / (2.0 + f);
    const v4d z = s * s;
    const v4d w = z * z;
    const v4d t1 =
        w * (3.999999999940941908e-01 + w * (2.222219843214978396e-01 + w * 1.531383769920937332e-01));
    const v4d t2 =
        z * (6.666666666666735130e-01 +
             w * (2.857142874366239149e-01 + w * (1.818357216161805012e-01 + w * 1.479819860511658591e-01)));
    const v4d r = t2 + t1;
    const v4d hfsq = 0.5 * f * f;
    return e * 6.93147180369123816490e-01 - ((hfsq - (s * (hfsq + r) + e * 1.90821492927058770002e-10)) - f);
}

// atan2(y, x) from fdlibm's arctangent polynomial on |t| <= tan(pi/8), with
// the octant restored from |y| > |x| and the signs. Valid for finite x, y;
// the signed zeros come out as in the C library.
SONOGRAM_INLINE v4d Atan2(v4d y, v4d x) {
    const v4u absMask = {0x7FFFFFFFFFFFFFFFULL, 0x7FFFFFFFFFFFFFFFULL, 0x7FFFFFFFFFFFFFFFULL,
                         0x7FFFFFFFFFFFFFFFULL};
    const v4d ax = (v4d)((v4u)x & absMask);
    const v4d ay = (v4d)((v4u)y & absMask);
    const v4i yAbove = ay > ax;
    const v4d mx = yAbove ? ay : ax;
    const v4d mn = yAbove ? ax : ay;
    const v4i nonZero = mx > 0.0;
    const v4d safe = nonZero ? mx : 1.0;
    const v4d a = nonZero ? mn / safe : 0.0;
    const v4i reduced = a > 0.41421356237309503;
    const v4d t = reduced ? (a - 1.0) / (a + 1.0) : a;
    const v4d hi = reduced ? 7.85398163397448278999e-01 : 0.0;
    const v4d lo = reduced ? 3.06161699786838301793e-17 : 0.0;
    const v4d z = t * t;
    const v4d w = z * z;
    const v4d s1 = z * (3.33333333333329318027e-01 +
                        w * (1.42857142725034663711e-01 +
                             w * (9.09088713343650656196e-02 +
                                  w * (6.66107313738753120669e-02 +
                                       w * (4.97687799461593236017e-02 + w * 1.62858201153657823623e-02)))));
    const v4d s2 = w * (-1.99999999998764832476e-01 +
                        w * (-1.11111104054623557880e-01 +
                             w * (-7.69187620504482999495e-02 +
                                  w * (-5.83357013379057348645e-02 + w * -3.65315727442169155270e-02))));
    v4d r = hi - ((t * (s1 + s2) - lo) - t);
    r = yAbove ? 1.57079632679489655800e+00 - (r - 6.12323399573676603587e-17) : r;
    const v4i xNegative = (v4i)((v4u)x >> 63) != 0;
    r = xNegative ? 3.14159265358979311600e+00 - (r - 1.22464679914735317720e-16) : r;
    const v4i yNegative = (v4i)((v4u)y >> 63) != 0;
    return yNegative ? -r : r;
}

SONOGRAM_INLINE bool AnyLane(v4i mask) { return (mask[0] | mask[1] | mask[2] | mask[3]) != 0; }

double ScalarPhaseStep(const KCOMPLEX_DOUBLE& z1, const KCOMPLEX_DOUBLE& z0) {
    return std::atan2(z1.im * z0.re - z1.re * z0.im, z1.re * z0.re + z1.im * z0.im);
}

SONOGRAM_INLINE void Kernel(const KCOMPLEX_DOUBLE* X, int rows, double refLevel, double* levels,
                            double* phaseSteps) {
    if (rows <= 0) return;
    const double dbPerNeper = 10.0 / std::log(10.0);
    int k = 0;
    for (; k + 4 <= rows; k += 4) {
        const v4d re = {X[k].re, X[k + 1].re, X[k + 2].re, X[k + 3].re};
        const v4d im = {X[k].im, X[k + 1].im, X[k + 2].im, X[k + 3].im};
        const v4d p = re * re + im * im;
        if (AnyLane(~((p >= DBL_MIN) & (p <= DBL_MAX)))) {
            for (int j = k; j < k + 4; ++j)
                levels[j] = 10.0 * std::log10(X[j].re * X[j].re + X[j].im * X[j].im) - refLevel;
            continue;
        }
        const v4d level = Log(p) * dbPerNeper - refLevel;
        for (int j = 0; j < 4; ++j) levels[k + j] = level[j];
    }
    for (; k < rows; ++k) levels[k] = 10.0 * std::log10(X[k].re * X[k].re + X[k].im * X[k].im) - refLevel;

    if (rows == 1) {
        phaseSteps[0] = 0.0;
        return;
    }
    phaseSteps[0] = ScalarPhaseStep(X[1], X[0]);
    k = 1;
    for (; k + 4 <= rows - 1; k += 4) {
        const v4d ar = {X[k + 1].re, X[k + 2].re, X[k + 3].re, X[k + 4].re};
        const v4d ai = {X[k + 1].im, X[k + 2].im, X[k + 3].im, X[k + 4].im};
        const v4d br = {X[k - 1].re, X[k].re, X[k + 1].re, X[k + 2].re};
        const v4d bi = {X[k - 1].im, X[k].im, X[k + 1].im, X[k + 2].im};
        const v4d re = ar * br + ai * bi;
        const v4d im = ai * br - ar * bi;
        const v4d absRe = re < 0.0 ? -re : re;
        const v4d absIm = im < 0.0 ? -im : im;
        if (AnyLane(~((absRe <= DBL_MAX) & (absIm <= DBL_MAX)))) {
            for (int j = k; j < k + 4; ++j) phaseSteps[j] = ScalarPhaseStep(X[j + 1], X[j - 1]);
            continue;
        }
        const v4d step = Atan2(im, re);
        for (int j = 0; j < 4; ++j) phaseSteps[k + j] = step[j];
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
