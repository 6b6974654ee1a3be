// The portable radix-4 kernel, the digit reversal and the packed twiddles.
#include "KFFTKernels.h"

#include <utility>

namespace kfft {

int PassCount(int n) {
    switch (n) {
        case 16:
            return 2;
        case 64:
            return 3;
        case 256:
            return 4;
        case 1024:
            return 5;
        case 4096:
            return 6;
        case 16384:
            return 7;
        case 65536:
            return 8;
        default:
            return 0;
    }
}

namespace {

// The four outputs of one radix-4 butterfly on x0..x3 (decimation in
// frequency, before any twiddle).
struct Butterfly {
    double y0r, y0i, y1r, y1i, y2r, y2i, y3r, y3i;
};

inline Butterfly Radix4(const KCOMPLEX_DOUBLE& x0, const KCOMPLEX_DOUBLE& x1, const KCOMPLEX_DOUBLE& x2,
                        const KCOMPLEX_DOUBLE& x3) {
    const double s02r = x0.re + x2.re, s02i = x0.im + x2.im;
    const double d02r = x0.re - x2.re, d02i = x0.im - x2.im;
    const double s13r = x1.re + x3.re, s13i = x1.im + x3.im;
    const double d13r = x1.re - x3.re, d13i = x1.im - x3.im;
    // y1 = d02 - i·d13, y3 = d02 + i·d13
    return Butterfly{s02r + s13r, s02i + s13i, d02r + d13i, d02i - d13r,
                     s02r - s13r, s02i - s13i, d02r - d13i, d02i + d13r};
}

inline void Store(KCOMPLEX_DOUBLE& out, double re, double im) {
    out.re = re;
    out.im = im;
}

inline void StoreTimes(KCOMPLEX_DOUBLE& out, double yr, double yi, double wr, double wi) {
    out.re = yr * wr - yi * wi;
    out.im = yr * wi + yi * wr;
}

}  // namespace

void TransformPortable(KCOMPLEX_DOUBLE* data, int n, int passes, const double* table, double c21,
                       double mc21) {
    int span = n;
    for (int pass = 1; pass <= passes; ++pass) {
        const int t = span / 4;
        const int step = kLongest / span;

        for (int g = 0; g < n; g += span) {
            const Butterfly b = Radix4(data[g], data[g + t], data[g + 2 * t], data[g + 3 * t]);
            Store(data[g], b.y0r, b.y0i);
            Store(data[g + t], b.y1r, b.y1i);
            Store(data[g + 2 * t], b.y2r, b.y2i);
            Store(data[g + 3 * t], b.y3r, b.y3i);
        }

        if (pass != passes) {
            for (int j = 1; j < t; ++j) {
                if (j == span / 8) {
                    // The angle π/4: W1 = C21 - i·C21, W2 = -i, W3 = MC21 + i·MC21.
                    for (int g = j; g < n; g += span) {
                        const Butterfly b = Radix4(data[g], data[g + t], data[g + 2 * t], data[g + 3 * t]);
                        Store(data[g], b.y0r, b.y0i);
                        Store(data[g + t], c21 * (b.y1r + b.y1i), c21 * (b.y1i - b.y1r));
                        Store(data[g + 2 * t], b.y2i, -b.y2r);
                        Store(data[g + 3 * t], mc21 * (b.y3r - b.y3i), mc21 * (b.y3r + b.y3i));
                    }
                    continue;
                }
                const int w = j * step;
                double w1r, w1i, w2r, w2i, w3r, w3i;
                Twiddle(table, w, w1r, w1i);
                Twiddle(table, 2 * w, w2r, w2i);
                Twiddle(table, 3 * w, w3r, w3i);
                for (int g = j; g < n; g += span) {
                    const Butterfly b = Radix4(data[g], data[g + t], data[g + 2 * t], data[g + 3 * t]);
                    Store(data[g], b.y0r, b.y0i);
                    StoreTimes(data[g + t], b.y1r, b.y1i, w1r, w1i);
                    StoreTimes(data[g + 2 * t], b.y2r, b.y2i, w2r, w2i);
                    StoreTimes(data[g + 3 * t], b.y3r, b.y3i, w3r, w3i);
                }
            }
        }
        span = t;
    }
    DigitReverse(data, n);
}

void DigitReverse(KCOMPLEX_DOUBLE* data, int n) {
    // r runs through the base-4 digit reversals of 0, 1, 2, ...: adding one
    // at the top digit with the carry moving downwards.
    int r = 0;
    for (int i = 0; i < n - 1; ++i) {
        if (i < r) std::swap(data[i], data[r]);
        int f = n / 4;
        while (3 * f <= r) {
            r -= 3 * f;
            f /= 4;
        }
        r += f;
    }
}

std::size_t PackedTwiddleOffset(int span) {
    std::size_t offset = 0;
    for (int e = kLongest; e > span; e /= 4) offset += 3 * static_cast<std::size_t>(e / 4);
    return offset;
}

void FillPackedTwiddles(KCOMPLEX_DOUBLE* packed, const double* table) {
    for (int span = kLongest; span >= 16; span /= 4) {
        KCOMPLEX_DOUBLE* out = packed + PackedTwiddleOffset(span);
        const int t = span / 4;
        const int step = kLongest / span;
        for (int j = 0; j < t; j += 2) {
            for (int k = 0; k < 2; ++k) {
                const int w = (j + k) * step;
                if (j + k == 0) {
                    out[k] = KCOMPLEX_DOUBLE{1.0, 0.0};
                    out[2 + k] = KCOMPLEX_DOUBLE{1.0, 0.0};
                    out[4 + k] = KCOMPLEX_DOUBLE{1.0, 0.0};
                    continue;
                }
                Twiddle(table, w, out[k].re, out[k].im);
                Twiddle(table, 2 * w, out[2 + k].re, out[2 + k].im);
                Twiddle(table, 3 * w, out[4 + k].re, out[4 + k].im);
            }
            out += 6;
        }
    }
}

}  // namespace kfft
