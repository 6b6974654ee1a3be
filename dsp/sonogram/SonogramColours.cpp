#include "SonogramColours.h"

#include <algorithm>

#include "CpuFeatures.h"
#include "GreyPixel.h"

// The vector helpers are always inlined: their vector arguments never cross
// a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kBlack = 0x000000u;
constexpr double kTintSaturation = 0.001;

// 255 (U - v') / (U - L) limited to [0, 255], for one level or a vector of
// levels; branch-free, so that vectors of levels map to greys lane by lane.
template <class V>
static inline __attribute__((always_inline)) V UnroundedGrey(V level, double upper, double lower,
                                                             double span) {
    V v = level > lower ? level : lower;  // also a level that is not a number
    v = v > upper ? upper : v;
    // The quotient first, so that a level at L gives exactly 255.
    V g = 255.0 * ((upper - v) / span);
    // Levels that do not bound a range (U <= L) must not produce an
    // out-of-range conversion.
    g = g > 0.0 ? g : 0.0;
    g = g < 255.0 ? g : 255.0;
    return g;
}

inline int GreyOf(double level, double upper, double lower, double span) {
    return static_cast<int>(UnroundedGrey(level, upper, lower, span));
}

// The greys of a block of levels of one column, four at a time on vectors
// of four lanes (one 256-bit register with AVX2, two 128-bit ones
// otherwise), the rest one by one.
typedef double Levels4 __attribute__((vector_size(32)));
typedef int Greys4 __attribute__((vector_size(16)));
constexpr int kGreyBlock = 64;
constexpr int kTileColumns = 8;

static inline __attribute__((always_inline)) void GreyBlockOf(const double* levels, int count, double upper,
                                                              double lower, int* greys) {
    const double span = upper - lower;
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        Levels4 level;
        __builtin_memcpy(&level, levels + i, sizeof level);
        // Truncated toward zero, as the conversion of one level.
        const Greys4 grey = __builtin_convertvector(UnroundedGrey(level, upper, lower, span), Greys4);
        __builtin_memcpy(greys + i, &grey, sizeof grey);
    }
    for (; i < count; ++i) greys[i] = GreyOf(levels[i], upper, lower, span);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void GreyBlockAvx2(const double* levels, int count, double upper,
                                                   double lower, int* greys) {
    GreyBlockOf(levels, count, upper, lower, greys);
}
#endif

void GreyBlockPortable(const double* levels, int count, double upper, double lower, int* greys) {
    GreyBlockOf(levels, count, upper, lower, greys);
}

typedef void (*GreyBlockFunction)(const double*, int, double, double, int*);

GreyBlockFunction GreyBlockFor(bool vector) {
#if defined(__x86_64__) || defined(__i386__)
    if (vector) return GreyBlockAvx2;
#else
    (void)vector;
#endif
    return GreyBlockPortable;
}

// The pixels of the amplitude modes for four neighbouring columns and four
// rows: the greys of each column's four levels, turned from columns into
// rows, each row written as four pixels at once. G × 0x010101 is formed by
// shifts, as G ≤ 255.
typedef unsigned Pixels4 __attribute__((vector_size(16)));

template <bool inverted>
static inline __attribute__((always_inline)) void AmplitudeQuad(const double* levels, long columnStride,
                                                                double upper, double lower, double span,
                                                                uint32_t* out, long stride) {
    Greys4 g[4];
    for (int c = 0; c < 4; ++c) {
        Levels4 level;
        __builtin_memcpy(&level, levels + c * columnStride, sizeof level);
        g[c] = __builtin_convertvector(UnroundedGrey(level, upper, lower, span), Greys4);
    }
    const Greys4 low01 = __builtin_shufflevector(g[0], g[1], 0, 4, 1, 5);
    const Greys4 low23 = __builtin_shufflevector(g[2], g[3], 0, 4, 1, 5);
    const Greys4 high01 = __builtin_shufflevector(g[0], g[1], 2, 6, 3, 7);
    const Greys4 high23 = __builtin_shufflevector(g[2], g[3], 2, 6, 3, 7);
    const Greys4 row[4] = {__builtin_shufflevector(low01, low23, 0, 1, 4, 5),
                           __builtin_shufflevector(low01, low23, 2, 3, 6, 7),
                           __builtin_shufflevector(high01, high23, 0, 1, 4, 5),
                           __builtin_shufflevector(high01, high23, 2, 3, 6, 7)};
    for (int r = 0; r < 4; ++r) {
        const Pixels4 grey = (Pixels4)(inverted ? 255 - row[r] : row[r]);
        const Pixels4 pixel = grey | (grey << 8) | (grey << 16);
        __builtin_memcpy(out + r * stride, &pixel, sizeof pixel);
    }
}

// The amplitude pixels of `columns` columns and `rows` rows (both multiples
// of four), a tile of kTileColumns columns at a time, so that each row of
// the tile is written in one go.
template <bool inverted>
static inline __attribute__((always_inline)) void AmplitudeQuads(const double* levels, long columnStride,
                                                                 int columns, int rows, double upper,
                                                                 double lower, uint32_t* pixels,
                                                                 long stride) {
    const double span = upper - lower;
    for (int c0 = 0; c0 < columns; c0 += kTileColumns) {
        const int end = std::min(columns, c0 + kTileColumns);
        for (int k = 0; k < rows; k += 4) {
            // Each column is a stream of its own, too short for the
            // processor's prefetcher to catch: its next lines are asked for
            // a few rows ahead.
            if (k % 8 == 0)
                for (int c = c0; c < end; ++c) __builtin_prefetch(levels + c * columnStride + k + 32);
            for (int c = c0; c < end; c += 4)
                AmplitudeQuad<inverted>(levels + c * columnStride + k, columnStride, upper, lower, span,
                                        pixels + k * stride + c, stride);
        }
    }
}

typedef void (*AmplitudeQuadsFunction)(const double*, long, int, int, double, double, uint32_t*, long);

#if defined(__x86_64__) || defined(__i386__)
template <bool inverted>
__attribute__((target("avx2"))) void AmplitudeQuadsAvx2(const double* levels, long columnStride, int columns,
                                                        int rows, double upper, double lower,
                                                        uint32_t* pixels, long stride) {
    AmplitudeQuads<inverted>(levels, columnStride, columns, rows, upper, lower, pixels, stride);
}
#endif

template <bool inverted>
void AmplitudeQuadsPortable(const double* levels, long columnStride, int columns, int rows, double upper,
                            double lower, uint32_t* pixels, long stride) {
    AmplitudeQuads<inverted>(levels, columnStride, columns, rows, upper, lower, pixels, stride);
}

AmplitudeQuadsFunction AmplitudeQuadsFor(bool vector, bool inverted) {
#if defined(__x86_64__) || defined(__i386__)
    if (vector) return inverted ? AmplitudeQuadsAvx2<true> : AmplitudeQuadsAvx2<false>;
#else
    (void)vector;
#endif
    return inverted ? AmplitudeQuadsPortable<true> : AmplitudeQuadsPortable<false>;
}

}  // namespace

int GreyLevel(double level, double upper, double lower) { return GreyOf(level, upper, lower, upper - lower); }

uint32_t AMColour(int grey, double phaseStep) {
    const uint32_t g = static_cast<uint32_t>(grey);
    if (phaseStep > 0.0) {
        const double t = std::min(phaseStep, kTintSaturation) / kTintSaturation;
        const uint32_t green = static_cast<uint32_t>(grey + (255 - grey) * t);
        return (g << 16) | (green << 8) | g;
    }
    if (phaseStep < 0.0) {
        const double t = std::min(-phaseStep, kTintSaturation) / kTintSaturation;
        const uint32_t red = static_cast<uint32_t>(grey + (255 - grey) * t);
        return (red << 16) | (g << 8) | g;
    }
    return g * kGreyUnit;
}

bool ModeHasColouring(SonogramMode mode) {
    return mode == kModeAmplitude || mode == kModeAM || mode == (kModeAmplitude | kModeInverted);
}

uint32_t BlankColour(SonogramMode mode) { return mode == (kModeAmplitude | kModeInverted) ? kBlack : kWhite; }

void ColourColumns(SonogramMode mode, const double* levels, const double* phaseSteps, int rows, int columns,
                   double upper, double lower, uint32_t* pixels, int rowStride) {
    if (rows <= 0 || columns <= 0 || !ModeHasColouring(mode)) return;
    const bool vector = cpu::UsableLevel() >= cpu::Level::Avx2;
    const GreyBlockFunction greyBlock = GreyBlockFor(vector);
    const long stride = rowStride;
    const long columnStride = rows;
    if (mode != kModeAM) {
        // Whole quads of four columns and four rows at once; the columns and
        // rows beyond them a pixel at a time.
        const bool inverted = mode != kModeAmplitude;
        const int columns4 = columns / 4 * 4;
        const int rows4 = rows / 4 * 4;
        AmplitudeQuadsFor(vector, inverted)(levels, columnStride, columns4, rows4, upper, lower, pixels,
                                            stride);
        const double span = upper - lower;
        auto pixelAt = [&](int c, int k) {
            const int grey = GreyOf(levels[c * columnStride + k], upper, lower, span);
            pixels[k * stride + c] = static_cast<uint32_t>(inverted ? 255 - grey : grey) * kGreyUnit;
        };
        for (int c = 0; c < columns4; ++c)
            for (int k = rows4; k < rows; ++k) pixelAt(c, k);
        for (int c = columns4; c < columns; ++c)
            for (int k = 0; k < rows; ++k) pixelAt(c, k);
        // The top row of the inverted image marks the columns inside the signal.
        if (inverted)
            for (int c = 0; c < columns; ++c) pixels[(rows - 1) * stride + c] = kRed;
        return;
    }
    // The AM mode: up to kTileColumns neighbouring columns go row by row
    // together, so that each row of the image is written a whole tile at a
    // time (one cache line) instead of a pixel at a time.
    int greys[kTileColumns][kGreyBlock];
    for (int c0 = 0; c0 < columns; c0 += kTileColumns) {
        const int width = std::min(kTileColumns, columns - c0);
        for (int k0 = 0; k0 < rows; k0 += kGreyBlock) {
            const int count = std::min(kGreyBlock, rows - k0);
            for (int c = 0; c < width; ++c)
                greyBlock(levels + (c0 + c) * columnStride + k0, count, upper, lower, greys[c]);
            uint32_t* out = pixels + k0 * stride + c0;
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < width; ++c)
                    out[i * stride + c] = AMColour(greys[c][i], phaseSteps[(c0 + c) * columnStride + k0 + i]);
        }
    }
}

void ColourColumn(SonogramMode mode, const double* levels, const double* phaseSteps, int rows, double upper,
                  double lower, uint32_t* pixels, int rowStride) {
    ColourColumns(mode, levels, phaseSteps, rows, 1, upper, lower, pixels, rowStride);
}

void BlankColumn(SonogramMode mode, int rows, uint32_t* pixels, int rowStride) {
    const uint32_t colour = BlankColour(mode);
    const long stride = rowStride;
    for (int k = 0; k < rows; ++k) pixels[k * stride] = colour;
}

}  // namespace sonogram
