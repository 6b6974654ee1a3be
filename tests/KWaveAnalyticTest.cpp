#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "DirectFilters.h"
#include "GuardedSignal.h"
#include "KWave.h"
#include "MainWindow.h"
#include "MessageCapture.h"
#include "ProgressRecorder.h"
#include "WavWriter.h"

namespace {

class KWaveAnalyticTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetMainWindow(&m_main); }
    void TearDown() override { platform::SetMainWindow(nullptr); }

    // A copy of the signal's real parts with its guard bands, for the direct sum.
    GuardedSignal Copy(const CKWave& w) const {
        GuardedSignal g(w.GetNSamples(), 1024);
        for (long i = -1024; i < w.GetNSamples() + 1024; ++i) g[i].re = w.GetFirstComplexSample()[i].re;
        return g;
    }

    testwav::TempDir m_dir;
    QWidget m_main;
};

}  // namespace

TEST_F(KWaveAnalyticTest, CosineBecomesComplexExponentialUnderTheProgressDialog) {
    CKWave w;
    const long n = 5000;
    ASSERT_GT(w.CreateKWave(m_dir.path(), 8000.0, 16, n, 0.0), 0);
    const double omega = 2.0 * std::numbers::pi * 0.1;
    KCOMPLEX_KFLOAT* x = w.GetFirstComplexSample();
    for (long i = 0; i < n; ++i) x[i].re = std::cos(omega * i);
    const GuardedSignal before = Copy(w);
    MessageCapture messages;
    m_main.show();
    {
        ProgressRecorder recorder(&m_main);
        EXPECT_TRUE(w.CalculateImaginaryPartOfSignal());
        ASSERT_EQ(recorder.statusLines.size(), 1u);
        EXPECT_EQ(
            recorder.statusLines[0],
            "Рассчитываются данные для сонограммы высшего качества частотного слоя от 0 до 4000.000 Гц.");
        EXPECT_GT(recorder.samples, 100);
        EXPECT_EQ(recorder.waitCursorSamples, recorder.samples);
        EXPECT_EQ(recorder.mainEnabledSamples, 0);
        // A step every n/1000 + 1 samples; the last pump sees the figure of the step before it.
        const long steps = (n - 1) / (n / 1000 + 1) + 1;
        EXPECT_EQ(recorder.lastPercent, std::to_string((steps - 1) * 100 / 1000) + "%");
    }
    EXPECT_TRUE(w.IsSignalRealyComplex());
    EXPECT_TRUE(m_main.isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(messages.count(), 0u);

    for (long i = 1024; i < n - 1024; ++i) {
        ASSERT_NEAR(x[i].im, std::sin(omega * i), 1e-9) << i;
        ASSERT_NEAR(std::hypot(x[i].re, x[i].im), 1.0, 1e-9) << i;
    }
    const std::vector<double> expected = direct::HilbertImaginary(before, 2049);
    for (long i = 0; i < n; ++i) {
        ASSERT_NEAR(x[i].im, expected[static_cast<size_t>(i)], 1e-12) << i;
        ASSERT_EQ(x[i].re, before[i].re) << i;
    }
    EXPECT_EQ(x[-1].im, 0.0);
    EXPECT_EQ(x[n].im, 0.0);
}

TEST_F(KWaveAnalyticTest, SecondCallReturnsAtOnceWithoutDialogOrCursor) {
    CKWave w;
    ASSERT_GT(w.CreateKWave(m_dir.path(), 11025.0, 16, 300, 0.0), 0);
    KCOMPLEX_KFLOAT* x = w.GetFirstComplexSample();
    x[100].re = 1.0;
    {
        ProgressRecorder recorder(&m_main);
        ASSERT_TRUE(w.CalculateImaginaryPartOfSignal());
        ASSERT_EQ(recorder.statusLines.size(), 1u);
        EXPECT_EQ(
            recorder.statusLines[0],
            "Рассчитываются данные для сонограммы высшего качества частотного слоя от 0 до 5512.500 Гц.");
    }
    EXPECT_NEAR(x[101].im, 0.6366077882554755, 1e-14);
    const double first = x[151].im;
    x[150].re = 3.0;  // a second computation would change sample 151
    ProgressRecorder recorder(&m_main);
    const auto topLevels = QApplication::topLevelWidgets().size();
    EXPECT_TRUE(w.CalculateImaginaryPartOfSignal());
    EXPECT_EQ(QApplication::topLevelWidgets().size(), topLevels);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.samplesWithDialog, 0);
    EXPECT_EQ(recorder.waitCursorSamples, 0);
    EXPECT_EQ(x[151].im, first);
}

TEST_F(KWaveAnalyticTest, SignalWithoutSamplesCompletesAtOnce) {
    CKWave never;
    EXPECT_TRUE(never.CalculateImaginaryPartOfSignal());
    EXPECT_TRUE(never.IsSignalRealyComplex());

    CKWave deleted;
    ASSERT_GT(deleted.CreateKWave(m_dir.path(), 8000.0, 16, 100, 0.0), 0);
    deleted.DeleteKWave();
    EXPECT_TRUE(deleted.CalculateImaginaryPartOfSignal());
    EXPECT_TRUE(deleted.IsSignalRealyComplex());

    CKWave empty;
    ASSERT_GT(empty.CreateKWave(m_dir.path(), 8000.0, 16, 0, 0.0), 0);
    EXPECT_TRUE(empty.CalculateImaginaryPartOfSignal());
    EXPECT_EQ(empty.GetFirstComplexSample()[0].im, 0.0);
    EXPECT_TRUE(m_main.isEnabled());
}
