// The vector levels and phase steps against the C library's log10 and
// atan2, bin by bin, on both instruction sets.
#include "SonogramKernels.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "CpuLevels.h"

namespace {

struct Result {
    std::vector<double> levels, phases;
};

Result Reference(const std::vector<KCOMPLEX_DOUBLE>& x, int rows, double ref) {
    Result r{std::vector<double>(rows), std::vector<double>(rows)};
    for (int k = 0; k < rows; ++k) {
        r.levels[k] = 10.0 * std::log10(x[k].re * x[k].re + x[k].im * x[k].im) - ref;
        const int hi = std::min(k + 1, rows - 1), lo = std::max(k - 1, 0);
        const double re = x[hi].re * x[lo].re + x[hi].im * x[lo].im;
        const double im = x[hi].im * x[lo].re - x[hi].re * x[lo].im;
        r.phases[k] = rows == 1 ? 0.0 : std::atan2(im, re);
    }
    return r;
}

Result Fast(cpu::Level level, const std::vector<KCOMPLEX_DOUBLE>& x, int rows, double ref) {
    // One sentinel past the end of each output catches an overrun.
    Result r{std::vector<double>(rows + 1, -12345.0), std::vector<double>(rows + 1, -12345.0)};
    const cpu::LevelCap cap(level);
    sonogram::FastLevelsAndPhaseSteps(x.data(), rows, ref, r.levels.data(), r.phases.data());
    EXPECT_EQ(r.levels[rows], -12345.0);
    EXPECT_EQ(r.phases[rows], -12345.0);
    r.levels.resize(rows);
    r.phases.resize(rows);
    return r;
}

// Same value, to 1e-12 relative (or absolute near zero); equal specials.
void ExpectClose(double got, double want, const char* what, int k) {
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << what << " " << k;
    } else if (std::isinf(want)) {
        EXPECT_EQ(got, want) << what << " " << k;
    } else {
        EXPECT_NEAR(got, want, 1e-12 * std::max(1.0, std::fabs(want))) << what << " " << k;
    }
}

void Compare(const std::vector<KCOMPLEX_DOUBLE>& x, int rows, double ref) {
    const Result want = Reference(x, rows, ref);
    for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
        const Result got = Fast(level, x, rows, ref);
        const std::string levelText = std::string(LevelName(level)) + " level";
        const std::string phaseText = std::string(LevelName(level)) + " phase";
        for (int k = 0; k < rows; ++k) {
            ExpectClose(got.levels[k], want.levels[k], levelText.c_str(), k);
            ExpectClose(got.phases[k], want.phases[k], phaseText.c_str(), k);
        }
    }
}

}  // namespace

TEST(SonogramKernels, RandomSpectraOverTheWholeDynamicRange) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> decades(-150.0, 150.0);
    for (int rows : {512, 513, 514, 515, 3, 2, 1}) {
        std::vector<KCOMPLEX_DOUBLE> x(rows);
        for (auto& z : x) {
            const double scale = std::pow(10.0, decades(random));
            z = {unit(random) * scale, unit(random) * scale};
        }
        Compare(x, rows, 20.6023);
    }
}

TEST(SonogramKernels, BothPathsGiveTheSameBits) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<KCOMPLEX_DOUBLE> x(512);
    for (auto& z : x) z = {unit(random), unit(random)};
    const Result portable = Fast(cpu::Level::Portable, x, 512, 3.0);
    const Result vector = Fast(cpu::Level::Avx2, x, 512, 3.0);
    EXPECT_EQ(portable.levels, vector.levels);
    EXPECT_EQ(portable.phases, vector.phases);
    if (cpu::UsableLevel() < cpu::Level::Avx2) GTEST_SKIP() << "no AVX2: only the portable path ran";
}

TEST(SonogramKernels, OctantsAxesAndSignedZerosMatchTheCLibrary) {
    // Neighbour pairs chosen so that the products land on every octant, the
    // axes, the diagonal and the four signed zeros.
    const double t = std::tan(std::atan(1.0) / 2.0);  // the reduction threshold
    std::vector<KCOMPLEX_DOUBLE> x = {
        {1.0, 0.0},       {1.0, 0.0},        {0.0, 1.0},     {-1.0, 0.0},     {0.0, -1.0},   {1.0, 1.0},
        {-1.0, 1.0},      {-1.0, -1.0},      {1.0, -1.0},    {0.3, 2.0},      {-2.0, 0.3},   {-0.3, -2.0},
        {2.0, -0.3},      {1.0, t},          {t, 1.0},       {0.0, 0.0},      {-0.0, 0.0},   {0.0, -0.0},
        {-0.0, -0.0},     {1.0, 1e-300},     {1e-300, 1.0},  {5e-324, 0.0},   {0.0, 5e-324}, {1.0, 0.0},
        {3e-160, 1e-160}, {2e-160, -1e-160}, {1e154, 1e154}, {-1e154, 2e154}, {1.0, 0.0}};
    Compare(x, static_cast<int>(x.size()), 0.0);
    // The products of signed zeros in every arrangement.
    for (double a : {0.0, -0.0}) {
        for (double b : {0.0, -0.0}) {
            std::vector<KCOMPLEX_DOUBLE> zeros(9, KCOMPLEX_DOUBLE{a, b});
            zeros[4] = {b, a};
            Compare(zeros, 9, 1.0);
        }
    }
}

TEST(SonogramKernels, SpecialLevelsTakeTheLibraryPath) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<KCOMPLEX_DOUBLE> x = {{0.0, 0.0},     {1e-160, 0.0}, {1e-170, 1e-170}, {DBL_MIN, 0.0},
                                      {1e200, 1e200}, {inf, 0.0},    {nan, 1.0},       {1.0, nan},
                                      {0.5, 0.5},     {2.0, 0.0},    {0.0, 3.0},       {-4.0, 0.0}};
    Compare(x, static_cast<int>(x.size()), -7.0);
}

namespace {

// The difference of two angles folded into (-pi, pi]: +pi and -pi are the
// same direction.
double AngleBetween(double a, double b) {
    const double pi = 4.0 * std::atan(1.0);
    double d = std::fmod(a - b, 2.0 * pi);
    if (d > pi) d -= 2.0 * pi;
    if (d <= -pi) d += 2.0 * pi;
    return d;
}

}  // namespace

TEST(SonogramKernels, SpectraOfNoiseMatchTheLibraryAsLevelsAndAngles) {
    // The transform of a windowed noise frame, taken by a direct DFT: the
    // spectrum a pane computes, over several chunks of bins.
    constexpr int kN = 512;
    const double pi = 4.0 * std::atan(1.0);
    std::mt19937_64 random(2024);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<double> frame(kN);
    for (int m = 0; m < kN; ++m) {
        const double fromCentre = m < kN / 2 ? m : kN - m;
        frame[m] = noise(random) * std::exp(-0.5 * (fromCentre / 40.0) * (fromCentre / 40.0));
    }
    std::vector<KCOMPLEX_DOUBLE> x(kN / 2);
    for (int k = 0; k < kN / 2; ++k) {
        double re = 0.0, im = 0.0;
        for (int m = 0; m < kN; ++m) {
            const double angle = -2.0 * pi * static_cast<double>((m * k) % kN) / kN;
            re += frame[m] * std::cos(angle);
            im += frame[m] * std::sin(angle);
        }
        x[k] = {re, im};
    }
    const int rows = kN / 2;
    const Result want = Reference(x, rows, 11.0);
    for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
        const Result got = Fast(level, x, rows, 11.0);
        for (int k = 0; k < rows; ++k) {
            EXPECT_NEAR(got.levels[k], want.levels[k], 1e-12 * std::max(1.0, std::fabs(want.levels[k])))
                << LevelName(level) << ", row " << k;
            EXPECT_NEAR(AngleBetween(got.phases[k], want.phases[k]), 0.0, 1e-12 * pi)
                << LevelName(level) << ", row " << k;
        }
    }
}

TEST(SonogramKernels, SpecialValuesAnywhereInALongColumn) {
    // Zeros, overflowing and non-finite values at the start, the end and the
    // edges of the blocks and chunks the kernel works in: the bins around
    // them keep their values, and the special ones come out as in the
    // C library.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const KCOMPLEX_DOUBLE specials[] = {{0.0, 0.0}, {-0.0, 0.0},     {inf, 1.0},
                                        {nan, 0.0}, {1e200, -1e200}, {1e-170, 0.0}};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int rows : {300, 259, 130}) {
        for (int at : {0, 1, 3, 4, 5, 63, 64, 65, 66, 127, 128, 129, rows - 3, rows - 2, rows - 1}) {
            std::vector<KCOMPLEX_DOUBLE> x(rows);
            for (auto& z : x) z = {unit(random), unit(random)};
            x[at] = specials[static_cast<size_t>(at + rows) % std::size(specials)];
            Compare(x, rows, 0.5);
        }
    }
}
