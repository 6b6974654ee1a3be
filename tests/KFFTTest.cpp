// Tests of CKFFT: every accepted length against a direct DFT in long double,
// known spectra, unsupported lengths, buffer bounds, the shared table's
// lifetime, and both kernels against a plain implementation of the same
// radix-4 steps written here.
#include "KFFT.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "CpuFeatures.h"

namespace {

using LComplex = std::complex<long double>;
using Block = std::vector<KCOMPLEX_DOUBLE>;

const int kAccepted[] = {16, 64, 256, 1024, 4096, 16384, 65536};

Block RandomBlock(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    Block x(static_cast<size_t>(n));
    for (auto& v : x) {
        v.re = dist(gen);
        v.im = dist(gen);
    }
    return x;
}

// exp(-2πi·r/n) for r = 0..n-1, in long double.
class UnitRoots {
public:
    explicit UnitRoots(int n) : n_(n), roots_(static_cast<size_t>(n)) {
        const long double pi = std::numbers::pi_v<long double>;
        for (int r = 0; r < n; ++r) {
            const long double a = 2.0L * pi * r / n;
            roots_[static_cast<size_t>(r)] = LComplex(std::cos(a), -std::sin(a));
        }
    }
    // exp(-2πi·m·k/n)
    LComplex operator()(long long m, long long k) const { return roots_[static_cast<size_t>((m * k) % n_)]; }

private:
    int n_;
    std::vector<LComplex> roots_;
};

// Bin k of the direct DFT of x.
LComplex DirectBin(const Block& x, int k, const UnitRoots& roots) {
    LComplex sum = 0;
    for (size_t m = 0; m < x.size(); ++m)
        sum += LComplex(x[m].re, x[m].im) * roots(static_cast<long long>(m), k);
    return sum;
}

// Root mean square of the spectrum of x, from the signal side (Parseval):
// the scale that errors of single bins are measured against.
double SpectrumRms(const Block& x) {
    long double energy = 0;
    for (const auto& v : x)
        energy += static_cast<long double>(v.re) * v.re + static_cast<long double>(v.im) * v.im;
    return static_cast<double>(std::sqrt(energy));
}

// Bins to check: all of them up to 1024 points, a fixed handful plus about a
// hundred random ones above (a full direct DFT there costs seconds).
std::vector<int> BinsToCheck(int n) {
    std::vector<int> bins;
    if (n <= 1024) {
        for (int k = 0; k < n; ++k) bins.push_back(k);
        return bins;
    }
    bins = {0, 1, 2, 3, n / 8, n / 4, n / 2 - 1, n / 2, n / 2 + 1, 3 * n / 4, n - 1};
    std::mt19937 gen(static_cast<unsigned>(n));
    std::uniform_int_distribution<int> dist(0, n - 1);
    for (int i = 0; i < 100; ++i) bins.push_back(dist(gen));
    return bins;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A straightforward rendering of the radix-4 steps with std::complex and a
// table of its own: passes of span n, n/4, ..., 4, twiddles from the
// quarter-wave table folded by quadrant, scaled sums at π/4, then each point
// moved to the base-4 reversal of its index.
class PlainRadix4 {
public:
    PlainRadix4() : table_(16385) {
        const long double twoPi = 8.0 * std::atan(1.0);
        for (int i = 0; i <= 16384; ++i)
            table_[static_cast<size_t>(i)] = static_cast<double>(std::cos(i * twoPi / 65536));
        c21_ = table_[8192];
    }

    void Transform(Block& x) const {
        const int n = static_cast<int>(x.size());
        std::vector<std::complex<double>> a(x.size());
        for (size_t i = 0; i < x.size(); ++i) a[i] = {x[i].re, x[i].im};
        const std::complex<double> minusI(0.0, -1.0);
        for (int span = n; span >= 4; span /= 4) {
            const int t = span / 4;
            for (int g = 0; g < n; g += span) {
                for (int j = 0; j < t; ++j) {
                    const size_t p = static_cast<size_t>(g + j);
                    const auto x0 = a[p], x1 = a[p + t], x2 = a[p + 2 * t], x3 = a[p + 3 * t];
                    std::complex<double> y[4] = {(x0 + x2) + (x1 + x3), (x0 - x2) + minusI * (x1 - x3),
                                                 (x0 + x2) - (x1 + x3), (x0 - x2) - minusI * (x1 - x3)};
                    if (j == 0 || span == 4) {
                        // no twiddle
                    } else if (2 * j == t) {
                        y[1] = {c21_ * (y[1].real() + y[1].imag()), c21_ * (y[1].imag() - y[1].real())};
                        y[2] = {y[2].imag(), -y[2].real()};
                        y[3] = {-c21_ * (y[3].real() - y[3].imag()), -c21_ * (y[3].real() + y[3].imag())};
                    } else {
                        const int w = j * (65536 / span);
                        for (int q = 1; q <= 3; ++q) y[q] *= Root(q * w);
                    }
                    for (int q = 0; q < 4; ++q) a[p + static_cast<size_t>(q * t)] = y[q];
                }
            }
        }
        int digits = 0;
        while ((1 << (2 * digits)) < n) ++digits;
        for (int i = 0; i < n; ++i) {
            int r = 0;
            for (int d = 0, v = i; d < digits; ++d, v >>= 2) r = (r << 2) | (v & 3);
            x[static_cast<size_t>(r)] = {a[static_cast<size_t>(i)].real(), a[static_cast<size_t>(i)].imag()};
        }
    }

private:
    // exp(-2πi·w/65536) from the first-quadrant table.
    std::complex<double> Root(int w) const {
        const int r = w % 16384;
        const double c = table_[static_cast<size_t>(r)], s = table_[static_cast<size_t>(16384 - r)];
        switch (w / 16384) {
            case 0:
                return {c, -s};
            case 1:
                return {-s, -c};
            case 2:
                return {-c, s};
            default:
                return {s, c};
        }
    }

    std::vector<double> table_;
    double c21_;
};

// ---------------------------------------------------------------------------
// Transform results, run once with the vector kernel and once with the
// portable one.

class KFFTKernelTest : public ::testing::TestWithParam<std::tuple<bool, int>> {
protected:
    void SetUp() override {
        if (Vector() && cpu::UsableLevel() < cpu::Level::Avx2)
            GTEST_SKIP() << "this processor has no AVX2/FMA";
    }
    bool Vector() const { return std::get<0>(GetParam()); }
    // The vector kernel needs AVX2; below it the portable loop runs.
    cpu::Level Cap() const { return Vector() ? cpu::Level::Avx2 : cpu::Level::Portable; }
    int N() const { return std::get<1>(GetParam()); }
    void Run(Block& x) {
        const cpu::LevelCap cap(Cap());
        fft_.fft(x.data(), static_cast<int>(x.size()));
    }

    CKFFT fft_;
};

TEST_P(KFFTKernelTest, AgreesWithDirectDft) {
    const int n = N();
    const Block x = RandomBlock(n, 1000u + static_cast<unsigned>(n));
    Block y = x;
    Run(y);
    const UnitRoots roots(n);
    const double scale = SpectrumRms(x);
    double worst = 0;
    for (int k : BinsToCheck(n)) {
        const LComplex want = DirectBin(x, k, roots);
        const double err = static_cast<double>(
            std::abs(LComplex(y[static_cast<size_t>(k)].re, y[static_cast<size_t>(k)].im) - want));
        worst = std::max(worst, err / scale);
    }
    // Rounding grows with the number of passes; 1e-12 of the spectrum's RMS
    // leaves three orders of magnitude of headroom at 65536 points.
    EXPECT_LT(worst, 1e-12) << "n = " << n;
}

TEST_P(KFFTKernelTest, AgreesWithPlainRadix4Steps) {
    const int n = N();
    const Block x = RandomBlock(n, 77u * static_cast<unsigned>(n));
    Block fast = x, plain = x;
    Run(fast);
    PlainRadix4().Transform(plain);
    const double scale = SpectrumRms(x);
    double worst = 0;
    for (size_t k = 0; k < x.size(); ++k)
        worst = std::max(worst, std::hypot(fast[k].re - plain[k].re, fast[k].im - plain[k].im) / scale);
    // Same steps, so only the rounding of fused or reordered products differs.
    EXPECT_LT(worst, 1e-12) << "n = " << n;
    if (!Vector()) {
        // The portable kernel performs the very same double operations in
        // the same order: not even the last bit may differ.
        int differing = 0;
        for (size_t k = 0; k < x.size(); ++k)
            differing += fast[k].re != plain[k].re || fast[k].im != plain[k].im ? 1 : 0;
        EXPECT_EQ(differing, 0) << "n = " << n;
    }
}

TEST_P(KFFTKernelTest, UnitImpulseGivesOneInEveryBin) {
    const int n = N();
    Block x(static_cast<size_t>(n), KCOMPLEX_DOUBLE{0.0, 0.0});
    x[0].re = 1.0;
    Run(x);
    for (int k = 0; k < n; ++k) {
        ASSERT_EQ(x[static_cast<size_t>(k)].re, 1.0) << "bin " << k;
        ASSERT_EQ(x[static_cast<size_t>(k)].im, 0.0) << "bin " << k;
    }
}

TEST_P(KFFTKernelTest, DelayedImpulseGivesUnitPhasor) {
    const int n = N();
    const int m0 = n / 3 + 1;
    Block x(static_cast<size_t>(n), KCOMPLEX_DOUBLE{0.0, 0.0});
    x[static_cast<size_t>(m0)].re = 1.0;
    Run(x);
    const UnitRoots roots(n);
    double worst = 0;
    for (int k = 0; k < n; ++k) {
        const LComplex want = roots(m0, k);
        worst = std::max(worst,
                         static_cast<double>(std::abs(
                             LComplex(x[static_cast<size_t>(k)].re, x[static_cast<size_t>(k)].im) - want)));
    }
    // A handful of roundings per pass on values of modulus 1.
    EXPECT_LT(worst, 1e-14);
}

TEST_P(KFFTKernelTest, ConstantGivesLengthInBinZeroOnly) {
    const int n = N();
    Block x(static_cast<size_t>(n), KCOMPLEX_DOUBLE{1.0, 0.0});
    Run(x);
    EXPECT_EQ(x[0].re, static_cast<double>(n));
    EXPECT_EQ(x[0].im, 0.0);
    for (int k = 1; k < n; ++k) {
        ASSERT_EQ(x[static_cast<size_t>(k)].re, 0.0) << "bin " << k;
        ASSERT_EQ(x[static_cast<size_t>(k)].im, 0.0) << "bin " << k;
    }
}

TEST_P(KFFTKernelTest, ExactTonesGiveLengthInTheirBin) {
    // exp(+2πi·m·k0/n) for k0 = n/4, n/2, 3n/4 is made of ±1 and ±i exactly.
    const int n = N();
    for (int quarter = 1; quarter <= 3; ++quarter) {
        const int k0 = quarter * n / 4;
        Block x(static_cast<size_t>(n));
        for (int m = 0; m < n; ++m) {
            const int phase = (m * quarter) % 4;  // i^(m·quarter)
            const double re[4] = {1.0, 0.0, -1.0, 0.0};
            const double im[4] = {0.0, 1.0, 0.0, -1.0};
            x[static_cast<size_t>(m)] = {re[phase], im[phase]};
        }
        Run(x);
        for (int k = 0; k < n; ++k) {
            const double want = k == k0 ? static_cast<double>(n) : 0.0;
            ASSERT_EQ(x[static_cast<size_t>(k)].re, want) << "k0 " << k0 << " bin " << k;
            ASSERT_EQ(x[static_cast<size_t>(k)].im, 0.0) << "k0 " << k0 << " bin " << k;
        }
    }
}

TEST_P(KFFTKernelTest, ToneGivesLengthInItsBin) {
    const int n = N();
    const long double pi = std::numbers::pi_v<long double>;
    std::vector<int> tones = {7, n - 1};
    if (n <= 4096) tones.insert(tones.end(), {1, n / 2 - 3});
    for (int k0 : tones) {
        Block x(static_cast<size_t>(n));
        for (int m = 0; m < n; ++m) {
            const long double a = 2.0L * pi * ((static_cast<long long>(m) * k0) % n) / n;
            x[static_cast<size_t>(m)] = {static_cast<double>(std::cos(a)), static_cast<double>(std::sin(a))};
        }
        Run(x);
        double worst = 0;
        for (int k = 0; k < n; ++k) {
            const double want = k == k0 ? static_cast<double>(n) : 0.0;
            worst = std::max(worst,
                             std::hypot(x[static_cast<size_t>(k)].re - want, x[static_cast<size_t>(k)].im));
        }
        // The input itself is rounded to double; errors scale with n.
        EXPECT_LT(worst, 1e-13 * n) << "k0 " << k0;
    }
}

TEST_P(KFFTKernelTest, LeavesPointsAroundTheBlockUntouched) {
    const int n = N();
    const int guard = 9;
    Block buffer = RandomBlock(n + 2 * guard, 5u);
    const Block before = buffer;
    {
        const cpu::LevelCap cap(Cap());
        fft_.fft(buffer.data() + guard, n);
    }
    for (int i = 0; i < guard; ++i) {
        for (int at : {i, n + guard + i}) {
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(at)].re, before[static_cast<size_t>(at)].re))
                << at;
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(at)].im, before[static_cast<size_t>(at)].im))
                << at;
        }
    }
    // and the block itself did change
    EXPECT_FALSE(SameBits(buffer[guard].re, before[guard].re));
}

std::string KernelTestName(const ::testing::TestParamInfo<std::tuple<bool, int>>& info) {
    return (std::get<0>(info.param) ? std::string("Vector") : std::string("Portable")) + "_" +
           std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AcceptedLengths, KFFTKernelTest,
                         ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kAccepted)),
                         KernelTestName);

// ---------------------------------------------------------------------------
// Lengths outside the accepted set.

TEST(KFFTTest, UnsupportedLengthsBecomeZeroAndNothingBeyond) {
    CKFFT fft;
    for (int n : {1,   2,    3,    4,    5,    8,    15,    17,    32,    63,     100,   128,
                  512, 1000, 1023, 1025, 2048, 8192, 32768, 65535, 65537, 131072, 262144}) {
        const int guard = 4;
        Block buffer = RandomBlock(n + guard, static_cast<unsigned>(n));
        const Block before = buffer;
        fft.fft(buffer.data(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(i)].re, 0.0)) << "n " << n << " point " << i;
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(i)].im, 0.0)) << "n " << n << " point " << i;
        }
        for (int i = n; i < n + guard; ++i) {
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(i)].re, before[static_cast<size_t>(i)].re)) << n;
            ASSERT_TRUE(SameBits(buffer[static_cast<size_t>(i)].im, before[static_cast<size_t>(i)].im)) << n;
        }
    }
}

TEST(KFFTTest, NonPositiveLengthLeavesBufferUntouched) {
    CKFFT fft;
    for (int n : {0, -1, -4, -16, -1024, INT_MIN}) {
        Block buffer = RandomBlock(16, 3u);
        const Block before = buffer;
        fft.fft(buffer.data(), n);
        EXPECT_EQ(std::memcmp(buffer.data(), before.data(), buffer.size() * sizeof(KCOMPLEX_DOUBLE)), 0) << n;
    }
    // Nothing is read either: a null buffer is fine.
    fft.fft(nullptr, 0);
    fft.fft(nullptr, -16);
}

// ---------------------------------------------------------------------------
// The shared table.

void ExpectTableFilled() {
    const double* table = CKFFT::GetCosinusTable();
    ASSERT_NE(table, nullptr);
    const long double pi = std::numbers::pi_v<long double>;
    double worst = 0;
    for (int i = 0; i <= 16384; ++i)
        worst = std::max(worst, static_cast<double>(std::fabs(table[i] - std::cos(pi * i / 32768.0L))));
    // 2π is rounded to double before the angles are formed, which moves the
    // cosines by less than one unit in the last place.
    EXPECT_LT(worst, 2.5e-16);
    EXPECT_EQ(table[0], 1.0);
}

TEST(KFFTTest, TableLivesExactlyWhileAnObjectExists) {
    ASSERT_EQ(CKFFT::GetNConstructorsDestructors(), 0) << "a CKFFT outlived an earlier test";
    EXPECT_EQ(CKFFT::GetCosinusTable(), nullptr);
    {
        auto first = std::make_unique<CKFFT>();
        EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), 1);
        ExpectTableFilled();
        {
            CKFFT second;
            EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), 2);
            first.reset();
            EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), 1);
            ExpectTableFilled();
            Block x = RandomBlock(1024, 11u);
            const Block input = x;
            second.fft(x.data(), 1024);
            const UnitRoots roots(1024);
            const LComplex want = DirectBin(input, 5, roots);
            EXPECT_LT(std::abs(LComplex(x[5].re, x[5].im) - want), 1e-12 * SpectrumRms(input));
        }
        EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), 0);
        EXPECT_EQ(CKFFT::GetCosinusTable(), nullptr);
    }
    CKFFT again;
    EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), 1);
    ExpectTableFilled();
    Block x(64, KCOMPLEX_DOUBLE{1.0, 0.0});
    again.fft(x.data(), 64);
    EXPECT_EQ(x[0].re, 64.0);
}

TEST(KFFTTest, EveryConstructionRefillsTheTable) {
    CKFFT first;
    double* table = const_cast<double*>(CKFFT::GetCosinusTable());
    const double saved = table[1234];
    table[1234] = 42.0;
    CKFFT second;
    EXPECT_EQ(CKFFT::GetCosinusTable(), table);
    EXPECT_TRUE(SameBits(table[1234], saved));
}

TEST(KFFTTest, CopiesCountAndAssignmentChangesNothing) {
    const int base = CKFFT::GetNConstructorsDestructors();
    CKFFT a;
    {
        CKFFT b(a);
        EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), base + 2);
        b = a;
        EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), base + 2);
    }
    EXPECT_EQ(CKFFT::GetNConstructorsDestructors(), base + 1);
    // The copy's death must not have freed the table under a.
    ASSERT_NE(CKFFT::GetCosinusTable(), nullptr);
    Block x(16, KCOMPLEX_DOUBLE{0.0, 0.0});
    x[0].re = 1.0;
    a.fft(x.data(), 16);
    EXPECT_EQ(x[15].re, 1.0);
}

TEST(KFFTTest, QuarterTurnConstantsComeFromTheTable) {
    CKFFT fft;
    const double c21 = CKFFT::GetC21();
    EXPECT_TRUE(SameBits(c21, CKFFT::GetCosinusTable()[8192]));
    EXPECT_TRUE(SameBits(CKFFT::GetMC21(), -c21));
    EXPECT_LT(std::fabs(c21 - std::sqrt(0.5L)), 1.2e-16L);
}

TEST(KFFTTest, ConstantsOutliveTheTable) {
    { CKFFT fft; }
    if (CKFFT::GetNConstructorsDestructors() == 0) {
        EXPECT_EQ(CKFFT::GetCosinusTable(), nullptr);
    }
    EXPECT_TRUE(SameBits(CKFFT::GetMC21(), -CKFFT::GetC21()));
    EXPECT_LT(std::fabs(CKFFT::GetC21() - std::sqrt(0.5L)), 1.2e-16L);
}

}  // namespace
