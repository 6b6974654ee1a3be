// The FAS-film dialog, driven headless with real mouse and key events.
// Expected read-outs are computed here independently in long double from the
// definitions (a bin is Fd/N Hz wide, a sonel spans Fd/(2*pi*A) samples) and
// formatted with printf in the C locale, besides the hand-worked values.
#include "KDialogSelectPASfilm.h"
#include "Eventually.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <memory>

#include "KMultiWaveFilm.h"
#include "MessageCapture.h"
#include "StepUpDown.h"
#include "WavWriter.h"

namespace {

const long double kPiL = 3.141592653589793238462643383279502884L;

std::string cFixed(long double v) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    char buf[512];
    std::snprintf(buf, sizeof buf, "%f", static_cast<double>(v));
    std::setlocale(LC_NUMERIC, saved.c_str());
    return buf;
}

class KDialogSelectPASfilmTest : public ::testing::Test {
protected:
    void TearDown() override {
        // No window of a test may outlive it.
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    }

    std::unique_ptr<CKMultiWaveFilm> makeFilm(unsigned long rate, int channels) {
        auto film = std::make_unique<CKMultiWaveFilm>();
        EXPECT_TRUE(film->CreateKMultiWaveFilm(m_dir.path(), rate, channels, 16, 4096));
        return film;
    }

    // Opens the dialog as the caller does: members first, then shown and active.
    std::unique_ptr<CKDialogSelectPASfilm> open(CKMultiWaveFilm* film, int channel, int level, double freqHz,
                                                int step) {
        auto dlg = std::make_unique<CKDialogSelectPASfilm>(film);
        dlg->m_nChannel = channel;
        dlg->m_nLevel = level;
        dlg->m_dSonelFreqHz = freqHz;
        dlg->m_nStepSamples = step;
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        return dlg;
    }

    template <class T>
    static T* ctl(QWidget* dlg, int id) {
        T* w = dlg->findChild<T*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    static void click(QWidget* dlg, int id) { QTest::mouseClick(ctl<QWidget>(dlg, id), Qt::LeftButton); }
    static std::string text(QWidget* dlg, int id) {
        if (auto* e = dlg->findChild<QLineEdit*>(QString::number(id))) return e->text().toStdString();
        return ctl<QLabel>(dlg, id)->text().toStdString();
    }
    static double number(QWidget* dlg, int id) { return ctl<QLineEdit>(dlg, id)->text().toDouble(); }
    // Replaces the text of an edit by typing, as a user does.
    static void type(QWidget* dlg, int id, const QString& s) {
        auto* e = ctl<QLineEdit>(dlg, id);
        QTest::mouseClick(e, Qt::LeftButton);
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, s);
    }
    static void clickUpDown(QWidget* dlg, bool upper) {
        auto* ud = ctl<StepUpDown>(dlg, 1015);
        QTest::mouseClick(ud, Qt::LeftButton, {}, QPoint(ud->width() / 2, upper ? 1 : ud->height() - 2));
    }

    testwav::TempDir m_dir;
};

}  // namespace

TEST_F(KDialogSelectPASfilmTest, OpensWithTheCallersGrid) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 1, 0, 79.3817, 88);
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Параметры ФАСфильма"));

    auto* combo = ctl<QComboBox>(dlg.get(), 1004);
    ASSERT_EQ(combo->count(), 8);
    for (int k = 0; k < 8; ++k) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.3f", 44100.0 / (1 << k));
        EXPECT_EQ(combo->itemText(k).toStdString(), expected) << k;
    }
    EXPECT_EQ(combo->itemText(0), "44100.000");
    EXPECT_EQ(combo->currentIndex(), 0);

    EXPECT_FALSE(ctl<QPushButton>(dlg.get(), 1002)->isChecked());
    EXPECT_TRUE(ctl<QPushButton>(dlg.get(), 1003)->isChecked());
    EXPECT_TRUE(ctl<QPushButton>(dlg.get(), 1002)->isEnabled());

    // The edits show A, B = 2 pi A and T = 1000 / B with 15 significant digits.
    EXPECT_EQ(text(dlg.get(), 1018), "79.3817");
    EXPECT_NEAR(number(dlg.get(), 1020), static_cast<double>(2 * kPiL * 79.3817L), 1e-11);
    EXPECT_NEAR(number(dlg.get(), 1022), static_cast<double>(1000 / (2 * kPiL * 79.3817L)), 1e-14);
    // 44100 / (2 pi 79.3817) = 88.42 samples per sonel: the step 88 stays.
    EXPECT_EQ(dlg->m_nStepSamples, 88);
    EXPECT_EQ(dlg->m_nFFTSize, 1024);
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(79.3817L / (44100.0L / 1024)));
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / (2 * kPiL * 79.3817L) / 88));
    EXPECT_EQ(dlg->m_strPixelsPerSonelFreq, text(dlg.get(), 1016));

    // Every control of the template is there with its text.
    const std::pair<int, const char*> texts[] = {{1, "OK"},
                                                 {2, "Cancel"},
                                                 {1002, "Левый"},
                                                 {1003, "Правый"},
                                                 {1009, "ОПТИМАЛЬНАЯ частота кадров (по умолчанию)"},
                                                 {1010, "Для анализа АРТИКУЛЯЦИИ"},
                                                 {1011, "Для анализа ГОЛОСА"},
                                                 {1019, "Установить"},
                                                 {1021, "Установить"},
                                                 {1023, "Установить"}};
    for (const auto& [id, t] : texts)
        EXPECT_EQ(ctl<QPushButton>(dlg.get(), id)->text(), QString::fromUtf8(t)) << id;
    EXPECT_TRUE(ctl<QPushButton>(dlg.get(), 1)->isDefault());
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, PresetsAt44100) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);

    click(dlg.get(), 1009);
    EXPECT_EQ(dlg->m_nStepSamples, 64);
    EXPECT_EQ(text(dlg.get(), 1016), "1.591549");
    EXPECT_EQ(text(dlg.get(), 1017), "1.600000");
    EXPECT_NEAR(dlg->m_dSonelFreqHz, 68.5423, 5e-5);
    EXPECT_NEAR(number(dlg.get(), 1018), static_cast<double>(44100.0L / (2 * kPiL * 102.4L)), 1e-12);
    EXPECT_NEAR(number(dlg.get(), 1022), 2.32199, 1e-5);

    click(dlg.get(), 1010);
    EXPECT_EQ(dlg->m_nStepSamples, 13);
    EXPECT_EQ(text(dlg.get(), 1018), "150");
    EXPECT_EQ(text(dlg.get(), 1016), "3.482993");
    EXPECT_EQ(text(dlg.get(), 1017), "3.599350");

    click(dlg.get(), 1011);
    // The preset proposes 755; a sonel of 20 Hz spans only 350.95 samples.
    EXPECT_EQ(dlg->m_nStepSamples, 350);
    EXPECT_EQ(text(dlg.get(), 1018), "20");
    EXPECT_EQ(text(dlg.get(), 1016), "0.464399");
    EXPECT_EQ(text(dlg.get(), 1017), "1.002676");
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / (40 * kPiL) / 350));
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, RateChangesResetTheGrid) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 150.0, 13);
    auto* combo = ctl<QComboBox>(dlg.get(), 1004);

    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(dlg->m_nLevel, 1);
    EXPECT_EQ(combo->currentText(), "22050.000");
    EXPECT_NEAR(dlg->m_dSonelFreqHz, 34.27116, 5e-6);
    EXPECT_NEAR(number(dlg.get(), 1018), static_cast<double>(22050.0L / (2 * kPiL * 102.4L)), 1e-12);
    EXPECT_EQ(dlg->m_nStepSamples, 64);
    EXPECT_EQ(text(dlg.get(), 1016), "1.591549");
    EXPECT_EQ(text(dlg.get(), 1017), "1.600000");

    // 11025 Hz, then the articulation preset: P = 13.93 > 5, 3 stands in, step 3.
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(dlg->m_nLevel, 2);
    EXPECT_EQ(dlg->m_nStepSamples, 64);
    click(dlg.get(), 1010);
    EXPECT_EQ(dlg->m_nStepSamples, 3);
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(150.0L / (11025.0L / 1024)));
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(11025.0L / (300 * kPiL) / 3));

    // Choosing the last rate from the open list with the mouse.
    combo->showPopup();
    QListView* list = qobject_cast<QListView*>(combo->view());
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    const QRect item = list->visualRect(combo->model()->index(7, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(dlg->m_nLevel, 7);
    EXPECT_EQ(combo->currentText(), "344.531");
    EXPECT_EQ(dlg->m_nStepSamples, 64);
    EXPECT_NEAR(dlg->m_dSonelFreqHz, static_cast<double>(344.53125L / (2 * kPiL * 102.4L)), 1e-13);
    EXPECT_EVENTUALLY(!list->window()->isVisible(), 5000);
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, TypedRateTextKeepsTheLastLevel) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 3, 79.3817, 88);
    auto* combo = ctl<QComboBox>(dlg.get(), 1004);
    EXPECT_EQ(combo->currentText(), "5512.500");
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    QTest::keyClick(combo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(combo, "12345");
    EXPECT_EQ(combo->currentText(), "12345");
    click(dlg.get(), 1019);  // UpdateReadouts runs; the level stays 3 (5512.5 Hz)
    EXPECT_EQ(dlg->m_nLevel, 3);
    EXPECT_EQ(dlg->m_nStepSamples, static_cast<int>(5512.5L / (2 * kPiL * 79.3817L)));
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(79.3817L / (5512.5L / 1024)));
    // Enter in the combo presses OK; the level is still a layer of the film.
    QTest::mouseClick(combo->lineEdit(), Qt::LeftButton);
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    QTest::keyClick(combo, Qt::Key_Return);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
    EXPECT_EQ(dlg->m_nLevel, 3);
}

TEST_F(KDialogSelectPASfilmTest, SizeButtonsTieTheThreeSizes) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);

    type(dlg.get(), 1020, "500");
    click(dlg.get(), 1021);
    EXPECT_EQ(dlg->m_dSonelTimeHz, 500.0);
    EXPECT_NEAR(dlg->m_dSonelFreqHz, static_cast<double>(500 / (2 * kPiL)), 1e-12);
    EXPECT_DOUBLE_EQ(dlg->m_dSonelTimeMs, 2.0);
    EXPECT_EQ(text(dlg.get(), 1022), "2");
    // 44100 / 500 = 88.2 samples per sonel; the step 88 still fits.
    EXPECT_EQ(dlg->m_nStepSamples, 88);
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / 500 / 88));

    type(dlg.get(), 1022, "10");
    click(dlg.get(), 1023);
    EXPECT_DOUBLE_EQ(dlg->m_dSonelTimeHz, 100.0);
    EXPECT_NEAR(dlg->m_dSonelFreqHz, static_cast<double>(100 / (2 * kPiL)), 1e-12);
    EXPECT_EQ(dlg->m_nStepSamples, 88);  // 441 samples per sonel

    type(dlg.get(), 1018, "1000");
    click(dlg.get(), 1019);
    EXPECT_NEAR(dlg->m_dSonelTimeHz, static_cast<double>(2000 * kPiL), 1e-9);
    // 44100 / (2000 pi) = 7.02 samples: the step drops to 7.
    EXPECT_EQ(dlg->m_nStepSamples, 7);
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(1000.0L / (44100.0L / 1024)));
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, ValidationMessagesKeepTheFocusOnTheField) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    MessageCapture messages;
    auto* freq = ctl<QLineEdit>(dlg.get(), 1018);

    // Not a number: the member keeps its value, the computation goes on with it.
    type(dlg.get(), 1018, "abc");
    type(dlg.get(), 1020, "1");  // not read: the exchange stops at 1018
    click(dlg.get(), 1019);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(), "Enter a number.");
    EXPECT_EQ(dlg->m_dSonelFreqHz, 79.3817);
    EXPECT_NEAR(dlg->m_dSonelTimeHz, static_cast<double>(2 * kPiL * 79.3817L), 1e-11);
    EXPECT_EQ(text(dlg.get(), 1018), "79.3817");
    EXPECT_TRUE(freq->hasFocus());

    // A decimal comma is not a number either, whatever the locale.
    type(dlg.get(), 1018, "68,5");
    click(dlg.get(), 1019);
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_EQ(messages.last(), "Enter a number.");

    // Out of range: the message names the bounds; the value is stored anyway.
    type(dlg.get(), 1018, "0");
    click(dlg.get(), 1019);
    ASSERT_EQ(messages.count(), 3u);
    EXPECT_EQ(messages.last(), "Enter a number between 1e-30 and 1e+30.");
    EXPECT_TRUE(freq->hasFocus());
    EXPECT_EQ(dlg->m_dSonelFreqHz, 0.0);
    // A size of zero: no span, no read-outs, the step still an integer of at least 1.
    EXPECT_EQ(text(dlg.get(), 1016), "?");
    EXPECT_EQ(text(dlg.get(), 1017), "?");
    EXPECT_EQ(dlg->m_nStepSamples, 88);

    type(dlg.get(), 1018, "-5");
    click(dlg.get(), 1019);
    EXPECT_EQ(messages.last(), "Enter a number between 1e-30 and 1e+30.");
    EXPECT_EQ(dlg->m_dSonelFreqHz, -5.0);
    EXPECT_EQ(text(dlg.get(), 1016), "?");
    EXPECT_EQ(text(dlg.get(), 1017), "?");
    clickUpDown(dlg.get(), false);
    EXPECT_EQ(dlg->m_nStepSamples, 87);
    for (int i = 0; i < 90; ++i) clickUpDown(dlg.get(), false);
    EXPECT_EQ(dlg->m_nStepSamples, 1);

    // OK keeps the dialog open on a failed check.
    messages.clear();
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    click(dlg.get(), 1);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(), "Enter a number between 1e-30 and 1e+30.");
    EXPECT_TRUE(freq->hasFocus());
    EXPECT_EQ(freq->selectedText(), "-5");

    // A valid size again: the read-outs come back. The field of B still holds
    // the B derived from -5 and is reported, but the computation goes on from
    // the new A and repairs it.
    type(dlg.get(), 1018, "1e6");
    click(dlg.get(), 1019);
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_EQ(messages.last(), "Enter a number between 1e-30 and 1e+30.");
    EXPECT_TRUE(ctl<QLineEdit>(dlg.get(), 1020)->hasFocus());
    EXPECT_EQ(dlg->m_dSonelFreqHz, 1e6);
    EXPECT_NEAR(number(dlg.get(), 1020), static_cast<double>(2e6 * kPiL), 1e-8);
    EXPECT_EQ(dlg->m_nStepSamples, 1);  // maxStep 0 gives 1
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(1e6L / (44100.0L / 1024)));
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / (2 * kPiL * 1e6L)));
    click(dlg.get(), 1);
    EXPECT_EQ(messages.count(), 2u);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(KDialogSelectPASfilmTest, TinySonelsKeepAnIntegerStep) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    MessageCapture messages;
    // 1e-6 Hz: 7.0e9 samples per sonel, beyond the int range.
    type(dlg.get(), 1018, "1e-6");
    click(dlg.get(), 1019);
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(dlg->m_nStepSamples, 88);
    EXPECT_EQ(text(dlg.get(), 1016), cFixed(1e-6L / (44100.0L / 1024)));
    // About 8e10 pixels along time: compared as a number, the last printed digits
    // depend on the rounding of each division.
    const double expected = static_cast<double>(44100.0L / (2 * kPiL * 1e-6L) / 88);
    EXPECT_NEAR(QString::fromStdString(text(dlg.get(), 1017)).toDouble(), expected, 1e-12 * expected);
    // The voice preset, then a size of 1e-30 Hz: still an integer step.
    click(dlg.get(), 1011);
    type(dlg.get(), 1018, "1e-30");
    click(dlg.get(), 1019);
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(dlg->m_nStepSamples, 350);
    clickUpDown(dlg.get(), true);
    EXPECT_EQ(dlg->m_nStepSamples, 351);
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, UpDownChangesTheStepByOnePerClick) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 86);  // maxStep 88
    clickUpDown(dlg.get(), true);
    EXPECT_EQ(dlg->m_nStepSamples, 87);
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / (2 * kPiL * 79.3817L) / 87));
    clickUpDown(dlg.get(), true);
    EXPECT_EQ(dlg->m_nStepSamples, 88);
    clickUpDown(dlg.get(), true);  // above maxStep: stays
    EXPECT_EQ(dlg->m_nStepSamples, 88);
    clickUpDown(dlg.get(), false);
    EXPECT_EQ(dlg->m_nStepSamples, 87);

    // The arrow keys work while the control has the focus.
    auto* ud = ctl<StepUpDown>(dlg.get(), 1015);
    QTest::keyClick(ud, Qt::Key_Down);
    EXPECT_EQ(dlg->m_nStepSamples, 86);
    QTest::keyClick(ud, Qt::Key_Up);
    EXPECT_EQ(dlg->m_nStepSamples, 87);

    // Down to 1 and no further.
    click(dlg.get(), 1010);  // step 13
    for (int i = 0; i < 12; ++i) clickUpDown(dlg.get(), false);
    EXPECT_EQ(dlg->m_nStepSamples, 1);
    clickUpDown(dlg.get(), false);
    EXPECT_EQ(dlg->m_nStepSamples, 1);
    EXPECT_EQ(text(dlg.get(), 1017), cFixed(44100.0L / (300 * kPiL)));
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, MonoFilmDisablesBothChannelButtons) {
    auto film = makeFilm(22050, 1);
    auto dlg = open(film.get(), 0, 0, 39.691, 88);
    EXPECT_FALSE(ctl<QPushButton>(dlg.get(), 1002)->isEnabled());
    EXPECT_FALSE(ctl<QPushButton>(dlg.get(), 1003)->isEnabled());
    EXPECT_TRUE(ctl<QPushButton>(dlg.get(), 1002)->isChecked());
    QTest::mouseClick(ctl<QPushButton>(dlg.get(), 1003), Qt::LeftButton);
    EXPECT_FALSE(ctl<QPushButton>(dlg.get(), 1003)->isChecked());
    EXPECT_EQ(ctl<QComboBox>(dlg.get(), 1004)->itemText(0), "22050.000");
    click(dlg.get(), 1);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->m_nChannel, 0);
}

TEST_F(KDialogSelectPASfilmTest, ChannelButtonsOfAStereoFilm) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    QTest::mouseClick(ctl<QPushButton>(dlg.get(), 1003), Qt::LeftButton);
    EXPECT_TRUE(ctl<QPushButton>(dlg.get(), 1003)->isChecked());
    EXPECT_FALSE(ctl<QPushButton>(dlg.get(), 1002)->isChecked());
    click(dlg.get(), 1);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(dlg->m_nChannel, 1);
}

TEST_F(KDialogSelectPASfilmTest, EnterInAFieldPressesOk) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    click(dlg.get(), 1011);  // step 350
    // A typed without "Установить" is returned as typed, with the step last shown;
    // a B typed into 1020 must not be applied (its button is not pressed).
    type(dlg.get(), 1018, "100");
    type(dlg.get(), 1020, "1000");
    QSignalSpy finished(dlg.get(), &QDialog::finished);
    QTest::keyClick(ctl<QLineEdit>(dlg.get(), 1020), Qt::Key_Return);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->m_dSonelFreqHz, 100.0);
    EXPECT_EQ(dlg->m_dSonelTimeHz, 1000.0);
    EXPECT_EQ(dlg->m_nStepSamples, 350);
    EXPECT_EQ(dlg->m_nLevel, 0);
    EXPECT_EQ(dlg->m_nChannel, 0);
}

TEST_F(KDialogSelectPASfilmTest, CancelAndEscapeReject) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    click(dlg.get(), 2);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->isVisible());

    // Reopened, the dialog starts again from the members.
    dlg->m_nLevel = 1;
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    EXPECT_EQ(ctl<QComboBox>(dlg.get(), 1004)->count(), 8);
    EXPECT_EQ(ctl<QComboBox>(dlg.get(), 1004)->currentIndex(), 1);
    QTest::keyClick(ctl<QLineEdit>(dlg.get(), 1018), Qt::Key_Escape);
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(KDialogSelectPASfilmTest, WithoutAFilmItSaysSoAndCloses) {
    MessageCapture messages;
    CKDialogSelectPASfilm dlg(nullptr);
    // A guard so that a dialog that failed to close cannot hang the suite.
    bool forced = false;
    QTimer::singleShot(5000, &dlg, [&] {
        forced = true;
        dlg.accept();
    });
    const int result = dlg.exec();
    EXPECT_FALSE(forced);
    EXPECT_EQ(result, QDialog::Rejected);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(), "Нет привязки к звуковому мультифильму. Диалоговое окно следует закрыть!");
}

TEST_F(KDialogSelectPASfilmTest, FixedTextsFitAndControlsLieInside) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 0, 79.3817, 88);
    const QRect inside = dlg->rect();
    int checked = 0;
    for (QWidget* w : dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible()) continue;
        EXPECT_TRUE(inside.contains(w->geometry())) << w->objectName().toStdString();
        const QFontMetrics fm(w->font());
        QString fixed;
        if (auto* l = qobject_cast<QLabel*>(w); l && l->objectName().isEmpty()) fixed = l->text();
        if (auto* b = qobject_cast<QPushButton*>(w)) fixed = b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) fixed = g->title();
        if (fixed.isEmpty()) continue;
        EXPECT_LE(fm.horizontalAdvance(fixed), w->width()) << fixed.toStdString();
        ++checked;
    }
    // 6 group boxes, 4 fixed statics and 10 push buttons.
    EXPECT_EQ(checked, 20);
    // The template's arrangement: OK top right, the channel buttons side by side,
    // the size fields one under the other, the up-down right of the time read-out.
    EXPECT_GT(ctl<QWidget>(dlg.get(), 1)->x(), ctl<QWidget>(dlg.get(), 1004)->geometry().right());
    EXPECT_EQ(ctl<QWidget>(dlg.get(), 1002)->y(), ctl<QWidget>(dlg.get(), 1003)->y());
    EXPECT_LT(ctl<QWidget>(dlg.get(), 1018)->y(), ctl<QWidget>(dlg.get(), 1020)->y());
    EXPECT_LT(ctl<QWidget>(dlg.get(), 1020)->y(), ctl<QWidget>(dlg.get(), 1022)->y());
    EXPECT_GT(ctl<QWidget>(dlg.get(), 1015)->x(), ctl<QWidget>(dlg.get(), 1017)->x());
    dlg->reject();
}

TEST_F(KDialogSelectPASfilmTest, OutOfRangeCallerLevelStaysALayer) {
    auto film = makeFilm(44100, 2);
    auto dlg = open(film.get(), 0, 9, 79.3817, 88);
    EXPECT_EQ(dlg->m_nLevel, 7);
    EXPECT_EQ(ctl<QComboBox>(dlg.get(), 1004)->currentIndex(), 7);
    dlg->reject();
}

namespace {

struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

}  // namespace

TEST_F(KDialogSelectPASfilmTest, NumbersUseADecimalPointInARussianLocale) {
    const QLocale savedQt;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const std::locale savedCpp = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const std::string savedC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "ru_RU.UTF-8");  // where the system has it
    {
        auto film = makeFilm(44100, 2);
        auto dlg = open(film.get(), 0, 3, 79.3817, 88);
        EXPECT_EQ(ctl<QComboBox>(dlg.get(), 1004)->itemText(3), "5512.500");
        click(dlg.get(), 1009);
        EXPECT_EQ(text(dlg.get(), 1016), "1.591549");
        EXPECT_EQ(text(dlg.get(), 1017), "1.600000");
        type(dlg.get(), 1018, "12.5");
        click(dlg.get(), 1019);
        EXPECT_EQ(dlg->m_dSonelFreqHz, 12.5);
        EXPECT_EQ(text(dlg.get(), 1018), "12.5");
        dlg->reject();
    }
    std::setlocale(LC_ALL, savedC.c_str());
    std::locale::global(savedCpp);
    QLocale::setDefault(savedQt);
}
