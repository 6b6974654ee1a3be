// The GUI-free FGT: grid, kernel, analysis points, sums, smoothing and grey
// levels, checked against closed forms and a direct computation written here
// from the definition (one accumulator per sum, taps in the order of the formula).
#include "FGTComputation.h"
#include "FGTSums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "CpuLevels.h"

namespace {

const double kTwoPi = 8.0 * std::atan(1.0);

// The widest σ of the grid (8 Hz at P = 1/(2^(1/48) - 1)), which sizes the guard band.
double MaxSigma() { return 1.0 / ((std::pow(2.0, 1.0 / 48.0) - 1.0) * kTwoPi * 8.0); }

int GuardFor(double fs) {
    const int s = 1 + static_cast<int>(5.0 * MaxSigma() * fs);
    return s < 1025 ? 1025 : s;
}

// A signal store laid out like a wave: guard, samples, guard; exactly sized so
// that the sanitizer sees any read outside it.
struct TestSignal {
    std::vector<KCOMPLEX_KFLOAT> store;
    fgt::SignalRef ref;

    TestSignal(double fs, long n) {
        const int guard = GuardFor(fs);
        store.assign(static_cast<size_t>(n + 2L * guard), KCOMPLEX_KFLOAT{0.0, 0.0});
        ref.first = store.data() + guard;
        ref.nSamples = n;
        ref.frADC = fs;
        ref.guard = guard;
    }
    double& re(long i) { return store[static_cast<size_t>(i + ref.guard)].re; }
};

struct Grid {
    int rows = 0;
    std::vector<double> frequency, sigma;
    std::vector<int> length;
    double total = 0.0;
};

Grid MakeGrid(const fgt::SignalRef& s, double P) {
    Grid g;
    g.rows = fgt::RowCount(s.frADC);
    g.frequency.resize(static_cast<size_t>(g.rows));
    g.sigma.resize(static_cast<size_t>(g.rows));
    g.length.resize(static_cast<size_t>(g.rows));
    EXPECT_TRUE(fgt::FillGrid(P, s, g.rows, g.frequency.data(), g.sigma.data(), g.length.data(), g.total));
    return g;
}

std::vector<double> Compute(const fgt::SignalRef& s, const Grid& g, cpu::Level level, int threads) {
    const cpu::LevelCap cap(level);
    std::vector<double> levels(static_cast<size_t>(g.total), 12345.0);
    EXPECT_TRUE(fgt::ComputeLevels(s, g.rows, g.frequency.data(), g.sigma.data(), g.length.data(),
                                   levels.data(), threads));
    return levels;
}

// The FGT from its definition: per row, per analysis point, the two sums with
// the kernel from its formula, then the forward 8-point mean.
std::vector<double> DirectFGT(const fgt::SignalRef& s, double P) {
    std::vector<double> out;
    const double fs = s.frADC;
    const int rows = static_cast<int>(48.0 * std::log2(fs / 2.0)) - 143;
    for (int j = 0; j < rows; ++j) {
        const double f = std::pow(2.0, (144.0 + j) / 48.0);
        const double sigma = P / (kTwoPi * f);
        const long L = static_cast<long>(static_cast<double>(s.nSamples) / fs / sigma);
        long E = static_cast<long>(fs * sigma * 5.0);
        if (E > s.guard - 1) E = s.guard - 1;
        std::vector<double> gauss, cosine, sine;
        for (long m = -E; m < E; ++m) {
            gauss.push_back(std::exp(-0.5 * std::pow(m / fs / sigma, 2)) / (sigma * kTwoPi));
            cosine.push_back(std::cos(kTwoPi * f * m / fs));
            sine.push_back(std::sin(kTwoPi * f * m / fs));
        }
        std::vector<double> row;
        double t = 0.0;
        for (long k = 0; k < L; ++k, t += sigma) {
            const long n = static_cast<long>(t * fs + 0.5);
            double a = 0.0, b = 0.0;
            for (long m = -E; m < E; ++m) {
                const size_t i = static_cast<size_t>(m + E);
                const double x = s.first[n + m].re;
                a += gauss[i] * x * cosine[i];
                b += gauss[i] * x * sine[i];
            }
            row.push_back(10.0 * std::log10(a * a + b * b));
        }
        const std::vector<double> raw = row;
        for (long k = 0; k + 8 < L; ++k) {
            double sum = 0.0;
            for (int i = 0; i < 8; ++i) sum += raw[static_cast<size_t>(k + i)];
            row[static_cast<size_t>(k)] = sum / 8.0;
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

void ExpectClose(const std::vector<double>& actual, const std::vector<double>& expected, double relative) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        if (std::isinf(expected[i])) {
            EXPECT_EQ(actual[i], expected[i]) << "value " << i;
            continue;
        }
        ASSERT_NEAR(actual[i], expected[i], relative * std::max(1.0, std::fabs(expected[i])))
            << "value " << i;
    }
}

}  // namespace

TEST(FGTComputationGrid, RowsFromEightHertzToHalfTheRate) {
    EXPECT_EQ(fgt::RowCount(44100.0), 549);
    EXPECT_EQ(fgt::RowCount(8000.0), 431);
    EXPECT_DOUBLE_EQ(fgt::RowFrequency(0), 8.0);
    EXPECT_DOUBLE_EQ(fgt::RowFrequency(48), 16.0);
    EXPECT_NEAR(fgt::RowFrequency(548), 21870.016, 0.0005);
    EXPECT_NEAR(fgt::RowFrequency(430), 3979.395, 0.0005);
    // The top row is the last grid frequency not above half the rate.
    for (double fs : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 1000.0}) {
        const int rows = fgt::RowCount(fs);
        EXPECT_LE(fgt::RowFrequency(rows - 1), fs / 2.0) << fs;
        EXPECT_GT(fgt::RowFrequency(rows), fs / 2.0) << fs;
    }
    // Below 16 Hz there is no row at all.
    EXPECT_EQ(fgt::RowCount(15.0), 0);
    EXPECT_EQ(fgt::RowCount(0.0), 0);
    EXPECT_EQ(fgt::RowCount(-44100.0), 0);
}

TEST(FGTComputationGrid, SigmaKernelAndLengthsAtPTwo) {
    const int guard = GuardFor(44100.0);
    EXPECT_NEAR(fgt::RowSigmaT(2.0, fgt::RowFrequency(0)), 0.0397887, 5e-8);
    EXPECT_EQ(fgt::KernelHalfLength(44100.0, fgt::RowSigmaT(2.0, fgt::RowFrequency(0)), guard), 8773);
    EXPECT_NEAR(fgt::RowSigmaT(2.0, fgt::RowFrequency(336)), 0.000310849, 5e-10);
    EXPECT_EQ(fgt::KernelHalfLength(44100.0, fgt::RowSigmaT(2.0, fgt::RowFrequency(336)), guard), 68);
    EXPECT_EQ(fgt::KernelHalfLength(44100.0, fgt::RowSigmaT(2.0, fgt::RowFrequency(494)), guard), 6);

    TestSignal one(44100.0, 44100);
    const Grid g = MakeGrid(one.ref, 2.0);
    ASSERT_EQ(g.rows, 549);
    EXPECT_EQ(g.length[0], 25);
    EXPECT_EQ(g.length[336], 3216);
    double sum = 0.0;
    for (int j = 0; j < g.rows; ++j) {
        EXPECT_EQ(g.length[static_cast<size_t>(j)], static_cast<int>(1.0 / g.sigma[static_cast<size_t>(j)]));
        sum += g.length[static_cast<size_t>(j)];
    }
    EXPECT_EQ(g.total, sum);
}

TEST(FGTComputationGrid, KernelStaysInsideTheGuardBand) {
    const double fs = 44100.0;
    const int guard = GuardFor(fs);
    // Up to P = 1/(2^(1/48) - 1) every kernel fits as it is.
    const double pFits = 1.0 / (std::pow(2.0, 1.0 / 48.0) - 1.0);
    for (int j = 0; j < fgt::RowCount(fs); ++j) {
        const double sigma = fgt::RowSigmaT(pFits, fgt::RowFrequency(j));
        const int unlimited = static_cast<int>(fs * sigma * 5.0);
        EXPECT_LE(unlimited, guard - 1);
        EXPECT_EQ(fgt::KernelHalfLength(fs, sigma, guard), unlimited);
    }
    // Beyond it the low rows are cut at the guard band.
    for (double P : {70.0, 1000.0, 1000000.0}) {
        EXPECT_EQ(fgt::KernelHalfLength(fs, fgt::RowSigmaT(P, 8.0), guard), guard - 1) << P;
    }
    EXPECT_EQ(fgt::KernelHalfLength(fs, fgt::RowSigmaT(1e-6, 8.0), guard), 0);
}

TEST(FGTComputationGrid, LengthsBeyondIntAreRefused) {
    TestSignal s(44100.0, 44100);
    const int rows = fgt::RowCount(s.ref.frADC);
    std::vector<double> f(static_cast<size_t>(rows)), sigma(static_cast<size_t>(rows));
    std::vector<int> length(static_cast<size_t>(rows));
    double total = 0.0;
    EXPECT_FALSE(fgt::FillGrid(1e-6, s.ref, rows, f.data(), sigma.data(), length.data(), total));
    EXPECT_GT(total, 2147483647.0);
    EXPECT_TRUE(fgt::FillGrid(2.0, s.ref, rows, f.data(), sigma.data(), length.data(), total));
    // Needed memory grows with the values: 12 bytes each at least.
    EXPECT_GE(fgt::RequiredBytes(total, rows, s.ref, 2), 12.0 * total);
    EXPECT_GT(fgt::AvailableBytes(), 0.0);
}

TEST(FGTComputationGrid, RefusalTextNamesBothFigures) {
    EXPECT_EQ(fgt::MemoryRefusalText(3.0 * 1048576.0, 1048576.0),
              "Недостаточно памяти для FGT: нужно 3 МБ, доступно 1 МБ.\n"
              "Увеличьте параметр Р или возьмите сигнал короче.\n\n"
              "Not enough memory for the FGT.");
    // Part of a mebibyte counts as a whole one.
    EXPECT_NE(fgt::MemoryRefusalText(1048577.0, 0.0).find("нужно 2 МБ, доступно 0 МБ"), std::string::npos);
}

TEST(FGTComputationKernel, TapsFollowTheGaussianCosineAndSine) {
    const double fs = 8000.0, f = 1000.0, sigma = fgt::RowSigmaT(2.0, f);
    const int guard = 1025;
    const int E = fgt::KernelHalfLength(fs, sigma, guard);
    ASSERT_EQ(E, static_cast<int>(fs * sigma * 5.0));
    const double sentinel = -777.0;
    std::vector<double> gauss(2 * guard + 1, sentinel), cosine(2 * guard + 1, sentinel),
        sine(2 * guard + 1, sentinel);
    fgt::BuildKernel(fs, f, sigma, -E, E, guard, gauss.data(), cosine.data(), sine.data());
    for (int m = -E; m < E; ++m) {
        const double time = m / fs;
        const size_t at = static_cast<size_t>(guard + m);
        EXPECT_NEAR(gauss[at], std::exp(-time * time / (2 * sigma * sigma)) / (kTwoPi * sigma), 1e-9);
        EXPECT_NEAR(cosine[at], std::cos(kTwoPi * f * time), 1e-12);
        EXPECT_NEAR(sine[at], std::sin(kTwoPi * f * time), 1e-12);
    }
    // The tap +E and everything beyond the taps stay untouched.
    for (int m : {-guard, -E - 1, E, guard}) {
        EXPECT_EQ(gauss[static_cast<size_t>(guard + m)], sentinel) << m;
        EXPECT_EQ(sine[static_cast<size_t>(guard + m)], sentinel) << m;
    }
}

TEST(FGTComputationKernel, AnalysisPointsAreTheNearestSamples) {
    const double fs = 44100.0, sigma = fgt::RowSigmaT(2.0, fgt::RowFrequency(336));
    const int count = 3216;
    std::vector<int> points(count);
    fgt::AnalysisPoints(fs, sigma, count, 44100, points.data());
    EXPECT_EQ(points[0], 0);
    for (int k = 0; k < count; ++k) {
        // Accumulated time drifts by rounding only; the point is within half a
        // sample of k·σ.
        EXPECT_LE(std::fabs(points[static_cast<size_t>(k)] - k * sigma * fs), 0.5 + 1e-6) << k;
        EXPECT_LE(points[static_cast<size_t>(k)], 44100);
    }
    // Points never pass the end of the signal.
    std::vector<int> clipped(10);
    fgt::AnalysisPoints(fs, 1.0, 10, 3, clipped.data());
    for (int p : clipped) EXPECT_LE(p, 3);
}

TEST(FGTComputationSmoothing, ForwardEightPointMean) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-20.0, 80.0);
    for (int count = 0; count <= 8; ++count) {
        std::vector<double> row(static_cast<size_t>(count));
        for (double& v : row) v = value(random);
        const std::vector<double> before = row;
        fgt::SmoothRow(row.data(), count);
        EXPECT_EQ(row, before) << count;
    }
    std::vector<double> nine(9);
    for (double& v : nine) v = value(random);
    const std::vector<double> nineBefore = nine;
    fgt::SmoothRow(nine.data(), 9);
    double mean = 0.0;
    for (int i = 0; i < 8; ++i) mean += nineBefore[static_cast<size_t>(i)] / 8.0;
    EXPECT_NEAR(nine[0], mean, 1e-12);
    for (size_t i = 1; i < 9; ++i) EXPECT_EQ(nine[i], nineBefore[i]);

    std::vector<double> row(40);
    for (double& v : row) v = value(random);
    const std::vector<double> original = row;
    fgt::SmoothRow(row.data(), 40);
    for (size_t k = 0; k < 40; ++k) {
        if (k + 8 < 40) {
            double sum = 0.0;
            for (size_t i = k; i < k + 8; ++i) sum += original[i];
            EXPECT_NEAR(row[k], sum / 8.0, 1e-12) << k;
        } else {
            EXPECT_EQ(row[k], original[k]) << k;
        }
    }
    // A silent stretch stays at minus infinity.
    std::vector<double> silent(12, -std::numeric_limits<double>::infinity());
    fgt::SmoothRow(silent.data(), 12);
    for (double v : silent) EXPECT_EQ(v, -std::numeric_limits<double>::infinity());
}

TEST(FGTComputationImage, LevelsToGrey) {
    auto grey = [](uint32_t pixel) {
        EXPECT_EQ(pixel >> 24, 0u);
        EXPECT_EQ(pixel & 0xFF, (pixel >> 8) & 0xFF);
        EXPECT_EQ(pixel & 0xFF, (pixel >> 16) & 0xFF);
        return static_cast<int>(pixel & 0xFF);
    };
    EXPECT_EQ(grey(fgt::LevelToPixel(25.0, 0.0, 50.0)), 127);
    EXPECT_EQ(grey(fgt::LevelToPixel(50.0, 0.0, 50.0)), 0);
    EXPECT_EQ(grey(fgt::LevelToPixel(78.9, 0.0, 50.0)), 0);
    EXPECT_EQ(grey(fgt::LevelToPixel(0.0, 0.0, 50.0)), 255);
    EXPECT_EQ(grey(fgt::LevelToPixel(-30.0, 0.0, 50.0)), 255);
    EXPECT_EQ(grey(fgt::LevelToPixel(-std::numeric_limits<double>::infinity(), 0.0, 50.0)), 255);
    EXPECT_EQ(grey(fgt::LevelToPixel(std::nan(""), 0.0, 50.0)), 0);
    for (double v = -60.0; v <= 100.0; v += 0.37) {
        const double clamped = std::min(std::max(v, 10.0), 40.0);
        EXPECT_EQ(grey(fgt::LevelToPixel(v, 10.0, 40.0)), static_cast<int>((40.0 - clamped) * 255.0 / 30.0))
            << v;
        // Levels that meet give black everywhere.
        EXPECT_EQ(fgt::LevelToPixel(v, 50.0, 50.0), 0u) << v;
    }
    const std::vector<double> levels{25.0, 50.0, 0.0, -std::numeric_limits<double>::infinity()};
    std::vector<uint32_t> pixels(4, 0xDEADBEEF);
    fgt::BuildImage(levels.data(), pixels.data(), 4, 0.0, 50.0);
    EXPECT_EQ(pixels, (std::vector<uint32_t>{127u * 65793u, 0u, 0xFFFFFFu, 0xFFFFFFu}));
}

TEST(FGTComputationLevels, FastPathsMatchTheDirectSumsOnRandomInput) {
    TestSignal s(8000.0, 2000);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (long n = 0; n < s.ref.nSamples; ++n) s.re(n) = value(random);
    for (double P : {2.0, 5.5}) {
        const Grid g = MakeGrid(s.ref, P);
        const std::vector<double> direct = DirectFGT(s.ref, P);
        for (cpu::Level level : LevelsToTest()) {
            const std::vector<double> one = Compute(s.ref, g, level, 1);
            ExpectClose(one, direct, 1e-12);
            // Two threads share the rows; every value is the same to the bit.
            EXPECT_EQ(Compute(s.ref, g, level, 2), one) << LevelName(level);
        }
    }
}

TEST(FGTComputationLevels, LevelsAndTheirPixelsInOnePass) {
    // Rows from a few values (P = 40) to tens of thousands, smoothed a stretch
    // at a time (P = 0.3, whose top rows have no taps), with silent stretches
    // that give -inf.
    TestSignal s(8000.0, 9000);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (long n = 0; n < s.ref.nSamples; ++n) s.re(n) = n % 3000 < 400 ? 0.0 : value(random);
    for (double P : {0.3, 2.0, 40.0}) {
        const Grid g = MakeGrid(s.ref, P);
        const std::vector<double> direct = DirectFGT(s.ref, P);
        for (cpu::Level level : LevelsToTest()) {
            const cpu::LevelCap cap(level);
            std::vector<double> levels(direct.size(), 12345.0);
            std::vector<uint32_t> pixels(direct.size(), 0xDEADBEEF);
            const fgt::RowImage image{pixels.data(), 3.0, 41.0};
            EXPECT_TRUE(fgt::ComputeLevels(s.ref, g.rows, g.frequency.data(), g.sigma.data(), g.length.data(),
                                           levels.data(), 2, &image));
            ExpectClose(levels, direct, 1e-12);
            std::vector<uint32_t> expected(levels.size());
            for (size_t i = 0; i < levels.size(); ++i) expected[i] = fgt::LevelToPixel(levels[i], 3.0, 41.0);
            EXPECT_EQ(pixels, expected) << "P = " << P << ", " << LevelName(level);
            // Without an image the levels are the same.
            EXPECT_EQ(Compute(s.ref, g, level, 2), levels) << "P = " << P << ", " << LevelName(level);
        }
    }
}

TEST(FGTComputationLevels, PureToneReadsItsAmplitudeInItsRow) {
    const double fs = 8000.0, a = 0.5;
    const int row = 240;  // 256 Hz
    TestSignal s(fs, 8000);
    const double f = fgt::RowFrequency(row);
    for (long n = 0; n < s.ref.nSamples; ++n) s.re(n) = a * std::cos(kTwoPi * f * n / fs);
    const Grid g = MakeGrid(s.ref, 2.0);
    const std::vector<double> levels = Compute(s.ref, g, cpu::UsableLevel(), 2);
    long offset = 0;
    for (int j = 0; j < row; ++j) offset += g.length[static_cast<size_t>(j)];
    const int L = g.length[static_cast<size_t>(row)];
    ASSERT_GT(L, 40);
    const double expected = 20.0 * std::log10(a / 2.0 * fs / std::sqrt(kTwoPi));
    const double sigma = g.sigma[static_cast<size_t>(row)];
    const int E = static_cast<int>(fs * sigma * 5.0);
    for (int k = 10; k < L - 20; k += 7) {
        const double v = levels[static_cast<size_t>(offset + k)];
        EXPECT_NEAR(v, expected, 0.05) << k;
        // The same value from the sums in long double, averaged over the next 8 points.
        long double mean = 0.0L;
        for (int i = 0; i < 8; ++i) {
            double t = 0.0;
            for (int q = 0; q < k + i; ++q) t += sigma;
            const long n = static_cast<long>(t * fs + 0.5);
            long double A = 0.0L, B = 0.0L;
            for (int m = -E; m < E; ++m) {
                const long double time = static_cast<long double>(m) / fs;
                const long double w = std::exp(-time * time / (2.0L * sigma * sigma)) /
                                      (static_cast<long double>(kTwoPi) * sigma);
                const long double x = a * std::cos(static_cast<long double>(kTwoPi) * f * (n + m) / fs);
                A += w * x * std::cos(static_cast<long double>(kTwoPi) * f * time);
                B += w * x * std::sin(static_cast<long double>(kTwoPi) * f * time);
            }
            mean += 10.0L * std::log10(A * A + B * B) / 8.0L;
        }
        EXPECT_NEAR(v, static_cast<double>(mean), 1e-9) << k;
    }
    // Full scale at 44100 Hz reads about 78.9 dB.
    EXPECT_NEAR(20.0 * std::log10(1.0 / 2.0 * 44100.0 / std::sqrt(kTwoPi)), 78.9, 0.05);
}

TEST(FGTComputationLevels, SilenceGivesMinusInfinityAndWhite) {
    TestSignal s(8000.0, 800);
    const Grid g = MakeGrid(s.ref, 2.0);
    const std::vector<double> levels = Compute(s.ref, g, cpu::UsableLevel(), 2);
    std::vector<uint32_t> pixels(levels.size());
    fgt::BuildImage(levels.data(), pixels.data(), static_cast<long>(levels.size()), 0.0, 50.0);
    for (size_t i = 0; i < levels.size(); ++i) {
        ASSERT_EQ(levels[i], -std::numeric_limits<double>::infinity()) << i;
        ASSERT_EQ(pixels[i], 0xFFFFFFu) << i;
    }
}

TEST(FGTComputationLevels, WideKernelsAreCutAtTheGuardBand) {
    // At 1000 Hz the guard band is 6839 samples; with P = 1000 the rows with
    // at least one value need up to 15000 taps on each side.
    TestSignal s(1000.0, 3000);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (long n = -s.ref.guard; n < s.ref.nSamples + s.ref.guard; ++n) s.re(n) = 0.0;
    for (long n = 0; n < s.ref.nSamples; ++n) s.re(n) = value(random);
    for (double P : {1000.0, 1000000.0}) {
        const Grid g = MakeGrid(s.ref, P);
        const std::vector<double> direct = DirectFGT(s.ref, P);
        for (cpu::Level level : LevelsToTest()) ExpectClose(Compute(s.ref, g, level, 2), direct, 1e-12);
    }
    EXPECT_GT(MakeGrid(s.ref, 1000.0).total, 0.0);
}

TEST(FGTComputationLevels, RowsWithoutTapsAreMinusInfinity) {
    TestSignal s(8000.0, 16);
    s.re(3) = 1.0;
    const Grid g = MakeGrid(s.ref, 0.01);
    const std::vector<double> levels = Compute(s.ref, g, cpu::UsableLevel(), 1);
    long offset = 0;
    int emptyRows = 0;
    for (int j = 0; j < g.rows; ++j) {
        const int L = g.length[static_cast<size_t>(j)];
        if (fgt::KernelHalfLength(8000.0, g.sigma[static_cast<size_t>(j)], s.ref.guard) == 0) {
            ++emptyRows;
            for (int k = 0; k < L; ++k)
                EXPECT_EQ(levels[static_cast<size_t>(offset + k)], -std::numeric_limits<double>::infinity());
        }
        offset += L;
    }
    EXPECT_GT(emptyRows, 0);
}

TEST(FGTComputationVectors, DecibelsAgreeWithLog10) {
    if (cpu::UsableLevel() < cpu::Level::Avx2) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(17);
    std::uniform_real_distribution<double> exponent(-300.0, 300.0);
    std::vector<double> power;
    for (int i = 0; i < 20000; ++i) power.push_back(std::pow(10.0, exponent(random)));
    // Around 1 and the halving point √2, the powers of two, and the special values.
    // The halving points of both forms (√2, and 1.5 for AVX-512), on both sides.
    for (double p : {1.0,
                     std::nextafter(1.0, 2.0),
                     std::nextafter(1.0, 0.0),
                     1.4142135623730951,
                     1.4142135623730950,
                     1.5,
                     std::nextafter(1.5, 0.0),
                     0.75,
                     std::nextafter(0.75, 0.0),
                     std::nextafter(2.0, 0.0),
                     2.0,
                     0.5,
                     1024.0,
                     3.0,
                     0.999999,
                     1e-310,
                     0.0,
                     -0.0,
                     -1.0,
                     std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()})
        power.push_back(p);
    // Mantissas over the whole of [1, 2) at several exponents.
    for (int i = 0; i < 4096; ++i) power.push_back(std::ldexp(1.0 + i / 4096.0, i % 61 - 30));
    using DecibelsFunction = void (*)(const double*, double*, int);
    std::vector<DecibelsFunction> paths{&fgt::DecibelsAvx2};
    if (cpu::UsableLevel() >= cpu::Level::Avx512) paths.push_back(&fgt::DecibelsAvx512);
    for (DecibelsFunction decibels : paths) {
        // Counts that leave every tail length of the vectors.
        for (int drop = 0; drop < 8; ++drop) {
            const int count = static_cast<int>(power.size()) - drop;
            std::vector<double> out(power.size(), 777.0);
            decibels(power.data(), out.data(), count);
            for (int i = 0; i < count; ++i) {
                const double expected = 10.0 * std::log10(power[static_cast<size_t>(i)]);
                const double got = out[static_cast<size_t>(i)];
                if (std::isnan(expected)) {
                    ASSERT_TRUE(std::isnan(got)) << power[static_cast<size_t>(i)];
                } else if (std::isinf(expected)) {
                    ASSERT_EQ(got, expected) << power[static_cast<size_t>(i)];
                } else {
                    ASSERT_NEAR(got, expected, 1e-13 * std::max(1.0, std::fabs(expected)))
                        << power[static_cast<size_t>(i)];
                }
            }
            for (size_t i = static_cast<size_t>(count); i < out.size(); ++i) ASSERT_EQ(out[i], 777.0);
        }
    }
}

TEST(FGTComputationVectors, SmoothingAndImagePathsAgree) {
    if (cpu::UsableLevel() < cpu::Level::Avx2) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937 random(23);
    std::uniform_real_distribution<double> value(-40.0, 90.0);
    for (int count : {0, 1, 8, 9, 10, 11, 12, 13, 16, 17, 100, 1001}) {
        std::vector<double> row(static_cast<size_t>(count));
        for (double& v : row) v = value(random);
        if (count > 20) row[5] = row[17] = -std::numeric_limits<double>::infinity();
        std::vector<double> plain = row, vector = row;
        fgt::SmoothRow(plain.data(), count);
        fgt::SmoothRowAvx2(vector.data(), count);
        for (int k = 0; k < count; ++k) {
            if (std::isinf(plain[static_cast<size_t>(k)]))
                EXPECT_EQ(vector[static_cast<size_t>(k)], plain[static_cast<size_t>(k)]) << count << " " << k;
            else
                EXPECT_NEAR(vector[static_cast<size_t>(k)], plain[static_cast<size_t>(k)], 1e-12 * 90.0)
                    << count << " " << k;
        }
    }
    // The image: bit for bit, including NaN, infinities and levels that meet;
    // large enough to be shared between two threads.
    std::vector<double> levels((1L << 20) + 7);
    for (double& v : levels) v = value(random);
    levels[3] = std::numeric_limits<double>::quiet_NaN();
    levels[4] = -std::numeric_limits<double>::infinity();
    levels[5] = std::numeric_limits<double>::infinity();
    levels[6] = 0.0;
    levels[7] = 50.0;
    for (const auto& [lower, upper] :
         std::vector<std::pair<double, double>>{{0, 50},
                                                {50, 50},
                                                {-11, -10},
                                                {60, 61},
                                                {10, -5},
                                                {0.1, 37.3},
                                                {-3.7, 1e-9},
                                                {-1e6, 1e6},
                                                {0, 1e-310},
                                                {-1e300, 1e300},
                                                {0, std::numeric_limits<double>::infinity()}}) {
        // Levels whose grey quotient is a whole number or lies a few units
        // in the last place from one, where the grey changes.
        std::vector<double> edges;
        for (int g = 0; g <= 256; ++g) {
            const double level = upper - g * (upper - lower) / 255.0;
            double near = level;
            for (int step = 0; step < 4; ++step) near = std::nextafter(near, -1e300);
            for (int step = 0; step < 9; ++step, near = std::nextafter(near, 1e300)) edges.push_back(near);
        }
        std::vector<double> all = levels;
        all.insert(all.begin() + 9, edges.begin(), edges.end());
        std::vector<uint32_t> expected(all.size());
        for (size_t i = 0; i < all.size(); ++i) expected[i] = fgt::LevelToPixel(all[i], lower, upper);
        for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
            const cpu::LevelCap cap(level);
            for (int threads : {1, 2}) {
                std::vector<uint32_t> pixels(all.size(), 0xDEADBEEF);
                fgt::BuildImage(all.data(), pixels.data(), static_cast<long>(all.size()), lower, upper,
                                threads);
                ASSERT_EQ(pixels, expected)
                    << lower << "/" << upper << " threads " << threads << ", " << LevelName(level);
            }
        }
    }
}
