#include "HalfBandDecimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "CpuLevels.h"
#include "DirectFilters.h"
#include "GuardedSignal.h"

namespace {

constexpr long kGuard = 1100;  // more than the filter's reach of 1024

std::vector<double> PlainCoefficients() { return direct::HalfBandCoefficients(); }

GuardedSignal DirectLayer(const GuardedSignal& src) { return direct::HalfBandLayer(src, kGuard); }

GuardedSignal FastLayer(const HalfBandDecimator& dec, const GuardedSignal& src) {
    GuardedSignal dst(src.size() >> 1, kGuard);
    dec.Decimate(src.at0(), src.size(), dst.at0(), nullptr, 1);
    return dst;
}

class StepCounter : public ProgressReporter {
public:
    // Records at each step how many leading outputs are already written.
    explicit StepCounter(const GuardedSignal* dst, long outputs) : m_dst(dst), m_outputs(outputs) {}
    int StepIt() override {
        long done = 0;
        while (done < m_outputs && !std::isnan((*m_dst)[done].re)) ++done;
        m_doneAtStep.push_back(done);
        return 0;
    }
    std::vector<long> m_doneAtStep;

private:
    const GuardedSignal* m_dst;
    long m_outputs;
};

}  // namespace

TEST(HalfBandDecimator, CoefficientsAsSpecifiedBitForBit) {
    std::vector<double> c(2049);
    HalfBandDecimator::MakeCoefficients(c.data());
    const double* h = c.data() + 1024;
    EXPECT_EQ(h[0], 0.5);
    EXPECT_EQ(h[1], 0.31830389412773774);
    EXPECT_EQ(h[-1], 0.31830389412773774);
    EXPECT_EQ(h[3], -0.10608532057995526);
    EXPECT_EQ(h[-3], -0.10608532057995526);
    EXPECT_NEAR(h[5], 0.0636320237234, 1e-13);
    EXPECT_NEAR(h[-5], 0.0636320237234, 1e-13);
    EXPECT_EQ(h[7], -0.04543091543551362);
    EXPECT_EQ(h[-7], -0.04543091543551362);
    double sum = 0.0;
    for (int k = -1024; k <= 1024; ++k) {
        sum += h[k];
        if (k != 0 && k % 2 == 0) {
            EXPECT_EQ(h[k], 0.0) << k;
        }
        EXPECT_EQ(h[k], h[-k]) << k;
    }
    // The Gaussian window leaves the gain at zero frequency 8.3e-13 short of 1.
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_LT(sum, 1.0);
    const std::vector<double> plain = PlainCoefficients();
    for (int i = 0; i < 2049; ++i)
        EXPECT_NEAR(c[static_cast<size_t>(i)], plain[static_cast<size_t>(i)], 1e-17);
}

TEST(HalfBandDecimator, ConstantStaysOneInEveryLayer) {
    HalfBandDecimator dec;
    ASSERT_TRUE(dec.Init());
    // Layer 7 keeps 2343 samples; the edges disturb fewer than 1024 of them
    // at each end in every layer.
    GuardedSignal layer(300000, kGuard);
    for (long i = 0; i < layer.size(); ++i) layer[i].re = 1.0;
    const std::vector<double> h = PlainCoefficients();
    double halfSum = 0.0;
    for (int k = 0; k <= 1024; ++k) halfSum += h[static_cast<size_t>(k + 1024)];
    for (int j = 1; j <= 7; ++j) {
        GuardedSignal next = FastLayer(dec, layer);
        ASSERT_EQ(next.size(), 300000L >> j);
        if (j == 1) {
            // Only the taps with k >= 0 meet signal; the rest meet the guard band.
            EXPECT_NEAR(next[0].re, halfSum, 1e-12);
            EXPECT_NEAR(next[0].re, 0.75, 1e-9);
        }
        for (long i = 1024; i < next.size() - 1024; ++i) ASSERT_NEAR(next[i].re, 1.0, 1e-11) << j << " " << i;
        EXPECT_EQ(next[0].im, 0.0);
        layer = std::move(next);
    }
}

TEST(HalfBandDecimator, StopsAboveAndPassesBelowTheNewBand) {
    HalfBandDecimator dec;
    ASSERT_TRUE(dec.Init());
    const long n = 12000;
    GuardedSignal high(n, kGuard), low(n, kGuard);
    const double w3 = 2.0 * std::numbers::pi * 0.3, w1 = 2.0 * std::numbers::pi * 0.1;
    for (long i = 0; i < n; ++i) {
        high[i].re = std::sin(w3 * i);
        low[i].re = std::sin(w1 * i);
    }
    const GuardedSignal highOut = FastLayer(dec, high);
    const GuardedSignal lowOut = FastLayer(dec, low);
    for (long m = 1024; m < n / 2 - 1024; ++m) {
        ASSERT_LT(std::abs(highOut[m].re), 1e-11) << m;
        // Output m stands for source sample 2m.
        ASSERT_NEAR(lowOut[m].re, std::sin(w1 * 2.0 * m), 1e-10) << m;
    }
}

TEST(HalfBandDecimator, SevenSamplesGiveFourThenTwoOutputs) {
    HalfBandDecimator dec;
    ASSERT_TRUE(dec.Init());
    EXPECT_EQ(HalfBandDecimator::Outputs(7), 4);
    EXPECT_EQ(HalfBandDecimator::Outputs(3), 2);
    EXPECT_EQ(HalfBandDecimator::Outputs(0), 0);
    GuardedSignal l0(7, kGuard);
    for (long i = 0; i < 7; ++i) l0[i].re = 1.0 + 0.25 * i;
    const double nan = std::numeric_limits<double>::quiet_NaN();

    GuardedSignal l1(3, kGuard);
    for (long i = 0; i < 3 + kGuard; ++i) l1[i].re = nan;
    dec.Decimate(l0.at0(), 7, l1.at0(), nullptr, 1);
    const GuardedSignal d1 = DirectLayer(l0);
    for (long m = 0; m <= 3; ++m) EXPECT_NEAR(l1[m].re, d1[m].re, 1e-13) << m;  // index 3 is a guard sample
    EXPECT_TRUE(std::isnan(l1[4].re));
    for (long m = 0; m <= 3; ++m) EXPECT_NE(l1[m].re, 0.0);

    GuardedSignal l1clean(3, kGuard);
    for (long m = 0; m <= 3; ++m) l1clean[m].re = l1[m].re;
    GuardedSignal l2(1, kGuard);
    for (long i = 0; i < 1 + kGuard; ++i) l2[i].re = nan;
    dec.Decimate(l1clean.at0(), 3, l2.at0(), nullptr, 1);
    const GuardedSignal d2 = DirectLayer(d1);  // reads the guard sample of layer 1 like the filter does
    EXPECT_NEAR(l2[0].re, d2[0].re, 1e-13);
    EXPECT_NEAR(l2[1].re, d2[1].re, 1e-13);
    EXPECT_TRUE(std::isnan(l2[2].re));
}

TEST(HalfBandDecimator, FastPathEqualsDirectFormOnRandomInput) {
    HalfBandDecimator dec;
    ASSERT_TRUE(dec.Init());
    // Around one and two pairs of blocks of 3073 outputs, and tiny sources.
    for (long n : {1L, 2L, 7L, 6146L, 6147L, 12292L, 12293L, 12295L}) {
        GuardedSignal src(n, kGuard);
        src.randomReal(-1024, n + 1024, static_cast<unsigned>(n) + 11u);
        src.poisonOutside(-1024, n + 1024);
        const GuardedSignal expected = DirectLayer(src);
        for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
            const cpu::LevelCap cap(level);
            const GuardedSignal got = FastLayer(dec, src);
            double worst = 0.0;
            for (long m = 0; m < HalfBandDecimator::Outputs(n); ++m) {
                const double d = std::abs(got[m].re - expected[m].re);
                worst = std::isnan(d) ? INFINITY : std::max(worst, d);
            }
            EXPECT_LT(worst, 1e-12) << "n=" << n << " " << LevelName(level);
            EXPECT_EQ(got[HalfBandDecimator::Outputs(n)].re, 0.0);  // nothing written beyond
        }
    }
}

TEST(HalfBandDecimator, ProgressStepsOnEvenIndicesAtTheStride) {
    HalfBandDecimator dec;
    ASSERT_TRUE(dec.Init());
    const long n = 15001, stride = n / 1000, outputs = HalfBandDecimator::Outputs(n);
    GuardedSignal src(n, kGuard);
    src.randomReal(0, n, 3);
    GuardedSignal dst(n >> 1, kGuard);
    for (long m = 0; m < outputs; ++m) dst[m].re = std::numeric_limits<double>::quiet_NaN();
    StepCounter counter(&dst, outputs);
    dec.Decimate(src.at0(), n, dst.at0(), &counter, stride);
    std::vector<long> expectedIndices;
    for (long e = 0; e < n; e += 2) {
        if (e % stride == 0) expectedIndices.push_back(e / 2);
    }
    ASSERT_EQ(counter.m_doneAtStep.size(), expectedIndices.size());
    for (size_t s = 0; s < expectedIndices.size(); ++s) {
        EXPECT_GT(counter.m_doneAtStep[s], expectedIndices[s]) << s;
        if (s > 0) {
            EXPECT_GE(counter.m_doneAtStep[s], counter.m_doneAtStep[s - 1]);
        }
    }
    EXPECT_EQ(counter.m_doneAtStep.back(), outputs);
}
