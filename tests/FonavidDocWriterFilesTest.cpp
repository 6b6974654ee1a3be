// The document opens 24-bit and float files as today's writers lay them out,
// and shows the same sonogram as for the 16-bit file of the same signal, to
// within what the 16-bit rounding can move it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "DocFolderFixture.h"
#include "FonavidDoc.h"
#include "KFFT.h"
#include "KWave.h"
#include "PaneSettings.h"
#include "SonogramComputation.h"
#include "WriterLayouts.h"

namespace {

using testwav::WriterLayout;

constexpr uint32_t kRate = 16000;
constexpr long kFrames = 6000;
constexpr int kN = 1024;
const double kPi = 4.0 * std::atan(1.0);

// Two tones 40 dB apart on the left, one on the right; all inside (-1, 1).
std::vector<double> Signal(int channels) {
    std::vector<double> v;
    for (long n = 0; n < kFrames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        v.push_back(0.5 * std::sin(2 * kPi * 1000 * t) + 0.005 * std::sin(2 * kPi * 3217 * t + 0.3));
        if (channels == 2) v.push_back(0.3 * std::cos(2 * kPi * 440 * t));
    }
    return v;
}

// The same signal rounded to 16 bits in the plain PCM layout.
std::vector<uint8_t> Sixteen(int channels, const std::vector<double>& v) {
    std::vector<int32_t> q;
    for (double x : v) q.push_back(static_cast<int32_t>(std::nearbyint(x * 32768.0)));
    return testwav::pcm(kRate, static_cast<uint16_t>(channels), 16, q);
}

// Linear amplitudes (10^(level/20)) of the sonogram columns of `wave` on the grid of `settings`.
std::vector<double> Amplitudes(const CKWave* wave, const sonogram::PaneSettings& settings,
                               const std::vector<double>& window) {
    CKFFT transform;
    const double ref = sonogram::ComputeRefLevel(window.data(), kN, false);
    std::vector<KCOMPLEX_DOUBLE> buffer(kN);
    std::vector<double> levels(kN / 2), phases(kN / 2), out;
    for (long p = kN / 2; p + kN / 2 <= kFrames; p += settings.stepSamples) {
        sonogram::ComputeColumn(transform, wave->GetFirstComplexSample(), p, window.data(), kN, ref,
                                buffer.data(), levels.data(), phases.data());
        for (double level : levels) out.push_back(std::pow(10.0, level / 20.0));
    }
    return out;
}

class FonavidDocWriterFiles : public DocFolderFixture,
                              public ::testing::WithParamInterface<std::tuple<WriterLayout, int>> {};

TEST_P(FonavidDocWriterFiles, SonogramMatchesTheSixteenBitFileWithinItsRounding) {
    const auto [layout, channels] = GetParam();
    const std::vector<double> v = Signal(channels);
    CFonavidDoc reference;
    ASSERT_TRUE(reference.OnOpenDocument(Write("sixteen.wav", Sixteen(channels, v))));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(
        Write("writer.wav", testwav::WriteAs(layout, kRate, static_cast<uint16_t>(channels), v))));
    EXPECT_EQ(m_messages.count(), 0u);
    ASSERT_EQ(doc.GetFilm()->GetChannels(), channels);

    // The 16-bit file keeps its depth; 24-bit and float files both count as
    // 24-bit, so their lower level starts at -20 lg 2^24 = -480 lg 2 dB.
    EXPECT_EQ(reference.GetFilm()->GetKWave(0, 0)->GetNBitsPerSample(), 16);
    const CKWave* first = doc.GetFilm()->GetKWave(0, 0);
    EXPECT_EQ(first->GetNBitsPerSample(), 24);
    EXPECT_NEAR(sonogram::PaneSettings::Bound(kRate, first->GetNBitsPerSample(), kN).lowerLevel,
                -480.0 * std::log10(2.0), 1e-9);

    // Both on the 16-bit file's grid. Rounding moves each sample by at most
    // 2^-16 (16-bit) and 2^-24 (24-bit, or a float's relative step below 1),
    // so a bin's |X| moves by at most their sum times the window's whole
    // weight; levels are |X| over the inner half-window sum.
    const sonogram::PaneSettings grid = sonogram::PaneSettings::Bound(kRate, 16, kN);
    std::vector<double> window(kN / 2 + 1);
    sonogram::FillWindow(window.data(), kN, grid.sonelFreqHz, kRate);
    double inner = 0.0;
    for (int k = 1; k < kN / 2; ++k) inner += window[k];
    const double whole = window[0] + 2.0 * inner + window[kN / 2];
    const double bound = (std::ldexp(1.0, -16) + std::ldexp(1.0, -24)) * whole / inner + 1e-12;
    for (int c = 0; c < channels; ++c) {
        SCOPED_TRACE(c);
        const std::vector<double> expected = Amplitudes(reference.GetFilm()->GetKWave(0, c), grid, window);
        const std::vector<double> got = Amplitudes(doc.GetFilm()->GetKWave(0, c), grid, window);
        ASSERT_EQ(got.size(), expected.size());
        ASSERT_GT(got.size(), 10u * kN / 2);
        double loudest = 0.0;
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_NEAR(got[i], expected[i], bound) << i;
            loudest = std::max(loudest, got[i]);
        }
        // The tones are there to compare: the loudest bin is near its amplitude.
        EXPECT_GT(loudest, c == 0 ? 0.45 : 0.27);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, FonavidDocWriterFiles,
    ::testing::Combine(::testing::Values(WriterLayout::Sox24, WriterLayout::Ffmpeg24,
                                         WriterLayout::FfmpegFloat32, WriterLayout::FfmpegFloat64,
                                         WriterLayout::EditorFloat32, WriterLayout::Float64Tag3),
                       ::testing::Values(1, 2)),
    [](const ::testing::TestParamInfo<std::tuple<WriterLayout, int>>& info) {
        return testwav::LayoutName(std::get<0>(info.param)) + std::to_string(std::get<1>(info.param));
    });

class FonavidDocFloatFiles : public DocFolderFixture {};

TEST_F(FonavidDocFloatFiles, ValuesBeyondFullScaleAreKept) {
    for (WriterLayout layout : {WriterLayout::EditorFloat32, WriterLayout::FfmpegFloat64}) {
        CFonavidDoc doc;
        ASSERT_TRUE(
            doc.OnOpenDocument(Write("loud.wav", testwav::WriteAs(layout, kRate, 1, {1.75, -2.5, 0.125}))));
        const KCOMPLEX_KFLOAT* s = doc.GetFilm()->GetKWave(0, 0)->GetFirstComplexSample();
        EXPECT_EQ(s[0].re, 1.75);
        EXPECT_EQ(s[1].re, -2.5);
        EXPECT_EQ(s[2].re, 0.125);
    }
    EXPECT_EQ(m_messages.count(), 0u);
}

TEST_F(FonavidDocFloatFiles, UnusableSamplesAreOneMessageAndNoDocument) {
    // NaN and infinities in 32-bit files, and in 64-bit ones a value no
    // 32-bit float can hold: each refuses the file and names the frame.
    const std::vector<std::pair<WriterLayout, double>> cases = {{WriterLayout::EditorFloat32, std::nan("")},
                                                                {WriterLayout::FfmpegFloat32, INFINITY},
                                                                {WriterLayout::FfmpegFloat64, -INFINITY},
                                                                {WriterLayout::Float64Tag3, 1e300}};
    for (const auto& [layout, value] : cases) {
        SCOPED_TRACE(testwav::LayoutName(layout));
        std::vector<double> v(5000, 0.25);
        v[2 * 1821 + 1] = value;  // frame 1821 of the right channel
        const std::string path = Write("bad.wav", testwav::WriteAs(layout, kRate, 2, v));
        m_messages.clear();
        {
            CFonavidDoc doc;
            EXPECT_FALSE(doc.OnOpenDocument(path));
            EXPECT_EQ(TempFiles(), 0u);
        }
        ASSERT_EQ(m_messages.count(), 1u);
        EXPECT_EQ(m_messages.last(),
                  "Не удалось прочитать звуковой файл:\n" + path +
                      "\n\nОтсчет 1821 не является конечным числом: в файле записано NaN, "
                      "бесконечность или число больше 3.4e38 по модулю.\n\nДокумент открыт не "
                      "будет!");
    }
}

TEST_F(FonavidDocFloatFiles, MoreThanTwoChannelsKeepTheirRefusal) {
    CFonavidDoc doc;
    std::vector<uint8_t> file =
        testwav::WriteAs(WriterLayout::FfmpegFloat32, kRate, 6, std::vector<double>(60, 0.0));
    EXPECT_FALSE(doc.OnOpenDocument(Write("six.wav", file)));
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(
        m_messages.last(),
        "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.");
    EXPECT_EQ(TempFiles(), 0u);
}

}  // namespace
