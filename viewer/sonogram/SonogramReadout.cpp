#include "SonogramReadout.h"

#include <charconv>
#include <cmath>

namespace sonogram {

std::string FormatFixed(double value, int decimals) {
    // std::to_chars ignores the locale and rounds exactly as printf does.
    char buffer[400];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return std::string();
    return std::string(buffer, result.ptr);
}

int FrequencyDecimals(double hertz) {
    const double magnitude = std::log10(hertz);
    if (!std::isfinite(magnitude)) return 3;
    switch (static_cast<int>(std::trunc(std::fmax(-10.0, std::fmin(10.0, magnitude))))) {
        case 0:
            return 4;
        case 1:
            return 3;
        case 2:
            return 2;
        case 3:
            return 1;
        case 4:
            return 0;
        default:
            return 3;
    }
}

std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb) {
    const int decimals = FrequencyDecimals(pointerHz);
    return FormatFixed(peakHz, decimals) + " Гц, " + FormatFixed(peakDb, 2) + " дБ (" +
           FormatFixed(pointerHz, decimals) + " Гц, " + FormatFixed(pointerDb, 2) + " дБ)";
}

std::string FormatReadoutTime(double seconds) { return FormatFixed(seconds, 3) + " c"; }

}  // namespace sonogram
