#include "KMultiWaveFilm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <set>

#include "MessageCapture.h"
#include "WavWriter.h"

namespace {

long ExpectedGuard(double rate) {
    const long double pi = 3.141592653589793238462643383279502884L;
    const long double sigma = 1.0L / ((std::pow(2.0L, 1.0L / 48.0L) - 1.0L) * 2.0L * pi * 8.0L);
    const long s = static_cast<long>(std::floor(5.0L * sigma * rate)) + 1;
    return s < 1025 ? 1025 : s;
}

}  // namespace

TEST(KMultiWaveFilm, NewFilmIsEmpty) {
    CKMultiWaveFilm film;
    EXPECT_EQ(film.GetChannels(), 0);
    EXPECT_FALSE(film.GetDecimateWaveAreCalculated());
    for (int layer = 0; layer < 8; ++layer)
        for (int ch = 0; ch < 2; ++ch) EXPECT_EQ(film.GetKWave(layer, ch)->GetFirstComplexSample(), nullptr);
    EXPECT_EQ(film.GetTimeLength_in_seconds(), 0.0);
}

TEST(KMultiWaveFilm, MonoFilmHasEightHalvingLayersInEightFiles) {
    testwav::TempDir dir;
    MessageCapture messages;
    CKMultiWaveFilm film;
    ASSERT_TRUE(film.CreateKMultiWaveFilm(dir.path(), 44100, 1, 16, 1000));
    EXPECT_EQ(film.GetChannels(), 1);
    EXPECT_EQ(film.GetFrADC(), 44100.0);
    // Opening makes layer 0 alone; the lower layers come with decimation.
    EXPECT_EQ(dir.tempSignalFiles().size(), 1u);
    for (int k = 1; k < 8; ++k) EXPECT_EQ(film.GetKWave(k, 0)->GetFirstComplexSample(), nullptr) << k;
    ASSERT_TRUE(film.CalculateDecimateWaves());
    EXPECT_EQ(messages.count(), 0u);

    const long expectedSamples[8] = {1000, 500, 250, 125, 62, 31, 15, 7};
    const double expectedRates[8] = {44100.0, 22050.0,  11025.0,  5512.5,
                                     2756.25, 1378.125, 689.0625, 344.53125};
    for (int k = 0; k < 8; ++k) {
        const CKWave* w = film.GetKWave(k, 0);
        ASSERT_NE(w->GetFirstComplexSample(), nullptr) << k;
        EXPECT_EQ(w->GetNSamples(), expectedSamples[k]) << k;
        EXPECT_EQ(w->GetFrADC(), expectedRates[k]) << k;
        EXPECT_EQ(w->GetNBitsPerSample(), 16);
        EXPECT_EQ(w->GetStartSampleNumber(), ExpectedGuard(expectedRates[k])) << k;
        EXPECT_EQ(film.GetKWave(k, 1)->GetFirstComplexSample(), nullptr) << k;
    }
    EXPECT_EQ(film.GetMainKWave(0), film.GetKWave(0, 0));
    EXPECT_EQ(dir.tempSignalFiles().size(), 8u);
}

TEST(KMultiWaveFilm, StereoFilmHasSixteenSeparateStores) {
    testwav::TempDir dir;
    CKMultiWaveFilm film;
    ASSERT_TRUE(film.CreateKMultiWaveFilm(dir.path(), 8000, 2, 16, 999));
    EXPECT_EQ(film.GetChannels(), 2);
    EXPECT_EQ(dir.tempSignalFiles().size(), 2u);
    ASSERT_TRUE(film.CalculateDecimateWaves());
    EXPECT_EQ(dir.tempSignalFiles().size(), 16u);

    std::set<const KCOMPLEX_KFLOAT*> stores;
    for (int k = 0; k < 8; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            const CKWave* w = film.GetKWave(k, ch);
            ASSERT_NE(w->GetFirstComplexSample(), nullptr);
            EXPECT_EQ(w->GetNSamples(), 999L >> k);
            EXPECT_EQ(w->GetFrADC(), std::ldexp(8000.0, -k));
            stores.insert(w->GetFirstComplexSample());
        }
    }
    EXPECT_EQ(stores.size(), 16u);
    // Writing one channel leaves the other alone.
    film.GetMainKWave(0)->GetFirstComplexSample()[5].re = 0.5;
    EXPECT_EQ(film.GetMainKWave(1)->GetFirstComplexSample()[5].re, 0.0);
}

TEST(KMultiWaveFilm, DurationIsSamplesOverRate) {
    testwav::TempDir dir;
    CKMultiWaveFilm film;
    ASSERT_TRUE(film.CreateKMultiWaveFilm(dir.path(), 44100, 1, 16, 22050));
    EXPECT_DOUBLE_EQ(film.GetTimeLength_in_seconds(), 0.5);
}

TEST(KMultiWaveFilm, ZeroSampleFileHasGuardBandsOnly) {
    testwav::TempDir dir;
    CKMultiWaveFilm film;
    ASSERT_TRUE(film.CreateKMultiWaveFilm(dir.path(), 44100, 2, 16, 0));
    ASSERT_TRUE(film.CalculateDecimateWaves());
    for (int k = 0; k < 8; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            const CKWave* w = film.GetKWave(k, ch);
            ASSERT_NE(w->GetFirstComplexSample(), nullptr);
            EXPECT_EQ(w->GetNSamples(), 0);
            EXPECT_EQ(w->GetNSamplesTotal(), 2 * w->GetStartSampleNumber());
        }
    }
    EXPECT_EQ(film.GetTimeLength_in_seconds(), 0.0);
}

TEST(KMultiWaveFilm, WrongChannelCountIsRefusedWithOneMessage) {
    testwav::TempDir dir;
    for (int channels : {0, 3, -1}) {
        MessageCapture messages;
        CKMultiWaveFilm film;
        EXPECT_FALSE(film.CreateKMultiWaveFilm(dir.path(), 44100, channels, 16, 1000));
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last(),
                  "CKMultiWaveFilm::CreateKMultiWaveFilm()\nНекорректное число звуковых каналов.");
        EXPECT_EQ(film.GetChannels(), 0);
        EXPECT_TRUE(dir.tempSignalFiles().empty());
    }
}

TEST(KMultiWaveFilm, DestructionRemovesEveryFile) {
    testwav::TempDir dir;
    {
        CKMultiWaveFilm film;
        ASSERT_TRUE(film.CreateKMultiWaveFilm(dir.path(), 44100, 2, 16, 4410));
        ASSERT_TRUE(film.CalculateDecimateWaves());
        EXPECT_EQ(dir.tempSignalFiles().size(), 16u);
    }
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(KMultiWaveFilm, TooLargeOrMissingFolderFailsWithoutFiles) {
    testwav::TempDir dir;
    {
        MessageCapture messages;
        CKMultiWaveFilm film;
        // A rate whose guard band alone is beyond what a store can have.
        EXPECT_FALSE(film.CreateKMultiWaveFilm(dir.path(), 4294967295UL, 2, 16, 100));
        EXPECT_EQ(messages.count(), 0u);  // too large is silent
        EXPECT_EQ(film.GetChannels(), 0);
        EXPECT_TRUE(dir.tempSignalFiles().empty());
    }
    {
        MessageCapture messages;
        CKMultiWaveFilm film;
        EXPECT_FALSE(film.CreateKMultiWaveFilm(dir.file("missing"), 44100, 1, 16, 100));
        EXPECT_EQ(messages.count(), 1u);  // the store's own open-failure message, once
        EXPECT_EQ(messages.last().rfind("Не удалось открыть временный KWave файл ", 0), 0u);
        EXPECT_TRUE(dir.tempSignalFiles().empty());
    }
}

// A failure part-way (descriptors run out after a few files): the stores made
// so far stay until the film goes, and then nothing is left.
TEST(KMultiWaveFilm, FailurePartWayKeepsFilesUntilDestruction) {
    testwav::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Allow a handful of descriptors beyond the lowest free one and count
        // how many of them are free: that many stores can be made.
        const int probe = dup(0);
        if (probe < 0) _exit(10);
        close(probe);
        // One store can be made: the second channel's fails.
        const int ceiling = probe + 1;
        size_t freeDescriptors = 0;
        for (int fd = 0; fd < ceiling; ++fd) freeDescriptors += fcntl(fd, F_GETFD) == -1;
        struct rlimit original {};
        if (getrlimit(RLIMIT_NOFILE, &original) != 0) _exit(11);
        struct rlimit limit = original;
        limit.rlim_cur = static_cast<rlim_t>(ceiling);
        MessageCapture messages;
        size_t filesWhileAlive = 0;
        {
            CKMultiWaveFilm film;
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(12);
            const bool made = film.CreateKMultiWaveFilm(dir.path(), 8000, 2, 16, 100);
            if (setrlimit(RLIMIT_NOFILE, &original) != 0) _exit(13);
            if (made) _exit(14);
            if (messages.count() != 1) _exit(15);
            if (messages.last().rfind("Не удалось открыть временный KWave файл ", 0) != 0) _exit(16);
            if (film.GetChannels() != 0) _exit(17);
            filesWhileAlive = dir.tempSignalFiles().size();
        }
        if (freeDescriptors == 0 || filesWhileAlive != freeDescriptors) _exit(18);
        if (!dir.tempSignalFiles().empty()) _exit(19);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}
