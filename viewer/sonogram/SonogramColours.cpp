#include "SonogramColours.h"

#include <algorithm>

#include "SonogramKernels.h"

// The vector helpers are always inlined: their vector arguments never cross
// a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

constexpr uint32_t kGreyUnit = 0x010101u;
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
    if (vector && VectorKernelAvailable()) return GreyBlockAvx2;
#else
    (void)vector;
#endif
    return GreyBlockPortable;
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

bool ModeHasColouring(int mode) {
    return mode == kModeAmplitude || mode == kModeAM || mode == (kModeAmplitude | kModeInverted);
}

uint32_t BlankColour(int mode) { return mode == (kModeAmplitude | kModeInverted) ? kBlack : kWhite; }

void ColourColumnWith(bool vector, int mode, const double* levels, const double* phaseSteps, int rows,
                      double upper, double lower, uint32_t* pixels, int rowStride) {
    if (rows <= 0 || !ModeHasColouring(mode)) return;
    const GreyBlockFunction greyBlock = GreyBlockFor(vector);
    const long stride = rowStride;
    int greys[kGreyBlock];
    for (int k0 = 0; k0 < rows; k0 += kGreyBlock) {
        const int count = std::min(kGreyBlock, rows - k0);
        greyBlock(levels + k0, count, upper, lower, greys);
        uint32_t* out = pixels + k0 * stride;
        switch (mode) {
            case kModeAmplitude:
                for (int i = 0; i < count; ++i) out[i * stride] = static_cast<uint32_t>(greys[i]) * kGreyUnit;
                break;
            case kModeAM:
                for (int i = 0; i < count; ++i) out[i * stride] = AMColour(greys[i], phaseSteps[k0 + i]);
                break;
            default:  // inverted amplitude
                for (int i = 0; i < count; ++i)
                    out[i * stride] = static_cast<uint32_t>(255 - greys[i]) * kGreyUnit;
                break;
        }
    }
    // The top row of the inverted image marks the columns inside the signal.
    if (mode == (kModeAmplitude | kModeInverted)) pixels[(rows - 1) * stride] = kRed;
}

void ColourColumn(int mode, const double* levels, const double* phaseSteps, int rows, double upper,
                  double lower, uint32_t* pixels, int rowStride) {
    ColourColumnWith(true, mode, levels, phaseSteps, rows, upper, lower, pixels, rowStride);
}

void BlankColumn(int mode, int rows, uint32_t* pixels, int rowStride) {
    const uint32_t colour = BlankColour(mode);
    const long stride = rowStride;
    for (int k = 0; k < rows; ++k) pixels[k * stride] = colour;
}

}  // namespace sonogram
