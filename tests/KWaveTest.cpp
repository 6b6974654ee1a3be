#include "KWave.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>

#include "MessageCapture.h"
#include "WavWriter.h"

namespace {

// The widest FGT window, computed here in long double from its definition.
long double SigmaLong() {
    const long double pi = 3.141592653589793238462643383279502884L;
    return 1.0L / ((std::pow(2.0L, 1.0L / 48.0L) - 1.0L) * 2.0L * pi * 8.0L);
}

// Guard band: five widest windows in samples, rounded down, plus one; at least 1025.
long ExpectedGuard(double rate) {
    const long s = static_cast<long>(std::floor(5.0L * SigmaLong() * rate)) + 1;
    return s < 1025 ? 1025 : s;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

off_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Exposes the protected bookkeeping that only the analytic-signal step reads.
class ProbeWave : public CKWave {
public:
    int FilterLength() const { return m_nAnalyticFilterLength; }
    const std::string& TempPath() const { return m_strTempPath; }
};

}  // namespace

TEST(KWave, NeverCreatedSignalIsEmptyAndReadsZero) {
    ProbeWave w;
    EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
    EXPECT_EQ(w.GetNSamples(), 0);
    EXPECT_EQ(w.GetNSamplesTotal(), 0);
    EXPECT_EQ(w.GetStartSampleNumber(), 0);
    EXPECT_EQ(w.GetFrADC(), 0.0);
    EXPECT_EQ(w.GetNBitsPerSample(), 0);
    EXPECT_EQ(w.FilterLength(), 0);
    EXPECT_FALSE(w.IsRealPartOfSignalReady());
    EXPECT_FALSE(w.IsSignalRealyComplex());
    EXPECT_FALSE(w.IsSampleValid(0));
    EXPECT_FALSE(w.IsSampleValid(-1));
    EXPECT_EQ(w.GetComplexSampleInTime(0.0), nullptr);
    w.DeleteKWave();  // nothing to release
    EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
}

TEST(KWave, MaxSigmaMatchesItsDefinition) {
    const double sigma = CKWave::GetMaxSigmaTforFGT();
    // 2^(1/48) - 1 loses about six bits to cancellation in double precision.
    EXPECT_NEAR(sigma, static_cast<double>(SigmaLong()), 2e-14 * sigma);
    EXPECT_DOUBLE_EQ(sigma, 1.3677490392582057);
}

TEST(KWave, StoreOf10sAt44100HasTheDocumentedSizes) {
    testwav::TempDir dir;
    MessageCapture messages;
    ProbeWave w;
    const long n = 441000;
    const int bytes = w.CreateKWave(dir.path(), 44100.0, 16, n, 0.0);
    const long s = ExpectedGuard(44100.0);
    ASSERT_EQ(s, 301589);
    EXPECT_EQ(w.GetStartSampleNumber(), s);
    EXPECT_EQ(w.GetNSamplesTotal(), n + 2 * s);
    EXPECT_EQ(w.GetNSamplesTotal(), 1044178);
    EXPECT_EQ(bytes, 16 * (n + 2 * s));
    EXPECT_EQ(bytes, 16706848);
    EXPECT_EQ(w.GetNSamples(), n);
    EXPECT_EQ(w.GetFrADC(), 44100.0);
    EXPECT_EQ(w.GetNBitsPerSample(), 16);
    EXPECT_EQ(w.FilterLength(), 2049);
    EXPECT_TRUE(w.IsRealPartOfSignalReady());
    EXPECT_FALSE(w.IsSignalRealyComplex());
    EXPECT_EQ(messages.count(), 0u);

    // One file of exactly B bytes, named as the shared work buffer says.
    ASSERT_EQ(dir.tempSignalFiles().size(), 1u);
    EXPECT_EQ(w.TempPath(), CKWave::cWorkBuffer);
    EXPECT_EQ(FileSize(w.TempPath()), bytes);

    // Every element, guard bands included, is 0 + 0i; the last guard sample
    // before the signal and the first after it are where the signal ends.
    const KCOMPLEX_KFLOAT* first = w.GetFirstComplexSample();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first[-1].re, 0.0);
    EXPECT_EQ(first[-1].im, 0.0);
    EXPECT_EQ(first[n].re, 0.0);
    EXPECT_EQ(first[n].im, 0.0);
    size_t nonZero = 0;
    for (long i = -s; i < n + s; ++i) nonZero += (first[i].re != 0.0) + (first[i].im != 0.0);
    EXPECT_EQ(nonZero, 0u);
}

TEST(KWave, SignalSampleNLivesAtElementSPlusNOfTheFile) {
    testwav::TempDir dir;
    ProbeWave w;
    ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, 100, 0.0), 0);
    const long s = w.GetStartSampleNumber();
    w.GetFirstComplexSample()[0] = {0.25, -0.5};
    w.GetFirstComplexSample()[99] = {0.75, 1.5};
    w.GetFirstComplexSample()[-s] = {-1.0, 2.0};

    const int fd = open(w.TempPath().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    double got[6] = {};
    EXPECT_EQ(pread(fd, &got[0], 16, static_cast<off_t>(16 * s)), 16);
    EXPECT_EQ(pread(fd, &got[2], 16, static_cast<off_t>(16 * (s + 99))), 16);
    EXPECT_EQ(pread(fd, &got[4], 16, 0), 16);
    close(fd);
    EXPECT_EQ(got[0], 0.25);
    EXPECT_EQ(got[1], -0.5);
    EXPECT_EQ(got[2], 0.75);
    EXPECT_EQ(got[3], 1.5);
    EXPECT_EQ(got[4], -1.0);
    EXPECT_EQ(got[5], 2.0);
}

class KWaveGuardBand : public ::testing::TestWithParam<double> {};

TEST_P(KWaveGuardBand, IsFiveWidestWindowsPlusOneAndAtLeast1025) {
    testwav::TempDir dir;
    CKWave w;
    const double rate = GetParam();
    const int bytes = w.CreateKWave(dir.path(), rate, 16, 10, 0.0);
    ASSERT_GT(bytes, 0);
    EXPECT_EQ(w.GetStartSampleNumber(), ExpectedGuard(rate));
    EXPECT_EQ(w.GetNSamplesTotal(), 10 + 2 * ExpectedGuard(rate));
    EXPECT_EQ(bytes, 16 * w.GetNSamplesTotal());
}

INSTANTIATE_TEST_SUITE_P(Rates, KWaveGuardBand,
                         ::testing::Values(44100.0, 22050.0, 11025.0, 5512.5, 2756.25, 1378.125, 689.0625,
                                           344.53125, 8000.0, 250.0, 125.0, 62.5, 48000.0, 96000.0, 1.0));

TEST(KWave, GuardBandsOfTheLayersOfA44100File) {
    testwav::TempDir dir;
    const long documented[8] = {301589, 150795, 75398, 37699, 18850, 9425, 4713, 2357};
    for (int k = 0; k < 8; ++k) {
        CKWave w;
        ASSERT_GT(w.CreateKWave(dir.path(), std::ldexp(44100.0, -k), 16, 0, 0.0), 0);
        EXPECT_EQ(w.GetStartSampleNumber(), documented[k]) << "layer " << k;
    }
    CKWave low;
    ASSERT_GT(low.CreateKWave(dir.path(), 125.0, 16, 0, 0.0), 0);
    EXPECT_EQ(low.GetStartSampleNumber(), 1025);  // 855 raised to the minimum
}

TEST(KWave, TooLargeStoreReturnsMinusOneAndLeavesNoFile) {
    testwav::TempDir dir;
    MessageCapture messages;
    CKWave w;
    // One sample more than a sample number can count.
    EXPECT_EQ(w.CreateKWave(dir.path(), 44100.0, 16, 2147483648L, 0.0), -1);
    EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
    const long s = ExpectedGuard(44100.0);
    EXPECT_EQ(CKWave::GetStoreBytesFor(44100.0, 2147483647L), 16 * (2147483647L + 2 * s));
    EXPECT_EQ(CKWave::GetStoreBytesFor(44100.0, 2147483648L), -1);
    // A rate so high that the guard band alone overflows.
    EXPECT_EQ(w.CreateKWave(dir.path(), 1e12, 16, 0, 0.0), -1);
    EXPECT_EQ(w.CreateKWave(dir.path(), INFINITY, 16, 0, 0.0), -1);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
    EXPECT_EQ(messages.count(), 0u);
}

TEST(KWave, StoreBeyondTwoGibibytesIsAddressedInFull) {
    // 134000000 samples at 44100 Hz: 16 * (N + 2S) bytes, past 2^31. Its
    // space is reserved, not written, so only the pages touched here cost.
    testwav::TempDir dir;
    MessageCapture messages;
    CKWave w;
    const long n = 134000000L;
    const long s = ExpectedGuard(44100.0);
    const long long bytes = 16LL * (n + 2 * s);
    ASSERT_GT(bytes, 2147483647LL);
    ASSERT_EQ(w.CreateKWave(dir.path(), 44100.0, 16, n, 0.0), bytes);
    EXPECT_EQ(w.GetNSamplesTotal(), n + 2 * s);
    ASSERT_EQ(dir.tempSignalFiles().size(), 1u);
    struct stat st {};
    ASSERT_EQ(stat(dir.file(dir.tempSignalFiles()[0]).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, bytes);
    // The last guard sample sits at the file's last 16 bytes.
    KCOMPLEX_KFLOAT* first = w.GetFirstComplexSample();
    first[n - 1].re = 0.25;
    first[n + s - 1].im = -0.5;
    EXPECT_TRUE(w.IsSampleValid(static_cast<int>(n + s - 1)));
    EXPECT_FALSE(w.IsSampleValid(static_cast<int>(n + s)));
    EXPECT_EQ(w.GetComplexSampleInTime((n - 1) / 44100.0), first + n - 1);
    const int fd = open(dir.file(dir.tempSignalFiles()[0]).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    double tail[2] = {1.0, 1.0};
    EXPECT_EQ(pread(fd, tail, sizeof tail, static_cast<off_t>(bytes - 16)), 16);
    close(fd);
    EXPECT_EQ(tail[0], 0.0);
    EXPECT_EQ(tail[1], -0.5);
    w.DeleteKWave();
    EXPECT_TRUE(dir.tempSignalFiles().empty());
    EXPECT_EQ(messages.count(), 0u);
}

TEST(KWave, BadRateOrBitsReturnZeroSilentlyWithoutAFile) {
    testwav::TempDir dir;
    MessageCapture messages;
    for (double rate : {0.0, -44100.0, double(NAN), -double(INFINITY)}) {
        CKWave w;
        EXPECT_EQ(w.CreateKWave(dir.path(), rate, 16, 100, 0.0), 0) << rate;
        EXPECT_EQ(w.GetFrADC(), 0.0);
        EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
    }
    CKWave noBits;
    EXPECT_EQ(noBits.CreateKWave(dir.path(), 8000.0, 0, 100, 0.0), 0);
    EXPECT_EQ(noBits.GetFrADC(), 8000.0);  // the rate is already kept
    EXPECT_EQ(noBits.GetNBitsPerSample(), 0);
    EXPECT_FALSE(noBits.IsRealPartOfSignalReady());
    CKWave negative;
    EXPECT_EQ(negative.CreateKWave(dir.path(), 8000.0, 16, -5, 0.0), 0);
    EXPECT_EQ(negative.GetFirstComplexSample(), nullptr);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
    EXPECT_EQ(messages.count(), 0u);
}

TEST(KWave, MissingFolderShowsTheOpenFailureWithThePath) {
    testwav::TempDir dir;
    MessageCapture messages;
    ProbeWave w;
    const std::string folder = dir.file("gone");
    EXPECT_EQ(w.CreateKWave(folder, 8000.0, 16, 100, 0.0), 0);
    ASSERT_EQ(messages.count(), 1u);
    const std::string prefix = "Не удалось открыть временный KWave файл ";
    ASSERT_EQ(messages.last().rfind(prefix, 0), 0u) << messages.last();
    const std::string shownPath = messages.last().substr(prefix.size());
    EXPECT_EQ(shownPath.rfind(folder + "/KFW", 0), 0u) << shownPath;
    EXPECT_EQ(shownPath.substr(shownPath.size() - 4), ".TMP");
    EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
    EXPECT_FALSE(w.IsRealPartOfSignalReady());
}

// A full disk, simulated by a file-size limit in a child process.
TEST(KWave, FullDiskIsTheMappingMessageAndLeavesNoFile) {
    testwav::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 64 * 1024;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        MessageCapture messages;
        CKWave w;
        if (w.CreateKWave(dir.path(), 44100.0, 16, 1000, 0.0) != 0) _exit(11);
        if (messages.count() != 1) _exit(12);
        if (messages.last() !=
            "Не удалось нормально создать временный файл.\nПроцесс прерван.\n\nCould not create file mapping "
            "object.")
            _exit(13);
        if (w.GetFirstComplexSample() != nullptr) _exit(14);
        if (!dir.tempSignalFiles().empty()) _exit(15);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(KWave, DeleteTwiceRemovesTheFileOnceAndKeepsRateBitsGuardAndFlag) {
    testwav::TempDir dir;
    ProbeWave w;
    ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, 500, 0.0), 0);
    const std::string path = w.TempPath();
    const int s = w.GetStartSampleNumber();
    ASSERT_TRUE(Exists(path));

    w.DeleteKWave();
    EXPECT_FALSE(Exists(path));
    EXPECT_EQ(w.GetFirstComplexSample(), nullptr);
    EXPECT_EQ(w.GetNSamples(), 0);
    EXPECT_EQ(w.GetNSamplesTotal(), 0);
    EXPECT_EQ(w.FilterLength(), 0);
    EXPECT_EQ(w.GetFrADC(), 8000.0);
    EXPECT_EQ(w.GetNBitsPerSample(), 16);
    EXPECT_EQ(w.GetStartSampleNumber(), s);
    EXPECT_TRUE(w.IsRealPartOfSignalReady());
    EXPECT_FALSE(w.IsSampleValid(0));
    EXPECT_EQ(w.GetComplexSampleInTime(0.0), nullptr);

    // A file that now carries the same name is not ours to remove.
    ASSERT_TRUE(testwav::writeFile(path, {1, 2, 3}));
    w.DeleteKWave();
    EXPECT_TRUE(Exists(path));
}

TEST(KWave, CreatingAgainReleasesTheOldStore) {
    testwav::TempDir dir;
    ProbeWave w;
    ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, 10, 0.0), 0);
    const std::string first = w.TempPath();
    ASSERT_GT(w.CreateKWave(dir.path(), 4000.0, 16, 20, 0.0), 0);
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(dir.tempSignalFiles().size(), 1u);
    EXPECT_EQ(w.GetNSamples(), 20);
}

TEST(KWave, DestructionRemovesTheFile) {
    testwav::TempDir dir;
    {
        CKWave w;
        ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, 10, 0.0), 0);
        EXPECT_EQ(dir.tempSignalFiles().size(), 1u);
    }
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(KWave, SampleNumberFromTimeTruncatesTowardZero) {
    testwav::TempDir dir;
    CKWave w;
    ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, 100, 0.0), 0);
    EXPECT_EQ(w.GetSampleNumberFromTime(0.49 / 8000.0), 0);
    EXPECT_EQ(w.GetSampleNumberFromTime(0.51 / 8000.0), 1);
    EXPECT_EQ(w.GetSampleNumberFromTime(1.0), 8000);
    EXPECT_EQ(w.GetSampleNumberFromTime(-0.0001), 0);
    EXPECT_EQ(w.GetSampleNumberFromTime(-0.001), -7);

    // Out of the range of int the result saturates instead of wrapping.
    EXPECT_EQ(w.GetSampleNumberFromTime(1e9), INT_MAX);
    EXPECT_EQ(w.GetSampleNumberFromTime(-1e9), INT_MIN);
    EXPECT_EQ(w.GetSampleNumberFromTime(NAN), INT_MIN);
    EXPECT_FALSE(w.IsSampleValid(w.GetSampleNumberFromTime(1e9)));

    std::mt19937 random(7);
    std::uniform_real_distribution<double> times(-5.0, 5.0);
    for (int i = 0; i < 1000; ++i) {
        const double t = times(random);
        const long double exact = 8000.0L * t + 0.5L;
        EXPECT_EQ(w.GetSampleNumberFromTime(t), static_cast<int>(std::trunc(exact))) << t;
    }
}

TEST(KWave, ValidSamplesSpanBothGuardBands) {
    testwav::TempDir dir;
    CKWave w;
    const long n = 300;
    ASSERT_GT(w.CreateKWave(dir.path(), 8000.0, 16, n, 0.0), 0);
    const int s = w.GetStartSampleNumber();
    EXPECT_TRUE(w.IsSampleValid(-s));
    EXPECT_TRUE(w.IsSampleValid(static_cast<int>(n + s - 1)));
    EXPECT_FALSE(w.IsSampleValid(-s - 1));
    EXPECT_FALSE(w.IsSampleValid(static_cast<int>(n + s)));
    EXPECT_FALSE(w.IsSampleValid(INT_MIN));
    EXPECT_FALSE(w.IsSampleValid(INT_MAX));

    // Sample n sits at time n / rate; the pointer is the element itself.
    // Negative products truncate toward zero, so sample -s is reached from
    // (-s - 0.9) / rate.
    const KCOMPLEX_KFLOAT* first = w.GetFirstComplexSample();
    EXPECT_EQ(w.GetComplexSampleInTime(0.0), first);
    EXPECT_EQ(w.GetComplexSampleInTime((-s - 0.9) / 8000.0), first - s);
    EXPECT_EQ(w.GetComplexSampleInTime(-s / 8000.0), first - s + 1);
    EXPECT_EQ(w.GetComplexSampleInTime((n + s - 1) / 8000.0), first + n + s - 1);
    EXPECT_EQ(w.GetComplexSampleInTime((-s - 1.9) / 8000.0), nullptr);
    EXPECT_EQ(w.GetComplexSampleInTime((n + s) / 8000.0), nullptr);
    EXPECT_EQ(w.GetComplexSampleInTime(1e300), nullptr);
    EXPECT_EQ(w.GetComplexSampleInTime(-1e300), nullptr);
}

TEST(KWave, ZeroSampleSignalHasOnlyGuardBands) {
    testwav::TempDir dir;
    CKWave w;
    const int bytes = w.CreateKWave(dir.path(), 8000.0, 16, 0, 0.0);
    const int s = w.GetStartSampleNumber();
    EXPECT_EQ(bytes, 16 * 2 * s);
    EXPECT_EQ(w.GetNSamples(), 0);
    EXPECT_TRUE(w.IsSampleValid(-s));
    EXPECT_TRUE(w.IsSampleValid(s - 1));
    EXPECT_FALSE(w.IsSampleValid(s));
}
