#include "PaneSettings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "KWave.h"
#include "SonogramComputation.h"

namespace sonogram {

PaneSettings PaneSettings::Bound(double frADC, int bits, int fftSize) {
    PaneSettings settings;
    const SonelGrid grid = DeriveSonelGrid(frADC, bits, fftSize);
    settings.fftSize = fftSize;
    settings.sonelFreqHz = grid.sonelFreqHz;
    settings.stepSamples = grid.stepSamples;
    settings.upperLevel = kDefaultUpperLevel;
    settings.lowerLevel = DefaultLowerLevel(bits);
    return settings;
}

double PaneSettings::DefaultLowerLevel(int bits) { return -20.0 * std::log10(std::pow(2.0, bits)); }

double PaneSettings::HighQualityRiseDb() { return 10.0 * std::log(2.0); }

void PaneSettings::RaiseForHighQuality() {
    const double rise = HighQualityRiseDb();
    upperLevel += rise;
    lowerLevel += rise;
}

int PaneSettings::ColumnCount(const CKWave* wave) const {
    return sonogram::ColumnCount(wave, fftSize, stepSamples);
}

void PaneSettings::FitStepToColumns(double samples, long columns) {
    if (!(samples > 0.0) || columns <= 0) return;
    const double step = std::ceil(samples / static_cast<double>(columns));
    stepSamples = step >= static_cast<double>(std::numeric_limits<int>::max())
                      ? std::numeric_limits<int>::max()
                      : std::max(1, static_cast<int>(step));
}

int ColumnCount(const CKWave* wave, int fftSize, int stepSamples) {
    if (wave == nullptr || wave->GetFirstComplexSample() == nullptr || !(wave->GetFrADC() > 0.0) ||
        stepSamples <= 0 || wave->GetStartSampleNumber() < fftSize / 2)
        return 0;
    const long columns = wave->GetNSamples() / stepSamples;
    return columns > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                     : static_cast<int>(columns);
}

}  // namespace sonogram
