// The AVX2/FMA radix-4 kernel. Same butterflies and twiddles as the portable
// loop; two neighbouring quarter-span offsets j, j+1 share one 256-bit
// register, every twiddle pair stays in registers while all groups that use
// it are transformed, and blocks of up to kBlock points run all their
// remaining passes while they sit in the first-level cache. The last pass
// then sweeps the whole block once, doing the digit reversal as it stores.
#include "KFFTKernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define KFFT_TARGET __attribute__((target("avx2,fma")))
#define KFFT_INLINE inline __attribute__((always_inline, target("avx2,fma")))

namespace kfft {

namespace {

// 1024 points (16 KiB) stay in the first-level cache with their twiddles.
constexpr int kBlock = 1024;

enum class Pair { First, Quarter, Plain };

// Twiddles of one pair (j, j+1), each split into duplicated real and
// imaginary parts for the multiplication.
struct Twiddles {
    __m256d r1, i1, r2, i2, r3, i3;
};

KFFT_INLINE __m256d SwapParts(__m256d v) { return _mm256_permute_pd(v, 0x5); }

KFFT_INLINE __m256d NegOdd() { return _mm256_set_pd(-0.0, 0.0, -0.0, 0.0); }

KFFT_INLINE __m256d NegEven() { return _mm256_set_pd(0.0, -0.0, 0.0, -0.0); }

KFFT_INLINE Twiddles LoadTwiddles(const KCOMPLEX_DOUBLE* tw) {
    const double* w = &tw->re;
    const __m256d w1 = _mm256_loadu_pd(w);
    const __m256d w2 = _mm256_loadu_pd(w + 4);
    const __m256d w3 = _mm256_loadu_pd(w + 8);
    return Twiddles{_mm256_movedup_pd(w1),      _mm256_permute_pd(w1, 0xF), _mm256_movedup_pd(w2),
                    _mm256_permute_pd(w2, 0xF), _mm256_movedup_pd(w3),      _mm256_permute_pd(w3, 0xF)};
}

// y·w for two complex values at once.
KFFT_INLINE __m256d Times(__m256d y, __m256d wr, __m256d wi) {
    return _mm256_fmaddsub_pd(y, wr, _mm256_mul_pd(SwapParts(y), wi));
}

template <Pair kind>
KFFT_INLINE void Butterflies(double* p, int t, const Twiddles& w, __m256d c21, __m256d mc21) {
    const __m256d x0 = _mm256_loadu_pd(p);
    const __m256d x1 = _mm256_loadu_pd(p + 2 * t);
    const __m256d x2 = _mm256_loadu_pd(p + 4 * t);
    const __m256d x3 = _mm256_loadu_pd(p + 6 * t);
    const __m256d s02 = _mm256_add_pd(x0, x2);
    const __m256d d02 = _mm256_sub_pd(x0, x2);
    const __m256d s13 = _mm256_add_pd(x1, x3);
    const __m256d d13 = _mm256_sub_pd(x1, x3);
    // -i·d13
    const __m256d rot = _mm256_xor_pd(SwapParts(d13), NegOdd());
    const __m256d y0 = _mm256_add_pd(s02, s13);
    const __m256d y1 = _mm256_add_pd(d02, rot);
    const __m256d y2 = _mm256_sub_pd(s02, s13);
    const __m256d y3 = _mm256_sub_pd(d02, rot);
    __m256d z1 = Times(y1, w.r1, w.i1);
    __m256d z2 = Times(y2, w.r2, w.i2);
    __m256d z3 = Times(y3, w.r3, w.i3);
    if constexpr (kind == Pair::First) {
        // j = 0 takes no twiddle at all.
        z1 = _mm256_blend_pd(y1, z1, 0xC);
        z2 = _mm256_blend_pd(y2, z2, 0xC);
        z3 = _mm256_blend_pd(y3, z3, 0xC);
    } else if constexpr (kind == Pair::Quarter) {
        // j = span/8 is the angle π/4: products by C21 - i·C21, -i and
        // MC21 + i·MC21 formed as scaled sums and differences.
        const __m256d q1 = _mm256_mul_pd(c21, _mm256_sub_pd(y1, _mm256_xor_pd(SwapParts(y1), NegEven())));
        const __m256d q2 = _mm256_xor_pd(SwapParts(y2), NegOdd());
        const __m256d q3 = _mm256_mul_pd(mc21, _mm256_addsub_pd(y3, SwapParts(y3)));
        z1 = _mm256_blend_pd(q1, z1, 0xC);
        z2 = _mm256_blend_pd(q2, z2, 0xC);
        z3 = _mm256_blend_pd(q3, z3, 0xC);
    }
    _mm256_storeu_pd(p, y0);
    _mm256_storeu_pd(p + 2 * t, z1);
    _mm256_storeu_pd(p + 4 * t, z2);
    _mm256_storeu_pd(p + 6 * t, z3);
}

template <Pair kind>
KFFT_TARGET void Groups(KCOMPLEX_DOUBLE* block, int len, int span, int j, const Twiddles& w, __m256d c21,
                        __m256d mc21) {
    const int t = span / 4;
    for (int g = j; g < len; g += span) Butterflies<kind>(&block[g].re, t, w, c21, mc21);
}

// One pass of span `span` (>= 16) over the len points of block.
KFFT_TARGET void Pass(KCOMPLEX_DOUBLE* block, int len, int span, const KCOMPLEX_DOUBLE* tw, double c21,
                      double mc21) {
    const int t = span / 4;
    const __m256d vc21 = _mm256_set1_pd(c21);
    const __m256d vmc21 = _mm256_set1_pd(mc21);
    for (int j = 0; j < t; j += 2) {
        const Twiddles w = LoadTwiddles(tw + 3 * j);
        if (j == 0)
            Groups<Pair::First>(block, len, span, j, w, vc21, vmc21);
        else if (j == t / 2)
            Groups<Pair::Quarter>(block, len, span, j, w, vc21, vmc21);
        else
            Groups<Pair::Plain>(block, len, span, j, w, vc21, vmc21);
    }
}

// Base-4 digit reversal of m, a number of `digits` digits (at most 8).
KFFT_INLINE int ReverseDigits(int m, int digits) {
    unsigned x = static_cast<unsigned>(m);
    x = ((x & 0x3333u) << 2) | ((x >> 2) & 0x3333u);
    x = ((x & 0x0F0Fu) << 4) | ((x >> 4) & 0x0F0Fu);
    x = ((x & 0x00FFu) << 8) | ((x >> 8) & 0x00FFu);
    return static_cast<int>(x >> (16 - 2 * digits));
}

// The last pass of one tile of four groups together with their share of the
// digit reversal. The tile of middle digits m holds the points
// a·n/4 + 4m + d (a, d = 0..3, rows a, columns d); the last pass combines the
// four points of each row, and the point it leaves at (a, m, d) belongs at
// d·n/4 + 4·rev(m) + a, i.e. at (d, rev(m), a) of the partner tile. So the
// tile is transposed first, the butterflies then run down the columns, and
// row d of the result is stored as row d of the partner tile.
//
// The small loops over rows and halves below are unrolled completely, so
// that the arrays of registers stay in registers instead of the stack.
struct Tile {
    __m256d row[4][2];  // row d: columns 0, 1 and columns 2, 3
};

KFFT_INLINE Tile LastButterflies(const double* p, int quarter) {
    __m256d x[4][2];
#pragma GCC unroll 4
    for (int a = 0; a < 4; ++a) {
        x[a][0] = _mm256_loadu_pd(p + 2 * a * quarter);
        x[a][1] = _mm256_loadu_pd(p + 2 * a * quarter + 4);
    }
    // transpose: t[d] = column d of x, as (rows 0, 1) and (rows 2, 3)
    __m256d t[4][2];
#pragma GCC unroll 2
    for (int h = 0; h < 2; ++h) {
        t[2 * h][0] = _mm256_permute2f128_pd(x[0][h], x[1][h], 0x20);
        t[2 * h + 1][0] = _mm256_permute2f128_pd(x[0][h], x[1][h], 0x31);
        t[2 * h][1] = _mm256_permute2f128_pd(x[2][h], x[3][h], 0x20);
        t[2 * h + 1][1] = _mm256_permute2f128_pd(x[2][h], x[3][h], 0x31);
    }
    Tile out;
#pragma GCC unroll 2
    for (int h = 0; h < 2; ++h) {
        const __m256d s02 = _mm256_add_pd(t[0][h], t[2][h]);
        const __m256d d02 = _mm256_sub_pd(t[0][h], t[2][h]);
        const __m256d s13 = _mm256_add_pd(t[1][h], t[3][h]);
        const __m256d d13 = _mm256_sub_pd(t[1][h], t[3][h]);
        const __m256d rot = _mm256_xor_pd(SwapParts(d13), NegOdd());  // -i·d13
        out.row[0][h] = _mm256_add_pd(s02, s13);
        out.row[1][h] = _mm256_add_pd(d02, rot);
        out.row[2][h] = _mm256_sub_pd(s02, s13);
        out.row[3][h] = _mm256_sub_pd(d02, rot);
    }
    return out;
}

KFFT_INLINE void StoreTile(double* p, int quarter, const Tile& tile) {
#pragma GCC unroll 4
    for (int d = 0; d < 4; ++d) {
        _mm256_storeu_pd(p + 2 * d * quarter, tile.row[d][0]);
        _mm256_storeu_pd(p + 2 * d * quarter + 4, tile.row[d][1]);
    }
}

// The last, twiddle-free pass over all n points, fused with the base-4
// digit reversal of the whole block.
KFFT_TARGET void LastPassReversed(KCOMPLEX_DOUBLE* data, int n, int passes) {
    const int quarter = n / 4;
    const int tiles = n / 16;
    const int middleDigits = passes - 2;
    double* base = &data[0].re;
    for (int m = 0; m < tiles; ++m) {
        const int partner = ReverseDigits(m, middleDigits);
        if (partner < m) continue;  // done together with the partner
        double* p = base + 8 * m;
        if (partner == m) {
            StoreTile(p, quarter, LastButterflies(p, quarter));
        } else {
            double* q = base + 8 * partner;
            const Tile fromP = LastButterflies(p, quarter);
            const Tile fromQ = LastButterflies(q, quarter);
            StoreTile(q, quarter, fromP);
            StoreTile(p, quarter, fromQ);
        }
    }
}

// All passes but the last from span `span` down, for the span points at p.
// Large spans run their first pass over the whole block and recurse into the
// quarters.
KFFT_TARGET void SubTransform(KCOMPLEX_DOUBLE* p, int span, const KCOMPLEX_DOUBLE* packed, double c21,
                              double mc21) {
    if (span <= kBlock) {
        for (int e = span; e >= 16; e /= 4) Pass(p, span, e, packed + PackedTwiddleOffset(e), c21, mc21);
        return;
    }
    Pass(p, span, span, packed + PackedTwiddleOffset(span), c21, mc21);
    const int quarter = span / 4;
    for (int k = 0; k < 4; ++k) SubTransform(p + k * quarter, quarter, packed, c21, mc21);
}

// 16 points: one pass of span 16 and the last pass, without any loop.
KFFT_TARGET void Transform16(KCOMPLEX_DOUBLE* data, const KCOMPLEX_DOUBLE* tw, double c21, double mc21) {
    const __m256d vc21 = _mm256_set1_pd(c21);
    const __m256d vmc21 = _mm256_set1_pd(mc21);
    double* p = &data[0].re;
    Butterflies<Pair::First>(p, 4, LoadTwiddles(tw), vc21, vmc21);
    Butterflies<Pair::Quarter>(p + 4, 4, LoadTwiddles(tw + 6), vc21, vmc21);
    StoreTile(p, 4, LastButterflies(p, 4));
}

}  // namespace

void TransformAvx2(KCOMPLEX_DOUBLE* data, int n, const KCOMPLEX_DOUBLE* packed, double c21, double mc21) {
    if (n == 16) {
        Transform16(data, packed + PackedTwiddleOffset(16), c21, mc21);
        return;
    }
    SubTransform(data, n, packed, c21, mc21);
    LastPassReversed(data, n, PassCount(n));
}

}  // namespace kfft

#else

namespace kfft {

void TransformAvx2(KCOMPLEX_DOUBLE*, int, const KCOMPLEX_DOUBLE*, double, double) {}

}  // namespace kfft

#endif
