// The reach that a stretch is planned with, held against the filters and the
// FGT themselves: a part computed alone, with every sample outside the reach
// its plan names poisoned (NaN), has the whole computation's values bit for
// bit, writes nothing outside its blocks, and the first sample of the reach
// is really read.
#include "StretchPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FGTOnDemand.h"
#include "GuardedSignal.h"
#include "HalfBandDecimator.h"
#include "HilbertFilter.h"

namespace {

constexpr long kGuard = 1100;  // more than either filter's reach of 1024

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct ReachCase {
    long n;             // source samples
    SampleSpan wanted;  // outputs (decimator) or samples (Hilbert filter) asked for
};

class FilterReach : public ::testing::TestWithParam<ReachCase> {};

TEST_P(FilterReach, DecimatedPartIsTheWholeLayerAndReadsOnlyItsReach) {
    const auto [n, wanted] = GetParam();
    HalfBandDecimator decimator;
    ASSERT_TRUE(decimator.Init());
    GuardedSignal source(n, kGuard);
    source.randomReal(0, n, 5);
    source[n].re = 0.75;  // the output a layer below may leave past its end
    GuardedSignal whole(n / 2, kGuard);
    decimator.Decimate(source.at0(), n, whole.at0(), nullptr, 1);

    const SampleSpan groups = HalfBandDecimator::GroupsCovering(wanted, n);
    const SampleSpan read = HalfBandDecimator::SourceRead(wanted, n);
    ASSERT_TRUE(groups.Contains(wanted.Within({0, HalfBandDecimator::Outputs(n)})));
    GuardedSignal part = source;
    part.poisonOutside(read.first, read.end);
    GuardedSignal out(n / 2, kGuard);
    out.poisonOutside(0, 0);
    decimator.Decimate(part.at0(), n, out.at0(), nullptr, 1, wanted);
    for (long m = -kGuard; m < n / 2 + kGuard; ++m) {
        if (m >= groups.first && m < groups.end)
            ASSERT_TRUE(SameBits(out[m].re, whole[m].re)) << "output " << m;
        else
            ASSERT_TRUE(std::isnan(out[m].re)) << "written outside the groups: " << m;
    }
    // The first sample of the reach feeds the first output of its group.
    if (read.first > -HalfBandDecimator::kHalfLength) {
        GuardedSignal poisoned = source;
        poisoned[read.first].re = std::nan("");
        decimator.Decimate(poisoned.at0(), n, out.at0(), nullptr, 1, wanted);
        EXPECT_TRUE(std::isnan(out[groups.first].re));
    }
}

TEST_P(FilterReach, AnalyticPartIsTheWholeSignalsAndReadsOnlyItsReach) {
    const auto [n, wanted] = GetParam();
    HilbertFilter filter(2049);
    ASSERT_TRUE(filter.Init());
    GuardedSignal signal(n, kGuard);
    signal.randomReal(0, n, 9);
    signal[n].re = -0.5;
    GuardedSignal whole = signal;
    filter.Apply(whole.at0(), n, nullptr, 1);

    const SampleSpan blocks = filter.BlocksCovering(wanted, n);
    const SampleSpan read = filter.Reads(wanted, n);
    ASSERT_TRUE(blocks.Contains(wanted.Within({0, n})));
    ASSERT_TRUE(read.Contains(blocks));
    GuardedSignal part = signal;
    part.poisonOutside(read.first, read.end);
    filter.Apply(part.at0(), n, nullptr, 1, wanted);
    for (long i = read.first; i < read.end; ++i) {
        if (i >= blocks.first && i < blocks.end)
            ASSERT_TRUE(SameBits(part[i].im, whole[i].im)) << "sample " << i;
        else
            ASSERT_EQ(part[i].im, 0.0) << "written outside the blocks: " << i;
    }
    if (read.first > -filter.HalfLength()) {
        GuardedSignal poisoned = signal;
        poisoned[read.first].re = std::nan("");
        filter.Apply(poisoned.at0(), n, nullptr, 1, wanted);
        EXPECT_TRUE(std::isnan(poisoned[blocks.first].im));
    }
}

INSTANTIATE_TEST_SUITE_P(Spans, FilterReach,
                         ::testing::Values(ReachCase{40000, {0, 5}}, ReachCase{40000, {15000, 15010}},
                                           ReachCase{40000, {3000, 18000}}, ReachCase{40000, {19990, 20000}},
                                           ReachCase{40001, {19995, 20001}},
                                           ReachCase{40001, {39990, 40001}}));

// What is written into a layer's store must lie inside what is reserved for
// it: the loaded frames in layer 0, the decimated groups above it.
TEST(StretchPlan, AnalyticSamplesLieInsideWhatIsLoadedOrDecimated) {
    const long samples = 1000003;
    const HilbertFilter filter(2049);
    for (int layer = 0; layer < StretchPlan::kLayers; ++layer) {
        for (const SampleSpan picture : {SampleSpan{-512, 700}, SampleSpan{200000 >> layer, 230000 >> layer},
                                         SampleSpan{(samples >> layer) - 900, (samples >> layer) + 512}}) {
            const StretchPlan plan(samples, layer, picture, &filter);
            const StretchPlan::Layer& top = plan.At(layer);
            EXPECT_FALSE(top.analytic.Empty());
            EXPECT_TRUE((layer == 0 ? plan.Frames() : top.decimated).Contains(top.analytic)) << layer;
            for (int l = 1; l <= layer; ++l)
                EXPECT_TRUE(plan.At(l).decimated.Contains(
                    plan.At(l).needed.Within({0, HalfBandDecimator::Outputs(samples >> (l - 1))})));
            EXPECT_TRUE(plan.At(0).needed.Contains(plan.Frames()));
        }
    }
}

// The FGT of a signal whose samples outside the span ReadSpan names are
// poisoned draws the same levels as the FGT of the whole signal.
TEST(StretchPlan, FgtValuesDrawnReadOnlyTheirSpan) {
    constexpr double kRate = 8000.0;
    const long n = 8000 * 30;
    GuardedSignal signal(n, 6000);
    signal.randomReal(0, n, 3);
    const int width = 160;
    const double cursor = 14.2;
    FGTOnDemand whole;
    ASSERT_TRUE(whole.Bind(fgt::SignalRef{signal.at0(), n, kRate, 6000}, 2.0));
    const int height = whole.GetRows() + 1;
    const SampleSpan read = whole.ReadSpan(width, height, cursor);
    ASSERT_GT(read.first, 0);
    ASSERT_LT(read.end, n);
    ASSERT_TRUE(whole.Prepare(width, height, cursor, 0.0, 50.0));

    GuardedSignal part = signal;
    part.poisonOutside(read.first, read.end);
    FGTOnDemand stretch;
    ASSERT_TRUE(stretch.Bind(fgt::SignalRef{part.at0(), n, kRate, 6000}, 2.0));
    ASSERT_TRUE(stretch.Prepare(width, height, cursor, 0.0, 50.0));
    long compared = 0;
    for (int row = 0; row < whole.GetRows(); ++row) {
        const fgt::DrawnSpan drawn =
            fgt::DrawnValues(width, cursor, whole.GetSigmaT()[row], whole.GetRowLength()[row]);
        for (long long k = drawn.first; k < drawn.last; ++k, ++compared) {
            ASSERT_TRUE(std::isfinite(whole.Level(row, k))) << row << " " << k;
            ASSERT_TRUE(SameBits(stretch.Level(row, k), whole.Level(row, k))) << row << " " << k;
        }
    }
    EXPECT_GT(compared, 100L * whole.GetRows());
}

}  // namespace
