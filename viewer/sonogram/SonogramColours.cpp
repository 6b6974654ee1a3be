#include "SonogramColours.h"

#include <algorithm>

namespace sonogram {

namespace {

constexpr uint32_t kGreyUnit = 0x010101u;
constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kBlack = 0x000000u;
constexpr double kTintSaturation = 0.001;

}  // namespace

int GreyLevel(double level, double upper, double lower) {
    double v = level;
    if (!(v > lower)) v = lower;  // also a level that is not a number
    if (v > upper) v = upper;
    // The quotient first, so that a level at L gives exactly 255.
    const double g = 255.0 * ((upper - v) / (upper - lower));
    // Levels that do not bound a range (U <= L) must not produce an
    // out-of-range conversion.
    if (!(g > 0.0)) return 0;
    if (g >= 255.0) return 255;
    return static_cast<int>(g);
}

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
    if (rows <= 0) return;
    const long stride = rowStride;
    switch (mode) {
        case kModeAmplitude:
            for (int k = 0; k < rows; ++k)
                pixels[k * stride] = static_cast<uint32_t>(GreyLevel(levels[k], upper, lower)) * kGreyUnit;
            break;
        case kModeAmplitude | kModeInverted:
            for (int k = 0; k < rows; ++k)
                pixels[k * stride] =
                    static_cast<uint32_t>(255 - GreyLevel(levels[k], upper, lower)) * kGreyUnit;
            // The top row marks the columns that lie inside the signal.
            pixels[(rows - 1) * stride] = kRed;
            break;
        case kModeAM:
            for (int k = 0; k < rows; ++k)
                pixels[k * stride] = AMColour(GreyLevel(levels[k], upper, lower), phaseSteps[k]);
            break;
        default:
            break;
    }
}

void BlankColumn(int mode, int rows, uint32_t* pixels, int rowStride) {
    const uint32_t colour = BlankColour(mode);
    const long stride = rowStride;
    for (int k = 0; k < rows; ++k) pixels[k * stride] = colour;
}

}  // namespace sonogram
