// The FGT computed for what is drawn: every value and pixel it draws is the
// same bit for bit as the whole-signal computation (the oracle) gives at that
// index, at cursor positions inside and beyond the signal, for small and huge
// P, after level changes and after a pane grows; the cache stays bounded by
// what is drawn; a value at the lower level is white.
#include "FGTOnDemand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "CpuFeatures.h"
#include "FGTComputation.h"
#include "FGTSums.h"
#include "FGTTransform.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "WavWriter.h"

namespace {

// A tone in noise with a stretch of exact silence (whose powers are zero, so
// that their logarithms leave the vector form) and a loud burst.
void FillSignal(CKWave& wave) {
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.05);
    KCOMPLEX_KFLOAT* s = wave.GetFirstComplexSample();
    const long n = wave.GetNSamples();
    const double rate = wave.GetFrADC();
    for (long i = 0; i < n; ++i) {
        const bool silent = i > n / 3 && i < n / 3 + n / 8;
        const double burst = i > 2 * n / 3 && i < 2 * n / 3 + 200 ? 3.0 : 0.0;
        s[i].re =
            silent ? 0.0 : 0.4 * std::sin(2.0 * 3.141592653589793 * 440.0 * i / rate) + noise(random) + burst;
    }
}

using Case = std::tuple<double, double>;  // rate, P

class FGTOnDemandTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        const double rate = std::get<0>(GetParam());
        ASSERT_GT(m_wave.CreateKWave(m_temp.path(), rate, 16, static_cast<long>(rate * 0.75), 0.0), 0);
        FillSignal(m_wave);
    }

    // Every value the pane draws against the oracle's, level and pixel.
    void ExpectDrawnAsOracle(FGTOnDemand& fgt, const FGTTransform& whole, int width, int height, double t,
                             double lower, double upper) {
        ASSERT_TRUE(fgt.Prepare(width, height, t, lower, upper));
        const int rows = fgt.GetRows();
        long offset = 0;
        std::vector<long> offsets(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            offsets[static_cast<size_t>(i)] = offset, offset += whole.GetRowLength()[i];
        for (int i = fgt::LowestDrawnRow(rows, height); i < rows; ++i) {
            const fgt::DrawnSpan span = fgt::DrawnValues(width, t, fgt.GetSigmaT()[i], fgt.GetRowLength()[i]);
            for (long long k = span.first; k < span.last; ++k) {
                const long at = offsets[static_cast<size_t>(i)] + static_cast<long>(k);
                int available = 0;
                const uint32_t* pixel = fgt.Pixels(i, k, available);
                ASSERT_NE(pixel, nullptr) << "row " << i << " k " << k;
                const double level = fgt.Level(i, k);
                const double expected = whole.GetLevel()[at];
                // Bit for bit, infinities of silence included.
                ASSERT_TRUE(level == expected || (std::isnan(level) && std::isnan(expected)))
                    << "row " << i << " k " << k << " " << level << " " << expected;
                ASSERT_EQ(*pixel, fgt::LevelToPixel(expected, lower, upper)) << "row " << i << " k " << k;
                ++m_checked;
            }
        }
    }

    testwav::TempDir m_temp;
    CKWave m_wave;
    MessageCapture m_messages;
    void ExpectEveryDrawnValueAsTheOracle();

    long m_checked = 0;
};

}  // namespace

TEST_P(FGTOnDemandTest, DrawnValuesEqualTheWholeSignalComputation) {
    // Each instruction-set level groups its logarithms and means its own way.
    for (const cpu::Level level : {cpu::Level::Portable, cpu::Level::Avx2, cpu::Level::Avx512}) {
        if (level > cpu::ProcessorLevel()) continue;
        const cpu::LevelCap cap(level);
        SCOPED_TRACE(static_cast<int>(level));
        ExpectEveryDrawnValueAsTheOracle();
    }
}

void FGTOnDemandTest::ExpectEveryDrawnValueAsTheOracle() {
    m_checked = 0;
    const double P = std::get<1>(GetParam());
    FGTTransform whole;
    ASSERT_TRUE(whole.Calculate(&m_wave, P, 0.0, 50.0));
    FGTOnDemand fgt;
    ASSERT_TRUE(fgt.Bind(&m_wave, P));
    ASSERT_EQ(fgt.GetRows(), whole.GetRows());
    EXPECT_EQ(fgt.GetTotal(), whole.GetTotal());
    const double duration = m_wave.GetNSamples() / m_wave.GetFrADC();
    // A narrow short pane, then a wide one that shows every row, at the start,
    // inside, at the end and beyond both ends.
    for (const double t :
         {0.0, 0.001, duration * 0.37, duration * 0.5, duration - 1e-4, duration, -0.2, duration + 0.3})
        ExpectDrawnAsOracle(fgt, whole, 100, 100, t, 0.0, 50.0);
    for (const double t : {0.0, duration * 0.41, duration})
        ExpectDrawnAsOracle(fgt, whole, 1200, fgt.GetRows() + 1, t, 0.0, 50.0);
    // New levels map the cached values again; the odd upper level is one
    // whose quotient at the lower level rounds below 255.
    whole.BuildImage(-20.0, 30.0);
    ExpectDrawnAsOracle(fgt, whole, 1200, fgt.GetRows() + 1, duration * 0.41, -20.0, 30.0);
    ExpectDrawnAsOracle(fgt, whole, 333, 200, duration * 0.6, 0.0, 50.004);
    if (P < 1000.0) {
        EXPECT_GT(m_checked, 20000);
    }
    EXPECT_EQ(m_messages.count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(RatesAndP, FGTOnDemandTest,
                         ::testing::Combine(::testing::Values(8000.0, 48000.0),
                                            ::testing::Values(1.0, 2.0, 5.0, 68.0, 1000000.0)));

TEST(FGTOnDemandTimes, TimeAfterIsTheChainOfAdditions) {
    // Rows of several P at 48 kHz, and steps whose remainder in a binade is
    // exactly half a unit.
    std::vector<double> steps;
    for (const double P : {0.37, 2.0, 68.0})
        for (int row = 0; row < 500; row += 71) steps.push_back(fgt::RowSigmaT(P, fgt::RowFrequency(row)));
    steps.push_back(0x1.0000000000001p-10);
    steps.push_back(3.0 * 0x1p-40);
    for (const double sigma : steps) {
        double t = 0.0;
        for (int k = 0; k < 300000; ++k) {
            if (k % 997 == 0 || k < 70) {
                ASSERT_EQ(fgt::TimeAfter(0.0, sigma, k), t) << sigma << " " << k;
            }
            t = t + sigma;
        }
        // Continuing from a time reached is the same as from 0.
        ASSERT_EQ(fgt::TimeAfter(fgt::TimeAfter(0.0, sigma, 1234), sigma, 300000 - 1234), t) << sigma;
    }
}

TEST(FGTOnDemandSmoothing, EachValueIsWhatTheRowPassLeaves) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-80.0, 40.0);
    for (int count : {1, 8, 9, 12, 13, 17, 64, 100, 257}) {
        std::vector<double> raw(static_cast<size_t>(count));
        for (double& v : raw) v = value(random);
        std::vector<double> plain = raw, grouped = raw;
        fgt::SmoothRow(plain.data(), count);
        fgt::SmoothRowAvx2(grouped.data(), count);
        for (int k = 0; k < count; ++k) {
            ASSERT_EQ(fgt::SmoothedValue(raw.data() + k, k, count, false), plain[static_cast<size_t>(k)])
                << k;
            if (cpu::ProcessorLevel() >= cpu::Level::Avx2) {
                ASSERT_EQ(fgt::SmoothedValue(raw.data() + k, k, count, true), grouped[static_cast<size_t>(k)])
                    << count << " " << k;
            }
        }
    }
}

TEST(FGTOnDemandPixels, AtOrBelowTheLowerLevelIsWhite) {
    // 50.004·255/50.004 rounds below 255 in the quotient of the mapping.
    const double levels[] = {0.0, -3.0, -std::numeric_limits<double>::infinity(), 0.0, -1.0, 0.0, 0.0, 0.0};
    for (const auto& [lower, upper] :
         {std::pair{0.0, 50.004}, std::pair{0.0, 50.0}, std::pair{-21.0, 10.0}}) {
        EXPECT_EQ(fgt::LevelToPixel(lower, lower, upper), 0xFFFFFFu) << upper;
        for (const cpu::Level level : {cpu::Level::Portable, cpu::ProcessorLevel()}) {
            const cpu::LevelCap cap(level);
            uint32_t pixels[8];
            std::vector<double> at(std::begin(levels), std::end(levels));
            for (double& v : at) v = std::min(v + lower, lower);
            fgt::BuildImage(at.data(), pixels, 8, lower, upper, 1);
            for (uint32_t p : pixels) EXPECT_EQ(p, 0xFFFFFFu) << upper;
        }
    }
    // Equal levels stay black.
    EXPECT_EQ(fgt::LevelToPixel(10.0, 10.0, 10.0), 0u);
}

TEST(FGTOnDemandCache, HoldsAFewPaneWidthsWhateverTheCursorVisits) {
    testwav::TempDir temp;
    CKWave wave;
    ASSERT_GT(wave.CreateKWave(temp.path(), 8000.0, 16, 8000 * 20, 0.0), 0);
    FillSignal(wave);
    FGTOnDemand fgt;
    ASSERT_TRUE(fgt.Bind(&wave, 2.0));
    const int width = 300;
    const int height = fgt.GetRows() + 1;
    long most = 0;
    for (double t = 0.0; t < 20.0; t += 0.37) {
        ASSERT_TRUE(fgt.Prepare(width, height, t, 0.0, 50.0));
        most = std::max(most, fgt.CachedValues());
    }
    // Per row: the kept widths and the blocks of one more span.
    const long bound = static_cast<long>(fgt.GetRows()) *
                       (width * FGTOnDemand::kWidthsKept + width + 3L * FGTOnDemand::kBlock);
    EXPECT_LE(most, bound);
    EXPECT_LT(most, fgt.GetTotal() / 4);
}

namespace {

// 30 s at 8000 Hz in a store with the wave's guard band, and the whole-row
// pass's values of a row before the smoothing: the sums over the real parts
// copied once, forward and reversed, as the whole-signal computation reads them.
class StoredSignal {
public:
    StoredSignal() : m_store(static_cast<size_t>(kSamples + 2 * kGuard)) {
        std::mt19937 random(11);
        std::normal_distribution<double> noise(0.0, 0.05);
        for (long n = 0; n < kSamples; ++n) {
            const bool silent = n > kSamples / 2 && n < kSamples / 2 + 20000;
            First()[n].re = silent ? 0.0 : 0.4 * std::sin(0.31 * n) + noise(random);
        }
        const long stored = kSamples + 2 * kGuard;
        m_forward.assign(static_cast<size_t>(stored + 2 * kPad), 0.0);
        m_reversed = m_forward;
        for (long i = 0; i < stored; ++i) {
            m_forward[static_cast<size_t>(kPad + i)] = m_store[static_cast<size_t>(i)].re;
            m_reversed[static_cast<size_t>(kPad + stored - 1 - i)] = m_store[static_cast<size_t>(i)].re;
        }
    }
    fgt::SignalRef Ref() { return fgt::SignalRef{First(), kSamples, kRate, kGuard}; }
    std::vector<double> WholeRow(const fgt::RowKernel& k, int length, cpu::Level level) {
        const fgt::FoldedKernel folding{
            k.foldedCos.data(), k.foldedSin.data(), static_cast<int>(k.foldedCos.size()), k.E,
            k.edgeCos,          k.edgeSin};
        const long stored = kSamples + 2 * kGuard;
        const fgt::RealSignal real{m_forward.data() + kPad + kGuard,
                                   m_reversed.data() + kPad + stored - 1 - kGuard};
        const fgt::RowPoints points{kRate, k.sigmaT, kSamples};
        std::vector<double> values(static_cast<size_t>(length));
        if (level == cpu::Level::Avx512)
            fgt::RowValuesAvx512(folding, real, points, length, values.data());
        else if (level == cpu::Level::Avx2)
            fgt::RowValuesAvx2(folding, real, points, length, values.data());
        else
            fgt::RowValuesPortable(folding, real, points, length, values.data());
        return values;
    }

    static constexpr double kRate = 8000.0;
    static constexpr long kSamples = 240000;
    static constexpr int kGuard = 54711;  // 1 + 5·Fs·σ of the 8 Hz row at the largest P
    static constexpr long kPad = 64;

private:
    KCOMPLEX_KFLOAT* First() { return m_store.data() + kGuard; }
    std::vector<KCOMPLEX_KFLOAT> m_store;
    std::vector<double> m_forward;
    std::vector<double> m_reversed;
};

bool SameBits(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

TEST(FGTOnDemandPieces, AnyStretchFromTheSignalOrACopyIsTheRowPassBitForBit) {
    StoredSignal s;
    const fgt::SignalRef signal = s.Ref();
    const int rows = fgt::RowCount(signal.frADC);
    // Copies that hold nothing read, the middle of the signal (so that a job
    // passes from the signal to the copy and back), and everything.
    std::vector<fgt::RealCopy> copies(3);
    ASSERT_TRUE(fgt::MakeRealCopy(signal, -StoredSignal::kGuard, -StoredSignal::kGuard + 10, copies[0]));
    ASSERT_TRUE(fgt::MakeRealCopy(signal, 90000, 150000, copies[1]));
    ASSERT_TRUE(fgt::MakeRealCopy(signal, -StoredSignal::kGuard,
                                  StoredSignal::kSamples + StoredSignal::kGuard, copies[2]));
    for (const cpu::Level level : {cpu::Level::Portable, cpu::Level::Avx2, cpu::Level::Avx512}) {
        if (level > cpu::ProcessorLevel()) continue;
        for (const double P : {5.0, 68.0}) {
            for (const int row : {0, 30, 200, rows - 1}) {
                fgt::RowKernel kernel;
                const double frequency = fgt::RowFrequency(row);
                ASSERT_TRUE(fgt::MakeRowKernel(signal, frequency, fgt::RowSigmaT(P, frequency), kernel));
                const int length =
                    static_cast<int>(fgt::RowLengthExact(signal.nSamples, signal.frADC, kernel.sigmaT));
                const std::vector<double> whole = s.WholeRow(kernel, length, level);
                const int middle = length / 2 / 8 * 8;
                for (const auto& [first, count] :
                     {std::pair{0, length}, std::pair{middle, std::min(256, length - middle)},
                      std::pair{length / 16 * 8, length - length / 16 * 8}}) {
                    for (const fgt::RealCopy* copy :
                         std::vector<const fgt::RealCopy*>{nullptr, &copies[0], &copies[1], &copies[2]}) {
                        // Sentinels after the stretch catch a write beyond it.
                        std::vector<double> out(static_cast<size_t>(count) + 4, 12345.0);
                        ASSERT_TRUE(
                            fgt::ComputeValues(signal, kernel, first, count, out.data(), level, copy));
                        for (int k = 0; k < count; ++k)
                            ASSERT_TRUE(
                                SameBits(out[static_cast<size_t>(k)], whole[static_cast<size_t>(first + k)]))
                                << "level " << static_cast<int>(level) << " P " << P << " row " << row
                                << " value " << first + k;
                        ASSERT_EQ(out[static_cast<size_t>(count)], 12345.0);
                    }
                }
            }
        }
    }
}

TEST(FGTOnDemandPieces, ACancelledJobStopsAtItsNextPiece) {
    StoredSignal s;
    const fgt::SignalRef signal = s.Ref();
    // The 8 Hz row at P = 5: a job of 256 values reads over 200000 samples.
    fgt::RowKernel kernel;
    ASSERT_TRUE(
        fgt::MakeRowKernel(signal, fgt::RowFrequency(0), fgt::RowSigmaT(5.0, fgt::RowFrequency(0)), kernel));
    const cpu::Level level = cpu::UsableLevel();
    const std::vector<double> whole = s.WholeRow(kernel, 256, level);
    int asked = 0;
    std::vector<double> out(256, std::nan(""));
    ASSERT_TRUE(
        fgt::ComputeValues(signal, kernel, 0, 256, out.data(), level, nullptr, [&] { return ++asked > 1; }));
    EXPECT_EQ(asked, 2);
    // The first piece is there, bit for bit; nothing after it was computed.
    int done = 0;
    while (done < 256 && !std::isnan(out[static_cast<size_t>(done)])) ++done;
    EXPECT_GT(done, 0);
    EXPECT_LE(done, 128);
    for (int k = 0; k < 256; ++k) {
        if (k < done)
            EXPECT_EQ(out[static_cast<size_t>(k)], whole[static_cast<size_t>(k)]) << k;
        else
            EXPECT_TRUE(std::isnan(out[static_cast<size_t>(k)])) << k;
    }
    // Left alone, the job asks before every piece and computes them all.
    asked = 0;
    ASSERT_TRUE(
        fgt::ComputeValues(signal, kernel, 0, 256, out.data(), level, nullptr, [&] { return ++asked < 0; }));
    EXPECT_GE(asked, 256 / done);
    for (int k = 0; k < 256; ++k) ASSERT_EQ(out[static_cast<size_t>(k)], whole[static_cast<size_t>(k)]) << k;
}

TEST(FGTOnDemandRefusal, RowsBeyondAnIndexSayWhatIsWrong) {
    StoredSignal s;
    MessageCapture messages;
    FGTOnDemand fgt;
    bool tooLong = false;
    // At P = 1e-6 the top row (3979.4 Hz) of 30 s would have 30·2π·3979.4/1e-6 values.
    EXPECT_FALSE(fgt.Bind(s.Ref(), 1e-6, &tooLong));
    EXPECT_TRUE(tooLong);
    EXPECT_FALSE(fgt.IsBound());
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(),
              "Слишком длинные строки FGT: в строке 3979.4 Гц было бы 7.5e+11 значений, а строка FGT вмещает "
              "не больше 2147483647.\nУвеличьте параметр Р или возьмите сигнал короче.");
    // A P that gives indexable rows binds without a word.
    EXPECT_TRUE(fgt.Bind(s.Ref(), 2.0, &tooLong));
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(messages.count(), 1u);
}

TEST(FGTOnDemandCancel, WorkStoppedMidwayIsDoneAgainWhenAskedAgain) {
    StoredSignal s;
    FGTOnDemand fgt;
    ASSERT_TRUE(fgt.Bind(s.Ref(), 68.0));
    const int height = fgt.GetRows() + 1;
    const double t = 12.0;
    // The long jobs of the lowest rows are running or queued when the
    // workers stop; the same request then computes what they left undone.
    ASSERT_TRUE(fgt.Request(800, height, t, 0.0, 50.0));
    fgt.Stop();
    ASSERT_TRUE(fgt.Prepare(800, height, t, 0.0, 50.0));
    long drawn = 0;
    for (int row = 0; row < fgt.GetRows(); ++row) {
        const fgt::DrawnSpan span = fgt::DrawnValues(800, t, fgt.GetSigmaT()[row], fgt.GetRowLength()[row]);
        for (long long k = span.first; k < span.last; ++k, ++drawn) {
            int available = 0;
            ASSERT_NE(fgt.Pixels(row, k, available), nullptr) << row << " " << k;
        }
    }
    EXPECT_GT(drawn, 100000);
}
