// The texts of the sonogram's pointer read-out, formatted the same in every
// locale (a decimal point, never a comma).
#pragma once

#include <string>

namespace sonogram {

// printf's "%.<decimals>f" with the C locale's decimal point.
std::string FormatFixed(double value, int decimals);

// "<peak> Гц, <level> дБ (<pointer> Гц, <level> дБ)": the frequencies with as
// many decimals as their magnitude asks (four below 10 Hz down to 1 Hz, one
// from 1 kHz, none from 10 kHz, three otherwise, chosen by the pointer's
// frequency), levels with two.
std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb);

// "<seconds> c" with three decimals.
std::string FormatReadoutTime(double seconds);

}  // namespace sonogram
