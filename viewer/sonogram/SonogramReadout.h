// The texts of the sonogram's pointer read-out, formatted the same in every
// locale (a decimal point, never a comma).
#pragma once

#include <string>

namespace sonogram {

// printf's "%.<decimals>f" with the C locale's decimal point.
std::string FormatFixed(double value, int decimals);

// The decimals a frequency is shown with, by the integer part of its
// decimal logarithm (truncated toward zero): four from 0.1 Hz to below 10 Hz,
// three from 10 Hz, two from 100 Hz, one from 1 kHz, none from 10 kHz, and
// three for everything else (below 0.1 Hz, from 100 kHz, zero, not a number).
int FrequencyDecimals(double hertz);

// "<peak> Гц, <level> дБ (<pointer> Гц, <level> дБ)": both frequencies with
// the pointer frequency's decimals, levels with two.
std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb);

// "<seconds> c" with three decimals.
std::string FormatReadoutTime(double seconds);

}  // namespace sonogram
