// The FGT computation shared by the FGT pane and the renderer: slices of rows
// give the same values as one pass, the image follows the levels, and a
// refusal leaves nothing behind but its message.
#include "FGTTransform.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <random>
#include <vector>

#include "FGTComputation.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "ProgressReporter.h"
#include "WavWriter.h"

namespace {

class CountingProgress : public ProgressReporter {
public:
    int StepIt() override { return steps++; }
    int steps = 0;
};

// Grey of a level from the definition: 255 at and below the lower level, 0 at
// and above the upper one.
uint32_t ExpectedPixel(double v, double lower, double upper) {
    const double c = std::min(std::max(v, lower), upper);
    const int g = static_cast<int>((upper - c) * 255.0 / (upper - lower));
    return static_cast<uint32_t>(g) * 0x010101u;
}

class FGTTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(m_wave.CreateKWave(m_temp.path(), 8000.0, 16, 6000, 0.0), 0);
        std::mt19937 random(5);
        std::normal_distribution<double> noise(0.0, 0.05);
        KCOMPLEX_KFLOAT* s = m_wave.GetFirstComplexSample();
        for (long n = 0; n < m_wave.GetNSamples(); ++n)
            s[n].re = 0.4 * std::sin(2.0 * 3.141592653589793 * 440.0 * n / 8000.0) + noise(random);
    }

    testwav::TempDir m_temp;
    CKWave m_wave;
    MessageCapture m_messages;
};

}  // namespace

TEST_F(FGTTransformTest, SlicesGiveTheValuesOfOnePass) {
    FGTTransform whole;
    ASSERT_TRUE(whole.Calculate(&m_wave, 2.0, 0.0, 50.0));
    FGTTransform sliced;
    CountingProgress progress;
    ASSERT_TRUE(sliced.Calculate(&m_wave, 2.0, 0.0, 50.0, &progress));
    EXPECT_EQ(progress.steps, FGTTransform::kProgressSteps);
    ASSERT_EQ(whole.GetRows(), fgt::RowCount(8000.0));
    ASSERT_EQ(sliced.GetRows(), whole.GetRows());
    ASSERT_EQ(sliced.GetTotal(), whole.GetTotal());
    long total = 0;
    for (int i = 0; i < whole.GetRows(); ++i) {
        ASSERT_EQ(sliced.GetRowLength()[i], whole.GetRowLength()[i]);
        EXPECT_EQ(whole.GetFrequency()[i], fgt::RowFrequency(i));
        total += whole.GetRowLength()[i];
    }
    EXPECT_EQ(total, whole.GetTotal());
    for (long k = 0; k < whole.GetTotal(); ++k) {
        ASSERT_EQ(sliced.GetLevel()[k], whole.GetLevel()[k]) << k;
        ASSERT_EQ(whole.GetPixels()[k], ExpectedPixel(whole.GetLevel()[k], 0.0, 50.0)) << k;
    }
    // New levels remap every pixel.
    whole.BuildImage(-20.0, 30.0);
    for (long k = 0; k < whole.GetTotal(); k += 7)
        ASSERT_EQ(whole.GetPixels()[k], ExpectedPixel(whole.GetLevel()[k], -20.0, 30.0)) << k;
    EXPECT_EQ(m_messages.count(), 0u);
}

TEST_F(FGTTransformTest, RefusalLeavesTheObjectEmpty) {
    FGTTransform transform;
    ASSERT_TRUE(transform.Calculate(&m_wave, 2.0, 0.0, 50.0));
    // A tiny P makes rows far longer than an int can count.
    EXPECT_FALSE(transform.Calculate(&m_wave, 1e-12, 0.0, 50.0));
    EXPECT_EQ(transform.GetRows(), 0);
    EXPECT_EQ(transform.GetTotal(), 0);
    EXPECT_EQ(transform.GetLevel(), nullptr);
    EXPECT_EQ(transform.GetPixels(), nullptr);
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_FALSE(transform.Calculate(nullptr, 2.0, 0.0, 50.0));
    EXPECT_EQ(m_messages.count(), 1u) << "no signal is no message";
}

namespace {

// The bytes of this process's address space now.
double AddressSpaceBytes() {
    std::ifstream statm("/proc/self/statm");
    double pages = 0.0;
    statm >> pages;
    return pages * static_cast<double>(sysconf(_SC_PAGESIZE));
}

}  // namespace

TEST_F(FGTTransformTest, AddressSpaceLimitIsARefusalForMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not live under an address-space limit";
#endif
    // 40 s at 8000 Hz: an FGT of far more than the 32 MiB left under the limit.
    CKWave wave;
    ASSERT_GT(wave.CreateKWave(m_temp.path(), 8000.0, 16, 320000, 0.0), 0);
    KCOMPLEX_KFLOAT* s = wave.GetFirstComplexSample();
    for (long n = 0; n < wave.GetNSamples(); ++n) s[n].re = 0.4 * std::sin(0.3 * n);
    const fgt::SignalRef signal{s, wave.GetNSamples(), wave.GetFrADC(), wave.GetStartSampleNumber()};
    const int rows = fgt::RowCount(signal.frADC);
    std::vector<double> frequency(static_cast<size_t>(rows)), sigma(static_cast<size_t>(rows));
    std::vector<int> length(static_cast<size_t>(rows));
    double total = 0.0;
    ASSERT_TRUE(fgt::FillGrid(2.0, signal, rows, frequency.data(), sigma.data(), length.data(), total));
    const double headroom = 32.0 * 1048576.0;
    ASSERT_GT(fgt::RequiredBytes(total, rows, signal, FGTTransform::kThreads), 4 * headroom);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(AddressSpaceBytes() + headroom);
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(10);
        if (fgt::AvailableBytes() > headroom) _exit(11);
        m_messages.clear();
        FGTTransform transform;
        if (transform.Calculate(&wave, 2.0, 0.0, 50.0)) _exit(12);
        if (m_messages.count() != 1) _exit(13);
        if (m_messages.last().rfind("Недостаточно памяти для FGT", 0) != 0) _exit(14);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
