#include "HilbertFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "CpuLevels.h"
#include "DirectFilters.h"
#include "GuardedSignal.h"

namespace {

std::vector<double> PlainCoefficients(int length) { return direct::HilbertCoefficients(length); }

std::vector<double> DirectImaginary(const GuardedSignal& x, int length) {
    return direct::HilbertImaginary(x, length);
}

class CountingProgress : public ProgressReporter {
public:
    // Records, at each step, how many leading samples already carry their result.
    explicit CountingProgress(const GuardedSignal* signal) : m_signal(signal) {}
    int StepIt() override {
        long done = 0;
        while (done < m_signal->size() && !std::isnan((*m_signal)[done].im)) ++done;
        m_doneAtStep.push_back(done);
        return static_cast<int>(m_doneAtStep.size()) - 1;
    }
    std::vector<long> m_doneAtStep;

private:
    const GuardedSignal* m_signal;
};

double MaxAbsDiff(const GuardedSignal& x, const std::vector<double>& expected) {
    double worst = 0.0;
    for (long n = 0; n < x.size(); ++n) {
        worst = std::max(worst, std::abs(x[n].im - expected[static_cast<size_t>(n)]));
        if (std::isnan(x[n].im)) return INFINITY;
    }
    return worst;
}

}  // namespace

TEST(HilbertFilter, CoefficientsAsSpecifiedBitForBit) {
    std::vector<double> c(2049);
    HilbertFilter::MakeCoefficients(2049, c.data());
    const double* at = c.data() + 1024;
    EXPECT_EQ(at[1], -0.6366077882554755);
    EXPECT_EQ(at[-1], 0.6366077882554755);
    EXPECT_EQ(at[3], -0.21217064115991052);
    EXPECT_NEAR(at[5], -0.1272640474468, 1e-13);
    EXPECT_EQ(at[0], 0.0);
    for (int k = 1; k <= 1024; ++k) {
        EXPECT_EQ(at[-k], -at[k]) << k;
        if (k % 2 == 0) {
            EXPECT_EQ(at[k], 0.0) << k;
        }
    }
    const std::vector<double> plain = PlainCoefficients(2049);
    for (int i = 0; i < 2049; ++i)
        EXPECT_NEAR(c[static_cast<size_t>(i)], plain[static_cast<size_t>(i)], 1e-17);
}

TEST(HilbertFilter, ImpulseResponseIsTheMirroredKernel) {
    const long n = 5000, p = 2600;
    GuardedSignal x(n, 1025);
    x[p].re = 1.0;
    HilbertFilter filter;
    ASSERT_TRUE(filter.Init());
    filter.Apply(x.at0(), n, nullptr, 1);
    EXPECT_NEAR(x[p + 1].im, 0.6366077882554755, 1e-14);
    EXPECT_NEAR(x[p - 1].im, -0.6366077882554755, 1e-14);
    EXPECT_NEAR(x[p + 3].im, 0.21217064115991052, 1e-14);
    const std::vector<double> c = PlainCoefficients(2049);
    for (long i = 0; i < n; ++i) {
        const long k = p - i;
        const double expected = std::abs(k) <= 1024 ? c[static_cast<size_t>(k + 1024)] : 0.0;
        ASSERT_NEAR(x[i].im, expected, 1e-15) << i;
        ASSERT_EQ(x[i].re, i == p ? 1.0 : 0.0) << i;  // real parts untouched
    }
}

TEST(HilbertFilter, CosineGainsItsSine) {
    const long n = 8000;
    GuardedSignal x(n, 1025);
    const double w = 2.0 * std::numbers::pi * 0.1;
    for (long i = 0; i < n; ++i) x[i].re = std::cos(w * i);
    HilbertFilter filter;
    ASSERT_TRUE(filter.Init());
    filter.Apply(x.at0(), n, nullptr, 1);
    for (long i = 1024; i < n - 1024; ++i) {
        ASSERT_NEAR(x[i].im, std::sin(w * i), 1e-9) << i;
        ASSERT_NEAR(std::hypot(x[i].re, x[i].im), 1.0, 1e-9) << i;
    }
    // A constant, in contrast, reads the zero guard bands at both ends.
    GuardedSignal k(6000, 1025);
    for (long i = 0; i < 6000; ++i) k[i].re = 1.0;
    filter.Apply(k.at0(), 6000, nullptr, 1);
    EXPECT_NEAR(k[3000].im, 0.0, 1e-12);
    EXPECT_LT(k[0].im, -1.0);
    EXPECT_GT(k[5999].im, 1.0);
}

TEST(HilbertFilter, FastPathEqualsDirectFormOnRandomInput) {
    HilbertFilter filter;
    ASSERT_TRUE(filter.Init());
    // Lengths around the block of 3073 sample pairs, and tiny ones.
    for (long n : {1L, 2L, 3L, 7L, 6146L, 6147L, 6148L, 9221L}) {
        GuardedSignal input(n, 1100);
        // Non-zero samples up to the filter's reach, NaN beyond it.
        input.randomReal(-1024, n + 1024, static_cast<unsigned>(n));
        input.poisonOutside(-1024, n + 1024);
        for (long i = 0; i < n; ++i) input[i].im = 0.0;
        const std::vector<double> expected = DirectImaginary(input, 2049);
        // The transform's vector code and its portable loop.
        for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
            const cpu::LevelCap cap(level);
            GuardedSignal x = input;
            filter.Apply(x.at0(), n, nullptr, 1);
            // Rounding of two transforms of 4096 points: far below 1e-12 of
            // the unit signal scale.
            EXPECT_LT(MaxAbsDiff(x, expected), 1e-12) << "n=" << n << " " << LevelName(level);
            EXPECT_EQ(x[-1].im, 0.0);  // guard samples keep their imaginary parts
            EXPECT_EQ(x[n].im, 0.0);
            EXPECT_TRUE(std::isnan(x[-1025].im));
            EXPECT_TRUE(std::isnan(x[n + 1024].im));
        }
    }
}

TEST(HilbertFilter, OtherLengthsAndTheDirectFallback) {
    // Short filters (half-lengths 2 and 3), and one too long for the largest
    // transform, which takes the direct path.
    for (int length : {5, 7, 70001}) {
        const long n = 60, half = length / 2;
        GuardedSignal x(n, half + 8);
        x.randomReal(-half, n + half, static_cast<unsigned>(length));
        x.poisonOutside(-half, n + half);
        for (long i = 0; i < n; ++i) x[i].im = 0.0;
        const std::vector<double> expected = DirectImaginary(x, length);
        HilbertFilter filter(length);
        ASSERT_TRUE(filter.Init());
        EXPECT_EQ(filter.HalfLength(), half);
        filter.Apply(x.at0(), n, nullptr, 1);
        EXPECT_LT(MaxAbsDiff(x, expected), 1e-12) << length;
    }
    // No filter at all: a zero imaginary part.
    GuardedSignal y(4, 2);
    y.randomReal(-2, 6, 1);
    y[1].im = 5.0;
    HilbertFilter none(1);
    ASSERT_TRUE(none.Init());
    none.Apply(y.at0(), 4, nullptr, 1);
    for (long i = 0; i < 4; ++i) EXPECT_EQ(y[i].im, 0.0);
}

TEST(HilbertFilter, ProgressStepsAtEveryStrideAfterTheSample) {
    const long n = 20000, stride = n / 1000 + 1;
    GuardedSignal x(n, 1025);
    x.randomReal(0, n, 7);
    for (long i = 0; i < n; ++i) x[i].im = std::numeric_limits<double>::quiet_NaN();
    HilbertFilter filter;
    ASSERT_TRUE(filter.Init());
    CountingProgress progress(&x);
    filter.Apply(x.at0(), n, &progress, stride);
    const long expectedSteps = (n - 1) / stride + 1;
    ASSERT_EQ(static_cast<long>(progress.m_doneAtStep.size()), expectedSteps);
    for (long s = 0; s < expectedSteps; ++s) {
        EXPECT_GT(progress.m_doneAtStep[static_cast<size_t>(s)], s * stride) << s;
        if (s > 0) {
            EXPECT_GE(progress.m_doneAtStep[static_cast<size_t>(s)],
                      progress.m_doneAtStep[static_cast<size_t>(s - 1)]);
        }
    }
    EXPECT_EQ(progress.m_doneAtStep.back(), n);
}
