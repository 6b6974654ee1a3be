// Playback through a real sound server (the one .ci/run starts with a null
// sink, reached through PULSE_SERVER), driven by the real keys of the main
// window; and, in a child process pointed at no server, the commands
// disabled with their one status message and nothing waiting.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <cstdlib>

#include "FonavidDoc.h"
#include "KFGTransformerView.h"
#include "KSonogramView.h"
#include "KWave.h"
#include "PlaybackController.h"
#include "PlaybackIcons.h"
#include "PlayheadMapping.h"
#include "ResourceIds.h"
#include "ShellFixture.h"

namespace {

const char kChildVariable[] = "FONAVID_PLAYBACK_NO_SERVER_CHILD";

class PlaybackTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        if (!CPlaybackController::Instance().IsAvailable()) {
            GTEST_SKIP() << "no sound server answers (PULSE_SERVER="
                         << qPrintable(qEnvironmentVariable("PULSE_SERVER"))
                         << "): ./test.sh starts one with a null sink";
        }
    }
    void TearDown() override {
        CPlaybackController::Instance().Stop();
        ShellFixture::TearDown();
    }

    // Opens the chirp sample (22050 Hz, mono, 2 s) and returns its upper sonogram pane.
    CKSonogramView* OpenChirp() {
        OpenWithKeyboard(std::string(FONAVID_SAMPLES_DIR) + "/chirp.wav");
        auto* child = frame->GetActiveFrame();
        if (child == nullptr) return nullptr;
        doc = static_cast<CFonavidDoc*>(child->GetDocument());
        return dynamic_cast<CKSonogramView*>(child->GetPane(1));
    }

    bool Enabled(int id) {
        frame->UpdateCommandStates();
        return frame->GetActions().Find(id)->isEnabled();
    }

    CFonavidDoc* doc = nullptr;
};

TEST_F(PlaybackTest, HalfASecondOfTheChirpGoesThroughTheSinkAndTheHeadReachesItsColumn) {
    CKSonogramView* pane = OpenChirp();
    ASSERT_NE(pane, nullptr);
    CPlaybackController& playback = CPlaybackController::Instance();
    QSignalSpy finished(&playback, &CPlaybackController::finished);
    QSignalSpy moved(&playback, &CPlaybackController::playheadMoved);
    doc->SetTimeFrequencyCursor(0.25, 1000.0);
    const double cursorBefore = doc->GetTimeFrequencyCursor().time;
    ASSERT_TRUE(playback.Play(doc, 0.25, 0.75));
    const long start = doc->GetFilm()->GetMainKWave(0)->GetSampleNumberFromTime(0.25);
    const long frames = 11025;  // 0.5 s at 22050 Hz
    EXPECT_EQ(playback.GetFormat().sampleRate(), 22050) << "a null sink takes the file's own rate";
    EXPECT_EQ(playback.GetFormat().channelCount(), 1);
    // The pane shows the play-head while the sound runs, moving right.
    QTRY_VERIFY_WITH_TIMEOUT(
        pane->GetPlayheadColumn() >
            PlayheadMapping::Column(start, 0, pane->GetStepSamples(), pane->GetColumnCount()),
        5000);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    EXPECT_EQ(finished[0][0].toLongLong(), frames * playback.GetFormat().bytesPerFrame());
    EXPECT_GE(finished[0][1].toLongLong(), 500000 - 1000) << "the sink processed the whole half second";
    ASSERT_FALSE(moved.isEmpty());
    long last = -1;
    for (const QList<QVariant>& m : moved) {
        EXPECT_GT(m[0].value<long>(), last) << "the play-head only moves forward";
        last = m[0].value<long>();
    }
    EXPECT_EQ(last, start + frames);
    // Column of the last sample: floor(n / S + 1/2) in the pane's own grid.
    const int step = pane->GetStepSamples();
    EXPECT_EQ(PlayheadMapping::Column(last, 0, step, pane->GetColumnCount()),
              (2 * (start + frames) + step) / (2 * step));
    EXPECT_EQ(pane->ColumnFromTime(0.75), (2 * (start + frames) + step) / (2 * step));
    // The play-head went with the end; the cursor stayed.
    EXPECT_EQ(pane->GetPlayheadColumn(), -1);
    EXPECT_EQ(doc->GetPlayheadSample(), -1);
    EXPECT_DOUBLE_EQ(doc->GetTimeFrequencyCursor().time, cursorBefore);
    EXPECT_GE(playback.GetStartLatencyMs(), 0);
}

TEST_F(PlaybackTest, SpaceEscAndEnterStartAndStopFromTheKeyboard) {
    CKSonogramView* pane = OpenChirp();
    ASSERT_NE(pane, nullptr);
    CPlaybackController& playback = CPlaybackController::Instance();
    doc->SetTimeFrequencyCursor(0.1, 1000.0);
    EXPECT_TRUE(Enabled(res::ID_PLAY_VISIBLE));
    EXPECT_TRUE(Enabled(res::ID_PLAY_TO_END));
    EXPECT_FALSE(Enabled(res::ID_PLAY_STOP));
    EXPECT_FALSE(Enabled(res::ID_PLAY_STOP_AT_HEAD));

    // Space plays, Space stops; the cursor stays.
    QTest::keyClick(frame, Qt::Key_Space);
    EXPECT_TRUE(playback.IsPlaying());
    EXPECT_TRUE(Enabled(res::ID_PLAY_STOP));
    QTRY_VERIFY_WITH_TIMEOUT(doc->GetPlayheadSample() > 2205 + 400, 5000);
    QTest::keyClick(frame, Qt::Key_Space);
    EXPECT_FALSE(playback.IsPlaying());
    EXPECT_EQ(pane->GetPlayheadColumn(), -1);
    EXPECT_DOUBLE_EQ(doc->GetTimeFrequencyCursor().time, 0.1);

    // Shift+Space plays to the end of the file; Esc stops.
    QTest::keyClick(frame, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_TRUE(playback.IsPlaying());
    EXPECT_EQ(playback.GetMapping().GetEndSample(), doc->GetFilm()->GetMainKWave(0)->GetNSamples());
    QTest::keyClick(frame, Qt::Key_Escape);
    EXPECT_FALSE(playback.IsPlaying());
    EXPECT_DOUBLE_EQ(doc->GetTimeFrequencyCursor().time, 0.1);

    // Enter stops and brings the cursor to where the sound was.
    QTest::keyClick(frame, Qt::Key_Space, Qt::ShiftModifier);
    QTRY_VERIFY_WITH_TIMEOUT(doc->GetPlayheadSample() > 2205 + 2000, 5000);
    const long reached = doc->GetPlayheadSample();
    QTest::keyClick(frame, Qt::Key_Return);
    EXPECT_FALSE(playback.IsPlaying());
    EXPECT_GE(doc->GetTimeFrequencyCursor().time, reached / 22050.0 - 1e-9);
    EXPECT_LT(doc->GetTimeFrequencyCursor().time, reached / 22050.0 + 0.2);
    EXPECT_EQ(pane->GetCursor().x(), pane->ColumnFromTime(doc->GetTimeFrequencyCursor().time));
}

TEST_F(PlaybackTest, ClosingThePlayingDocumentStopsFirst) {
    ASSERT_NE(OpenChirp(), nullptr);
    ASSERT_TRUE(CPlaybackController::Instance().Play(doc, 0.0, 2.0));
    QTRY_VERIFY_WITH_TIMEOUT(doc->GetPlayheadSample() > 0, 5000);
    Trigger(res::ID_FILE_CLOSE);
    QTRY_COMPARE_WITH_TIMEOUT(DocumentCount(), size_t{0}, 5000);
    EXPECT_FALSE(CPlaybackController::Instance().IsPlaying());
}

// Runs only inside the child that NoServer starts.
class PlaybackNoServerChild : public ShellFixture {};

TEST_F(PlaybackNoServerChild, CommandsDisabledAndTold) {
    if (qEnvironmentVariableIsEmpty(kChildVariable))
        GTEST_SKIP() << "run by PlaybackNoServer in a child process";
    QSignalSpy shown(frame->statusBar(), &QStatusBar::messageChanged);
    OpenWithKeyboard(Wav("tone.wav"));
    ASSERT_EQ(DocumentCount(), 1u);
    frame->UpdateCommandStates();
    for (int id : {res::ID_PLAY_VISIBLE, res::ID_PLAY_TO_END, res::ID_PLAY_STOP, res::ID_PLAY_STOP_AT_HEAD}) {
        EXPECT_FALSE(frame->GetActions().Find(id)->isEnabled()) << id;
    }
    int told = 0;
    for (const QList<QVariant>& s : shown)
        told += s[0].toString() == QString::fromUtf8(CPlaybackController::kNoDeviceText);
    EXPECT_EQ(told, 1);
    QTest::keyClick(frame, Qt::Key_Space);
    QTest::keyClick(frame, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_FALSE(CPlaybackController::Instance().IsPlaying());
    frame->UpdateCommandStates();
    told = 0;
    for (const QList<QVariant>& s : shown)
        told += s[0].toString() == QString::fromUtf8(CPlaybackController::kNoDeviceText);
    EXPECT_EQ(told, 1) << "said once";
}

TEST(PlaybackNoServer, CommandsAreDisabledAndNothingWaits) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/fonavid-no-server"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=PlaybackNoServerChild.*")});
    ASSERT_TRUE(child.waitForFinished(60000)) << "the child hung";
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << qPrintable(output);
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << qPrintable(output);
}

// The play-head is drawn from the document alone, so no sound server is needed.
class PlayheadDrawing : public ShellFixture {
protected:
    static bool IsPlayheadColour(QRgb c) { return (c & 0xFFFFFFu) == 0x00FFFFu; }
    static bool IsBlack(QRgb c) { return (c & 0xFFFFFFu) == 0u; }
};

TEST_F(PlayheadDrawing, ShowsInEverySonogramModeAndAcrossTheFgtRows) {
    OpenWithKeyboard(std::string(FONAVID_SAMPLES_DIR) + "/chirp.wav");
    CChildFrame* child = frame->GetActiveFrame();
    ASSERT_NE(child, nullptr);
    auto* doc = static_cast<CFonavidDoc*>(child->GetDocument());
    auto* pane = dynamic_cast<CKSonogramView*>(child->GetPane(1));
    auto* fgt = dynamic_cast<CKFGTransformerView*>(child->GetPane(0));
    ASSERT_NE(pane, nullptr);
    ASSERT_NE(fgt, nullptr);
    doc->SetTimeFrequencyCursor(1.0, 1000.0);
    // 10 ms after the cursor: near enough for the fine rows at the top of the
    // FGT pane, which spread a millisecond over tens of pixels.
    const long sample = 22050 + 220;
    doc->SetPlayhead(sample);
    const int column = (2 * sample + pane->GetStepSamples()) / (2 * pane->GetStepSamples());
    ASSERT_EQ(pane->GetPlayheadColumn(), column);
    const int x = column - pane->GetScrollPosition().x();
    ASSERT_GE(x, 0);
    ASSERT_LT(x, pane->viewport()->width());
    child->SetActiveView(pane);
    for (int id :
         {res::ID_SONOGRAM_AMPLITUDE, res::ID_SONOGRAM_AM, res::ID_SONOGRAM_FM, res::ID_SONOGRAM_INVERTED}) {
        Trigger(id);
        const QImage image = pane->viewport()->grab().toImage();
        int dashes = 0;
        int ground = 0;
        for (int y = 0; y < std::min(image.height(), 512); ++y) {
            dashes += IsPlayheadColour(image.pixel(x, y));
            ground += IsBlack(image.pixel(x, y));
        }
        // Cyan dashes on black along the whole column, in every mode.
        EXPECT_GT(dashes, image.height() / 3) << id;
        EXPECT_GT(ground, image.height() / 3) << id;
    }
    // The FGT: row i shows the value at time k·σ_i in column k, drawn at
    // x = mid - trunc(tc/σ_i) + k; the play-head crosses each row there.
    ASSERT_TRUE(fgt->OnCommand(res::ID_FGT_CALCULATE));
    ASSERT_TRUE(fgt->m_bReady);
    const QImage image = fgt->viewport()->grab().toImage();
    const int mid = fgt->viewport()->width() / 2;
    int crossed = 0;
    int cyan = 0;
    for (int i = 0; i < fgt->m_nRows; ++i) {
        const int y = fgt->m_nRows - i;
        const double sigma = fgt->m_pSigmaT[i];
        const double xr =
            mid - std::trunc(1.0 / sigma) + std::trunc(static_cast<double>(sample) / 22050 / sigma);
        if (y < 0 || y >= image.height() || xr < 0 || xr >= image.width()) continue;
        const QRgb c = image.pixel(static_cast<int>(xr), y);
        EXPECT_TRUE(IsPlayheadColour(c) || IsBlack(c)) << "row " << i;
        ++crossed;
        cyan += IsPlayheadColour(c);
    }
    EXPECT_GT(crossed, 20) << fgt->m_nRows << " rows, " << image.width() << "x" << image.height()
                           << ", sigma " << fgt->m_pSigmaT[0] << " .. " << fgt->m_pSigmaT[fgt->m_nRows - 1];
    EXPECT_GT(cyan, crossed / 4) << "the dashes show, not only black";
    // No play-head once playback is over.
    doc->SetPlayhead(-1);
    EXPECT_EQ(pane->GetPlayheadColumn(), -1);
    EXPECT_TRUE(fgt->PlayheadPoints().isEmpty());
}

TEST(PlaybackIcons, AreScalableDrawingsInTheResources) {
    for (int id : {res::ID_PLAY_VISIBLE, res::ID_PLAY_TO_END, res::ID_PLAY_STOP}) {
        const QIcon icon = res::PlaybackIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        EXPECT_TRUE(QFile::exists(res::PlaybackIconPath(id))) << id;
        for (int size : {16, 48}) {
            // Drawn at every size, not scaled from one bitmap: the picture
            // fills the larger square too, with opaque and clear pixels.
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.width(), size) << id;
            int opaque = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, y)) == 255;
            }
            EXPECT_GT(opaque, size * size / 8) << id << " at " << size;
            EXPECT_LT(opaque, size * size) << id << " at " << size;
        }
    }
    EXPECT_TRUE(res::PlaybackIcon(res::ID_FILE_OPEN).isNull());
}

}  // namespace
