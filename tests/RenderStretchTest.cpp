// A picture of a time range is rendered from the stretch of the file it
// reads: its pixels and levels must be those of the same picture rendered
// from the whole file loaded as the viewer loads it, at the start, in the
// middle and at the end of a file, in every mode, in layer 0 and a decimated
// layer, with the analytic signal and with the FGT; and only a stretch of
// the file may be loaded and take disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "DocFolderFixture.h"
#include "Renderer.h"
#include "WavWriter.h"

namespace {

constexpr int kRate = 8000;
constexpr int kSeconds = 40;

enum class Where { Start, Middle, End };

struct StretchCase {
    Where where;
    int layer;
    bool hq;
    bool fgt;
    sonogram::SonogramMode mode;
    int channel;
};

// A chirp on the left, a warbling tone on the right, both with clicks and
// noise, so that every column and FGT row differs from its neighbours.
std::vector<int16_t> Material(int channels) {
    const double pi = 4.0 * std::atan(1.0);
    std::mt19937 random(17);
    std::normal_distribution<double> noise(0.0, 200.0);
    std::vector<int16_t> samples;
    double phase = 0.0;
    for (int i = 0; i < kRate * kSeconds; ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += 2.0 * pi * (100.0 + 90.0 * t) / kRate;
        const double left = 9000.0 * std::sin(phase) + (i % 1231 == 0 ? 15000.0 : 0.0) + noise(random);
        samples.push_back(static_cast<int16_t>(std::lround(std::clamp(left, -32000.0, 32000.0))));
        if (channels == 2)
            samples.push_back(static_cast<int16_t>(std::lround(
                8000.0 * std::sin(2.0 * pi * (700.0 * t + 3.0 * std::sin(5.0 * t))) + noise(random))));
    }
    return samples;
}

std::string Name(const StretchCase& c) {
    const char* where[] = {"Start", "Middle", "End"};
    const char* mode = c.mode == sonogram::kModeAmplitude ? "Amplitude"
                       : c.mode == sonogram::kModeAM      ? "AM"
                                                          : "Inverted";
    return std::string(where[static_cast<int>(c.where)]) + "Layer" + std::to_string(c.layer) +
           (c.hq ? "Hq" : "") + (c.fgt ? "Fgt" : "") + mode + "Channel" + std::to_string(c.channel);
}

// Printed by name: the bytes of the case would include its padding.
void PrintTo(const StretchCase& c, std::ostream* out) { *out << Name(c); }

template <class Levels>
bool SameLevels(const Levels& a, const Levels& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

class RenderStretch : public DocFolderFixture, public ::testing::WithParamInterface<StretchCase> {
protected:
    static void SetUpTestSuite() {
        s_files = new testwav::TempDir;
        ASSERT_TRUE(testwav::writeFile(s_files->file("long.wav"), testwav::pcm16(kRate, 2, Material(2))));
    }
    static void TearDownTestSuite() {
        delete s_files;
        s_files = nullptr;
    }

    RenderOptions Options() const {
        const StretchCase c = GetParam();
        RenderOptions options;
        options.input = s_files->file("long.wav");
        options.output = m_files.file("x.png");
        const double start = c.where == Where::Start ? 0.0 : c.where == Where::Middle ? 19.6 : kSeconds - 0.8;
        options.startSeconds = start;
        options.endSeconds = start + (c.layer == 0 ? 0.8 : 3.0);
        options.layer = c.layer;
        options.highQuality = c.hq;
        options.fgt = c.fgt;
        options.mode = c.mode;
        options.channel = c.channel;
        options.dataFile = m_files.file("x.csv");
        options.fgtDataFile = c.fgt ? m_files.file("x.fgt.csv") : "";
        return options;
    }

    // The disk the signal files in the temporary folder take.
    long long DiskUsed() const {
        long long used = 0;
        for (const std::string& name : m_temp.tempSignalFiles()) {
            struct stat st {};
            if (stat(m_temp.file(name).c_str(), &st) == 0) used += static_cast<long long>(st.st_blocks) * 512;
        }
        return used;
    }

    static testwav::TempDir* s_files;
};

testwav::TempDir* RenderStretch::s_files = nullptr;

TEST_P(RenderStretch, PictureAndLevelsAreThoseOfTheWholeFile) {
    const RenderOptions options = Options();
    QImage expected;
    DataFile::SonogramLevels levels;
    std::vector<DataFile::FgtRow> fgtLevels;
    double cursor = 0.0;
    long long wholeDisk = 0;
    {
        Renderer whole;
        whole.SetWholeFileLoad(true);
        ASSERT_TRUE(whole.Render(options, expected)) << m_messages.last();
        EXPECT_EQ(whole.GetLoadedFrames(), kRate * kSeconds);
        levels = std::move(whole.Levels());
        fgtLevels = std::move(whole.FgtLevels());
        cursor = whole.GetCursorTime();
        wholeDisk = DiskUsed();
    }
    Renderer stretch;
    QImage picture;
    ASSERT_TRUE(stretch.Render(options, picture)) << m_messages.last();
    EXPECT_TRUE(picture == expected) << "pixels differ";
    EXPECT_TRUE(SameLevels(stretch.Levels().levels, levels.levels));
    EXPECT_EQ(stretch.Levels().times, levels.times);
    EXPECT_EQ(stretch.Levels().frequencies, levels.frequencies);
    ASSERT_EQ(stretch.FgtLevels().size(), fgtLevels.size());
    for (size_t i = 0; i < fgtLevels.size(); ++i) {
        EXPECT_EQ(stretch.FgtLevels()[i].first, fgtLevels[i].first);
        EXPECT_TRUE(SameLevels(stretch.FgtLevels()[i].levels, fgtLevels[i].levels)) << i;
    }
    EXPECT_EQ(stretch.GetCursorTime(), cursor);
    EXPECT_EQ(m_messages.count(), 0u) << m_messages.last();
    // Only a stretch is loaded, and only it takes disk.
    EXPECT_GT(stretch.GetLoadedFrames(), 0);
    EXPECT_LT(stretch.GetLoadedFrames(), kRate * kSeconds * 3 / 4);
    EXPECT_LT(DiskUsed(), wholeDisk / 2);
}

std::vector<StretchCase> Cases() {
    std::vector<StretchCase> cases;
    const sonogram::SonogramMode modes[] = {sonogram::kModeAmplitude, sonogram::kModeAM,
                                            sonogram::kModeInverted};
    int i = 0;
    for (Where where : {Where::Start, Where::Middle, Where::End})
        for (int layer : {0, 3})
            for (bool hq : {false, true})
                for (bool fgt : {false, true}) {
                    cases.push_back({where, layer, hq, fgt, modes[i % 3], 1 + (i / 3) % 2});
                    ++i;
                }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Ranges, RenderStretch, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<StretchCase>& info) { return Name(info.param); });

}  // namespace
