#include "NumberFormat.h"
#include "SonogramReadout.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

// Switches the C library's numeric locale for one test, when the system has
// one with a decimal comma.
class CommaLocale {
public:
    CommaLocale() {
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        m_previous = previous != nullptr ? previous : "C";
        for (const char* name : {"ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr) {
                m_active = true;
                break;
            }
        }
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, m_previous.c_str()); }
    bool active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

}  // namespace

TEST(SonogramReadout, DecimalsFollowThePointerFrequency) {
    EXPECT_EQ(sonogram::FormatPeakReadout(1236.25, -3.14159, 1234.5678, -20.005),
              "1236.2 Гц, -3.14 дБ (1234.6 Гц, -20.00 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(15010.7, 1.0, 15000.0, -2.5),
              "15011 Гц, 1.00 дБ (15000 Гц, -2.50 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(5.12345, 0.0, 5.0, -7.0),
              "5.1235 Гц, 0.00 дБ (5.0000 Гц, -7.00 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(0.5, 0.0, 0.5, 0.0), "0.5000 Гц, 0.00 дБ (0.5000 Гц, 0.00 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(0.05, 0.0, 0.05, 0.0), "0.050 Гц, 0.00 дБ (0.050 Гц, 0.00 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(43.0, 0.0, 43.06640625, 0.0),
              "43.000 Гц, 0.00 дБ (43.066 Гц, 0.00 дБ)");
    EXPECT_EQ(sonogram::FormatPeakReadout(150.0, 0.0, 150.73, 0.0),
              "150.00 Гц, 0.00 дБ (150.73 Гц, 0.00 дБ)");
    // 100 kHz and more falls back to three decimals.
    EXPECT_EQ(sonogram::FormatPeakReadout(0.0, 0.0, 123456.0, 0.0),
              "0.000 Гц, 0.00 дБ (123456.000 Гц, 0.00 дБ)");
    // Zero and negative pointer frequencies have no logarithm: three decimals.
    EXPECT_EQ(sonogram::FormatPeakReadout(0.0, 0.0, 0.0, 0.0), "0.000 Гц, 0.00 дБ (0.000 Гц, 0.00 дБ)");
    EXPECT_EQ(readout::FrequencyDecimals(-5.0), 3);
    EXPECT_EQ(readout::FrequencyDecimals(NAN), 3);
    // Levels of silence stay printable.
    EXPECT_EQ(sonogram::FormatPeakReadout(10.0, 0.0, 10.0, -INFINITY),
              "10.000 Гц, 0.00 дБ (10.000 Гц, -inf дБ)");
}

TEST(SonogramReadout, TimeHasThreeDecimals) {
    EXPECT_EQ(sonogram::FormatReadoutTime(251.0 * 88.0 / 22050.0), "1.002 c");
    EXPECT_EQ(sonogram::FormatReadoutTime(0.0), "0.000 c");
    EXPECT_EQ(number::Fixed(0.125, 2), "0.12");  // an exact tie goes to even, as printf
}

TEST(SonogramReadout, RoundsLikePrintfInTheCLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    std::setlocale(LC_NUMERIC, "C");
    for (double v : {2.0005, 0.0445, 1234.5678, -0.00049, 15000.5, 9.99995, 1e-7, 3.0}) {
        for (int decimals = 0; decimals <= 4; ++decimals) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            EXPECT_EQ(number::Fixed(v, decimals), expected) << v << " with " << decimals;
        }
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(SonogramReadout, AppendedNumbersAreExactlyPrintfsAtEveryMagnitude) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    std::setlocale(LC_NUMERIC, "C");
    // Levels, times and frequencies of every size, values just beside a
    // tie at each number of decimals, exact ties, signed zeros and the
    // values that are no numbers.
    std::mt19937_64 random(11);
    std::vector<double> values = {-0.0,
                                  0.0,
                                  -0.0004,
                                  0.0005,
                                  2.5,
                                  -2.5,
                                  0.125,
                                  1e12,
                                  -3e15,
                                  1e300,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, std::uniform_real_distribution<double>(-8.0, 13.0)(random));
        values.push_back((random() & 1 ? -1.0 : 1.0) * magnitude);
        const int decimals = static_cast<int>(random() % 10);
        const double tie =
            (std::floor(magnitude * std::pow(10.0, decimals)) + 0.5) / std::pow(10.0, decimals);
        values.push_back(std::nextafter(tie, 0.0));
        values.push_back(std::nextafter(tie, 1e300));
    }
    long differences = 0;
    for (const double v : values) {
        for (int decimals = 0; decimals <= 12; ++decimals) {
            char expected[512];
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            std::string text = "x";
            number::AppendFixed(text, v, decimals);
            if (text != "x" + std::string(expected) && ++differences < 10)
                ADD_FAILURE() << v << " with " << decimals << ": " << text << " vs " << expected;
        }
    }
    EXPECT_EQ(differences, 0);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(SonogramReadout, NoDecimalCommaInAnyLocale) {
    CommaLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    char check[32];
    std::snprintf(check, sizeof check, "%.1f", 1.5);
    ASSERT_EQ(std::string(check), "1,5") << "the locale switch took effect";
    EXPECT_EQ(sonogram::FormatPeakReadout(1236.25, -3.14159, 1234.5678, -20.005),
              "1236.2 Гц, -3.14 дБ (1234.6 Гц, -20.00 дБ)");
    EXPECT_EQ(sonogram::FormatReadoutTime(1.5), "1.500 c");
}
