// Level-to-colour mapping of a sonogram pane, free of any window. Pixels are
// 0x00RRGGBB; a column of `rows` pixels is written with a stride of
// `rowStride` pixels between rows (the image stores row k of slot s at
// k * M + s, row 0 being the lowest frequency).
#pragma once

#include <cstdint>

namespace sonogram {

// The mode word: the low three bits choose the kind, bit 3 inverts.
enum SonogramMode : int {
    kModeAmplitude = 1,
    kModeAM = 2,
    kModeFM = 4,
    kModeInverted = 8,
};

// The mode with its kind replaced by `kind`, the inversion kept.
constexpr SonogramMode WithKind(SonogramMode mode, SonogramMode kind) {
    return static_cast<SonogramMode>((mode & kModeInverted) | kind);
}
// The mode with its inversion switched.
constexpr SonogramMode WithInversionToggled(SonogramMode mode) {
    return static_cast<SonogramMode>(mode ^ kModeInverted);
}
// True when the mode has the kind or the inversion `flag`.
constexpr bool HasFlag(SonogramMode mode, SonogramMode flag) { return (mode & flag) != 0; }

// g = trunc(255 (U - v') / (U - L)) with v' = v limited to [L, U]: strong
// components are dark. A level that is not a number counts as L.
int GreyLevel(double level, double upper, double lower);

// A grey g tinted by the phase step p: green for p > 0, red for p < 0,
// saturating at |p| = 0.001 rad.
uint32_t AMColour(int grey, double phaseStep);

// True when the mode paints columns at all (1, 2 and 9); the other kinds
// leave the image as the last clear left it.
bool ModeHasColouring(SonogramMode mode);

// The colour of a column outside the signal: black in the inverted
// amplitude mode, white otherwise.
uint32_t BlankColour(SonogramMode mode);

// Colours one column in mode 1, 2 or 9 from its levels and phase steps.
void ColourColumn(SonogramMode mode, const double* levels, const double* phaseSteps, int rows, double upper,
                  double lower, uint32_t* pixels, int rowStride);

// Colours `columns` neighbouring columns at once: column c's levels and
// phase steps start at c·rows, its pixels at pixels + c. The same pixels as
// ColourColumn on each, written a row of the run at a time. The greys take
// AVX2 where cpu::UsableLevel() allows it; every level gives the same pixels.
void ColourColumns(SonogramMode mode, const double* levels, const double* phaseSteps, int rows, int columns,
                   double upper, double lower, uint32_t* pixels, int rowStride);

// Fills one column with the blank colour of the mode.
void BlankColumn(SonogramMode mode, int rows, uint32_t* pixels, int rowStride);

}  // namespace sonogram
