// The inner loops of the FGT alone: the analysis points in both forms, and
// the folded sums of one row in both forms against the sums over the whole
// kernel written here from the definition (every tap m = -E .. E-1, long
// double), on random signals held in arrays exactly as large as the loops may
// read, so that the sanitizer sees any read outside them.
#include "FGTSums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "CpuFeatures.h"
#include "FGTComputation.h"

namespace {

const double kTwoPi = 8.0 * std::atan(1.0);

// Points from the definition: t starts at `t0` and grows by σ; the point is
// trunc(t·Fs + 0.5), at least 0, at most nSamples.
std::vector<int> DirectPoints(double frADC, double sigmaT, long nSamples, double t0, int count) {
    std::vector<int> points;
    double t = t0;
    for (int k = 0; k < count; ++k) {
        const double v = t * frADC;
        const long long n = static_cast<long long>(v + 0.5);
        points.push_back(n < 0 ? 0 : static_cast<int>(std::min<long long>(n, nSamples)));
        t += sigmaT;
    }
    return points;
}

using PointsFunction = double (*)(const fgt::RowPoints&, double, int, int*);

std::vector<PointsFunction> PointsToTest() {
    std::vector<PointsFunction> paths{&fgt::NextPoints};
    if (cpu::UsableLevel() >= cpu::Level::Avx2) paths.push_back(&fgt::NextPointsAvx2);
    return paths;
}

// One row's signal and kernel: samples x[-pad .. N + pad - 1] random, the
// kernel of frequency f and σ folded as the sums take it.
struct RowFixture {
    long nSamples;
    int E;
    int folded;
    int pad;
    std::vector<double> x;  // x[i + pad] is sample i
    std::vector<double> reversed;
    std::vector<double> foldedCos, foldedSin;
    std::vector<long double> fullCos, fullSin;  // tap m at m + E
    fgt::FoldedKernel kernel{};
    fgt::RealSignal signal{};

    RowFixture(long n, int e, double frADC, double frequency, double sigmaT, std::mt19937& random)
        : nSamples(n), E(e), folded((e + 3) / 4 * 4), pad(folded + e + 15) {
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        x.resize(static_cast<size_t>(nSamples + 2 * pad));
        for (double& v : x) v = value(random);
        // The loops read sample n - E .. n + folded + 14 forward and
        // n - folded + 1 .. n backward for every point n in 0 .. N.
        reversed.resize(x.size());
        for (size_t i = 0; i < x.size(); ++i) reversed[i] = x[x.size() - 1 - i];
        const double norm = 1.0 / (sigmaT * kTwoPi);
        foldedCos.assign(static_cast<size_t>(folded), 0.0);
        foldedSin.assign(static_cast<size_t>(folded), 0.0);
        for (int m = -E; m < E; ++m) {
            const double u = m / frADC / sigmaT;
            const double g = std::exp(-0.5 * u * u) * norm;
            const double c = g * std::cos(kTwoPi * frequency * m / frADC);
            const double s = g * std::sin(kTwoPi * frequency * m / frADC);
            fullCos.push_back(c);
            fullSin.push_back(s);
            if (m >= 0) {
                foldedCos[static_cast<size_t>(m)] = m == 0 ? c / 2.0 : c;
                foldedSin[static_cast<size_t>(m)] = s;
            }
        }
        const long double edge = fullCos[0];
        kernel = fgt::FoldedKernel{foldedCos.data(),
                                   foldedSin.data(),
                                   folded,
                                   E,
                                   static_cast<double>(edge),
                                   static_cast<double>(fullSin[0])};
        // Sample i is x[pad + i] and reversed[size - 1 - pad - i].
        signal = fgt::RealSignal{x.data() + pad, reversed.data() + (x.size() - 1 - pad)};
    }

    double Sample(long i) const { return x[static_cast<size_t>(i + pad)]; }

    // 10·log10(A² + B²) at sample n from every tap of the kernel.
    double DirectValue(int n) const {
        long double a = 0.0L, b = 0.0L;
        for (int m = -E; m < E; ++m) {
            a += fullCos[static_cast<size_t>(m + E)] * Sample(n + m);
            b += fullSin[static_cast<size_t>(m + E)] * Sample(n + m);
        }
        return static_cast<double>(10.0L * std::log10(a * a + b * b));
    }
};

using RowFunction = void (*)(const fgt::FoldedKernel&, const fgt::RealSignal&, const fgt::RowPoints&, int,
                             double*);

std::vector<RowFunction> RowsToTest() {
    std::vector<RowFunction> paths{&fgt::RowValuesPortable};
    if (cpu::UsableLevel() >= cpu::Level::Avx2) paths.push_back(&fgt::RowValuesAvx2);
    if (cpu::UsableLevel() >= cpu::Level::Avx512) paths.push_back(&fgt::RowValuesAvx512);
    return paths;
}

}  // namespace

TEST(FGTSumsPoints, BothFormsGiveTheNearestSamples) {
    struct Case {
        double frADC, sigmaT;
        long nSamples;
        int count;
    };
    // Steps below one sample (points repeat), about one, and many; counts
    // around the vector width and the stretch; points running past the end.
    const Case cases[] = {{44100.0, 0.64 / 44100.0, 441000, 1000},
                          {44100.0, 1.0 / 44100.0, 441000, 257},
                          {8000.0, fgt::RowSigmaT(2.0, fgt::RowFrequency(240)), 8000, 5},
                          {44100.0, fgt::RowSigmaT(2.0, 8.0), 441000, 251},
                          {1000.0, 0.0137, 50, 70},
                          {44100.0, 3.3e-5, 20, 131}};
    for (const Case& c : cases) {
        const fgt::RowPoints row{c.frADC, c.sigmaT, c.nSamples};
        const std::vector<int> expected = DirectPoints(c.frADC, c.sigmaT, c.nSamples, 0.0, c.count);
        for (PointsFunction points : PointsToTest()) {
            std::vector<int> got(static_cast<size_t>(c.count) + 1, -7);
            // In two calls, the second going on from the time the first returns.
            const int split = c.count / 3;
            const double t = points(row, 0.0, split, got.data());
            const double end = points(row, t, c.count - split, got.data() + split);
            EXPECT_EQ(std::vector<int>(got.begin(), got.end() - 1), expected) << c.frADC << " " << c.sigmaT;
            EXPECT_EQ(got.back(), -7) << "written past the end";
            double direct = 0.0;
            for (int k = 0; k < c.count; ++k) direct += c.sigmaT;
            EXPECT_EQ(end, direct);
        }
    }
    // Times t·Fs + 0.5 of -1.5 .. 2.5 in steps of a half: truncated, and
    // below 0 taken as sample 0.
    for (PointsFunction points : PointsToTest()) {
        std::vector<int> got(9);
        points(fgt::RowPoints{2.0, 0.25, 100}, -1.0, 9, got.data());
        EXPECT_EQ(got, (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 2, 2}));
    }
    // AnalysisPoints is the same sequence from time 0.
    std::vector<int> analysis(300);
    fgt::AnalysisPoints(44100.0, 0.7 / 44100.0, 300, 441000, analysis.data());
    EXPECT_EQ(analysis, DirectPoints(44100.0, 0.7 / 44100.0, 441000, 0.0, 300));
}

using TimesFunction = double (*)(double, double, int, double*);

TEST(FGTSumsPoints, TimesAreTheChainOfAdditionsBitForBit) {
    // The chain itself, one rounded addition after another.
    auto chain = [](double t, double sigmaT, int count, std::vector<double>& times) {
        times.clear();
        for (int k = 0; k < count; ++k) {
            times.push_back(t);
            t = t + sigmaT;
        }
        return t;
    };
    auto check = [&](double t0, double sigmaT, int count) {
        std::vector<double> expected;
        const double expectedEnd = chain(t0, sigmaT, count, expected);
        std::vector<TimesFunction> forms{&fgt::NextTimes};
        if (cpu::UsableLevel() >= cpu::Level::Avx2) forms.push_back(&fgt::NextTimesAvx2);
        for (TimesFunction times : forms) {
            std::vector<double> got(static_cast<size_t>(count) + 1, -7.0);
            // In pieces of odd lengths, each going on from the time the last returned.
            double t = t0;
            for (int first = 0, piece = 1; first < count; first += piece, piece = piece * 3 + 1)
                t = times(t, sigmaT, std::min(piece, count - first), got.data() + first);
            auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
            for (int k = 0; k < count; ++k)
                ASSERT_TRUE(same(got[static_cast<size_t>(k)], expected[static_cast<size_t>(k)]))
                    << "t0 " << t0 << " sigma " << sigmaT << " point " << k << ": "
                    << got[static_cast<size_t>(k)] << " instead of " << expected[static_cast<size_t>(k)];
            EXPECT_EQ(got.back(), -7.0) << "written past the end";
            EXPECT_TRUE(same(t, expectedEnd)) << "t0 " << t0 << " sigma " << sigmaT;
        }
    };
    // The steps of every row of the grid at a few P, over many binades.
    for (double P : {0.01, 0.7, 2.0, 68.75, 1000000.0})
        for (int row = 0; row < 549; row += 7) check(0.0, fgt::RowSigmaT(P, fgt::RowFrequency(row)), 20000);
    std::mt19937 random(41);
    std::uniform_real_distribution<double> mantissa(1.0, 2.0);
    std::uniform_int_distribution<int> exponent(-40, 2);
    for (int i = 0; i < 300; ++i) {
        const double sigmaT = std::ldexp(mantissa(random), exponent(random));
        check(0.0, sigmaT, 3000);
        check(std::ldexp(mantissa(random), exponent(random) + 10), sigmaT, 3000);
    }
    // A remainder of exactly half a unit, whose roundings to even alternate;
    // steps below half a unit, which leave the time where it is; a time just
    // below a power of two; tiny, subnormal, zero and non-finite values.
    const double unit = std::ldexp(1.0, -52);  // the unit of [1, 2)
    check(1.0, 3.5 * unit, 5000);
    check(1.0 + unit, 3.5 * unit, 5000);
    check(1.0, 1000.5 * unit, 5000);
    check(1.5, 0.4 * unit, 5000);
    check(1.5, 0.5 * unit, 5000);
    check(std::nextafter(2.0, 0.0), 0.75 * unit, 5000);
    check(2.0 - 10 * unit, 1.5 * unit, 5000);
    check(0.0, 1e-310, 100);
    check(1e-300, 1e-300, 100);
    check(0.0, 0.0, 10);
    check(0.0, std::numeric_limits<double>::infinity(), 5);
    check(0.0, std::numeric_limits<double>::quiet_NaN(), 5);
    check(1.0, -0.01, 300);
}

TEST(FGTSumsRow, FoldedSumsMatchTheWholeKernelOnRandomInput) {
    std::mt19937 random(29);
    const double fs = 44100.0;
    // Kernels of 1 to 40 taps a side and one wide one; steps below and
    // above a sample; counts around the block of four and the stretch.
    struct Case {
        int E;
        double frequency;
        double step;  // samples between points
        int count;
    };
    const Case cases[] = {{1, 20000.0, 0.6, 1},   {2, 16000.0, 0.7, 2},  {3, 21000.0, 0.64, 3},
                          {4, 12000.0, 0.9, 4},   {5, 9000.0, 1.3, 5},   {7, 7000.0, 1.7, 255},
                          {8, 6500.0, 2.0, 256},  {9, 5500.0, 2.1, 257}, {16, 2900.0, 3.1, 513},
                          {33, 1400.0, 6.6, 300}, {40, 1000.0, 8.0, 77}, {701, 63.0, 140.0, 9}};
    for (const Case& c : cases) {
        const double sigmaT = c.step / fs;
        const long nSamples = static_cast<long>(c.step * c.count) + 3;
        const RowFixture row(nSamples, c.E, fs, c.frequency, sigmaT, random);
        const std::vector<int> points = DirectPoints(fs, sigmaT, nSamples, 0.0, c.count);
        const fgt::RowPoints where{fs, sigmaT, nSamples};
        for (RowFunction values : RowsToTest()) {
            std::vector<double> out(static_cast<size_t>(c.count) + 1, 777.0);
            values(row.kernel, row.signal, where, c.count, out.data());
            for (int k = 0; k < c.count; ++k) {
                const double expected = row.DirectValue(points[static_cast<size_t>(k)]);
                // The sums differ from the direct ones by rounding in the
                // order of the additions only.
                ASSERT_NEAR(out[static_cast<size_t>(k)], expected, 1e-12 * std::max(1.0, std::fabs(expected)))
                    << "E " << c.E << " point " << k;
            }
            EXPECT_EQ(out.back(), 777.0) << "written past the row, E " << c.E;
        }
    }
}

TEST(FGTSumsRow, SilenceIsMinusInfinityAndOverflowPlusInfinity) {
    std::mt19937 random(31);
    const double fs = 8000.0, sigmaT = 1.5 / fs;
    RowFixture row(64, 5, fs, 1000.0, sigmaT, random);
    for (double& v : row.x) v = 0.0;
    // One sample so large that A² + B² overflows for every point whose
    // window (taps -5 .. 4) holds it: those levels are +∞, the others -∞,
    // as the library's logarithm gives them.
    row.x[static_cast<size_t>(row.pad + 40)] = 1e300;
    for (size_t i = 0; i < row.x.size(); ++i) row.reversed[i] = row.x[row.x.size() - 1 - i];
    const fgt::RowPoints where{fs, sigmaT, 64};
    const std::vector<int> points = DirectPoints(fs, sigmaT, 64, 0.0, 40);
    int loud = 0;
    for (RowFunction values : RowsToTest()) {
        std::vector<double> out(40);
        values(row.kernel, row.signal, where, 40, out.data());
        for (int k = 0; k < 40; ++k) {
            const int n = points[static_cast<size_t>(k)];
            const double infinity = std::numeric_limits<double>::infinity();
            if (n >= 36 && n <= 45) {
                ++loud;
                EXPECT_EQ(out[static_cast<size_t>(k)], infinity) << k;
            } else {
                EXPECT_EQ(out[static_cast<size_t>(k)], -infinity) << k;
            }
        }
    }
    EXPECT_GT(loud, 0);
}
