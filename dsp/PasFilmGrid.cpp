#include "PasFilmGrid.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <climits>
#include <cmath>

#include "NumberFormat.h"

namespace pasfilm {

double TwoPi() { return 8.0 * std::atan(1.0); }

double LayerRate(double frADC, int level) { return frADC * std::pow(2.0, -level); }

SonelSizes SizesFromFreqHz(double freqHz) {
    SonelSizes s;
    s.dFreqHz = freqHz;
    s.dTimeHz = TwoPi() * freqHz;
    s.dTimeMs = 1000.0 / s.dTimeHz;
    return s;
}

SonelSizes SizesFromTimeHz(double timeHz) {
    SonelSizes s;
    s.dTimeHz = timeHz;
    s.dFreqHz = timeHz / TwoPi();
    s.dTimeMs = 1000.0 / timeHz;
    return s;
}

SonelSizes SizesFromTimeMs(double timeMs) {
    SonelSizes s;
    s.dTimeMs = timeMs;
    s.dTimeHz = 1000.0 / timeMs;
    s.dFreqHz = s.dTimeHz / TwoPi();
    return s;
}

Grid PresetOptimal(double layerRate, int fftSize) {
    const double n = fftSize;
    // A sonel lasts a tenth of the duration of N samples.
    const SonelSizes sizes = SizesFromTimeMs((1000.0 * n / 10.0) / layerRate);
    const double pixelsPerSonelFreq = sizes.dFreqHz / (layerRate / n);
    Grid g;
    g.sizes = sizes;
    g.nStep = TruncSaturated((layerRate / (TwoPi() * sizes.dFreqHz)) / pixelsPerSonelFreq);
    return g;
}

Grid PresetArticulation(double layerRate, int fftSize) {
    const SonelSizes sizes = SizesFromFreqHz(150.0);
    double pixelsPerSonelFreq = (150.0 / layerRate) * fftSize;
    if (!(pixelsPerSonelFreq <= 5.0)) pixelsPerSonelFreq = 3.0;  // also when not a number
    Grid g;
    g.sizes = sizes;
    g.nStep = TruncSaturated((layerRate / sizes.dTimeHz) / pixelsPerSonelFreq);
    return g;
}

Grid PresetVoice(double layerRate, int fftSize) {
    const SonelSizes sizes = SizesFromFreqHz(20.0);
    const double pixelsPerSonelFreq = (20.0 / layerRate) * fftSize;
    Grid g;
    g.sizes = sizes;
    g.nStep = TruncSaturated((layerRate / sizes.dTimeHz) / pixelsPerSonelFreq);
    return g;
}

double SamplesPerSonel(double layerRate, double freqHz) { return layerRate / (TwoPi() * freqHz); }

std::optional<int> MaxStep(double layerRate, double freqHz) {
    if (!std::isfinite(freqHz) || freqHz <= 0.0) return std::nullopt;
    const double span = SamplesPerSonel(layerRate, freqHz);
    if (!std::isfinite(span)) return std::nullopt;
    return TruncSaturated(span);
}

int ClampStep(long long step, std::optional<int> maxStep) {
    if (maxStep && step >= *maxStep) step = *maxStep;
    if (step <= 0) step = 1;
    if (step > INT_MAX) step = INT_MAX;
    return static_cast<int>(step);
}

int TruncSaturated(double value) {
    if (std::isnan(value)) return 0;
    // INT_MAX and INT_MIN are exact doubles; anything at or beyond them saturates.
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

Readouts ComputeReadouts(double layerRate, double freqHz, int step, int fftSize) {
    const std::optional<int> maxStep = MaxStep(layerRate, freqHz);
    Readouts r;
    r.nStep = ClampStep(step, maxStep);
    const bool sizeValid = std::isfinite(freqHz) && freqHz > 0.0;
    r.strPixelsPerSonelFreq = sizeValid ? FormatFixed(freqHz / (layerRate / fftSize)) : kUnknown;
    r.strPixelsPerSonelTime =
        maxStep ? FormatFixed(SamplesPerSonel(layerRate, freqHz) / r.nStep) : std::string(kUnknown);
    return r;
}

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return kUnknown;
    const std::string text = number::Fixed(value, decimals);
    return text.empty() ? std::string(kUnknown) : text;
}

std::string FormatGeneral15(double value) {
    if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

std::string RateItemText(double frADC, int level) { return FormatFixed(LayerRate(frADC, level), 3); }

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

}  // namespace

std::optional<double> ParseNumber(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    // Check the grammar first: [sign] digits [. digits] | [sign] . digits, then [e [sign] digits].
    size_t i = begin;
    if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
    size_t intDigits = 0;
    while (i < end && IsDigit(text[i])) ++i, ++intDigits;
    size_t fracDigits = 0;
    if (i < end && text[i] == '.') {
        ++i;
        while (i < end && IsDigit(text[i])) ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0) return std::nullopt;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < end && IsDigit(text[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != end) return std::nullopt;
    const std::string number = text.substr(begin, end - begin);
    // The C locale makes '.' the separator whatever the process's locale;
    // a number beyond the double range reads as infinity, a tiny one as zero.
    return strtod_l(number.c_str(), nullptr, CLocale());
}

bool SizeInRange(double value) { return value >= kMinSize && value <= kMaxSize; }

}  // namespace pasfilm
