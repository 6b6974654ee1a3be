#include "FftCorrelator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "CpuLevels.h"

namespace {

struct Case {
    int taps;
    int size;  // 0: the correlator's own choice
};

// out[r] = sum_j t[j] · s[r + j] by the definition, for complex s.
std::vector<KCOMPLEX_DOUBLE> DirectCorrelation(const std::vector<double>& t,
                                               const std::vector<KCOMPLEX_DOUBLE>& s, int outputs) {
    std::vector<KCOMPLEX_DOUBLE> out(static_cast<size_t>(outputs));
    for (int r = 0; r < outputs; ++r) {
        double re = 0.0, im = 0.0;
        for (size_t j = 0; j < t.size(); ++j) {
            re += t[j] * s[static_cast<size_t>(r) + j].re;
            im += t[j] * s[static_cast<size_t>(r) + j].im;
        }
        out[static_cast<size_t>(r)] = KCOMPLEX_DOUBLE{re, im};
    }
    return out;
}

}  // namespace

TEST(FftCorrelator, BlocksEqualTheDirectCorrelation) {
    std::mt19937_64 rng(17);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (Case c : {Case{1, 16}, Case{5, 16}, Case{15, 16}, Case{3, 0}, Case{100, 0}, Case{1024, 0},
                   Case{1024, 16384}}) {
        std::vector<double> taps(static_cast<size_t>(c.taps));
        for (double& t : taps) t = dist(rng);
        FftCorrelator corr;
        ASSERT_TRUE(corr.Init(taps.data(), c.taps, c.size)) << c.taps;
        if (c.size != 0) {
            EXPECT_EQ(corr.Size(), c.size);
        } else {
            EXPECT_GE(corr.Size(), 4 * c.taps);
            EXPECT_LT(corr.Size(), 16 * c.taps + 16);
        }
        EXPECT_EQ(corr.BlockOutputs(), corr.Size() - c.taps + 1);
        std::vector<KCOMPLEX_DOUBLE> s(static_cast<size_t>(corr.Size()));
        for (auto& v : s) v = KCOMPLEX_DOUBLE{dist(rng), dist(rng)};
        const std::vector<KCOMPLEX_DOUBLE> expected = DirectCorrelation(taps, s, corr.BlockOutputs());
        for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
            const cpu::LevelCap cap(level);
            auto buffer = corr.NewBuffer();
            ASSERT_NE(buffer, nullptr);
            std::copy(s.begin(), s.end(), buffer.get());
            corr.Run(buffer.get());
            double worst = 0.0;
            for (int r = 0; r < corr.BlockOutputs(); ++r) {
                worst = std::max(worst, std::abs(buffer[r].re - expected[static_cast<size_t>(r)].re));
                worst = std::max(worst, std::abs(buffer[r].im - expected[static_cast<size_t>(r)].im));
            }
            // Sums of up to 1024 unit-scale products: rounding stays far below 1e-11.
            EXPECT_LT(worst, 1e-11 * std::sqrt(static_cast<double>(c.taps)))
                << c.taps << " " << LevelName(level);
        }
    }
}

TEST(FftCorrelator, RefusesWhatNoTransformFits) {
    const std::vector<double> taps(20000, 1.0);
    FftCorrelator corr;
    EXPECT_FALSE(corr.Init(taps.data(), 0));
    EXPECT_FALSE(corr.IsReady());
    EXPECT_FALSE(corr.Init(taps.data(), 16, 16));  // no output left
    EXPECT_FALSE(corr.Init(taps.data(), 4, 32));   // not a transform length
    EXPECT_FALSE(corr.Init(taps.data(), 70000));   // beyond the largest transform
    EXPECT_TRUE(corr.Init(taps.data(), 20000));    // the largest transform serves
    EXPECT_EQ(corr.Size(), 65536);
    EXPECT_EQ(FftCorrelator::MaxTaps(), 65535);
}
