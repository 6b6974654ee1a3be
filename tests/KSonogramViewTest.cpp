// The sonogram pane bound to a real document, headless: binding, buffers,
// the column cache, pixels of grabbed panes, the cursor and the commands.
#include "KSonogramView.h"
#include "Eventually.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DocFolderFixture.h"
#include "FonavidDoc.h"
#include "KDialogSelectPASfilm.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "WavWriter.h"
#include "WhenModal.h"

namespace {

constexpr int kRate = 22050;
constexpr int kRows = 512;
const double kPi = 4.0 * std::atan(1.0);
const char kNoDocument[] =
    "Не удалось привязаться к документу. Программу следует прервать!\n\nCKSonogramView::OnInitialUpdate()";

uint32_t Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }
uint32_t Grey(int g) { return static_cast<uint32_t>(g) * 0x010101u; }

// g = trunc(255 (U - v') / (U - L)), v' = v limited to [L, U].
int ExpectedGrey(double v, double upper, double lower) {
    const double c = std::isnan(v) ? lower : std::min(std::max(v, lower), upper);
    return static_cast<int>(255.0 * ((upper - c) / (upper - lower)));
}

class KSonogramViewTest : public DocFolderFixture {
protected:
    void TearDown() override {
        m_views.clear();
        m_doc.reset();
        DocFolderFixture::TearDown();
        EXPECT_TRUE(m_temp.tempSignalFiles().empty()) << "signal files left behind";
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window leaked";
    }

    // Opens a 16-bit mono file of the given samples.
    CFonavidDoc* Open(const std::vector<int16_t>& samples, int rate = kRate) {
        const std::string path = m_files.file("signal.wav");
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(rate, 1, samples)));
        m_doc = std::make_unique<CFonavidDoc>();
        EXPECT_TRUE(m_doc->OnOpenDocument(path));
        return m_doc.get();
    }

    // A pane of the given size on the open document, shown and bound the way
    // the frame does it.
    CKSonogramView* AddView(int width, int height) {
        auto view = std::make_unique<CKSonogramView>();
        view->resize(width, height);
        m_doc->AddView(view.get());
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->OnInitialUpdate();
        m_views.push_back(std::move(view));
        return m_views.back().get();
    }

    static QImage Grab(CKSonogramView* view) { return view->viewport()->grab().toImage(); }

    static std::vector<int16_t> Cosine(long n, double bin, double amplitude) {
        std::vector<int16_t> s(n);
        for (long i = 0; i < n; ++i)
            s[i] = static_cast<int16_t>(
                std::lround(amplitude * 32767.0 * std::cos(2.0 * kPi * bin * i / 1024.0)));
        return s;
    }

    std::unique_ptr<CFonavidDoc> m_doc;
    std::vector<std::unique_ptr<CKSonogramView>> m_views;
};

}  // namespace

TEST_F(KSonogramViewTest, BindingSetsGridLevelsModeAndCursor) {
    Open(Cosine(3 * kRate, 100.0, 0.5));
    CKSonogramView* view = AddView(400, 300);
    EXPECT_EQ(m_messages.count(), 0u);
    EXPECT_EQ(view->GetWave(), m_doc->m_film.GetKWave(0, 0));
    EXPECT_EQ(view->GetFFTSize(), 1024);
    EXPECT_EQ(view->GetStepSamples(), 88);
    EXPECT_NEAR(view->GetSonelFreqHz(), 39.691, 5e-4);
    EXPECT_EQ(view->GetColumnCount(), 3 * kRate / 88);
    EXPECT_EQ(view->GetMode(), 1);
    EXPECT_EQ(view->GetUpperLevel(), 0.0);
    EXPECT_NEAR(view->GetLowerLevel(), -96.33, 5e-3);
    EXPECT_EQ(view->GetBufferSize(), QSize(view->viewport()->width(), kRows));
    EXPECT_EQ(view->GetTotalSize(), QSize(3 * kRate / 88, kRows));
    // The document's cursor (1 s, 1000 Hz) in this pane's columns and rows.
    EXPECT_EQ(view->GetCursor(), QPoint(251, 46));
    const int w = view->viewport()->width(), h = view->viewport()->height();
    // Centred as far as the scroll range allows.
    EXPECT_EQ(view->GetScrollPosition(),
              QPoint(251 - w / 2, std::min(kRows - (h + 1) / 2 - 46 - 1, kRows - h)));
    EXPECT_EQ(view->GetCursorPen()->style(), Qt::DashLine);
    // The blink timer shows the cross within a period.
    EXPECT_EVENTUALLY(view->IsCursorShown(), 2000);
}

TEST_F(KSonogramViewTest, WithoutADocumentBindingFailsWithItsMessage) {
    CKSonogramView view;
    view.resize(200, 200);
    view.OnInitialUpdate();
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last(), kNoDocument);
    EXPECT_EQ(view.GetWave(), nullptr);
    EXPECT_EQ(view.SetFFTSize(1024), 0.0);
    view.ResizeBuffers(300);
    EXPECT_EQ(view.GetBufferSize(), QSize(0, 0));
    EXPECT_FALSE(Grab(&view).isNull());  // draws nothing, crashes on nothing
}

TEST_F(KSonogramViewTest, BuffersOnlyGrowAndMemoryShortageIsReported) {
    Open(Cosine(2 * kRate, 50.0, 0.5));
    CKSonogramView* view = AddView(200, 200);
    view->ResizeBuffers(300);
    EXPECT_EQ(view->GetBufferSize(), QSize(300, kRows));
    view->ResizeBuffers(800);
    EXPECT_EQ(view->GetBufferSize(), QSize(800, kRows));
    EXPECT_EQ(view->GetPageSize(), QSize(400, 256));
    view->ResizeBuffers(300);
    EXPECT_EQ(view->GetBufferSize(), QSize(800, kRows));
    EXPECT_EQ(view->GetPageSize(), QSize(400, 256));
    EXPECT_EQ(view->GetSpectrumTag(799), static_cast<int>(0x80808080u));
    EXPECT_EQ(m_messages.count(), 0u);

    // A pane too wide for any buffer: the message with its code, every
    // buffer released, and a later resize that fits works again.
    view->ResizeBuffers(5000000);
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last(), "Не хватило памяти. Программу следует прервать!\n\nКод ошибки - 264");
    EXPECT_EQ(view->GetBufferSize(), QSize(0, 0));
    EXPECT_EQ(view->GetSlotSpectrum(0), nullptr);
    EXPECT_FALSE(Grab(view).isNull());
    view->ResizeBuffers(300);
    EXPECT_EQ(view->GetBufferSize(), QSize(300, kRows));
    const QImage image = Grab(view);
    EXPECT_EQ(view->GetSpectrumTag(view->GetScrollPosition().x() % 300), view->GetScrollPosition().x());
}

TEST_F(KSonogramViewTest, RepaintsReuseColumnsAndScrollingCostsOneTransformPerColumn) {
    Open(Cosine(10 * kRate, 80.0, 0.5));
    CKSonogramView* view = AddView(500, 300);
    const int slotCount = view->GetBufferSize().width();
    view->ScrollToPosition(QPoint(1000, 0));
    Grab(view);
    const long afterFirst = view->GetTransformCount();
    for (int x = 1000; x < 1000 + slotCount; ++x) ASSERT_EQ(view->GetSpectrumTag(x % slotCount), x);
    Grab(view);
    Grab(view);
    EXPECT_EQ(view->GetTransformCount(), afterFirst) << "a repaint with nothing new computes nothing";
    view->ScrollToPosition(QPoint(1037, 0));
    Grab(view);
    EXPECT_EQ(view->GetTransformCount(), afterFirst + 37);
    // Back again: 37 slotCount now hold other columns.
    view->ScrollToPosition(QPoint(1000, 0));
    Grab(view);
    EXPECT_EQ(view->GetTransformCount(), afterFirst + 74);
    // A mode change recolours but does not transform.
    view->OnCommand(res::ID_SONOGRAM_AM);
    Grab(view);
    EXPECT_EQ(view->GetTransformCount(), afterFirst + 74);
}

TEST_F(KSonogramViewTest, FirstColumnIsTheFrameAroundSampleZero) {
    // Column 0 reads samples -512 .. 511; those before the file are the
    // zeros of the guard band. Checked against a direct DFT of that frame.
    std::vector<int16_t> samples = Cosine(kRate, 37.0, 0.25);
    for (size_t i = 0; i < samples.size(); i += 7) samples[i] = static_cast<int16_t>(samples[i] + 3000);
    Open(samples);
    CKSonogramView* view = AddView(300, 300);
    view->ScrollToPosition(QPoint(0, 0));
    Grab(view);
    ASSERT_EQ(view->GetSpectrumTag(0), 0);
    const double* levels = view->GetSlotSpectrum(0);
    const double* w = view->GetWindow();
    double sum = 0.0;
    for (int k = 1; k < kRows; ++k) sum += w[k];
    const double ref = 20.0 * std::log10(sum);
    EXPECT_NEAR(view->GetRefLevel(), ref, 1e-12);
    for (int k : {0, 1, 36, 37, 38, 200, 511}) {
        std::complex<double> x = 0.0;
        for (int m = -512; m < 512; ++m) {
            const double y = m < 0 ? 0.0 : samples[m] / 32768.0;
            x += w[std::abs(m)] * y * std::polar(1.0, -2.0 * kPi * m * k / 1024.0);
        }
        EXPECT_NEAR(levels[k], 20.0 * std::log10(std::abs(x)) - ref, 1e-7) << "row " << k;
    }
    // The last column reaches the guard band after the end (checked for
    // overruns by the sanitizer build).
    const int last = view->GetColumnCount() - 1;
    view->ScrollToPosition(QPoint(last, 0));
    Grab(view);
    EXPECT_EQ(view->GetSpectrumTag(last % view->GetBufferSize().width()), last);
}

TEST_F(KSonogramViewTest, PixelsFollowTheGreyMappingAndTheTwoBlits) {
    Open(Cosine(9 * kRate, 120.0, 0.5));
    CKSonogramView* view = AddView(300, 300);
    view->ResizeBuffers(800);
    ASSERT_EQ(view->GetBufferSize().width(), 800);
    view->ScrollToPosition(QPoint(1000, view->GetScrollPosition().y()));
    ASSERT_EQ(view->GetScrollPosition().x(), 1000);
    const QImage image = Grab(view);
    // Slot a = 200 holds column 1000 and is drawn first; slot 0 holds 1600.
    EXPECT_EQ(view->GetSpectrumTag(200), 1000);
    EXPECT_EQ(view->GetSpectrumTag(0), 1600);
    EXPECT_EQ(view->GetSpectrumTag(199), 1799);
    const int y0 = view->GetScrollPosition().y();
    const double upper = view->GetUpperLevel(), lower = view->GetLowerLevel();
    int checked = 0;
    for (int dx = 0; dx < image.width(); dx += 13) {
        const int slot = (1000 + dx) % 800;
        const double* levels = view->GetSlotSpectrum(slot);
        for (int dy = 0; dy < image.height(); dy += 5) {
            const int k = kRows - (dy + y0);  // bitmap row shown at this line
            if (k < 0 || k >= kRows) continue;
            ASSERT_EQ(Rgb(image, dx, dy), Grey(ExpectedGrey(levels[k], upper, lower))) << dx << "," << dy;
            ++checked;
        }
    }
    EXPECT_GT(checked, 500);
    // The tone at -6 dB is dark (grey 255 * 6 / 96.33 = 15).
    const int toneY = kRows - 120 - y0;
    if (toneY >= 0 && toneY < image.height()) {
        EXPECT_EQ(qRed(image.pixel(10, toneY)), 15);
    }
}

TEST_F(KSonogramViewTest, TallPaneShowsTheFillBandAndTheInvertedModeMarksTheSignal) {
    // 0.5 s: 125 columns, the rest of a 300-pixel pane lies after the end.
    Open(Cosine(kRate / 2, 60.0, 0.5));
    CKSonogramView* view = AddView(300, 640);
    const int h = view->viewport()->height();
    ASSERT_GT(h, kRows + 1);
    ASSERT_EQ(view->GetScrollPosition(), QPoint(0, 0));
    const int columns = view->GetColumnCount();
    ASSERT_EQ(columns, 125);
    QImage image = Grab(view);
    for (int y = kRows + 1; y < h; ++y) ASSERT_EQ(Rgb(image, 150, y), 0x3F3F3Fu) << "row " << y;
    EXPECT_EQ(Rgb(image, 10, 0), 0x3F3F3Fu);
    EXPECT_EQ(Rgb(image, 200, 1), 0xFFFFFFu) << "blank columns are white";
    EXPECT_EQ(Rgb(image, 200, kRows), 0xFFFFFFu);

    view->OnCommand(res::ID_SONOGRAM_INVERTED);
    EXPECT_EQ(view->GetMode(), 9);
    image = Grab(view);
    for (int x = 0; x < columns; ++x) ASSERT_EQ(Rgb(image, x, 1), 0xFF0000u) << "column " << x;
    for (int x = columns; x < 300 && x < image.width(); ++x) {
        ASSERT_EQ(Rgb(image, x, 1), 0u) << "column " << x;
        ASSERT_EQ(Rgb(image, x, 300), 0u) << "column " << x;
    }
    // Inverted greys: the tone is light, silence dark.
    const double* levels = view->GetSlotSpectrum(50);
    EXPECT_EQ(Rgb(image, 50, kRows - 60),
              Grey(255 - ExpectedGrey(levels[60], view->GetUpperLevel(), view->GetLowerLevel())));

    view->OnCommand(res::ID_SONOGRAM_FM);
    EXPECT_EQ(view->GetMode(), 12);
    image = Grab(view);
    for (int x = 0; x < image.width(); x += 7)
        for (int y = 1; y <= kRows; y += 11) ASSERT_EQ(Rgb(image, x, y), 0u) << x << "," << y;
}

TEST_F(KSonogramViewTest, ShortSignalShowsOnlyBlankColumns) {
    Open(std::vector<int16_t>(50, 1000));
    CKSonogramView* view = AddView(200, 200);
    EXPECT_EQ(view->GetColumnCount(), 0);
    const QImage image = Grab(view);
    for (int x = 0; x < image.width(); x += 9) ASSERT_EQ(Rgb(image, x, image.height() / 2), 0xFFFFFFu) << x;
    EXPECT_EQ(view->GetTransformCount(), 0);
}

TEST_F(KSonogramViewTest, AMColumnWithoutPhaseStepsLooksLikeTheAmplitudeColumn) {
    // An impulse on the centre of column 40: its frame is even, its
    // spectrum real and constant, every phase step 0. The neighbouring
    // columns see it 88 samples off centre and are tinted.
    std::vector<int16_t> samples(kRate, 0);
    samples[40 * 88] = 20000;
    for (size_t i = 0; i < samples.size(); i += 5) samples[i] = static_cast<int16_t>(samples[i] + 3);
    samples[40 * 88] = 20000;
    Open(samples);
    CKSonogramView* view = AddView(200, 300);
    view->ScrollToPosition(QPoint(0, view->GetScrollPosition().y()));
    const QImage amplitude = Grab(view);
    view->OnCommand(res::ID_SONOGRAM_AM);
    const QImage am = Grab(view);
    const double* steps = view->GetSlotPhaseStep(40);
    for (int k = 0; k < kRows; ++k) ASSERT_NEAR(steps[k], 0.0, 1e-9) << k;
    bool neighbourTinted = false;
    for (int y = 0; y < amplitude.height(); ++y) {
        ASSERT_EQ(Rgb(am, 40, y), Rgb(amplitude, 40, y)) << "row " << y;
        neighbourTinted = neighbourTinted || Rgb(am, 41, y) != Rgb(amplitude, 41, y);
    }
    EXPECT_TRUE(neighbourTinted);
}

TEST_F(KSonogramViewTest, CursorCrossUsesTheActivePenAndIsErasedByAPaint) {
    Open(Cosine(3 * kRate, 100.0, 0.5));
    CKSonogramView* view = AddView(400, 300);
    view->OnActivateView(true, view, nullptr);
    EXPECT_EQ(view->GetCursorPen()->style(), Qt::SolidLine);
    const QPoint origin = view->GetScrollPosition();
    const int cx = view->GetCursor().x() - origin.x();
    const int cy = kRows - origin.y() - view->GetCursor().y() - 1;
    view->DrawCursor();
    QImage image = Grab(view);
    EXPECT_TRUE(view->IsCursorShown());
    for (int y = 0; y < std::min(kRows, image.height()); ++y) ASSERT_EQ(Rgb(image, cx, y), 0xFF0000u) << y;
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(Rgb(image, x, cy), 0xFF0000u) << x;

    // A repaint that was not asked for the cross covers it.
    image = Grab(view);
    EXPECT_FALSE(view->IsCursorShown());
    EXPECT_NE(Rgb(image, cx, 5), 0xFF0000u);

    // The inactive pen is dashed: gaps along the line.
    view->OnActivateView(false, nullptr, view);
    view->DrawCursor();
    image = Grab(view);
    int red = 0;
    for (int x = 0; x < image.width(); ++x) red += Rgb(image, x, cy) == 0xFF0000u;
    EXPECT_GT(red, image.width() / 4);
    EXPECT_LT(red, image.width());
}

TEST_F(KSonogramViewTest, CursorMovesStopAtTheEndsAndBothPanesFollow) {
    Open(Cosine(2 * kRate, 100.0, 0.5));
    CKSonogramView* upper = AddView(300, 200);
    CKSonogramView* lower = AddView(300, 200);
    const int last = upper->GetColumnCount() - 1;
    m_doc->SetTimeFrequencyCursor(upper->TimeFromColumn(last - 5), 1000.0);
    EXPECT_EQ(upper->GetCursor().x(), last - 5);
    upper->OnCommand(res::ID_CURSOR_RIGHT_FAST);
    EXPECT_EQ(upper->GetCursor().x(), last);
    upper->OnCommand(res::ID_CURSOR_RIGHT);
    EXPECT_EQ(upper->GetCursor().x(), last);
    EXPECT_EQ(lower->GetCursor(), upper->GetCursor());
    m_doc->SetTimeFrequencyCursor(1.0, upper->FrequencyFromRow(7));
    upper->OnCommand(res::ID_CURSOR_DOWN_FAST);
    EXPECT_EQ(upper->GetCursor().y(), 0);
    EXPECT_EQ(lower->GetCursor().y(), 0);
    upper->OnCommand(res::ID_CURSOR_UP_FAST);
    EXPECT_EQ(lower->GetCursor().y(), 10);
    // Each pane centres on the cursor.
    const int w = lower->viewport()->width();
    EXPECT_EQ(lower->GetScrollPosition().x(), std::max(0, lower->GetCursor().x() - w / 2));
}

TEST_F(KSonogramViewTest, LevelCommandsKeepUpperAboveLower) {
    Open(Cosine(kRate, 100.0, 0.5));
    CKSonogramView* view = AddView(300, 200);
    CKSonogramView* other = AddView(300, 200);
    const double lower = view->GetLowerLevel();
    for (int i = 0; i < 9; ++i) view->OnCommand(res::ID_UPPER_LEVEL_LOWER);
    EXPECT_EQ(view->GetUpperLevel(), -90.0);
    EXPECT_EQ(view->GetLowerLevel(), lower);
    view->OnCommand(res::ID_UPPER_LEVEL_LOWER);
    EXPECT_EQ(view->GetUpperLevel(), -100.0);
    EXPECT_EQ(view->GetLowerLevel(), -101.0);
    EXPECT_EQ(other->GetUpperLevel(), 0.0) << "panes are independent";
    view->OnCommand(res::ID_LEVELS_DEFAULT);
    EXPECT_EQ(view->GetUpperLevel(), 0.0);
    EXPECT_EQ(view->GetLowerLevel(), lower);
    for (int i = 0; i < 10; ++i) view->OnCommand(res::ID_LOWER_LEVEL_RAISE);
    EXPECT_EQ(view->GetLowerLevel(), lower + 100.0);
    EXPECT_EQ(view->GetUpperLevel(), lower + 101.0);

    platform::CommandState state;
    ASSERT_TRUE(view->OnUpdateCommand(res::ID_SONOGRAM_AMPLITUDE, state));
    EXPECT_TRUE(state.checked);
    view->OnCommand(res::ID_SONOGRAM_INVERTED);
    state = {};
    view->OnUpdateCommand(res::ID_SONOGRAM_INVERTED, state);
    EXPECT_TRUE(state.checked);
    state = {};
    view->OnUpdateCommand(res::ID_SONOGRAM_AM, state);
    EXPECT_FALSE(state.checked);
}

TEST_F(KSonogramViewTest, HighQualityDataRaisesLevelsOnceAndKeepsThePeak) {
    Open(Cosine(3 * kRate, 100.0, 1.0));
    CKSonogramView* view = AddView(300, 300);
    view->ScrollToPosition(QPoint(200, view->GetScrollPosition().y()));
    Grab(view);
    const double before = view->GetSlotSpectrum(250 % view->GetBufferSize().width())[100];
    EXPECT_NEAR(before, 0.04, 0.01);
    platform::CommandState state;
    ASSERT_TRUE(view->OnUpdateCommand(res::ID_PREPARE_HIGH_QUALITY, state));
    EXPECT_TRUE(state.enabled);
    const double upper = view->GetUpperLevel(), lower = view->GetLowerLevel();
    view->OnCommand(res::ID_PREPARE_HIGH_QUALITY);
    EXPECT_TRUE(view->GetWave()->IsSignalRealyComplex());
    EXPECT_NEAR(view->GetUpperLevel() - upper, 6.931472, 1e-6);
    EXPECT_NEAR(view->GetLowerLevel() - lower, 6.931472, 1e-6);
    Grab(view);
    EXPECT_NEAR(view->GetSlotSpectrum(250 % view->GetBufferSize().width())[100], before, 0.01);
    state = {};
    view->OnUpdateCommand(res::ID_PREPARE_HIGH_QUALITY, state);
    EXPECT_FALSE(state.enabled);
    view->OnCommand(res::ID_PREPARE_HIGH_QUALITY);
    EXPECT_NEAR(view->GetUpperLevel() - upper, 6.931472, 1e-6) << "a second call changes nothing";
}

TEST_F(KSonogramViewTest, CtrlClickPlacesTheCursorAndReadOutNamesThePeak) {
    Open(Cosine(3 * kRate, 100.0, 0.5));
    CKSonogramView* view = AddView(400, 300);
    Grab(view);
    const QPoint origin = view->GetScrollPosition();
    const QPoint cursor = view->GetCursor();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier,
                      QPoint(30, 40));
    EXPECT_EQ(view->GetCursor(), cursor) << "Ctrl+Shift+click does nothing";
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    EXPECT_EQ(view->GetCursor(), cursor);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(30, 40));
    EXPECT_EQ(view->GetCursor().y(), kRows - (origin.y() + 40) - 1);
    EXPECT_NEAR(m_doc->GetTimeFrequencyCursor().time, (origin.x() + 30) * 88.0 / kRate, 1e-9);

    // Two rows above the tone's row.
    Grab(view);
    const QPoint o = view->GetScrollPosition();
    const int y = kRows - 102 - 1 - o.y();
    ASSERT_GE(y, 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(50, y), view->viewport()->mapToGlobal(QPointF(50, y)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    const std::string text = view->GetToolTipText();
    char expectedTime[32];
    std::snprintf(expectedTime, sizeof expectedTime, "; %.3f c", (o.x() + 50) * 88.0 / kRate);
    ASSERT_GE(text.size(), std::string(expectedTime).size());
    EXPECT_EQ(text.substr(text.size() - std::string(expectedTime).size()), expectedTime) << text;
    // The peak on bin 100 (2153.3 Hz) at 20 log10(0.5) + 0.04 dB, then the
    // pointer's row 102 (2196.4 Hz).
    EXPECT_EQ(text.rfind("2153.3 Гц, -5.98 дБ (2196.4 Гц, -", 0), 0u) << text;
}

TEST_F(KSonogramViewTest, TuningDialogRebindsThePaneToTheChosenLayer) {
    Open(Cosine(3 * kRate, 100.0, 0.5));
    CKSonogramView* view = AddView(300, 300);
    CKSonogramView* other = AddView(300, 300);
    CKMultiWaveFilm& film = m_doc->m_film;

    WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    EXPECT_TRUE(view->OnCommand(res::ID_TUNE_PAS_FILM));
    EXPECT_EQ(view->GetWave(), film.GetKWave(0, 0)) << "Cancel changes nothing";
    EXPECT_FALSE(film.GetDecimateWaveAreCalculated());

    platform::CommandState state;
    ASSERT_TRUE(other->OnUpdateCommand(res::ID_CALCULATE_DECIMATED, state));
    EXPECT_TRUE(state.enabled);

    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CKDialogSelectPASfilm*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->m_comboRate->setCurrentIndex(3);
        dialog->accept();
    });
    EXPECT_TRUE(view->OnCommand(res::ID_TUNE_PAS_FILM));
    ASSERT_EQ(view->GetWave(), film.GetKWave(3, 0));
    EXPECT_TRUE(film.GetDecimateWaveAreCalculated()) << "the layers are computed first";
    EXPECT_EQ(view->GetWave()->GetFrADC(), kRate / 8.0);
    ASSERT_GE(view->GetStepSamples(), 1);
    const int columns = static_cast<int>((3L * kRate >> 3) / view->GetStepSamples());
    EXPECT_EQ(view->GetColumnCount(), columns);
    EXPECT_EQ(view->GetTotalSize(), QSize(columns, kRows));
    Grab(view);
    // The decimation flag belongs to the film: disabled in the other pane too.
    state = {};
    other->OnUpdateCommand(res::ID_CALCULATE_DECIMATED, state);
    EXPECT_FALSE(state.enabled);
    EXPECT_EQ(other->GetWave(), film.GetKWave(0, 0));
}
