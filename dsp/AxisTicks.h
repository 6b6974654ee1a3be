// Ticks of a picture's axes at round values, free of any drawing: the step
// of the 1-2-5 series that keeps the labels apart, its multiples inside a
// range, the texts of the labels (a decimal point in every locale), and the
// nominal names of octaves on a logarithmic frequency axis. Where a tick
// lands in pixels is the caller's business: these functions know values only.
#pragma once

#include <string>
#include <vector>

namespace axis {

// More ticks than any axis of a picture can show; Multiples stops there.
constexpr int kMaxTicks = 10000;

// The smallest value of the 1-2-5 series (… 0.1, 0.2, 0.5, 1, 2, 5, 10, 20 …)
// not below `least`, a value of the series itself included; 0 when `least`
// is not a positive finite number.
double RoundStep(double least);

// The step for ticks on an axis that shows `span` units on `pixels` pixels
// with ticks at least `spacing` pixels apart: RoundStep(span · spacing / pixels).
// 0 when that is no positive finite number.
double TickStep(double span, double pixels, double spacing);

// The multiples of `step` from `low` to `high`, both ends included up to a
// millionth of a step, ascending; at most kMaxTicks. None for a step that is
// not positive or a range that is empty or not finite.
std::vector<double> Multiples(double low, double high, double step);

// The decimals that write every multiple of a 1-2-5 step exactly: none for
// a step of 1 and more, else those of its first significant digit (0.5 has
// one, 0.02 two).
int StepDecimals(double step);

// The label of the tick at `value` on an axis with ticks `step` apart, in
// units of `unit` (1000 for kHz): value / unit with the decimals of
// step / unit; "0" for a zero, never "-0".
std::string TickLabel(double value, double step, double unit = 1.0);

// The unit of a frequency axis with ticks `stepHz` apart: kHz from 1000 Hz
// on, Hz below.
struct FrequencyUnit {
    double hertz;      // 1 or 1000
    const char* name;  // "Гц" or "кГц"
};
FrequencyUnit FrequencyUnitFor(double stepHz);

// The nominal frequency nearest to `hertz` on a logarithmic scale among the
// preferred numbers of the R10 series (1, 1.25, 1.6, 2, 2.5, 3.15, 4, 5, 6.3
// and 8 times a power of ten), as octave bands are named: 8, 16, 31.5, 63,
// 125, 250, 500, 1000 … for the octaves of 8 Hz. 0 for a frequency that is
// not positive and finite.
double NominalFrequency(double hertz);
// That frequency written in Hz with the decimals it has ("31.5", "1000").
std::string NominalFrequencyLabel(double hertz);

}  // namespace axis
