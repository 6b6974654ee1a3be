#include <gtest/gtest.h>

#include <cstdio>

#include <QApplication>
#include <QWidget>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "DirectFilters.h"
#include "GuardedSignal.h"
#include "KMultiWaveFilm.h"
#include "MainWindow.h"
#include "MessageCapture.h"
#include "ProgressRecorder.h"
#include "WavWriter.h"

namespace {

std::string StatusLine(int channel, int channels, int layer) {
    return "Децимируется канал " + std::to_string(channel) + " (из " + std::to_string(channels) +
           "). Частотный слой " + std::to_string(layer) + " (из 7).";
}

// Layer 0 of a film channel as a guarded copy, and the seven layers the
// direct sum makes from it.
std::vector<GuardedSignal> DirectLayers(const CKWave* layer0) {
    std::vector<GuardedSignal> layers;
    GuardedSignal l0(layer0->GetNSamples(), 1100);
    for (long i = 0; i < l0.size(); ++i) l0[i].re = layer0->GetFirstComplexSample()[i].re;
    layers.push_back(std::move(l0));
    for (int j = 1; j <= 7; ++j) layers.push_back(direct::HalfBandLayer(layers.back(), 1100));
    return layers;
}

class KMultiWaveFilmDecimateTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetMainWindow(&m_main); }
    void TearDown() override { platform::SetMainWindow(nullptr); }

    // A film at 8000 Hz of n samples, channel 0 random, channel 1 a tone.
    void MakeFilm(int channels, int n) {
        ASSERT_TRUE(m_film.CreateKMultiWaveFilm(m_dir.path(), 8000, channels, 16, n));
        GuardedSignal noise(n, 0);
        noise.randomReal(0, n, 5);
        for (int i = 0; i < n; ++i) m_film.GetKWave(0, 0)->GetFirstComplexSample()[i].re = noise[i].re;
        if (channels == 2) {
            for (int i = 0; i < n; ++i) {
                m_film.GetKWave(0, 1)->GetFirstComplexSample()[i].re =
                    std::cos(2.0 * std::numbers::pi * 0.05 * i);
            }
        }
    }

    testwav::TempDir m_dir;
    QWidget m_main;
    CKMultiWaveFilm m_film;
};

}  // namespace

TEST_F(KMultiWaveFilmDecimateTest, StereoFilmDecimatesBothChannelsInOrder) {
    const int n = 1201;  // odd, so that odd layers put an output in the guard band
    MakeFilm(2, n);
    MessageCapture messages;
    m_main.show();
    bool result = false;
    {
        ProgressRecorder recorder(&m_main);
        result = m_film.CalculateDecimateWaves();
        ASSERT_EQ(recorder.statusLines.size(), 14u);
        for (int ch = 0; ch < 2; ++ch) {
            for (int j = 1; j <= 7; ++j) {
                EXPECT_EQ(recorder.statusLines[static_cast<size_t>(7 * ch + j - 1)],
                          StatusLine(ch + 1, 2, j));
            }
        }
        EXPECT_GT(recorder.samplesWithDialog, 14);
        EXPECT_EQ(recorder.mainEnabledSamples, 0);  // disabled all along
    }
    EXPECT_TRUE(result);
    EXPECT_TRUE(m_film.GetDecimateWaveAreCalculated());
    EXPECT_TRUE(m_main.isEnabled());
    EXPECT_EQ(messages.count(), 0u);

    for (int ch = 0; ch < 2; ++ch) {
        const std::vector<GuardedSignal> expected = DirectLayers(m_film.GetKWave(0, ch));
        for (int j = 1; j <= 7; ++j) {
            const CKWave* w = m_film.GetKWave(j, ch);
            const long outputs = (w->GetNSamples() * 2 < expected[static_cast<size_t>(j - 1)].size())
                                     ? w->GetNSamples() + 1
                                     : w->GetNSamples();
            ASSERT_EQ(w->GetNSamples(), n >> j);
            const KCOMPLEX_KFLOAT* got = w->GetFirstComplexSample();
            for (long m = 0; m < outputs; ++m) {
                ASSERT_NEAR(got[m].re, expected[static_cast<size_t>(j)][m].re, 1e-12)
                    << ch << " " << j << " " << m;
                ASSERT_EQ(got[m].im, 0.0);
            }
            EXPECT_EQ(got[outputs].re, 0.0);
            EXPECT_EQ(got[-1].re, 0.0);
        }
    }
}

TEST_F(KMultiWaveFilmDecimateTest, SecondCallReturnsAtOnceWithoutDialog) {
    MakeFilm(1, 500);
    ASSERT_TRUE(m_film.CalculateDecimateWaves());
    const double before = m_film.GetKWave(1, 0)->GetFirstComplexSample()[10].re;
    m_film.GetKWave(0, 0)->GetFirstComplexSample()[20].re = 7.0;  // would change layer 1
    ProgressRecorder recorder(&m_main);
    const auto topLevels = QApplication::topLevelWidgets().size();
    EXPECT_TRUE(m_film.CalculateDecimateWaves());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), topLevels);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.samplesWithDialog, 0);
    EXPECT_TRUE(recorder.statusLines.empty());
    EXPECT_EQ(m_film.GetKWave(1, 0)->GetFirstComplexSample()[10].re, before);
    EXPECT_TRUE(m_main.isEnabled());
}

TEST_F(KMultiWaveFilmDecimateTest, MonoFilmShowsSevenLinesAndLeavesChannelTwoEmpty) {
    MakeFilm(1, 2000);
    ProgressRecorder recorder(&m_main);
    ASSERT_TRUE(m_film.CalculateDecimateWaves());
    ASSERT_EQ(recorder.statusLines.size(), 7u);
    for (int j = 1; j <= 7; ++j)
        EXPECT_EQ(recorder.statusLines[static_cast<size_t>(j - 1)], StatusLine(1, 1, j));
    for (int j = 0; j < 8; ++j) EXPECT_EQ(m_film.GetKWave(j, 1)->GetFirstComplexSample(), nullptr);
    // The constant part: a random signal has no simple closed form, so check
    // one layer against the direct sum.
    const std::vector<GuardedSignal> expected = DirectLayers(m_film.GetKWave(0, 0));
    for (long m = 0; m < 1000; ++m) {
        ASSERT_NEAR(m_film.GetKWave(1, 0)->GetFirstComplexSample()[m].re, expected[1][m].re, 1e-12) << m;
    }
}

TEST_F(KMultiWaveFilmDecimateTest, EmptyAndUncreatedFilmsComplete) {
    MakeFilm(2, 0);
    EXPECT_TRUE(m_film.CalculateDecimateWaves());
    EXPECT_TRUE(m_film.GetDecimateWaveAreCalculated());
    CKMultiWaveFilm never;
    EXPECT_TRUE(never.CalculateDecimateWaves());
    EXPECT_TRUE(never.GetDecimateWaveAreCalculated());
    EXPECT_TRUE(m_main.isEnabled());
}

TEST_F(KMultiWaveFilmDecimateTest, AStoreThatCannotBeMadeEndsDecimationWithoutItsFiles) {
    // The temporary folder is away while the lower layers are made: one
    // message, no decimated store, layer 0 untouched; back in place, the
    // same command decimates.
    MakeFilm(2, 300);
    const std::string away = m_dir.path() + ".away";
    ASSERT_EQ(std::rename(m_dir.path().c_str(), away.c_str()), 0);
    {
        MessageCapture messages;
        EXPECT_FALSE(m_film.CalculateDecimateWaves());
        EXPECT_FALSE(m_film.GetDecimateWaveAreCalculated());
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last().rfind("Не удалось открыть временный KWave файл " + m_dir.path() + "/", 0),
                  0u);
    }
    ASSERT_EQ(std::rename(away.c_str(), m_dir.path().c_str()), 0);
    EXPECT_EQ(m_dir.tempSignalFiles().size(), 2u);
    for (int layer = 1; layer < 8; ++layer)
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_EQ(m_film.GetKWave(layer, ch)->GetFirstComplexSample(), nullptr);
    EXPECT_EQ(m_film.GetKWave(0, 1)->GetFirstComplexSample()[0].re, 1.0);
    EXPECT_TRUE(m_main.isEnabled());
    ASSERT_TRUE(m_film.CalculateDecimateWaves());
    EXPECT_EQ(m_dir.tempSignalFiles().size(), 16u);
}
