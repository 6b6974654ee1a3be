// Frequencies as the panes' read-outs write them, in every locale with a
// decimal point: the sonogram's peak read-out and the FGT pane's row
// frequency share the rule for the number of decimals.
#pragma once

#include <string>

namespace readout {

// The decimals a frequency is shown with, by the integer part of its
// decimal logarithm (truncated toward zero): four from 0.1 Hz to below 10 Hz,
// three from 10 Hz, two from 100 Hz, one from 1 kHz, none from 10 kHz, and
// three for everything else (below 0.1 Hz, from 100 kHz, zero, not a number).
int FrequencyDecimals(double hertz);

// "<hertz> Гц" with FrequencyDecimals(hertz) decimals.
std::string FormatFrequency(double hertz);

}  // namespace readout
