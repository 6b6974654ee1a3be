#include "AxisTicks.h"

#include <cmath>

#include "NumberFormat.h"

namespace axis {

namespace {

// The relative tolerance that keeps a value of the series from being lost to
// the rounding of its computation.
constexpr double kTolerance = 1e-9;
// The part of a step by which a multiple may lie outside a range and count.
constexpr double kEndTolerance = 1e-6;

// The mantissas of one decade of the R10 series.
constexpr double kR10[10] = {1.0, 1.25, 1.6, 2.0, 2.5, 3.15, 4.0, 5.0, 6.3, 8.0};

}  // namespace

double RoundStep(double least) {
    if (!(least > 0.0) || !std::isfinite(least)) return 0.0;
    const double decade = std::pow(10.0, std::floor(std::log10(least)));
    for (const double mantissa : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        const double step = mantissa * decade;
        if (step >= least * (1.0 - kTolerance)) return step;
    }
    return 20.0 * decade;  // not reached: log10 is never off by a whole decade
}

double TickStep(double span, double pixels, double spacing) {
    if (!(pixels > 0.0)) return 0.0;
    return RoundStep(span * spacing / pixels);
}

std::vector<double> Multiples(double low, double high, double step) {
    std::vector<double> values;
    if (!(step > 0.0) || !std::isfinite(low) || !std::isfinite(high) || !(high >= low)) return values;
    const double first = std::ceil(low / step - kEndTolerance);
    const double last = std::floor(high / step + kEndTolerance);
    if (!std::isfinite(first) || !std::isfinite(last)) return values;
    for (double i = first; i <= last && values.size() < static_cast<size_t>(kMaxTicks); ++i)
        values.push_back(i * step);
    return values;
}

int StepDecimals(double step) {
    if (!(step > 0.0) || !std::isfinite(step) || step >= 1.0 - kTolerance) return 0;
    return static_cast<int>(std::ceil(-std::log10(step) - kEndTolerance));
}

std::string TickLabel(double value, double step, double unit) {
    const int decimals = StepDecimals(step / unit);
    // A multiple computed as i · step may land a rounding error beside zero.
    const double scaled = std::fabs(value) < step * 1e-6 ? 0.0 : value / unit;
    return number::Fixed(scaled, decimals);
}

FrequencyUnit FrequencyUnitFor(double stepHz) {
    if (stepHz >= 1000.0 * (1.0 - kTolerance)) return {1000.0, "кГц"};
    return {1.0, "Гц"};
}

double NominalFrequency(double hertz) {
    if (!(hertz > 0.0) || !std::isfinite(hertz)) return 0.0;
    const long long index = std::llround(10.0 * std::log10(hertz));
    long long decade = index / 10;
    long long within = index % 10;
    if (within < 0) {
        within += 10;
        decade -= 1;
    }
    return kR10[within] * std::pow(10.0, static_cast<double>(decade));
}

std::string NominalFrequencyLabel(double hertz) {
    const double nominal = NominalFrequency(hertz);
    // The fewest decimals that write it.
    int decimals = 0;
    for (double scaled = nominal; decimals < 15; ++decimals, scaled *= 10.0)
        if (std::fabs(scaled - std::round(scaled)) <= scaled * kTolerance) break;
    return number::Fixed(nominal, decimals);
}

}  // namespace axis
