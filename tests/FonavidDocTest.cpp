#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "DocFolderFixture.h"
#include "FileDialogs.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "Profile.h"
#include "View.h"
#include "WavWriter.h"

namespace {

const char kTooManyChannels[] =
    "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.";

// Every test gets a profile of its own whose temporary folder is a fresh,
// empty folder, so that the signal files each document makes can be counted.
class FonavidDocTest : public DocFolderFixture {};

// Descriptors of this process that are open on `path`.
int OpenDescriptorsOn(const std::string& path) {
    const std::filesystem::path target = std::filesystem::canonical(path);
    int count = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code readError;
        const std::filesystem::path link = std::filesystem::read_symlink(entry.path(), readError);
        if (!readError && link == target) ++count;
    }
    return count;
}

struct CursorUpdate {
    platform::View* sender;
    long hint;
    TimeFrequencyCursor cursor;
};

// A view that notes every update with the document's cursor at that moment.
class CursorView : public platform::View {
public:
    QWidget* GetWidget() override { return nullptr; }
    void OnUpdate(platform::View* sender, long hint, void*) override {
        updates.push_back({sender, hint, static_cast<CFonavidDoc*>(GetDocument())->GetTimeFrequencyCursor()});
    }
    std::vector<CursorUpdate> updates;
};

}  // namespace

TEST_F(FonavidDocTest, SixteenBitMonoSamplesBecomeRealParts) {
    const std::string path = Write("mono.wav", testwav::pcm16(8000, 1, {-32768, 32767, 1, -1, 0, 12345}));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(m_messages.count(), 0u);
    EXPECT_EQ(doc.GetPathName(), path);
    CKWave* wave = doc.GetFilm()->GetMainKWave(0);
    ASSERT_EQ(wave->GetNSamples(), 6);
    const KCOMPLEX_KFLOAT* s = wave->GetFirstComplexSample();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[0].re, -1.0);
    EXPECT_EQ(s[1].re, 0.999969482421875);
    EXPECT_EQ(s[2].re, 0.000030517578125);
    EXPECT_EQ(s[3].re, -1.0 / 32768.0);
    EXPECT_EQ(s[4].re, 0.0);
    EXPECT_EQ(s[5].re, 12345.0 / 32768.0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s[i].im, 0.0);
    // The guard bands stay empty; the other channel has no store, nor do the
    // lower layers before decimation.
    EXPECT_EQ(s[-1].re, 0.0);
    EXPECT_EQ(s[6].re, 0.0);
    EXPECT_EQ(doc.m_film.GetChannels(), 1);
    EXPECT_EQ(doc.GetFilm()->GetMainKWave(1)->GetFirstComplexSample(), nullptr);
    for (int layer = 1; layer < CKMultiWaveFilm::kLayers; ++layer)
        EXPECT_EQ(doc.GetFilm()->GetKWave(layer, 0)->GetFirstComplexSample(), nullptr) << layer;
    EXPECT_EQ(TempFiles(), 1u);
}

TEST_F(FonavidDocTest, StereoFramesAcrossReadBlocks) {
    // 5000 frames take three reads (2048, 2048 and 904 frames); every frame
    // has its own values so that a frame in the wrong place shows.
    const int frames = 5000;
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        samples.push_back(static_cast<int16_t>(i == 0 ? 16384 : (i * 13) % 65536 - 32768));
        samples.push_back(static_cast<int16_t>(i == 0 ? -16384 : 32767 - (i * 7) % 65536));
    }
    const std::string path = Write("stereo.wav", testwav::pcm16(44100, 2, samples));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const KCOMPLEX_KFLOAT* left = doc.GetFilm()->GetMainKWave(0)->GetFirstComplexSample();
    const KCOMPLEX_KFLOAT* right = doc.GetFilm()->GetMainKWave(1)->GetFirstComplexSample();
    ASSERT_NE(left, nullptr);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(left[0].re, 0.5);
    EXPECT_EQ(right[0].re, -0.5);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(left[i].re, samples[static_cast<size_t>(2 * i)] / 32768.0) << i;
        ASSERT_EQ(right[i].re, samples[static_cast<size_t>(2 * i + 1)] / 32768.0) << i;
    }
    EXPECT_EQ(left[frames].re, 0.0);
    EXPECT_EQ(right[frames].re, 0.0);
    EXPECT_EQ(doc.m_film.GetChannels(), 2);
    EXPECT_EQ(TempFiles(), 2u);
}

TEST_F(FonavidDocTest, EightTwentyFourAndThirtyTwoBitFiles) {
    struct Case {
        uint16_t bits;
        std::vector<int32_t> values;
        double fullScale;
    };
    const std::vector<Case> cases = {
        {8, {-128, 127, 0, 1, -1, 64}, 128.0},
        {24, {-8388608, 8388607, 1, -1, 4194304, -123456}, 8388608.0},
        {32,
         {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 1, -1, 1 << 30, -77},
         2147483648.0},
        // 12 bits left-justified in 16-bit containers: value v is stored as v * 16.
        {12, {-2048 * 16, 2047 * 16, 16, -16, 1024 * 16, 0}, 32768.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        const std::string path =
            Write("w" + std::to_string(c.bits) + ".wav", testwav::pcm(22050, 2, c.bits, c.values));
        CFonavidDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        const KCOMPLEX_KFLOAT* left = doc.GetFilm()->GetMainKWave(0)->GetFirstComplexSample();
        const KCOMPLEX_KFLOAT* right = doc.GetFilm()->GetMainKWave(1)->GetFirstComplexSample();
        ASSERT_EQ(doc.GetFilm()->GetMainKWave(0)->GetNSamples(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(left[i].re, c.values[static_cast<size_t>(2 * i)] / c.fullScale);
            EXPECT_EQ(right[i].re, c.values[static_cast<size_t>(2 * i + 1)] / c.fullScale);
        }
        EXPECT_EQ(left[0].re, -1.0);
        EXPECT_EQ(doc.GetFilm()->GetMainKWave(0)->GetNBitsPerSample(), c.bits);
    }
    EXPECT_EQ(m_messages.count(), 0u);
}

TEST_F(FonavidDocTest, RefusedFilesLeaveNoTemporaryFile) {
    {
        const std::string path = Write("three.wav", testwav::pcm16(8000, 3, {1, 2, 3, 4, 5, 6}));
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path));
        ASSERT_EQ(m_messages.count(), 1u);
        EXPECT_EQ(m_messages.last(), kTooManyChannels);
        EXPECT_EQ(TempFiles(), 0u);
    }
    {
        // 64-bit containers: refused before any store is made.
        testwav::Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE");
        b.chunk("fmt ", testwav::Bytes::fmtPayload(1, 1, 8000, 64));
        b.chunk("data", std::vector<uint8_t>(64, 0));
        b.fixRiffSize();
        const std::string path = Write("wide.wav", b.data());
        m_messages.clear();
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path));
        ASSERT_EQ(m_messages.count(), 1u);
        EXPECT_EQ(
            m_messages.last(),
            "Число бит на отсчет = 64, байт в кадре = 8.\n\nДокумент открыт не будет!\n\nОтсчеты звукового "
            "файла должны занимать 1, 2, 3 или 4 байта.");
        EXPECT_EQ(TempFiles(), 0u);
    }
    {
        // A missing file and a file that is no WAVE: one message each, nothing made.
        m_messages.clear();
        CFonavidDoc missing;
        EXPECT_FALSE(missing.OnOpenDocument(m_files.file("absent.wav")));
        const std::string text = "just text";
        CFonavidDoc notWave;
        EXPECT_FALSE(
            notWave.OnOpenDocument(Write("text.wav", std::vector<uint8_t>(text.begin(), text.end()))));
        EXPECT_EQ(m_messages.count(), 2u);
        EXPECT_EQ(TempFiles(), 0u);
    }
}

TEST_F(FonavidDocTest, FilmFailureInAMissingFolderIsReportedAndCleanedUp) {
    SetTemporaryFolder(m_temp.file("no/such/folder"));
    const std::string path = Write("m.wav", testwav::pcm16(8000, 1, {1, 2, 3}));
    CFonavidDoc doc;
    EXPECT_EQ(doc.GetTemporaryFolder(), m_temp.file("no/such/folder"));
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last().rfind("Не удалось открыть временный KWave файл ", 0), 0u);
}

TEST_F(FonavidDocTest, AFileTooLongForTheStoresIsReported) {
    // A sparse file whose data chunk claims about 2.2e9 8-bit frames, more
    // than a signal may have: the document says so instead of failing mutely.
    testwav::Bytes b;
    b.tag("RIFF").u32(0xFFFFFFF0u).tag("WAVE");
    b.chunk("fmt ", testwav::Bytes::fmtPayload(1, 1, 44100, 8));
    b.tag("data").u32(0x84000000u);
    const std::string path = Write("long.wav", b.data());
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(b.size()) + 0x84000000LL), 0);
    CFonavidDoc doc;
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last(), "Звуковой файл слишком длинный: " + std::to_string(0x84000000L) +
                                     " отсчетов в канале.\n\nДокумент открыт не будет!");
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(FonavidDocTest, ZeroSampleFileOpens) {
    const std::string path = Write("empty.wav", testwav::pcm16(8000, 2, {}));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(m_messages.count(), 0u);
    EXPECT_EQ(doc.GetFilm()->GetMainKWave(0)->GetNSamples(), 0);
    EXPECT_EQ(doc.GetFilm()->GetChannels(), 2);
    EXPECT_EQ(TempFiles(), 2u);
    // No sample to point at: the cursor stays at 0 s.
    doc.SetTimeFrequencyCursor(3.0, 100.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 0.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 100.0);
}

TEST_F(FonavidDocTest, CursorIsKeptInsideTheSignalAndBroadcast) {
    // 2.0 s at 8000 Hz: the last sample is at 1.999875 s, Nyquist at 4000 Hz.
    const std::string path = Write("two.wav", testwav::pcm16(8000, 1, std::vector<int16_t>(16000, 0)));
    CFonavidDoc doc;
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 1.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 1000.0);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    CursorView first, second;
    doc.AddView(&first);
    doc.AddView(&second);

    doc.SetTimeFrequencyCursor(5.0, 9000.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 2.0 - 1.0 / 8000.0);
    EXPECT_DOUBLE_EQ(doc.GetTimeFrequencyCursor().time, 1.999875);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 4000.0);
    for (const CursorView* v : {&first, &second}) {
        ASSERT_EQ(v->updates.size(), 1u);
        EXPECT_EQ(v->updates[0].sender, nullptr);
        EXPECT_EQ(v->updates[0].hint, 1);
        EXPECT_EQ(v->updates[0].cursor.time, doc.GetTimeFrequencyCursor().time);
    }

    doc.SetTimeFrequencyCursor(-1.0, -5.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 0.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 0.0);

    doc.SetTimeFrequencyCursor(0.75, 1234.5);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 0.75);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 1234.5);

    doc.SetTimeFrequencyCursor(std::nan(""), std::nan(""));
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 0.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 0.0);
    doc.SetTimeFrequencyCursor(std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::infinity());
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 2.0 - 1.0 / 8000.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 4000.0);
    EXPECT_EQ(first.updates.size(), 5u);
    EXPECT_EQ(second.updates.size(), 5u);
}

TEST_F(FonavidDocTest, NewDocumentCursorIgnoresAShortFileUntilMoved) {
    const std::string path = Write("short.wav", testwav::pcm16(8000, 1, std::vector<int16_t>(4000, 0)));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 1.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().frequency, 1000.0);
    doc.SetTimeFrequencyCursor(1.0, 1000.0);
    EXPECT_EQ(doc.GetTimeFrequencyCursor().time, 0.5 - 1.0 / 8000.0);
}

TEST_F(FonavidDocTest, TemporaryFolderComesFromTheProfileAtEveryConstruction) {
    const std::string path = Write("m.wav", testwav::pcm16(8000, 1, {1, 2, 3}));
    const std::string profile = m_profileDir.file("profile.ini");
    {
        CFonavidDoc doc;
        EXPECT_EQ(doc.GetTemporaryFolder(), m_temp.path());
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(TempFiles(), 1u);
    }
    testwav::TempDir other;
    SetTemporaryFolder(other.path());
    const auto written = std::filesystem::last_write_time(profile);
    {
        CFonavidDoc doc;
        EXPECT_EQ(doc.GetTemporaryFolder(), other.path());
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(other.tempSignalFiles().size(), 1u);
        EXPECT_EQ(TempFiles(), 0u);
    }
    // The document reads the entry but never writes the profile.
    EXPECT_EQ(std::filesystem::last_write_time(profile), written);
    EXPECT_EQ(std::filesystem::file_size(profile),
              std::string("[Document]\nPathToTemporalFiles=" + other.path() + "\n").size());

    // Without the entry (or with an empty one) the system temporary folder serves.
    const std::string empty = "[Document]\nPathToTemporalFiles=\n";
    ASSERT_TRUE(testwav::writeFile(profile, std::vector<uint8_t>(empty.begin(), empty.end())));
    EXPECT_EQ(CFonavidDoc().GetTemporaryFolder(), QDir::tempPath().toStdString());
    ASSERT_TRUE(testwav::writeFile(profile, {}));
    EXPECT_EQ(CFonavidDoc().GetTemporaryFolder(), QDir::tempPath().toStdString());
}

TEST_F(FonavidDocTest, DestructionClosesTheFileAndRemovesEveryTemporaryFile) {
    const std::string path = Write("s.wav", testwav::pcm16(8000, 2, std::vector<int16_t>(200, 7)));
    {
        CFonavidDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(TempFiles(), 2u);
        EXPECT_EQ(OpenDescriptorsOn(path), 1);
    }
    EXPECT_EQ(TempFiles(), 0u);
    EXPECT_EQ(OpenDescriptorsOn(path), 0);
}

TEST_F(FonavidDocTest, NewDocumentAsksForAFileAndLoadsIt) {
    const std::string path = Write("asked.wav", testwav::pcm16(8000, 1, {16384, -16384}));
    std::optional<std::string> answer = path;
    int asked = 0;
    platform::OpenFileHook previous =
        platform::SetOpenFileHook([&](const std::string&, const std::string&) -> std::optional<std::string> {
            ++asked;
            return answer;
        });
    {
        CFonavidDoc doc;
        ASSERT_TRUE(doc.OnNewDocument());
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(doc.GetPathName(), path);
        EXPECT_EQ(doc.GetTitle(), "asked.wav");
        const KCOMPLEX_KFLOAT* s = doc.GetFilm()->GetMainKWave(0)->GetFirstComplexSample();
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s[0].re, 0.5);
        EXPECT_EQ(s[1].re, -0.5);
        EXPECT_EQ(TempFiles(), 1u);
    }
    // Cancelled: nothing made, nothing said.
    answer.reset();
    {
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnNewDocument());
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(TempFiles(), 0u);
    }
    EXPECT_EQ(m_messages.count(), 0u);
    platform::SetOpenFileHook(std::move(previous));
}

namespace {

// Counts the steps of a load.
class LoadStepCounter : public ProgressReporter {
public:
    int StepIt() override { return steps++; }
    int steps = 0;
};

}  // namespace

TEST_F(FonavidDocTest, LoadingReportsAHundredStepsWhateverTheLength) {
    // Mono blocks are 8192 frames of 16-bit data: one block, a block and a
    // bit, and many blocks.
    for (int frames : {10, 8193, 300000}) {
        std::vector<int16_t> samples(static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) samples[static_cast<size_t>(i)] = static_cast<int16_t>(i % 1000);
        const std::string path = Write("load.wav", testwav::pcm16(8000, 1, samples));
        CFonavidDoc doc;
        LoadStepCounter counter;
        doc.SetLoadProgress(&counter);
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(counter.steps, CFonavidDoc::kLoadProgressSteps) << frames;
        // Loading with a listener loads the same samples.
        const KCOMPLEX_KFLOAT* first = doc.m_film.GetKWave(0, 0)->GetFirstComplexSample();
        EXPECT_EQ(first[frames - 1].re, ((frames - 1) % 1000) / 32768.0) << frames;
    }
    EXPECT_EQ(m_messages.count(), 0u);
}
