// The round steps and labels of the picture axes against closed cases: the
// 1-2-5 series written out by hand, the multiples a range holds, and the
// nominal octave names of the acoustics tables.
#include "AxisTicks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct StepCase {
    double least;
    double step;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.least << " -> " << c.step; }

class RoundStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(RoundStepTest, IsTheSmallestSeriesValueNotBelow) {
    EXPECT_DOUBLE_EQ(axis::RoundStep(GetParam().least), GetParam().step) << GetParam().least;
}

INSTANTIATE_TEST_SUITE_P(
    Series, RoundStepTest,
    ::testing::Values(StepCase{1.0, 1.0}, StepCase{1.0000001, 2.0}, StepCase{1.9, 2.0}, StepCase{2.0, 2.0},
                      StepCase{2.1, 5.0}, StepCase{5.0, 5.0}, StepCase{5.01, 10.0}, StepCase{9.99, 10.0},
                      StepCase{10.0, 10.0}, StepCase{0.3, 0.5}, StepCase{0.1, 0.1}, StepCase{0.011, 0.02},
                      StepCase{0.0003, 0.0005}, StepCase{1234.0, 2000.0}, StepCase{47000.0, 50000.0},
                      StepCase{0.2 * 3.0, 1.0},  // 0.6000000000000001
                      StepCase{0.1 * 3.0 / 3.0 * 2.0, 0.2}, StepCase{0.0, 0.0}, StepCase{-3.0, 0.0},
                      StepCase{std::numeric_limits<double>::infinity(), 0.0},
                      StepCase{std::numeric_limits<double>::quiet_NaN(), 0.0}));

TEST(AxisTicks, TickStepKeepsTheLabelsApart) {
    // 22050 Hz on 512 rows with ticks 40 rows apart: 1722.7 Hz at least.
    EXPECT_DOUBLE_EQ(axis::TickStep(22050.0, 512.0, 40.0), 2000.0);
    // 60 s on 1920 columns, 80 columns apart: 2.5 s at least.
    EXPECT_DOUBLE_EQ(axis::TickStep(60.0, 1920.0, 80.0), 5.0);
    EXPECT_DOUBLE_EQ(axis::TickStep(60.0, 0.0, 80.0), 0.0);
}

TEST(AxisTicks, MultiplesCoverTheRangeWithItsEnds) {
    EXPECT_EQ(axis::Multiples(0.0, 1.0, 0.2),
              (std::vector<double>{0.0, 0.2, 0.4, 0.6000000000000001, 0.8, 1.0}));
    EXPECT_EQ(axis::Multiples(0.35, 1.05, 0.5), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(axis::Multiples(-3.0, 3.0, 2.5), (std::vector<double>{-2.5, 0.0, 2.5}));
    // An end that the step reaches only up to rounding still counts.
    EXPECT_EQ(axis::Multiples(0.1 * 3.0, 0.9, 0.3).size(), 3u);
    EXPECT_TRUE(axis::Multiples(0.6, 0.9, 1.0).empty());
    EXPECT_TRUE(axis::Multiples(1.0, 0.0, 0.1).empty());
    EXPECT_TRUE(axis::Multiples(0.0, 1.0, 0.0).empty());
    EXPECT_EQ(axis::Multiples(0.0, 1e9, 1.0).size(), static_cast<size_t>(axis::kMaxTicks));
}

TEST(AxisTicks, LabelsHaveTheDecimalsOfTheStep) {
    EXPECT_EQ(axis::StepDecimals(5.0), 0);
    EXPECT_EQ(axis::StepDecimals(1.0), 0);
    EXPECT_EQ(axis::StepDecimals(0.5), 1);
    EXPECT_EQ(axis::StepDecimals(0.1), 1);
    EXPECT_EQ(axis::StepDecimals(0.05), 2);
    EXPECT_EQ(axis::StepDecimals(0.001), 3);
    EXPECT_EQ(axis::TickLabel(0.6000000000000001, 0.2), "0.6");
    EXPECT_EQ(axis::TickLabel(12.5, 0.5), "12.5");
    EXPECT_EQ(axis::TickLabel(40.0, 10.0), "40");
    EXPECT_EQ(axis::TickLabel(-1e-17, 0.1), "0.0");
    EXPECT_EQ(axis::TickLabel(6000.0, 2000.0, 1000.0), "6");
    EXPECT_EQ(axis::TickLabel(1500.0, 500.0, 1000.0), "1.5");
    EXPECT_EQ(std::string(axis::FrequencyUnitFor(2000.0).name), "кГц");
    EXPECT_EQ(axis::FrequencyUnitFor(1000.0).hertz, 1000.0);
    EXPECT_EQ(std::string(axis::FrequencyUnitFor(500.0).name), "Гц");
}

TEST(AxisTicks, OctavesHaveTheirNominalNames) {
    // The octaves of 8 Hz as the acoustics tables name them, and the next
    // decade's preferred number beyond 16 kHz.
    const char* const names[] = {"8",    "16",   "31.5", "63",   "125",   "250",  "500",
                                 "1000", "2000", "4000", "8000", "16000", "31500"};
    for (int octave = 0; octave < 13; ++octave)
        EXPECT_EQ(axis::NominalFrequencyLabel(8.0 * std::pow(2.0, octave)), names[octave]) << octave;
    EXPECT_DOUBLE_EQ(axis::NominalFrequency(31.25), 31.5);
    EXPECT_DOUBLE_EQ(axis::NominalFrequency(0.0315), 0.0315);
    EXPECT_EQ(axis::NominalFrequencyLabel(0.0315), "0.0315");
    EXPECT_EQ(axis::NominalFrequency(0.0), 0.0);
    EXPECT_EQ(axis::NominalFrequency(-8.0), 0.0);
}

}  // namespace
