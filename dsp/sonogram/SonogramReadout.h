// The texts of the sonogram's pointer read-out, formatted the same in every
// locale (a decimal point, never a comma).
#pragma once

#include <string>

#include "FrequencyText.h"

namespace sonogram {

// "<peak> Гц, <level> дБ (<pointer> Гц, <level> дБ)": both frequencies with
// the pointer frequency's decimals, levels with two.
std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb);

// "<seconds> c" with three decimals.
std::string FormatReadoutTime(double seconds);

}  // namespace sonogram
