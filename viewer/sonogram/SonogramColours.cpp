#include "SonogramColours.h"

#include <algorithm>

namespace sonogram {

namespace {

constexpr uint32_t kGreyUnit = 0x010101u;
constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kBlack = 0x000000u;
constexpr double kTintSaturation = 0.001;

// Branch-free, so that a block of levels maps to greys in vector registers.
inline int GreyOf(double level, double upper, double lower, double span) {
    double v = level > lower ? level : lower;  // also a level that is not a number
    v = v > upper ? upper : v;
    // The quotient first, so that a level at L gives exactly 255.
    double g = 255.0 * ((upper - v) / span);
    // Levels that do not bound a range (U <= L) must not produce an
    // out-of-range conversion.
    g = g > 0.0 ? g : 0.0;
    g = g < 255.0 ? g : 255.0;
    return static_cast<int>(g);
}

// The greys of a block of levels of one column.
constexpr int kGreyBlock = 64;
void GreyBlock(const double* levels, int count, double upper, double lower, int* greys) {
    const double span = upper - lower;
    for (int i = 0; i < count; ++i) greys[i] = GreyOf(levels[i], upper, lower, span);
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

void ColourColumn(int mode, const double* levels, const double* phaseSteps, int rows, double upper,
                  double lower, uint32_t* pixels, int rowStride) {
    if (rows <= 0 || !ModeHasColouring(mode)) return;
    const long stride = rowStride;
    int greys[kGreyBlock];
    for (int k0 = 0; k0 < rows; k0 += kGreyBlock) {
        const int count = std::min(kGreyBlock, rows - k0);
        GreyBlock(levels + k0, count, upper, lower, greys);
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

void BlankColumn(int mode, int rows, uint32_t* pixels, int rowStride) {
    const uint32_t colour = BlankColour(mode);
    const long stride = rowStride;
    for (int k = 0; k < rows; ++k) pixels[k * stride] = colour;
}

}  // namespace sonogram
