// The arithmetic of the FAS-film grid: how the sonel size along frequency
// (A, Hz), along time expressed as a frequency (B = 2*pi*A, Hz) and along time
// (T = 1000 / B, ms), the column step in samples of a layer and that layer's
// rate Fd fit together, and what the tuning dialog shows about them.
//
// One sonel spans Fd / (2*pi*A) samples in time; the column step may not
// exceed that span (maxStep) and is at least one sample. With an FFT of N
// points a bin is Fd / N Hz wide, so a sonel covers A / (Fd / N) pixels along
// frequency and (Fd / (2*pi*A)) / step pixels along time.
//
// Everything here is plain arithmetic without widgets, and every conversion
// of a double to an integer is guarded: a size that is zero, negative, not
// finite or so small that a sonel spans more samples than an int can count
// never produces an undefined conversion; the read-outs then show "?".
#pragma once

#include <optional>
#include <string>

namespace pasfilm {

// Length of the transform the read-outs refer to.
constexpr int kFFTSize = 1024;
// Number of frequency layers offered: the file's rate and seven halvings.
constexpr int kLevelCount = 8;
// Range the size fields accept.
constexpr double kMinSize = 1e-30;
constexpr double kMaxSize = 1e30;
// Text of a read-out that cannot be computed.
inline constexpr const char* kUnknown = "?";

// 2*pi, formed as 8*atan(1).
double TwoPi();

// Rate of layer `level`: frADC * 2^(-level).
double LayerRate(double frADC, int level);

// The three sizes of one sonel, always tied by B = 2*pi*A and T = 1000 / B.
struct SonelSizes {
    double dFreqHz = 1.0;  // A
    double dTimeHz = 1.0;  // B
    double dTimeMs = 1.0;  // T
};

// The sizes derived from one of them.
SonelSizes SizesFromFreqHz(double freqHz);
SonelSizes SizesFromTimeHz(double timeHz);
SonelSizes SizesFromTimeMs(double timeMs);

// A grid proposed by a preset: the sizes and the (not yet clamped) step.
struct Grid {
    SonelSizes sizes;
    int nStep = 1;
};

// The default grid: a sonel lasts a tenth of the duration of N samples, and
// the step makes it cover as many pixels along time as along frequency. For
// any rate this gives 102.4 samples per sonel and a step of 64.
Grid PresetOptimal(double layerRate, int fftSize = kFFTSize);
// A = 150 Hz; the pixels per sonel along frequency used for the step are
// capped: above 5 (or not a number) 3 stands in for them.
Grid PresetArticulation(double layerRate, int fftSize = kFFTSize);
// A = 20 Hz with no cap; the step usually exceeds maxStep and is lowered by
// the clamp.
Grid PresetVoice(double layerRate, int fftSize = kFFTSize);

// Samples one sonel spans in time: layerRate / (2*pi*freqHz).
double SamplesPerSonel(double layerRate, double freqHz);

// The largest step for the sonel size: trunc(SamplesPerSonel), limited to the
// int range. Nothing when the size is not a positive finite number or the
// span is not finite.
std::optional<int> MaxStep(double layerRate, double freqHz);

// `step` limited to 1..maxStep (a maxStep below 1 gives 1); without a
// maxStep only the lower limit applies.
int ClampStep(long long step, std::optional<int> maxStep);

// Conversion toward zero that saturates at the int limits (not a number
// gives 0), for steps proposed by the presets and the up-down control.
int TruncSaturated(double value);

// What the dialog shows after every change.
struct Readouts {
    int nStep = 1;                      // the clamped step
    std::string strPixelsPerSonelFreq;  // "%f" or "?"
    std::string strPixelsPerSonelTime;  // "%f" or "?"
};
Readouts ComputeReadouts(double layerRate, double freqHz, int step, int fftSize = kFFTSize);

// printf "%f", "%.3f" and "%.15g" with a decimal point whatever the locale.
// FormatFixed gives "?" for a value that is not finite.
std::string FormatFixed(double value, int decimals = 6);
std::string FormatGeneral15(double value);

// Text of item `level` of the rate list: the layer's rate, "%.3f".
std::string RateItemText(double frADC, int level);

// Parses the text of a size field the way the dialog reads it: optional
// blanks around an optional sign and a decimal number with '.' as the
// separator and an optional exponent, whatever the locale. A number too large
// for a double reads as infinity (which the range check refuses). Nothing
// when the text is not a number; "inf", "nan" and hexadecimal forms are not
// numbers here.
std::optional<double> ParseNumber(const std::string& text);

// True when `value` lies within kMinSize..kMaxSize (inclusive); not a number
// is outside.
bool SizeInRange(double value);

}  // namespace pasfilm
