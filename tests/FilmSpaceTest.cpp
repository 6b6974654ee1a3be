#include "FilmSpace.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>

#include "DocFolderFixture.h"
#include "FonavidDoc.h"
#include "KMultiWaveFilm.h"

namespace {

const char kReserveFailed[] =
    "Не удалось нормально создать временный файл.\nПроцесс прерван.\n\nCould not create file mapping object.";

// The guard band from its definition: one more than five widest FGT
// windows in samples, at least 1025.
long long GuardBand(double rate) {
    const double pi = std::acos(-1.0);
    const double sigma = 1.0 / ((std::pow(2.0, 1.0 / 48.0) - 1.0) * 2.0 * pi * 8.0);
    const long long s = 1 + static_cast<long long>(std::floor(5.0 * sigma * rate));
    return s < 1025 ? 1025 : s;
}

long long SumOfSignalFileSizes(const testwav::TempDir& folder) {
    long long total = 0;
    for (const std::string& name : folder.tempSignalFiles()) {
        struct stat st {};
        if (stat(folder.file(name).c_str(), &st) == 0) total += st.st_size;
    }
    return total;
}

}  // namespace

TEST(FilmSpace, RequiredBytesMatchTheGuardBandsAndLayers) {
    // At 44100 Hz the guard band is 301589 samples; layer k has 441000 >> k
    // samples at 44100 / 2^k Hz, each complex sample two doubles (16 bytes).
    EXPECT_EQ(GuardBand(44100.0), 301589);
    // Opening takes layer 0, decimation layers 1..7.
    const long long layer0 = 16 * (441000 + 2 * GuardBand(44100.0));
    long long lower = 0;
    for (int k = 1; k < 8; ++k) lower += 16 * ((441000 >> k) + 2 * GuardBand(44100.0 / (1 << k)));
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 1, 441000), layer0);
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 2, 441000), 2 * layer0);
    EXPECT_EQ(FilmSpace::GetDecimatedBytes(44100, 1, 441000), lower);
    EXPECT_EQ(FilmSpace::GetDecimatedBytes(44100, 2, 441000), 2 * lower);
    // Low rates hit the 1025-sample floor at every layer.
    EXPECT_EQ(FilmSpace::GetRequiredBytes(100, 1, 0), 16 * 2 * 1025);
    EXPECT_EQ(FilmSpace::GetDecimatedBytes(100, 1, 0), 7 * 16 * 2 * 1025);
}

TEST(FilmSpace, RequiredBytesRefuseWhatNoStoreCanHold) {
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 0, 100), -1);
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 3, 100), -1);
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 1, -1), -1);
    // The longest signal: stores far beyond 2^31 bytes, counted in 64 bits.
    const long long longest = 16 * (2147483647LL + 2 * 301589);
    EXPECT_EQ(FilmSpace::GetRequiredBytes(44100, 2, 2147483647), 2 * longest);
    EXPECT_GT(FilmSpace::GetDecimatedBytes(44100, 2, 2147483647), longest);
    // A guard band beyond half the range of int.
    EXPECT_EQ(FilmSpace::GetRequiredBytes(4294967295UL, 1, 1), -1);
}

TEST(FilmSpace, RequiredBytesAreWhatAFilmPutsOnDisk) {
    testwav::TempDir folder;
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        CKMultiWaveFilm film;
        ASSERT_TRUE(film.CreateKMultiWaveFilm(folder.path(), 8000, channels, 16, 12345));
        EXPECT_EQ(folder.tempSignalFiles().size(), static_cast<size_t>(channels));
        const long long opened = FilmSpace::GetRequiredBytes(8000, channels, 12345);
        EXPECT_EQ(SumOfSignalFileSizes(folder), opened);
        ASSERT_TRUE(film.CalculateDecimateWaves());
        EXPECT_EQ(folder.tempSignalFiles().size(), static_cast<size_t>(8 * channels));
        EXPECT_EQ(SumOfSignalFileSizes(folder), opened + FilmSpace::GetDecimatedBytes(8000, channels, 12345));
    }
    EXPECT_TRUE(folder.tempSignalFiles().empty());
}

TEST(FilmSpace, FreeBytesAgreeWithTheFilesystem) {
    testwav::TempDir folder;
    unsigned long long freeBytes = 0;
    ASSERT_TRUE(FilmSpace::GetFreeBytes(folder.path(), freeBytes));
    const auto space = std::filesystem::space(folder.path());
    // Other processes write to the same disk meanwhile: allow 64 MiB.
    const double drift = 64.0 * 1024 * 1024;
    EXPECT_NEAR(static_cast<double>(freeBytes), static_cast<double>(space.available), drift);
    EXPECT_FALSE(FilmSpace::GetFreeBytes(folder.file("missing"), freeBytes));
}

TEST(FilmSpace, ShortageMessageNamesFolderAndSizes) {
    EXPECT_EQ(FilmSpace::GetShortageMessage("/tmp/x", 100, 100), "");
    EXPECT_EQ(FilmSpace::GetShortageMessage("/tmp/x", -1, 0), "");
    EXPECT_EQ(FilmSpace::GetShortageMessage("/var/tmp/сигналы", 5000000000LL, 4999999999ULL),
              "Недостаточно места во временной папке /var/tmp/сигналы:\nнужно 5000000000 байт, свободно "
              "4999999999 байт.\n\nДокумент открыт не будет!");
    EXPECT_EQ(
        FilmSpace::GetShortageMessage("/tmp/x", 2, 1, FilmSpace::kNotDecimated),
        "Недостаточно места во временной папке /tmp/x:\nнужно 2 байт, свободно 1 байт.\n\nЧастотные слои "
        "1–7 рассчитаны не будут.");
}

TEST(FilmSpace, CheckShowsOneMessageOnlyWhenShort) {
    testwav::TempDir folder;
    MessageCapture messages;
    EXPECT_TRUE(FilmSpace::CheckRoomForFilm(folder.path(), 8000, 1, 100));
    EXPECT_EQ(messages.count(), 0u);
    // An unknown folder is left to the creation, which names it.
    EXPECT_TRUE(FilmSpace::CheckRoomForFilm(folder.file("missing"), 8000, 1, 100));
    EXPECT_EQ(messages.count(), 0u);
    unsigned long long freeBytes = 0;
    ASSERT_TRUE(FilmSpace::GetFreeBytes(folder.path(), freeBytes));
    // The longest stereo film needs about 64 GiB at layer 0 and 64 GiB more
    // when decimated; only a disk with that much free lets each through.
    const int samples = 2147483647;
    const bool fits =
        static_cast<unsigned long long>(FilmSpace::GetRequiredBytes(44100, 2, samples)) <= freeBytes;
    EXPECT_EQ(FilmSpace::CheckRoomForFilm(folder.path(), 44100, 2, samples), fits);
    EXPECT_EQ(messages.count(), fits ? 0u : 1u);
    const bool lowerFit =
        static_cast<unsigned long long>(FilmSpace::GetDecimatedBytes(44100, 2, samples)) <= freeBytes;
    EXPECT_EQ(FilmSpace::CheckRoomForDecimation(folder.path(), 44100, 2, samples), lowerFit);
    EXPECT_EQ(messages.count(), (fits ? 0u : 1u) + (lowerFit ? 0u : 1u));
    if (!lowerFit) {
        EXPECT_NE(messages.last().find(FilmSpace::kNotDecimated), std::string::npos);
    }
    EXPECT_TRUE(folder.tempSignalFiles().empty());
}

using FilmSpaceDocTest = DocFolderFixture;

TEST_F(FilmSpaceDocTest, FileSizeLimitGivesTheMappingMessageAndLeavesNoFile) {
    // 10 s of mono 44100 Hz: the first store alone is over 8 MB, far above
    // the 1 MiB limit the child sets for itself.
    const std::string path = Write("long.wav", testwav::pcm16(44100, 1, std::vector<int16_t>(441000, 7)));
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 1 << 20;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        std::string shown;
        int count = 0;
        platform::MessageSink previous =
            platform::SetMessageSink([&](const std::string& text, const std::string&) {
                shown = text;
                ++count;
            });
        bool opened;
        {
            CFonavidDoc doc;
            opened = doc.OnOpenDocument(path);
        }
        (void)!write(pipeFds[1], shown.data(), shown.size());
        close(pipeFds[1]);
        _exit(opened ? 4 : (count == 1 ? 0 : 5));
    }
    close(pipeFds[1]);
    std::string shown;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) shown.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(shown, kReserveFailed);
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(FilmSpaceDocTest, AFailedLoadRemovesOnlyItsOwnFiles) {
    // Under a 4 MiB file-size limit a mono 8000 Hz film (every store under
    // 2 MB) loads, while a stereo 44100 Hz film fails at its first store:
    // the failed load leaves nothing, and the loaded document keeps its one.
    const std::string small = Write("small.wav", testwav::pcm16(8000, 1, std::vector<int16_t>(800, 1)));
    const std::string large = Write("large.wav", testwav::pcm16(44100, 2, std::vector<int16_t>(2000, 1)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 4 << 20;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        platform::SetMessageSink([](const std::string&, const std::string&) {});
        int code = 0;
        {
            CFonavidDoc kept;
            if (!kept.OnOpenDocument(small)) _exit(4);
            const size_t keptFiles = m_temp.tempSignalFiles().size();
            bool opened;
            {
                CFonavidDoc doc;
                opened = doc.OnOpenDocument(large);
                // Nothing of the failed film outlives the failed load.
                if (m_temp.tempSignalFiles().size() != keptFiles) code = 6;
            }
            if (opened) code = 5;
            if (keptFiles != 1) code = 7;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TempFiles(), 0u);
}
