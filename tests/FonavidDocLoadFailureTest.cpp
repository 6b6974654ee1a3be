// A load that cannot bring the whole file, and headers whose rate would make
// absurd stores: each ends in one message naming the file or the rate, with
// no document, no picture and no signal file left, in the viewer's document
// and in the renderer that loads through it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ConsoleProgress.h"
#include "DocFolderFixture.h"
#include "FonavidDoc.h"
#include "Renderer.h"
#include "TempFileMapping.h"
#include "WaveFileByteSource.h"

namespace {

using FonavidDocLoadFailure = DocFolderFixture;

// 300000 frames of mono 16-bit data: 37 read blocks, every sample non-zero.
std::vector<uint8_t> LongMono() {
    std::vector<int16_t> samples(300000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(1 + i % 1000);
    return testwav::pcm16(8000, 1, samples);
}

// Cuts the file at `path` to its header and a few frames as soon as the
// load reports its first step, as another process would while it loads.
class CutterAtFirstStep : public ConsoleProgress {
public:
    explicit CutterAtFirstStep(std::string path) : ConsoleProgress(nullptr), m_path(std::move(path)) {}
    int StepIt() override {
        if (!cut) cut = truncate(m_path.c_str(), 44 + 2 * 100) == 0;
        return ConsoleProgress::StepIt();
    }
    bool cut = false;

private:
    std::string m_path;
};

// The bytes of a real file that fail with EIO from byte `failAt` on, as a
// disk with a bad sector or a network share that went away does.
class FailingFileSource : public WaveByteSource {
public:
    FailingFileSource(const std::string& path, uint64_t failAt) : m_failAt(failAt) {
        unsigned code = 0;
        m_file = WaveFileByteSource::Open(path, code);
    }
    long long ReadAt(uint64_t offset, void* buffer, size_t count) override {
        if (offset + count > m_failAt) {
            ++failures;
            errno = EIO;
            return -1;
        }
        return m_file->ReadAt(offset, buffer, count);
    }
    uint64_t Size() const override { return m_file->Size(); }
    int failures = 0;

private:
    std::unique_ptr<WaveFileByteSource> m_file;
    uint64_t m_failAt;
};

void ExpectReadFailureMessage(const std::vector<std::string>& texts, const std::string& path) {
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Не удалось прочитать звуковой файл:\n" + path + "\n", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find("Документ открыт не будет!"), std::string::npos);
}

std::string RateMessage(unsigned long rate) {
    return "Частота дискретизации = " + std::to_string(rate) +
           " Гц.\n\nДокумент открыт не будет!\n\nЧастота дискретизации звукового файла не должна превышать "
           "768000 Гц.";
}

}  // namespace

TEST_F(FonavidDocLoadFailure, FileCutShortDuringTheLoadIsAFailedLoad) {
    const std::string path = Write("cut.wav", LongMono());
    CFonavidDoc doc;
    CutterAtFirstStep cutter(path);
    doc.SetLoadProgress(&cutter);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    EXPECT_TRUE(cutter.cut);
    ExpectReadFailureMessage(m_messages.texts(), path);
    // The stores go at once, not only with the document.
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(FonavidDocLoadFailure, ReadErrorMidwayIsAFailedLoad) {
    // The error strikes in the first block, in the middle and in the last
    // block (the header lies in the first 300 bytes; the chunk walk's
    // read-ahead meets the error too and falls back to exact reads).
    const std::string path = Write("eio.wav", LongMono());
    for (uint64_t failAt : {uint64_t{44 + 1000}, uint64_t{44 + 300000}, uint64_t{44 + 599990}}) {
        SCOPED_TRACE(failAt);
        m_messages.clear();
        auto source = std::make_unique<FailingFileSource>(path, failAt);
        FailingFileSource* raw = source.get();
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenSource(std::move(source), path));
        EXPECT_GE(raw->failures, 1);
        ExpectReadFailureMessage(m_messages.texts(), path);
        EXPECT_EQ(TempFiles(), 0u);
    }
    // The same source without a fault loads.
    m_messages.clear();
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenSource(std::make_unique<FailingFileSource>(path, UINT64_MAX), path));
    EXPECT_EQ(m_messages.count(), 0u);
    EXPECT_EQ(doc.GetFilm()->GetKWave(0, 0)->GetFirstComplexSample()[299999].re, 1000 / 32768.0);
}

TEST_F(FonavidDocLoadFailure, RendererGivesNoPictureForAFileCutWhileItLoads) {
    const std::string path = Write("cut.wav", LongMono());
    CutterAtFirstStep cutter(path);
    Renderer renderer(&cutter);
    RenderOptions options;
    options.input = path;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_TRUE(picture.isNull());
    ExpectReadFailureMessage(m_messages.texts(), path);
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(FonavidDocLoadFailure, RatesAboveTheHighestOrZeroAreRefusedBeforeAnyStore) {
    for (unsigned long rate : {768001UL, 9000000UL, 10000000UL, 4294967295UL}) {
        SCOPED_TRACE(rate);
        m_messages.clear();
        const std::string path =
            Write("rate.wav", testwav::pcm16(static_cast<uint32_t>(rate), 2, {1, 2, 3, 4}));
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path));
        EXPECT_EQ(m_messages.texts(), std::vector<std::string>{RateMessage(rate)});
        EXPECT_EQ(TempFiles(), 0u);
        EXPECT_EQ(doc.GetFilm()->GetKWave(0, 0)->GetNSamples(), 0);
    }
    m_messages.clear();
    CFonavidDoc zero;
    EXPECT_FALSE(zero.OnOpenDocument(Write("zero.wav", testwav::pcm16(0, 1, {1}))));
    EXPECT_EQ(m_messages.count(), 1u);
    EXPECT_NE(m_messages.last().find("= 0 Гц"), std::string::npos);

    // The highest rate itself loads.
    m_messages.clear();
    CFonavidDoc highest;
    ASSERT_TRUE(highest.OnOpenDocument(Write("highest.wav", testwav::pcm16(768000, 1, {1, 2, 3}))));
    EXPECT_EQ(m_messages.count(), 0u);
    EXPECT_EQ(highest.GetFilm()->GetFrADC(), 768000.0);
}

// The temporary folder is never the working directory: a TMPDIR that names
// nothing usable, or a profile entry relative to wherever the program was
// started, falls back to the system's folder.
class TemporaryFolderFallback : public DocFolderFixture {
protected:
    void SetUp() override {
        DocFolderFixture::SetUp();
        if (const char* tmpdir = std::getenv("TMPDIR")) m_savedTmpdir = tmpdir;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        m_savedCwd = cwd;
        ASSERT_EQ(chdir(m_work.path().c_str()), 0);
    }
    void TearDown() override {
        EXPECT_EQ(chdir(m_savedCwd.c_str()), 0);
        if (m_savedTmpdir) {
            setenv("TMPDIR", m_savedTmpdir->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        DocFolderFixture::TearDown();
    }
    testwav::TempDir m_work;
    std::optional<std::string> m_savedTmpdir;
    std::string m_savedCwd;
};

TEST_F(TemporaryFolderFallback, UnusableFoldersFallBackToTheSystemFolderNeverTheWorkingDirectory) {
    const std::string wav = Write("m.wav", testwav::pcm16(8000, 1, {1, 2, 3}));
    // A stale-looking file in the working directory that no sweep may take.
    const std::string bystander = m_work.file("KFW1234.TMP");
    ASSERT_TRUE(testwav::writeFile(bystander, {1, 2, 3}));
    const std::string empty = "[Document]\nPathToTemporalFiles=\n";
    for (const std::string& profile : {empty, std::string("[Document]\nPathToTemporalFiles=relative\n")}) {
        for (const char* tmpdir : {"/nonexistent", "", "relative", "/dev/null"}) {
            SCOPED_TRACE(profile + tmpdir);
            ASSERT_EQ(mkdir(m_work.file("relative").c_str(), 0700) == 0 || errno == EEXIST, true);
            ASSERT_TRUE(testwav::writeFile(m_profileDir.file("profile.ini"),
                                           std::vector<uint8_t>(profile.begin(), profile.end())));
            setenv("TMPDIR", tmpdir, 1);
            CFonavidDoc doc;
            EXPECT_EQ(doc.GetTemporaryFolder(), "/tmp");
            EXPECT_EQ(TempFileMapping::RemoveStaleFiles(""), 0);
            ASSERT_TRUE(doc.OnOpenDocument(wav));
            EXPECT_EQ(doc.GetFilm()->GetKWave(0, 0)->GetFirstComplexSample()[2].re, 3 / 32768.0);
            EXPECT_EQ(m_work.tempSignalFiles(), std::vector<std::string>{"KFW1234.TMP"});
            EXPECT_TRUE(std::filesystem::is_empty(m_work.file("relative")));
        }
    }
    // A store is never made in the working directory either.
    TempFileMapping mapping;
    EXPECT_FALSE(mapping.CreateFile(""));
    EXPECT_EQ(m_work.tempSignalFiles().size(), 1u);
    EXPECT_EQ(m_messages.count(), 0u);
}
