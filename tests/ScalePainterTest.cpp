// View, "Шкалы": time and frequency ticks with labels over the edges of the
// sonogram panes and octave labels over the FGT pane's left edge, off by
// default, remembered in the profile, and leaving the picture under them as
// it was.

#include "KFGTransformerView.h"
#include "KSonogramView.h"
#include "ResourceIds.h"
#include "ScalePainter.h"
#include "ShellFixture.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
// Wider and taller than any label: outside these bands a picture with scales
// is the picture without them.
constexpr int kLeftBand = 100;
constexpr int kBottomBand = 24;

// The smallest of 1, 2 and 5 times a power of ten that is at least `least`.
double RoundStep(double least) {
    for (double decade = 1e-6;; decade *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * decade >= least * (1 - 1e-12)) return m * decade;
        }
    }
}

class ScalePainterTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        OpenWithKeyboard(Wav("tone.wav", 20.0));
        child = frame->GetActiveFrame();
        ASSERT_NE(child, nullptr);
        upper = dynamic_cast<CKSonogramView*>(child->GetPane(1));
        ASSERT_NE(upper, nullptr);
    }

    void TearDown() override {
        // The setting is the viewer's; the next test starts from its own profile.
        ScalePainter::SetShown(false);
        ShellFixture::TearDown();
    }

    bool ScalesChecked(CMainFrame* window) {
        window->UpdateCommandStates();
        return window->GetActions().Find(res::ID_VIEW_SCALES)->isChecked();
    }

    // Every pixel right of the left band and above the bottom band agrees.
    static void ExpectSameOutsideBands(const QImage& a, const QImage& b, int bottomBand) {
        ASSERT_EQ(a.size(), b.size());
        for (int y = 0; y < a.height() - bottomBand; ++y) {
            for (int x = kLeftBand; x < a.width(); ++x) {
                if (a.pixel(x, y) != b.pixel(x, y)) {
                    ADD_FAILURE() << "changed at " << x << ", " << y;
                    return;
                }
            }
        }
    }

    CChildFrame* child = nullptr;
    CKSonogramView* upper = nullptr;
};

TEST_F(ScalePainterTest, SonogramTicksSitOnRoundTimesAndFrequencies) {
    EXPECT_FALSE(ScalesChecked(frame));
    // Somewhere inside the recording, so that time labels are not all at 0.
    for (int i = 0; i < 3; ++i) QTest::keyClick(Target(frame), Qt::Key_PageDown);
    const QImage plain = upper->PaintCopy();
    Trigger(res::ID_VIEW_SCALES);
    EXPECT_TRUE(ScalesChecked(frame));
    const QImage scaled = upper->PaintCopy();
    ASSERT_EQ(scaled.size(), upper->viewport()->size());
    const int w = scaled.width();
    const int h = scaled.height();
    ExpectSameOutsideBands(plain, scaled, kBottomBand);

    // Time: column x is x·step/8000 s; ticks at least 80 pixels apart.
    const double columnsPerSecond = 8000.0 / upper->GetStepSamples();
    const double timeStep = RoundStep(80.0 / columnsPerSecond);
    const int x0 = upper->GetScrollPosition().x();
    int timeTicks = 0;
    for (double t = std::ceil(x0 / columnsPerSecond / timeStep) * timeStep;; t += timeStep) {
        const int x = static_cast<int>(std::lround(t * columnsPerSecond)) - x0;
        if (x >= w - 1) break;
        if (x < 1) continue;
        EXPECT_EQ(scaled.pixel(x, h - 1), kWhite) << t;
        EXPECT_EQ(scaled.pixel(x - 1, h - 1), kBlack) << t;
        ++timeTicks;
    }
    EXPECT_GE(timeTicks, w / 160);

    // Frequency: bin k (k·8000/1024 Hz) is on the line 512 - k; ticks at
    // least 40 pixels apart, so 500 Hz steps of 64 pixels.
    const int y0 = upper->GetScrollPosition().y();
    int frequencyTicks = 0;
    for (int f = 0; f < 4000; f += 500) {
        const int y = 512 - f * 1024 / 8000 - y0;
        if (y < 1 || y >= h - kBottomBand) continue;
        EXPECT_EQ(scaled.pixel(0, y), kWhite) << f;
        EXPECT_EQ(scaled.pixel(0, y + 1), kBlack) << f;
        ++frequencyTicks;
    }
    EXPECT_GE(frequencyTicks, 3);

    // Off again: the picture as it was.
    Trigger(res::ID_VIEW_SCALES);
    EXPECT_EQ(upper->PaintCopy(), plain);
}

TEST_F(ScalePainterTest, FgtLabelsMarkTheOctavesOfItsLowestRow) {
    CKFGTransformerView* fgt = ComputedFgtPane();
    ASSERT_NE(fgt, nullptr);
    const QImage plain = fgt->PaintCopy();
    Trigger(res::ID_VIEW_SCALES);
    const QImage scaled = fgt->PaintCopy();
    ExpectSameOutsideBands(plain, scaled, 0);
    // Row j (2^((144 + j)/48) Hz) is on the line rows - j: 8, 16, 32 ... Hz
    // every 48 rows.
    const int y0 = fgt->GetScrollPosition().y();
    int labels = 0;
    for (int j = 0; j < fgt->m_nRows; j += 48) {
        ASSERT_NEAR(fgt->m_pFrequency[j], 8.0 * std::pow(2.0, j / 48), 1e-9);
        const int y = fgt->m_nRows - j - y0;
        if (y < 1 || y >= scaled.height() - 1) continue;
        EXPECT_EQ(scaled.pixel(0, y), kWhite) << j;
        EXPECT_EQ(scaled.pixel(0, y - 1), kBlack) << j;
        ++labels;
    }
    EXPECT_GE(labels, 1);
}

TEST_F(ScalePainterTest, TheToggleIsRememberedForTheNextMainWindow) {
    EXPECT_EQ(platform::GetProfileString("View", "Scales"), "");
    Trigger(res::ID_VIEW_SCALES);
    EXPECT_EQ(platform::GetProfileString("View", "Scales"), "1");
    {
        std::unique_ptr<CFonavidApp> second = MakeApp();
        ASSERT_TRUE(second->InitInstance({QStringLiteral("fonavid")}));
        EXPECT_TRUE(ScalesChecked(second->GetMainFrame()));
    }
    Trigger(res::ID_VIEW_SCALES);
    EXPECT_EQ(platform::GetProfileString("View", "Scales"), "0");
    // A new main window reads the profile, whatever this one last did.
    ASSERT_TRUE(platform::WriteProfileString("View", "Scales", "1"));
    {
        std::unique_ptr<CFonavidApp> second = MakeApp();
        ASSERT_TRUE(second->InitInstance({QStringLiteral("fonavid")}));
        EXPECT_TRUE(ScalesChecked(second->GetMainFrame()));
    }
    ASSERT_TRUE(platform::WriteProfileString("View", "Scales", "0"));
    {
        std::unique_ptr<CFonavidApp> second = MakeApp();
        ASSERT_TRUE(second->InitInstance({QStringLiteral("fonavid")}));
        EXPECT_FALSE(ScalesChecked(second->GetMainFrame()));
    }
}

}  // namespace
