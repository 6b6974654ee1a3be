// Reference filters for the tests, written out plainly from their formulas:
// every tap summed directly in rising order, nothing shared with the library.
#pragma once

#include <cmath>
#include <numbers>
#include <vector>

#include "GuardedSignal.h"

namespace direct {

// The half-band kernel h[k], k = -1024 .. 1024, at index k + 1024.
inline std::vector<double> HalfBandCoefficients() {
    std::vector<double> h(2049, 0.0);
    for (int k = -1024; k <= 1024; ++k) {
        double v = 0.0;
        if (k == 0) {
            v = 0.5;
        } else if (k % 2 != 0) {
            const double x = std::numbers::pi * k / 2.0;
            const double g = std::numbers::pi * k / 1024.0;
            v = 0.5 * std::sin(x) / x * std::exp(-2.0 * g * g);
        }
        h[static_cast<size_t>(k + 1024)] = v;
    }
    return h;
}

// One decimated layer from `src`: an output for every even source index, the
// last one landing on the first guard sample when the source length is odd.
inline GuardedSignal HalfBandLayer(const GuardedSignal& src, long guard) {
    static const std::vector<double> h = HalfBandCoefficients();
    const long n = src.size();
    GuardedSignal dst(n >> 1, guard);
    for (long e = 0; e < n; e += 2) {
        double sum = 0.0;
        for (long i = 0; i <= 2048; ++i) sum += h[static_cast<size_t>(i)] * src[e - 1024 + i].re;
        dst[e / 2].re = sum;
    }
    return dst;
}

// The windowed Hilbert kernel c[k], k = -M .. M (M = length/2), at index k + M.
inline std::vector<double> HilbertCoefficients(int length) {
    const int half = length / 2;
    std::vector<double> c(static_cast<size_t>(length), 0.0);
    for (int k = -half; k <= half; ++k) {
        if (k % 2 == 0) continue;
        const double pk = std::numbers::pi * k;
        c[static_cast<size_t>(k + half)] = -(2.0 / pk) * std::exp(-2.0 * (pk / 1024.0) * (pk / 1024.0));
    }
    return c;
}

// The imaginary parts the Hilbert filter of `length` taps gives samples
// 0 .. n-1 of `x`.
inline std::vector<double> HilbertImaginary(const GuardedSignal& x, int length) {
    const std::vector<double> c = HilbertCoefficients(length);
    const long half = length / 2;
    std::vector<double> out(static_cast<size_t>(x.size()));
    for (long n = 0; n < x.size(); ++n) {
        double sum = 0.0;
        for (long k = -half; k <= half; ++k) sum += c[static_cast<size_t>(k + half)] * x[n + k].re;
        out[static_cast<size_t>(n)] = sum;
    }
    return out;
}

}  // namespace direct
