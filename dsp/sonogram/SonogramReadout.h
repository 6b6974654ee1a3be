// The texts of the sonogram's pointer read-out, formatted the same in every
// locale (a decimal point, never a comma).
#pragma once

#include <optional>
#include <string>

#include "FrequencyText.h"

namespace sonogram {

// "<peak> Гц, <level> дБ (<pointer> Гц, <level> дБ)": both frequencies with
// the pointer frequency's decimals, levels with two.
std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb);

// "<seconds> c" with three decimals.
std::string FormatReadoutTime(double seconds);

// The cursor's read-out: "<seconds> c, <hertz> Гц, <level> дБ", time and
// frequency as above, the level with two decimals and left out while unknown.
std::string FormatCursorReadout(double seconds, double hertz, std::optional<double> levelDb);

}  // namespace sonogram
