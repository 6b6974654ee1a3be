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

std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb) {
    int decimals = 3;
    const double magnitude = std::log10(pointerHz);
    if (std::isfinite(magnitude)) {
        switch (static_cast<int>(std::trunc(std::fmax(-10.0, std::fmin(10.0, magnitude))))) {
            case 0:
                decimals = 4;
                break;
            case 1:
                decimals = 3;
                break;
            case 2:
                decimals = 2;
                break;
            case 3:
                decimals = 1;
                break;
            case 4:
                decimals = 0;
                break;
            default:
                decimals = 3;
                break;
        }
    }
    return FormatFixed(peakHz, decimals) + " Гц, " + FormatFixed(peakDb, 2) + " дБ (" +
           FormatFixed(pointerHz, decimals) + " Гц, " + FormatFixed(pointerDb, 2) + " дБ)";
}

std::string FormatReadoutTime(double seconds) { return FormatFixed(seconds, 3) + " c"; }

}  // namespace sonogram
