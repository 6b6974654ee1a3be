// The FGT pane on a real document, driven headless with real mouse, key and
// context-menu events; drawn pixels are read back from the viewport and
// compared with positions and greys worked out here from the definitions.
#include "KFGTransformerView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>

#include "DialogFHTSetP.h"
#include "DocFolderFixture.h"
#include "FGTTransform.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "WavWriter.h"

namespace {

const double kTwoPi = 8.0 * std::atan(1.0);
const std::string kNoDocument =
    "Не удалось привязаться к документу. Программу следует "
    "прервать!\n\nCKFGTransformerView::OnInitialUpdate()";
const QRgb kRed = qRgb(255, 0, 0);

double Sigma(double P, int row) { return P / (kTwoPi * std::pow(2.0, (144.0 + row) / 48.0)); }

std::string CFormat(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    // printf follows the process locale; the read-out always uses a point.
    for (char& c : text)
        if (c == ',') c = '.';
    return text;
}

class KFGTransformerViewTest : public DocFolderFixture {
protected:
    void TearDown() override {
        m_view.reset();
        m_doc.reset();
        DocFolderFixture::TearDown();
        EXPECT_TRUE(m_temp.tempSignalFiles().empty());
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }

    // A document on `samples` 16-bit samples of noise whose loudness changes
    // along the signal, and a bound pane of `width` x `height` pixels.
    void Open(uint32_t rate, int samples, int width = 400, int height = 100) {
        std::mt19937 random(1);
        std::uniform_int_distribution<int> noise(-1000, 1000);
        std::vector<int16_t> values(static_cast<size_t>(samples));
        for (int n = 0; n < samples; ++n) {
            const double envelope = 1.0 + 20.0 * std::fabs(std::sin(n * 17.0 / samples));
            values[static_cast<size_t>(n)] = static_cast<int16_t>(noise(random) * envelope);
        }
        const std::string path = m_files.file("signal.wav");
        ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(rate, 1, values)));
        m_doc = std::make_unique<CFonavidDoc>();
        ASSERT_TRUE(m_doc->OnOpenDocument(path));
        m_view = std::make_unique<CKFGTransformerView>();
        m_doc->AddView(m_view.get());
        m_view->OnInitialUpdate();
        m_view->resize(width, height);
        m_view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_view.get()));
        const QSize viewport = m_view->viewport()->size();
        m_view->resize(width + (width - viewport.width()), height + (height - viewport.height()));
        QCoreApplication::processEvents();
        ASSERT_EQ(m_view->viewport()->size(), QSize(width, height));
    }

    // The pane once every value it asked for has come.
    QImage Grab() {
        m_view->viewport()->grab();
        EXPECT_TRUE(QTest::qWaitFor([this] { return !m_view->IsComputingFGT(); }, 20000));
        return m_view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Checks every visible row of the drawn image against the pixels of the
    // FGT placed so that column trunc(t/σ_i) lands on the centre line.
    void ExpectRowsAligned(double t) {
        const QImage image = Grab();
        const int mid = image.width() / 2;
        int checked = 0;
        for (int i = 0; i < m_view->m_nRows; ++i) {
            const int y = m_view->m_nRows - i;
            if (y >= image.height()) continue;
            const long column = static_cast<long>(t / Sigma(m_view->m_dP, i));
            const long offset = OracleOffset(i);
            const int length = m_view->m_pRowLength[i];
            for (int dx : {-7, -2, 1, 3, 40}) {
                const long k = column + dx;
                if (k < 0 || k >= length) continue;
                const uint32_t expected = m_oracle.GetPixels()[offset + k];
                ASSERT_EQ(image.pixel(mid + dx, y) & 0xFFFFFF, expected) << "row " << i << " dx " << dx;
                ++checked;
            }
            EXPECT_EQ(image.pixel(mid, y), kRed);
        }
        EXPECT_GT(checked, 200);
    }

    // The whole-signal computation of the pane's FGT, with its levels.
    void ComputeOracle() {
        ASSERT_TRUE(
            m_oracle.Calculate(m_view->m_pWave, m_view->m_dP, m_view->m_dLowerLevel, m_view->m_dUpperLevel));
    }
    long OracleOffset(int row) const {
        long offset = 0;
        for (int j = 0; j < row; ++j) offset += m_oracle.GetRowLength()[j];
        return offset;
    }

    void Move(int x, int y) { QTest::mouseMove(m_view->viewport(), QPoint(x, y)); }

    std::unique_ptr<CFonavidDoc> m_doc;
    std::unique_ptr<CKFGTransformerView> m_view;
    FGTTransform m_oracle;
};

}  // namespace

TEST_F(KFGTransformerViewTest, FreshPaneShowsTheNotReadyTextAndTheCentreLine) {
    Open(8000, 4000);
    EXPECT_EQ(m_view->m_pDoc, m_doc.get());
    EXPECT_EQ(m_view->m_pWave, m_doc->GetFilm()->GetKWave(0, 0));
    EXPECT_FALSE(m_view->m_bReady);
    EXPECT_EQ(m_view->m_dP, 2.0);
    const QImage image = Grab();
    EXPECT_EQ(m_view->m_strText, "FGT не проинициализированно - FGT не готово.");
    // Text starts at (10, 10): dark pixels there, none above or left of it.
    int textPixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (x == image.width() / 2) {
                EXPECT_EQ(p, kRed) << y;
                continue;
            }
            if (qGray(p) < 128) {
                ++textPixels;
                EXPECT_GE(x, 10);
                EXPECT_GE(y, 10);
            }
        }
    }
    EXPECT_GT(textPixels, 50);
    EXPECT_EQ(m_messages.count(), 0u);
}

TEST_F(KFGTransformerViewTest, CalculateDrawsRowsAlignedOnTheCursor) {
    Open(8000, 4000);
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    ASSERT_TRUE(m_view->m_bReady);
    ASSERT_TRUE(m_view->m_bInitialised);
    ASSERT_EQ(m_view->m_nRows, 431);
    long total = 0;
    for (int i = 0; i < m_view->m_nRows; ++i) {
        EXPECT_EQ(m_view->m_pRowLength[i], static_cast<int>(0.5 / Sigma(2.0, i))) << i;
        total += m_view->m_pRowLength[i];
    }
    EXPECT_EQ(m_view->m_nTotal, total);
    // Nothing is computed before the pane draws.
    EXPECT_EQ(m_view->GetFGT().CachedValues(), 0);
    ComputeOracle();
    // The document's cursor starts at 1.0 s, past the end of this 0.5 s
    // signal: every row lies left of the centre line, off the pane.
    ASSERT_EQ(m_doc->GetTimeFrequencyCursor().time, 1.0);
    const QImage start = Grab();
    for (int y = 0; y < start.height(); ++y)
        for (int x = 0; x < start.width(); ++x)
            ASSERT_EQ(start.pixel(x, y), x == start.width() / 2 ? kRed : qRgb(255, 255, 255))
                << x << " " << y;
    m_doc->SetTimeFrequencyCursor(1.0, 500.0);
    ExpectRowsAligned(0.5 - 1.0 / 8000);
    m_doc->SetTimeFrequencyCursor(0.123, 500.0);
    ExpectRowsAligned(0.123);
    m_doc->SetTimeFrequencyCursor(0.0, 500.0);
    ExpectRowsAligned(0.0);
    EXPECT_TRUE(m_view->m_strText.empty());
}

TEST_F(KFGTransformerViewTest, LevelCommandsCompareStrictly) {
    Open(8000, 2000);
    using V = std::vector<std::pair<double, double>>;
    V seen;
    auto run = [&](int id, int times) {
        for (int i = 0; i < times; ++i) {
            ASSERT_TRUE(m_view->OnCommand(id));
            seen.emplace_back(m_view->m_dLowerLevel, m_view->m_dUpperLevel);
        }
    };
    // Levels move before any FGT exists and hold for the next one.
    run(res::ID_LOWER_LEVEL_RAISE, 6);
    EXPECT_EQ(seen, (V{{10, 50}, {20, 50}, {30, 50}, {40, 50}, {50, 50}, {60, 61}}));
    seen.clear();
    run(res::ID_LEVELS_DEFAULT, 1);
    run(res::ID_UPPER_LEVEL_LOWER, 6);
    EXPECT_EQ(seen, (V{{0, 50}, {0, 40}, {0, 30}, {0, 20}, {0, 10}, {0, 0}, {-11, -10}}));
    seen.clear();
    run(res::ID_UPPER_LEVEL_RAISE, 2);
    run(res::ID_LOWER_LEVEL_LOWER, 1);
    EXPECT_EQ(seen, (V{{-11, 0}, {-11, 10}, {-21, 10}}));

    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    ComputeOracle();
    m_doc->SetTimeFrequencyCursor(0.125, 500.0);
    ExpectRowsAligned(0.125);
    // The levels change the pixels of the values already computed.
    const long computed = m_view->GetFGT().CachedValues();
    run(res::ID_UPPER_LEVEL_RAISE, 1);
    EXPECT_EQ(m_view->GetFGT().CachedValues(), computed);
    m_oracle.BuildImage(-21.0, 20.0);
    ExpectRowsAligned(0.125);
    // Raising the lower level onto the upper one turns the whole image black.
    run(res::ID_LEVELS_DEFAULT, 1);
    run(res::ID_LOWER_LEVEL_RAISE, 5);
    ASSERT_EQ(m_view->m_dLowerLevel, m_view->m_dUpperLevel);
    const QImage image = Grab();
    int black = 0;
    for (int y = 1; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0) ++black;
    EXPECT_GT(black, image.width() * (image.height() - 1) / 2);

    platform::CommandState state;
    EXPECT_TRUE(m_view->OnUpdateCommand(res::ID_LOWER_LEVEL_RAISE, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_FALSE(m_view->OnCommand(res::ID_SONOGRAM_AM));
}

TEST_F(KFGTransformerViewTest, ReadOutShowsTheRowFrequency) {
    Open(8000, 2000, 300, 440);
    Move(20, 200);
    EXPECT_TRUE(m_view->GetToolTipText().isEmpty());  // no FGT, no rows
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    const int rows = m_view->m_nRows;
    Move(20, rows);
    EXPECT_EQ(m_view->GetToolTipText().toStdString(), "8.0000 Гц");
    Move(21, rows - 48);
    EXPECT_EQ(m_view->GetToolTipText().toStdString(), "16.000 Гц");
    const char* formats[] = {"%.4f Гц", "%.3f Гц", "%.2f Гц", "%.1f Гц", "%.0f Гц"};
    for (int row : {0, 100, 170, 200, 300, 330, 400, rows - 1}) {
        Move(30, rows - row);
        const double f = std::pow(2.0, (144.0 + row) / 48.0);
        const int digits = static_cast<int>(std::log10(f));
        EXPECT_EQ(m_view->GetToolTipText().toStdString(), CFormat(formats[digits], f)) << row;
    }
    // y = 0 and points below row 0 leave the tip as it was.
    const QString last = m_view->GetToolTipText();
    Move(30, 0);
    EXPECT_EQ(m_view->GetToolTipText(), last);
    Move(30, rows + 3);
    EXPECT_EQ(m_view->GetToolTipText(), last);
    EXPECT_TRUE(m_view->m_strToolTip.empty());

    // Hovering shows the tip with that text.
    QHelpEvent help(QEvent::ToolTip, QPoint(30, rows - 48),
                    m_view->viewport()->mapToGlobal(QPoint(30, rows - 48)));
    Move(30, rows - 48);
    QApplication::sendEvent(m_view->viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text().toStdString(), "16.000 Гц");
    QToolTip::hideText();
}

TEST_F(KFGTransformerViewTest, TopRowAt44100ReadsItsFrequency) {
    Open(44100, 2205, 200, 560);
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    ASSERT_EQ(m_view->m_nRows, 549);
    Move(10, 1);
    EXPECT_EQ(m_view->GetToolTipText().toStdString(), "21870 Гц");
    Move(10, 549 - 336);
    EXPECT_EQ(m_view->GetToolTipText().toStdString(), "1024.0 Гц");
}

TEST_F(KFGTransformerViewTest, ContextMenuFromTheKeyboardOpensNearTheTopLeftCorner) {
    Open(8000, 2000);
    QPoint shownAt;
    QStringList items;
    QTimer::singleShot(0, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shownAt = menu->pos();
        for (QAction* a : menu->actions()) items << a->text();
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(0, 0),
                            m_view->viewport()->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(m_view->viewport(), &event);
    EXPECT_EQ(shownAt, m_view->viewport()->mapToGlobal(QPoint(0, 0)) + QPoint(5, 5));
    EXPECT_EQ(items,
              (QStringList{QString::fromUtf8("Создать FGT"), QString::fromUtf8("Установить параметр Р")}));
    // The first item computed the FGT.
    EXPECT_TRUE(m_view->m_bReady);

    // The mouse opens it where it was clicked; closing it chooses nothing.
    m_view->ResetFGT();
    QTimer::singleShot(0, [&]() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        shownAt = menu->pos();
        QTest::keyClick(menu, Qt::Key_Escape);
    });
    const QPoint global = m_view->viewport()->mapToGlobal(QPoint(60, 30));
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(60, 30), global);
    QApplication::sendEvent(m_view->viewport(), &mouse);
    EXPECT_EQ(shownAt, global);
    EXPECT_FALSE(m_view->m_bReady);
}

TEST_F(KFGTransformerViewTest, SetPRecomputesOnOKOnly) {
    Open(8000, 2000);
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    const double* gridBefore = m_view->m_pSigmaT;
    const long totalBefore = m_view->m_nTotal;
    auto drive = [](const std::function<void(CDialogFHT_set_P*)>& body) {
        QTimer::singleShot(0, [body]() {
            auto* dialog = qobject_cast<CDialogFHT_set_P*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            body(dialog);
            if (dialog->isVisible()) dialog->done(99);
        });
    };
    auto type = [](CDialogFHT_set_P* dialog, const char* text) {
        QTest::keyClick(dialog->GetEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog->GetEdit(), text);
    };
    QString initial;
    drive([&](CDialogFHT_set_P* dialog) {
        initial = dialog->GetEdit()->text();
        type(dialog, "0");
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
        type(dialog, "1000001");
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
        type(dialog, "9");
        QTest::mouseClick(dialog->findChild<QPushButton*>("2"), Qt::LeftButton);
    });
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_SET_P));
    EXPECT_EQ(initial, "2");
    EXPECT_EQ(m_messages.texts(), std::vector<std::string>(2, "Enter a number between 1e-06 and 1000000."));
    // Cancel: neither P nor the FGT changed.
    EXPECT_EQ(m_view->m_dP, 2.0);
    EXPECT_EQ(m_view->m_pSigmaT, gridBefore);
    EXPECT_EQ(m_view->m_nTotal, totalBefore);
    EXPECT_TRUE(m_view->m_bReady);

    drive([&](CDialogFHT_set_P* dialog) {
        type(dialog, "68");
        QTest::mouseClick(dialog->findChild<QPushButton*>("1"), Qt::LeftButton);
    });
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_SET_P));
    EXPECT_EQ(m_view->m_dP, 68.0);
    ASSERT_TRUE(m_view->m_bReady);
    for (int i = 0; i < m_view->m_nRows; i += 37) {
        EXPECT_NEAR(m_view->m_pSigmaT[i], Sigma(68.0, i), 1e-15) << i;
        EXPECT_EQ(m_view->m_pRowLength[i], static_cast<int>(0.25 / Sigma(68.0, i))) << i;
    }
    // Much wider windows: far fewer values than at P = 2.
    EXPECT_LT(m_view->m_nTotal, totalBefore / 20);
    EXPECT_EQ(m_messages.count(), 2u);
}

TEST_F(KFGTransformerViewTest, RefusesWhatCannotBeComputed) {
    Open(8000, 2000);
    // Rows with more values than an index reaches: the message says so,
    // not that memory ran short (the values drawn would fit).
    m_view->m_dP = 1e-6;
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last().rfind("Слишком длинные строки FGT: в строке ", 0), 0u) << m_messages.last();
    EXPECT_NE(m_messages.last().find("Увеличьте параметр Р"), std::string::npos) << m_messages.last();
    EXPECT_FALSE(m_view->m_bReady);
    EXPECT_EQ(m_view->m_pSigmaT, nullptr);
    EXPECT_EQ(m_view->m_nRows, 0);
    // A huge P cuts the wide kernels at the guard band and still works.
    m_view->m_dP = 1000000.0;
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    EXPECT_TRUE(m_view->m_bReady);
    EXPECT_EQ(m_view->m_nTotal, 0);
    // No wave, or a wave without samples.
    CKWave empty;
    EXPECT_FALSE(m_view->CalculateFGT(nullptr));
    EXPECT_FALSE(m_view->CalculateFGT(&empty));
    EXPECT_EQ(m_messages.count(), 1u);
}

TEST_F(KFGTransformerViewTest, UnboundPaneSaysSoAndComputesNothing) {
    CKFGTransformerView view;
    view.OnInitialUpdate();
    EXPECT_EQ(m_messages.texts(), std::vector<std::string>{kNoDocument});
    EXPECT_EQ(view.m_pDoc, nullptr);
    EXPECT_EQ(view.m_pWave, nullptr);
    platform::CommandState state;
    EXPECT_TRUE(view.OnUpdateCommand(res::ID_FGT_CALCULATE, state));
    EXPECT_FALSE(state.enabled);
    EXPECT_TRUE(view.OnCommand(res::ID_FGT_CALCULATE));
    EXPECT_FALSE(view.m_bReady);
    EXPECT_EQ(m_messages.count(), 1u);
}

TEST_F(KFGTransformerViewTest, EventLoopTurnsWhileRowsArriveAndClosingMidwayIsSafe) {
    // A wide pane showing every row of 20 s at 44100 Hz: long enough to
    // compute that the pane is seen while its values are still coming.
    Open(44100, 44100 * 20, 1600, 550);
    m_doc->SetTimeFrequencyCursor(10.0, 500.0);
    ASSERT_TRUE(m_view->OnCommand(res::ID_FGT_CALCULATE));
    // Ready at once: nothing is computed until the pane is painted.
    ASSERT_TRUE(m_view->m_bReady);
    EXPECT_EQ(m_view->GetFGT().CachedValues(), 0);
    int ticks = 0;
    int ticksWhileComputing = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (m_view->IsComputingFGT()) ++ticksWhileComputing;
    });
    timer.start(1);
    m_view->viewport()->repaint();
    ASSERT_TRUE(m_view->IsComputingFGT());
    // The timer keeps firing while the workers compute, and the pane shows
    // rows before all of them are there.
    bool partial = false;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const bool computing = m_view->IsComputingFGT();
            const QImage image = m_view->viewport()->grab().toImage();
            int rows = 0;
            for (int y = 1; y <= m_view->m_nRows; ++y)
                if (image.pixel(200, y) != qRgb(255, 255, 255) || image.pixel(1400, y) != qRgb(255, 255, 255))
                    ++rows;
            if (computing && rows > 0 && rows < m_view->m_nRows - 10) partial = true;
            return !computing;
        },
        60000));
    EXPECT_GT(ticksWhileComputing, 3);
    EXPECT_TRUE(partial);
    // Then every row has the value on the centre line.
    for (int i = 0; i < m_view->m_nRows; ++i) {
        int available = 0;
        EXPECT_NE(m_view->GetFGT().Pixels(i, static_cast<long long>(10.0 / Sigma(2.0, i)), available),
                  nullptr)
            << i;
    }

    // A new cursor time, then closing the document while its values are
    // computed: the workers stop before the signal goes.
    m_doc->SetTimeFrequencyCursor(3.0, 500.0);
    m_view->viewport()->repaint();
    EXPECT_TRUE(m_view->IsComputingFGT());
    m_view.reset();
    m_doc.reset();
    timer.stop();
}
