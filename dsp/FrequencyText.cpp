#include "FrequencyText.h"

#include <cmath>

#include "NumberFormat.h"

namespace readout {

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

std::string FormatFrequency(double hertz) { return number::Fixed(hertz, FrequencyDecimals(hertz)) + " Гц"; }

}  // namespace readout
