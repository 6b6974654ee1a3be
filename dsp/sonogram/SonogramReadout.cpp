#include "SonogramReadout.h"

#include "NumberFormat.h"

namespace sonogram {

using number::Fixed;

std::string FormatPeakReadout(double peakHz, double peakDb, double pointerHz, double pointerDb) {
    const int decimals = readout::FrequencyDecimals(pointerHz);
    return Fixed(peakHz, decimals) + " Гц, " + Fixed(peakDb, 2) + " дБ (" +
           Fixed(pointerHz, decimals) + " Гц, " + Fixed(pointerDb, 2) + " дБ)";
}

std::string FormatReadoutTime(double seconds) { return Fixed(seconds, 3) + " c"; }

}  // namespace sonogram
