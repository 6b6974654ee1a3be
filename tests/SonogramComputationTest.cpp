// The sonogram's numbers checked against closed forms and a direct DFT of the
// windowed frame written out here, independently of the code under test.
#include "SonogramComputation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "CpuLevels.h"

namespace {

constexpr int kN = 1024;
constexpr int kRows = kN / 2;
const double kPi = 4.0 * std::atan(1.0);

// A signal with a guard band on both sides, as a wave store keeps it.
struct GuardedSignal {
    GuardedSignal(long samples, long guard)
        : guard(guard), data(samples + 2 * guard, KCOMPLEX_KFLOAT{0.0, 0.0}) {}
    KCOMPLEX_KFLOAT* first() { return data.data() + guard; }
    KCOMPLEX_KFLOAT& at(long n) { return data[guard + n]; }
    long guard;
    std::vector<KCOMPLEX_KFLOAT> data;
};

// The Gaussian half window written from its time-domain form: a Gaussian of
// standard deviation Fs / (2 pi sigma) samples whose peak is sqrt(2 pi) sigma / N.
std::vector<double> GaussianHalfWindow(double sigma, double fs) {
    const double deviationSamples = fs / (2.0 * kPi * sigma);
    std::vector<double> w(kRows + 1);
    for (int k = 0; k <= kRows; ++k)
        w[k] = std::sqrt(2.0 * kPi) * sigma / kN *
               std::exp(-0.5 * (k / deviationSamples) * (k / deviationSamples));
    return w;
}

// Direct DFT with the forward sign exp(-2 pi i m k / N) of the frame centred
// on sample p: sample p + m for m in -N/2 .. N/2 - 1, weighted by w[|m|], lands at
// index m mod N.
std::vector<std::complex<double>> DirectSpectrum(KCOMPLEX_KFLOAT* first, long p,
                                                 const std::vector<double>& w) {
    std::vector<std::complex<double>> x(kN);
    for (int m = -kRows; m < kRows; ++m) {
        const KCOMPLEX_KFLOAT& y = first[p + m];
        x[(m + kN) % kN] = w[std::abs(m)] * std::complex<double>(y.re, y.im);
    }
    std::vector<std::complex<double>> spectrum(kN);
    for (int k = 0; k < kN; ++k) {
        std::complex<double> sum = 0.0;
        for (int m = 0; m < kN; ++m) {
            const double angle = -2.0 * kPi * static_cast<double>((static_cast<long>(m) * k) % kN) / kN;
            sum += x[m] * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        spectrum[k] = sum;
    }
    return spectrum;
}

std::vector<KCOMPLEX_DOUBLE> ToBuffer(const std::vector<std::complex<double>>& v) {
    std::vector<KCOMPLEX_DOUBLE> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) out[i] = {v[i].real(), v[i].imag()};
    return out;
}

struct Column {
    std::vector<double> levels = std::vector<double>(kRows);
    std::vector<double> phases = std::vector<double>(kRows);
};

// The column of the pane centred on sample p of `signal`, with the spectrum
// taken by the direct DFT above.
Column ColumnOf(GuardedSignal& signal, long p, double fs, int bits, bool complexSignal) {
    const sonogram::SonelGrid grid = sonogram::DeriveSonelGrid(fs, bits, kN);
    std::vector<double> w(kRows + 1);
    sonogram::FillWindow(w.data(), kN, grid.sonelFreqHz, fs);
    const std::vector<KCOMPLEX_DOUBLE> spectrum = ToBuffer(DirectSpectrum(signal.first(), p, w));
    Column c;
    sonogram::ColumnLevelsAndPhaseSteps(spectrum.data(), kRows,
                                        sonogram::ComputeRefLevel(w.data(), kN, complexSignal),
                                        c.levels.data(), c.phases.data());
    return c;
}

}  // namespace

TEST(SonogramGrid, SonelSizeAndStepFollowTheBitDepthAndRate) {
    // e = sqrt(2 ln2 (B + 1.792) + ln(N ln N)) for N = 1024.
    EXPECT_NEAR(sonogram::WindowEdgeInDeviations(16, kN), 5.790725, 1e-6);
    EXPECT_NEAR(sonogram::WindowEdgeInDeviations(8, kN), 4.737313, 1e-6);

    const sonogram::SonelGrid g22 = sonogram::DeriveSonelGrid(22050.0, 16, kN);
    EXPECT_NEAR(g22.sonelFreqHz, 39.691, 5e-4);
    EXPECT_EQ(g22.stepSamples, 88);
    const sonogram::SonelGrid g44 = sonogram::DeriveSonelGrid(44100.0, 16, kN);
    EXPECT_NEAR(g44.sonelFreqHz, 79.382, 5e-4);
    EXPECT_EQ(g44.stepSamples, 88);
    EXPECT_EQ(sonogram::DeriveSonelGrid(22050.0, 8, kN).stepSamples, 108);
    EXPECT_EQ(sonogram::DeriveSonelGrid(8000.0, 8, kN).stepSamples, 108);

    // The step is one standard deviation of the window in time, Fs / (2 pi sigma).
    EXPECT_EQ(g22.stepSamples, static_cast<int>(22050.0 / (2.0 * kPi * g22.sonelFreqHz)));
}

TEST(SonogramWindow, GaussianHalfWindowMatchesItsTimeDomainForm) {
    const sonogram::SonelGrid grid = sonogram::DeriveSonelGrid(22050.0, 16, kN);
    std::vector<double> w(kRows + 2, -1.0);
    sonogram::FillWindow(w.data(), kN, grid.sonelFreqHz, 22050.0);
    EXPECT_NEAR(w[0], 0.0971587, 5e-8);
    EXPECT_NEAR(w[kRows] / w[0], 5.23e-8, 0.005e-8);
    EXPECT_EQ(w[kRows + 1], -1.0) << "the window has N/2 + 1 weights, not more";

    const std::vector<double> expected = GaussianHalfWindow(grid.sonelFreqHz, 22050.0);
    for (int k = 0; k <= kRows; ++k) EXPECT_NEAR(w[k] / expected[k], 1.0, 1e-12) << "k = " << k;

    // At the edge the window is exp(-e^2 / 2) of its peak.
    const double e = sonogram::WindowEdgeInDeviations(16, kN);
    EXPECT_NEAR(w[kRows] / w[0], std::exp(-e * e / 2.0), 1e-10);
}

TEST(SonogramWindow, ReferenceLevelIsTheSumOfTheInnerWeights) {
    std::vector<double> w(kRows + 1);
    const sonogram::SonelGrid g22 = sonogram::DeriveSonelGrid(22050.0, 16, kN);
    sonogram::FillWindow(w.data(), kN, g22.sonelFreqHz, 22050.0);
    EXPECT_NEAR(sonogram::ComputeRefLevel(w.data(), kN, false), 20.6023, 5e-5);
    EXPECT_NEAR(sonogram::ComputeRefLevel(w.data(), kN, true), 20.6023 + 6.0206, 1e-4);

    const sonogram::SonelGrid g44 = sonogram::DeriveSonelGrid(44100.0, 16, kN);
    sonogram::FillWindow(w.data(), kN, g44.sonelFreqHz, 44100.0);
    EXPECT_NEAR(sonogram::ComputeRefLevel(w.data(), kN, false), 26.6229, 5e-5);

    // W[0] and W[N/2] are left out of the sum.
    std::vector<double> ones(kRows + 1, 1.0);
    ones[0] = 1000.0;
    ones[kRows] = 1000.0;
    EXPECT_NEAR(sonogram::ComputeRefLevel(ones.data(), kN, false), 20.0 * std::log10(kRows - 1.0), 1e-12);
}

TEST(SonogramFrame, ZeroPhaseFrameReadsExactlyTheSamplesAroundItsCentre) {
    constexpr long kSamples = 3000;
    GuardedSignal signal(kSamples, kRows + 1);
    // Every sample carries its own index, so the frame shows where it read;
    // the two samples just outside the frame are poisoned.
    for (long n = -kRows - 1; n < kSamples + kRows + 1; ++n)
        signal.at(n) = {static_cast<double>(n), -0.5 * n};
    std::vector<double> w(kRows + 1);
    for (int k = 0; k <= kRows; ++k) w[k] = 1.0 + k;
    for (long p : {0L, 1000L, kSamples - 1}) {
        signal.at(p - kRows - 1).re = std::numeric_limits<double>::quiet_NaN();
        signal.at(p + kRows).re = std::numeric_limits<double>::quiet_NaN();
        std::vector<KCOMPLEX_DOUBLE> frame(kN + 1, KCOMPLEX_DOUBLE{-7.0, -7.0});
        sonogram::BuildZeroPhaseFrame(signal.first(), p, w.data(), kN, frame.data());
        for (int i = 0; i < kN; ++i) {
            const long sample = i < kRows ? p + i : p + i - kN;
            const double weight = i < kRows ? w[i] : w[kN - i];
            ASSERT_EQ(frame[i].re, weight * static_cast<double>(sample)) << "p = " << p << ", i = " << i;
            ASSERT_EQ(frame[i].im, weight * (-0.5 * sample)) << "p = " << p << ", i = " << i;
        }
        EXPECT_EQ(frame[kN].re, -7.0) << "the frame has N points";
        signal.at(p - kRows - 1).re = static_cast<double>(p - kRows - 1);
        signal.at(p + kRows).re = static_cast<double>(p + kRows);
    }
}

TEST(SonogramFrame, BothInstructionSetsWeighEverySampleExactly) {
    // Random samples and weights at every length: the frame must hold the
    // plain products, whichever kernel builds it.
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int n : {2, 4, 16, 64, 1024, 4096}) {
        const int half = n / 2;
        GuardedSignal signal(3 * n, half + 1);
        for (auto& y : signal.data) y = {unit(random), unit(random)};
        std::vector<double> w(half + 1);
        for (double& weight : w) weight = unit(random);
        for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
            const cpu::LevelCap cap(level);
            for (long p : {0L, 1L, static_cast<long>(n) + 3}) {
                std::vector<KCOMPLEX_DOUBLE> frame(n + 1, KCOMPLEX_DOUBLE{-7.0, -7.0});
                sonogram::BuildZeroPhaseFrame(signal.first(), p, w.data(), n, frame.data());
                for (int i = 0; i < n; ++i) {
                    const KCOMPLEX_KFLOAT& y = signal.at(i < half ? p + i : p + i - n);
                    const double weight = w[i < half ? i : n - i];
                    ASSERT_EQ(frame[i].re, weight * y.re)
                        << "n = " << n << ", " << LevelName(level) << ", i = " << i;
                    ASSERT_EQ(frame[i].im, weight * y.im)
                        << "n = " << n << ", " << LevelName(level) << ", i = " << i;
                }
                EXPECT_EQ(frame[n].re, -7.0) << "the frame has N points";
            }
        }
    }
}

TEST(SonogramColumn, CosineOnABinReadsItsAmplitude) {
    // A real cosine of amplitude 1 on bin 100 at 22050 Hz: the peak row reads
    // 20 log10(1) plus the share of W[0], its neighbours fall by about 1.28 dB.
    constexpr long kCentre = 2000;
    GuardedSignal signal(4000, kRows + 1);
    for (long n = 0; n < 4000; ++n) signal.at(n) = {std::cos(2.0 * kPi * 100.0 * n / kN), 0.0};
    const Column c = ColumnOf(signal, kCentre, 22050.0, 16, false);
    EXPECT_NEAR(c.levels[100], 0.04, 0.005);
    EXPECT_NEAR(c.levels[99], -1.24, 0.005);
    EXPECT_NEAR(c.levels[101], -1.24, 0.005);
    // A stationary sinusoid gives no phase step around its peak.
    for (int k = 97; k <= 103; ++k) EXPECT_NEAR(c.phases[k], 0.0, 1e-9) << "k = " << k;

    // The analytic version of the same tone, read with the complex reference.
    GuardedSignal analytic(4000, kRows + 1);
    for (long n = 0; n < 4000; ++n) {
        const double angle = 2.0 * kPi * 100.0 * n / kN;
        analytic.at(n) = {std::cos(angle), std::sin(angle)};
    }
    const Column a = ColumnOf(analytic, kCentre, 22050.0, 16, true);
    EXPECT_NEAR(a.levels[100], 0.04, 0.005);
    EXPECT_NEAR(a.levels[100], c.levels[100], 1e-6);
}

TEST(SonogramColumn, LevelsAndPhaseStepsAgreeWithTheirDefinitionOnNoise) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<KCOMPLEX_DOUBLE> spectrum(kRows + 1);
    for (auto& z : spectrum) z = {uniform(random), uniform(random)};
    spectrum[kRows] = {std::numeric_limits<double>::quiet_NaN(), 0.0};  // never read
    constexpr double kRef = 3.25;
    std::vector<double> levels(kRows), phases(kRows), levelsScalar(kRows), phasesScalar(kRows);
    sonogram::ColumnLevelsAndPhaseSteps(spectrum.data(), kRows, kRef, levels.data(), phases.data());
    sonogram::ColumnLevelsAndPhaseStepsScalar(spectrum.data(), kRows, kRef, levelsScalar.data(),
                                              phasesScalar.data());
    auto z = [&spectrum](int k) { return std::complex<double>(spectrum[k].re, spectrum[k].im); };
    for (int k = 0; k < kRows; ++k) {
        const double level = 20.0 * std::log10(std::abs(z(k))) - kRef;
        const int hi = k == kRows - 1 ? k : k + 1;
        const int lo = k == 0 ? 0 : (k == kRows - 1 ? k - 1 : k - 1);
        const double phase = std::arg(z(hi) * std::conj(z(lo)));
        ASSERT_NEAR(levels[k], level, 1e-9) << "k = " << k;
        ASSERT_NEAR(levelsScalar[k], level, 1e-9) << "k = " << k;
        ASSERT_NEAR(phases[k], phase, 1e-9) << "k = " << k;
        ASSERT_NEAR(phasesScalar[k], phase, 1e-9) << "k = " << k;
    }
}

TEST(SonogramColumn, ImpulseAfterTheCentreGivesANegativePhaseStep) {
    constexpr long kCentre = 1500;
    for (int tau : {1, 5, -3}) {
        GuardedSignal signal(3000, kRows + 1);
        signal.at(kCentre + tau) = {1.0, 0.0};
        const Column c = ColumnOf(signal, kCentre, 22050.0, 16, false);
        const double expected = -4.0 * kPi * tau / kN;
        for (int k = 1; k < kRows - 1; ++k)
            ASSERT_NEAR(c.phases[k], expected, 1e-9) << "tau " << tau << " k " << k;
        if (tau == 1) {
            EXPECT_NEAR(c.phases[kRows / 2], -0.0123, 5e-5);
        }
        // The one-sided ends span a single bin: half the step.
        EXPECT_NEAR(c.phases[0], expected / 2.0, 1e-9);
        EXPECT_NEAR(c.phases[kRows - 1], expected / 2.0, 1e-9);
    }
}

TEST(SonogramColumn, SilenceGivesMinusInfinityNotGarbage) {
    std::vector<KCOMPLEX_DOUBLE> spectrum(kRows, KCOMPLEX_DOUBLE{0.0, 0.0});
    std::vector<double> levels(kRows), phases(kRows);
    sonogram::ColumnLevelsAndPhaseSteps(spectrum.data(), kRows, 20.0, levels.data(), phases.data());
    for (int k = 0; k < kRows; ++k) {
        ASSERT_TRUE(std::isinf(levels[k]) && levels[k] < 0.0) << k;
        ASSERT_EQ(phases[k], 0.0) << k;
    }
}

TEST(SonogramMaxima, StrictComparisonsWithOneSidedEnds) {
    const std::vector<double> s = {5.0, 1.0, 3.0, 3.0, 0.0, 2.0, 1.0, 4.0};
    const int rows = static_cast<int>(s.size());
    std::vector<bool> found;
    for (int k = 0; k < rows; ++k) found.push_back(sonogram::IsLocalMaximum(s.data(), rows, k));
    EXPECT_EQ(found, (std::vector<bool>{true, false, false, false, false, true, false, true}));
    const std::vector<double> rising = {1.0, 1.0};
    EXPECT_FALSE(sonogram::IsLocalMaximum(rising.data(), 2, 0));
    EXPECT_FALSE(sonogram::IsLocalMaximum(rising.data(), 2, 1));
    EXPECT_FALSE(sonogram::IsLocalMaximum(s.data(), rows, rows));
}

TEST(SonogramPeak, ParabolaVertexIsFoundFromEitherSide) {
    // Levels on a parabola with its vertex between rows: interpolation is exact.
    constexpr double kVertex = 50.3, kTop = -7.5, kBin = 21.533203125;
    std::vector<double> s(kRows);
    for (int k = 0; k < kRows; ++k) s[k] = kTop - 0.25 * (k - kVertex) * (k - kVertex);
    for (int start : {52, 60, 45, 3}) {
        const sonogram::PeakEstimate peak = sonogram::FindPeak(s.data(), kRows, start, kBin);
        EXPECT_EQ(peak.row, 50) << "from row " << start;
        EXPECT_NEAR(peak.frequencyHz, kVertex * kBin, 1e-9) << "from row " << start;
        EXPECT_NEAR(peak.levelDb, kTop, 1e-9) << "from row " << start;
        EXPECT_GE(peak.levelDb, s[50]);
    }
}

TEST(SonogramPeak, EdgesAndFlatTopsFallBackToTheRow) {
    std::vector<double> rising(kRows);
    for (int k = 0; k < kRows; ++k) rising[k] = k;
    sonogram::PeakEstimate peak = sonogram::FindPeak(rising.data(), kRows, 10, 2.0);
    EXPECT_EQ(peak.row, kRows - 1);
    EXPECT_EQ(peak.frequencyHz, 0.0);
    EXPECT_EQ(peak.levelDb, 0.0);
    peak = sonogram::FindPeak(rising.data(), kRows, -5, 2.0);  // pointer below row 0
    EXPECT_EQ(peak.row, kRows - 1);

    std::vector<double> falling(kRows);
    for (int k = 0; k < kRows; ++k) falling[k] = -k;
    peak = sonogram::FindPeak(falling.data(), kRows, 400, 2.0);
    EXPECT_EQ(peak.row, 0);
    EXPECT_EQ(peak.frequencyHz, 0.0);

    // A plateau: no curvature, the row itself with its level.
    std::vector<double> flat(kRows, -3.0);
    peak = sonogram::FindPeak(flat.data(), kRows, 200, 2.0);
    EXPECT_EQ(peak.row, 200);
    EXPECT_EQ(peak.frequencyHz, 400.0);
    EXPECT_EQ(peak.levelDb, -3.0);

    // A pointer above the top row starts at N/2 - 2.
    peak = sonogram::FindPeak(flat.data(), kRows, kRows + 40, 2.0);
    EXPECT_EQ(peak.row, kRows - 2);
}

TEST(SonogramConversions, ColumnsRowsSecondsAndHertz) {
    constexpr double kFs = 22050.0;
    constexpr int kStep = 88;
    constexpr long kSamples = 22050 * 3;
    constexpr int kColumns = kSamples / kStep;
    EXPECT_EQ(sonogram::ColumnFromTime(1.0, kFs, kStep, kColumns), 251);
    EXPECT_EQ(sonogram::RowFromFrequency(1000.0, kFs, kN), 46);
    EXPECT_EQ(sonogram::RowFromFrequency(kFs / 2.0, kFs, kN), kRows - 1);
    EXPECT_EQ(sonogram::RowFromFrequency(-10.0, kFs, kN), 0);
    EXPECT_EQ(sonogram::ColumnFromTime((kSamples - 1) / kFs, kFs, kStep, kColumns), kColumns - 1);
    EXPECT_EQ(sonogram::ColumnFromTime(-1.0, kFs, kStep, kColumns), 0);
    EXPECT_EQ(sonogram::ColumnFromTime(1e300, kFs, kStep, kColumns), kColumns - 1);
    EXPECT_EQ(sonogram::ColumnFromTime(std::nan(""), kFs, kStep, kColumns), 0);
    EXPECT_EQ(sonogram::ColumnFromTime(1.0, kFs, kStep, 0), 0);
    // Halves round upward: column 10 starts at 9.5 steps.
    EXPECT_EQ(sonogram::ColumnFromTime(9.5 * kStep / kFs, kFs, kStep, kColumns), 10);
    EXPECT_EQ(sonogram::ColumnFromTime(9.49 * kStep / kFs, kFs, kStep, kColumns), 9);
    EXPECT_DOUBLE_EQ(sonogram::TimeFromColumn(251, kFs, kStep), 251.0 * 88.0 / 22050.0);
    EXPECT_DOUBLE_EQ(sonogram::FrequencyFromRow(46, kFs, kN), 46.0 * 22050.0 / 1024.0);
    // Large column numbers do not overflow in the product.
    EXPECT_DOUBLE_EQ(sonogram::TimeFromColumn(30000000, kFs, 1000), 3e10 / kFs);
}
