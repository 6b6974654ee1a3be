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

std::string FormatCursorReadout(double seconds, double hertz, std::optional<double> levelDb) {
    std::string text = FormatReadoutTime(seconds) + ", " + readout::FormatFrequency(hertz);
    if (levelDb) text += ", " + Fixed(*levelDb, 2) + " дБ";
    return text;
}

}  // namespace sonogram
