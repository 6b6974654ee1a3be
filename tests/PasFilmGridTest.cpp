// The FAS-film grid arithmetic, checked against closed-form values worked out
// by hand and against a long-double recomputation, with printf in the C
// locale as the independent reference for the number formats.
#include "PasFilmGrid.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <string>

namespace {

const long double kPiL = 3.141592653589793238462643383279502884L;

// printf in the C locale; the reference for the formats.
std::string cFormat(const char* fmt, double v) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, v);
    std::setlocale(LC_NUMERIC, saved.c_str());
    return buf;
}

// Pixels per sonel along frequency and time computed independently in long
// double from the definitions: a bin is Fd/N Hz, a sonel spans Fd/(2*pi*A)
// samples.
long double pixelsFreq(long double fd, long double a, int n = 1024) { return a / (fd / n); }
long double pixelsTime(long double fd, long double a, int step) { return fd / (2 * kPiL * a) / step; }

}  // namespace

TEST(PasFilmGridTest, TwoPiAndLayerRates) {
    EXPECT_NEAR(pasfilm::TwoPi(), static_cast<double>(2 * kPiL), 1e-15);
    for (int k = 0; k < pasfilm::kLevelCount; ++k) {
        // Halvings are exact in binary floating point.
        EXPECT_EQ(pasfilm::LayerRate(44100.0, k), 44100.0 / (1 << k)) << k;
        EXPECT_EQ(pasfilm::LayerRate(11025.0, k), 11025.0 / (1 << k)) << k;
    }
}

TEST(PasFilmGridTest, RateListTextsHaveThreeDecimals) {
    const char* expected44100[] = {"44100.000", "22050.000", "11025.000", "5512.500",
                                   "2756.250",  "1378.125",  "689.062",   "344.531"};
    for (int k = 0; k < pasfilm::kLevelCount; ++k) {
        EXPECT_EQ(pasfilm::RateItemText(44100.0, k), expected44100[k]) << k;
        // Same as printf "%.3f", including the round-to-even of exact ties (689.0625).
        EXPECT_EQ(pasfilm::RateItemText(44100.0, k), cFormat("%.3f", 44100.0 / (1 << k))) << k;
        EXPECT_EQ(pasfilm::RateItemText(8000.0, k), cFormat("%.3f", 8000.0 / (1 << k))) << k;
        EXPECT_EQ(pasfilm::RateItemText(22222.0, k), cFormat("%.3f", 22222.0 / (1 << k))) << k;
    }
}

TEST(PasFilmGridTest, SizesStayTied) {
    const long double twoPi = 2 * kPiL;
    for (double a : {1.0, 20.0, 68.5, 150.0, 1234.5678, 1e-20, 1e20}) {
        const pasfilm::SonelSizes s = pasfilm::SizesFromFreqHz(a);
        EXPECT_EQ(s.dFreqHz, a);
        EXPECT_NEAR(s.dTimeHz, static_cast<double>(twoPi * a), 1e-15 * s.dTimeHz);
        EXPECT_NEAR(s.dTimeMs, static_cast<double>(1000.0L / (twoPi * a)), 1e-15 * s.dTimeMs);

        const double b = static_cast<double>(twoPi * a);
        const pasfilm::SonelSizes fromB = pasfilm::SizesFromTimeHz(b);
        EXPECT_EQ(fromB.dTimeHz, b);
        EXPECT_NEAR(fromB.dFreqHz, a, 1e-15 * a);
        EXPECT_NEAR(fromB.dTimeMs, static_cast<double>(1000.0L / b), 1e-15 * fromB.dTimeMs);

        const double t = static_cast<double>(1000.0L / (twoPi * a));
        const pasfilm::SonelSizes fromT = pasfilm::SizesFromTimeMs(t);
        EXPECT_EQ(fromT.dTimeMs, t);
        EXPECT_NEAR(fromT.dTimeHz, b, 1e-14 * b);
        EXPECT_NEAR(fromT.dFreqHz, a, 1e-14 * a);
    }
    // 2 ms is a sonel of 500 Hz along time, 500 / (2 pi) = 79.577... Hz along frequency.
    const pasfilm::SonelSizes twoMs = pasfilm::SizesFromTimeMs(2.0);
    EXPECT_DOUBLE_EQ(twoMs.dTimeHz, 500.0);
    EXPECT_NEAR(twoMs.dFreqHz, 79.57747154594767, 1e-12);
}

TEST(PasFilmGridTest, OptimalPresetAt44100) {
    const pasfilm::Grid g = pasfilm::PresetOptimal(44100.0);
    // T = 102400 / 44100 ms, A = 1000 / (2 pi T).
    EXPECT_NEAR(g.sizes.dTimeMs, 102400.0 / 44100.0, 1e-12);
    EXPECT_NEAR(g.sizes.dTimeMs, 2.321995, 1e-6);
    EXPECT_NEAR(g.sizes.dFreqHz, 68.5423, 5e-5);
    EXPECT_NEAR(g.sizes.dFreqHz, static_cast<double>(44100.0L / (2 * kPiL * 102.4L)), 1e-10);
    EXPECT_EQ(g.nStep, 64);  // trunc(102.4 / (10 / (2 pi))) = trunc(64.34)
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, g.sizes.dFreqHz, g.nStep);
    EXPECT_EQ(r.nStep, 64);
    EXPECT_EQ(r.strPixelsPerSonelFreq, "1.591549");  // 10 / (2 pi)
    EXPECT_EQ(r.strPixelsPerSonelTime, "1.600000");  // 102.4 / 64
}

class PasFilmGridRateTest : public ::testing::TestWithParam<double> {};

TEST_P(PasFilmGridRateTest, OptimalPresetIsTheSameGridForEveryRate) {
    const double fd = GetParam();
    const pasfilm::Grid g = pasfilm::PresetOptimal(fd);
    EXPECT_EQ(g.nStep, 64);
    // 102.4 samples per sonel whatever the rate.
    EXPECT_NEAR(pasfilm::SamplesPerSonel(fd, g.sizes.dFreqHz), 102.4, 1e-9);
    EXPECT_NEAR(g.sizes.dFreqHz, static_cast<double>(fd / (2 * kPiL * 102.4L)), 1e-12 * fd);
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(fd, g.sizes.dFreqHz, g.nStep);
    EXPECT_EQ(r.nStep, 64);
    EXPECT_EQ(r.strPixelsPerSonelFreq, "1.591549");
    EXPECT_EQ(r.strPixelsPerSonelTime, "1.600000");
}

INSTANTIATE_TEST_SUITE_P(Rates, PasFilmGridRateTest,
                         ::testing::Values(44100.0, 22050.0, 11025.0, 5512.5, 8000.0, 48000.0, 96000.0,
                                           344.53125));

TEST(PasFilmGridTest, ArticulationPreset) {
    const pasfilm::Grid g = pasfilm::PresetArticulation(44100.0);
    EXPECT_EQ(g.sizes.dFreqHz, 150.0);
    EXPECT_NEAR(g.sizes.dTimeHz, static_cast<double>(300 * kPiL), 1e-12);
    EXPECT_NEAR(g.sizes.dTimeMs, static_cast<double>(1000 / (300 * kPiL)), 1e-15);
    // P = 150 / 44100 * 1024 = 3.483 (not capped); (44100 / (300 pi)) / P = 13.43.
    EXPECT_EQ(g.nStep, 13);
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, 150.0, g.nStep);
    EXPECT_EQ(r.nStep, 13);
    EXPECT_EQ(r.strPixelsPerSonelFreq, "3.482993");
    EXPECT_EQ(r.strPixelsPerSonelTime, "3.599350");
    EXPECT_EQ(r.strPixelsPerSonelFreq, cFormat("%f", static_cast<double>(pixelsFreq(44100, 150))));
    EXPECT_EQ(r.strPixelsPerSonelTime, cFormat("%f", static_cast<double>(pixelsTime(44100, 150, 13))));

    // At 11025 Hz P = 13.93 > 5, so 3 stands in: trunc(11025 / (300 pi) / 3) = trunc(3.90) = 3.
    EXPECT_EQ(pasfilm::PresetArticulation(11025.0).nStep, 3);
    // At 22050 Hz P = 6.97 > 5 as well: trunc(22050 / (300 pi) / 3) = trunc(7.80) = 7.
    EXPECT_EQ(pasfilm::PresetArticulation(22050.0).nStep, 7);
    // At 28000 Hz P = 5.49, just above the cap: trunc(28000 / (300 pi) / 3) = trunc(9.90) = 9.
    EXPECT_EQ(pasfilm::PresetArticulation(28000.0).nStep, 9);
    // At 30720 Hz P is exactly 5 and is kept: trunc(30720 / (300 pi) / 5) = trunc(6.52) = 6.
    EXPECT_EQ(pasfilm::PresetArticulation(30720.0).nStep, 6);
    // At 48000 Hz P = 3.2: trunc(48000 / (300 pi) / 3.2) = trunc(15.92) = 15.
    EXPECT_EQ(pasfilm::PresetArticulation(48000.0).nStep, 15);
    // A rate of zero makes P infinite; the cap applies and nothing is undefined.
    EXPECT_EQ(pasfilm::PresetArticulation(0.0).nStep, 0);
}

TEST(PasFilmGridTest, VoicePresetIsLoweredToMaxStep) {
    const pasfilm::Grid g = pasfilm::PresetVoice(44100.0);
    EXPECT_EQ(g.sizes.dFreqHz, 20.0);
    // P = 20 / 44100 * 1024 = 0.4644; (44100 / (40 pi)) / P = 755.7.
    EXPECT_EQ(g.nStep, 755);
    EXPECT_EQ(pasfilm::MaxStep(44100.0, 20.0), 350);  // trunc(350.95)
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, 20.0, g.nStep);
    EXPECT_EQ(r.nStep, 350);
    EXPECT_EQ(r.strPixelsPerSonelFreq, "0.464399");
    EXPECT_EQ(r.strPixelsPerSonelTime, "1.002676");
    EXPECT_EQ(r.strPixelsPerSonelTime, cFormat("%f", static_cast<double>(pixelsTime(44100, 20, 350))));
}

TEST(PasFilmGridTest, MaxStepAndClamp) {
    // trunc(44100 / (2 pi * 79.38)) = trunc(88.42)
    EXPECT_EQ(pasfilm::MaxStep(44100.0, 79.38), 88);
    // A sonel shorter than one sample: maxStep 0, the step still becomes 1.
    EXPECT_EQ(pasfilm::MaxStep(44100.0, 10000.0), 0);
    EXPECT_EQ(pasfilm::ClampStep(5, 0), 1);
    EXPECT_EQ(pasfilm::ClampStep(5, 88), 5);
    EXPECT_EQ(pasfilm::ClampStep(88, 88), 88);
    EXPECT_EQ(pasfilm::ClampStep(89, 88), 88);
    EXPECT_EQ(pasfilm::ClampStep(0, 88), 1);
    EXPECT_EQ(pasfilm::ClampStep(-7, 88), 1);
    EXPECT_EQ(pasfilm::ClampStep(-7, -3), 1);
    // Without a maxStep only the lower limit and the int range hold.
    EXPECT_EQ(pasfilm::ClampStep(12, std::nullopt), 12);
    EXPECT_EQ(pasfilm::ClampStep(-12, std::nullopt), 1);
    EXPECT_EQ(pasfilm::ClampStep(static_cast<long long>(INT_MAX) + 1, std::nullopt), INT_MAX);
    EXPECT_EQ(pasfilm::ClampStep(static_cast<long long>(INT_MAX) + 1, INT_MAX), INT_MAX);
}

TEST(PasFilmGridTest, SizesWithoutAMaxStep) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double a : {0.0, -0.0, -20.0, -1e-30, inf, -inf, nan, 1e-320}) {
        EXPECT_FALSE(pasfilm::MaxStep(44100.0, a).has_value()) << a;
        const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, a, 64);
        EXPECT_EQ(r.nStep, 64) << a;
        EXPECT_EQ(r.strPixelsPerSonelTime, "?") << a;
        const pasfilm::Readouts low = pasfilm::ComputeReadouts(44100.0, a, -3);
        EXPECT_EQ(low.nStep, 1) << a;
    }
    // Not a positive size: no pixel count along frequency either.
    for (double a : {0.0, -20.0, inf, nan}) {
        EXPECT_EQ(pasfilm::ComputeReadouts(44100.0, a, 64).strPixelsPerSonelFreq, "?") << a;
    }
    // 1e-320 is positive and finite: its pixel count along frequency is a (tiny) number.
    EXPECT_EQ(pasfilm::ComputeReadouts(44100.0, 1e-320, 64).strPixelsPerSonelFreq, "0.000000");
}

TEST(PasFilmGridTest, SonelsLongerThanTheIntRange) {
    // Below about 3.3e-6 Hz at 44100 Hz a sonel spans more samples than an
    // int holds; maxStep saturates and the step stays an int within it.
    const double a = 1e-6;
    const long double span = 44100.0L / (2 * kPiL * a);
    ASSERT_GT(span, static_cast<long double>(INT_MAX));
    EXPECT_EQ(pasfilm::MaxStep(44100.0, a), INT_MAX);
    EXPECT_EQ(pasfilm::MaxStep(44100.0, 3.2e-6), INT_MAX);
    EXPECT_EQ(pasfilm::MaxStep(44100.0, 3.4e-6), static_cast<int>(44100.0L / (2 * kPiL * 3.4e-6L)));
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, a, 755);
    EXPECT_EQ(r.nStep, 755);
    EXPECT_EQ(r.strPixelsPerSonelTime, cFormat("%f", static_cast<double>(span / 755)));
    EXPECT_EQ(pasfilm::ComputeReadouts(44100.0, a, INT_MAX).nStep, INT_MAX);
    // The optimal preset of a degenerate rate neither traps nor leaves a step below 1.
    for (double fd : {0.0, 1e-300}) {
        const pasfilm::Grid g = pasfilm::PresetOptimal(fd);
        const pasfilm::Readouts rr = pasfilm::ComputeReadouts(fd, g.sizes.dFreqHz, g.nStep);
        EXPECT_GE(rr.nStep, 1) << fd;
    }
}

TEST(PasFilmGridTest, TruncSaturated) {
    EXPECT_EQ(pasfilm::TruncSaturated(64.99), 64);
    EXPECT_EQ(pasfilm::TruncSaturated(-64.99), -64);
    EXPECT_EQ(pasfilm::TruncSaturated(0.5), 0);
    EXPECT_EQ(pasfilm::TruncSaturated(3e9), INT_MAX);
    EXPECT_EQ(pasfilm::TruncSaturated(-3e9), INT_MIN);
    EXPECT_EQ(pasfilm::TruncSaturated(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(pasfilm::TruncSaturated(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(pasfilm::TruncSaturated(2147483646.9), 2147483646);
}

TEST(PasFilmGridTest, FormatsMatchPrintf) {
    for (double v : {0.0, 1.0, 1.5915494309189535, 3.5993498, 68.54225880, 1e-7, 5e-7, 4.9999995e-7,
                     123456789.123, 1e30, -2.5, 0.0000005, 1.0000005}) {
        EXPECT_EQ(pasfilm::FormatFixed(v), cFormat("%f", v)) << v;
        EXPECT_EQ(pasfilm::FormatFixed(v, 3), cFormat("%.3f", v)) << v;
        EXPECT_EQ(pasfilm::FormatGeneral15(v), cFormat("%.15g", v)) << v;
    }
    EXPECT_EQ(pasfilm::FormatFixed(std::numeric_limits<double>::max()),
              cFormat("%f", std::numeric_limits<double>::max()));
    EXPECT_EQ(pasfilm::FormatFixed(std::numeric_limits<double>::infinity()), "?");
    EXPECT_EQ(pasfilm::FormatFixed(std::numeric_limits<double>::quiet_NaN()), "?");
    EXPECT_EQ(pasfilm::FormatGeneral15(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(pasfilm::FormatGeneral15(1e-30), "1e-30");
    EXPECT_EQ(pasfilm::FormatGeneral15(1e30), "1e+30");
    EXPECT_EQ(pasfilm::FormatGeneral15(68.54225880349), "68.54225880349");
}

TEST(PasFilmGridTest, ParseNumber) {
    EXPECT_EQ(pasfilm::ParseNumber("68.5"), 68.5);
    EXPECT_EQ(pasfilm::ParseNumber("  68.5\t"), 68.5);
    EXPECT_EQ(pasfilm::ParseNumber("+3"), 3.0);
    EXPECT_EQ(pasfilm::ParseNumber("-3."), -3.0);
    EXPECT_EQ(pasfilm::ParseNumber(".25"), 0.25);
    EXPECT_EQ(pasfilm::ParseNumber("1e-30"), 1e-30);
    EXPECT_EQ(pasfilm::ParseNumber("2.5E+3"), 2500.0);
    EXPECT_EQ(pasfilm::ParseNumber("0"), 0.0);
    EXPECT_EQ(pasfilm::ParseNumber("68.5422588034949"), 68.5422588034949);
    // Beyond the double range: infinity, which the range check refuses.
    EXPECT_EQ(pasfilm::ParseNumber("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(pasfilm::ParseNumber("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(pasfilm::ParseNumber("1e-400"), 0.0);
    for (const char* bad : {"", " ", "abc", "1,5", "1.5x", "1e", "1e+", ".", "-", "+-1", "1 5", "inf", "nan",
                            "0x10", "--1", "1..2", "e5"}) {
        EXPECT_FALSE(pasfilm::ParseNumber(bad).has_value()) << bad;
    }
}

TEST(PasFilmGridTest, SizeRangeIsInclusive) {
    EXPECT_TRUE(pasfilm::SizeInRange(1e-30));
    EXPECT_TRUE(pasfilm::SizeInRange(1e30));
    EXPECT_TRUE(pasfilm::SizeInRange(68.5));
    EXPECT_FALSE(pasfilm::SizeInRange(0.0));
    EXPECT_FALSE(pasfilm::SizeInRange(-1.0));
    EXPECT_FALSE(pasfilm::SizeInRange(9.99e-31));
    EXPECT_FALSE(pasfilm::SizeInRange(1.0001e30));
    EXPECT_FALSE(pasfilm::SizeInRange(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(pasfilm::SizeInRange(std::numeric_limits<double>::quiet_NaN()));
}

namespace {

// A numeric punctuation with a decimal comma, standing in for a Russian
// locale for the C++ streams.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

void expectLocaleFreeNumbers() {
    const pasfilm::Readouts r = pasfilm::ComputeReadouts(44100.0, 150.0, 13);
    EXPECT_EQ(r.strPixelsPerSonelFreq, "3.482993");
    EXPECT_EQ(r.strPixelsPerSonelTime, "3.599350");
    EXPECT_EQ(pasfilm::RateItemText(44100.0, 3), "5512.500");
    EXPECT_EQ(pasfilm::FormatGeneral15(68.5), "68.5");
    EXPECT_EQ(pasfilm::ParseNumber("68.5"), 68.5);
    EXPECT_EQ(pasfilm::ParseNumber("1.5e1"), 15.0);
    EXPECT_FALSE(pasfilm::ParseNumber("68,5").has_value());
}

}  // namespace

TEST(PasFilmGridTest, FormatsIgnoreQtAndStreamLocales) {
    const std::locale savedCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const QLocale savedQt;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    expectLocaleFreeNumbers();
    QLocale::setDefault(savedQt);
    std::locale::global(savedCpp);
}

TEST(PasFilmGridTest, FormatsIgnoreARussianCLocale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr) GTEST_SKIP() << "no ru_RU.UTF-8 locale installed";
    // The locale really has a decimal comma, so printf-based code would fail here.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");
    expectLocaleFreeNumbers();
    std::setlocale(LC_ALL, saved.c_str());
}
