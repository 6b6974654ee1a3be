// An hour of stereo at 48 kHz in the viewer: it opens, scrolls to its end
// with the End key, decimates and shows layer 3. The file is sparse (silence
// but for a tone in its last second), yet its stores take some 11 GB of the
// temporary folder and filling them takes seconds, so the test runs only on
// request: FONAVID_LONG_RECORDING=1 and a temporary folder with the room.
#include <fcntl.h>
#include <unistd.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QScrollBar>
#include <chrono>
#include <cstdlib>

#include "FilmSpace.h"
#include "FonavidDoc.h"
#include "KDialogSelectPASfilm.h"
#include "KSonogramView.h"
#include "ResourceIds.h"
#include "ShellFixture.h"
#include "WhenModal.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrames = 3600u * kRate;

// A 16-bit stereo header for kFrames frames, the data left as a hole but
// for a 1 kHz tone in both channels in the last second.
bool WriteHourLongFile(const std::string& path) {
    testwav::Bytes b;
    b.tag("RIFF").u32(36u + 4u * kFrames).tag("WAVE");
    b.chunk("fmt ", testwav::Bytes::fmtPayload(1, 2, kRate, 16));
    b.tag("data").u32(4u * kFrames);
    if (!testwav::writeFile(path, b.data())) return false;
    const off_t data = static_cast<off_t>(b.size());
    if (truncate(path.c_str(), data + 4LL * kFrames) != 0) return false;
    std::vector<int16_t> tone(2 * kRate);
    for (uint32_t i = 0; i < kRate; ++i)
        tone[2 * i] = tone[2 * i + 1] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 1000.0 * i / kRate));
    const int fd = open(path.c_str(), O_WRONLY);
    if (fd < 0) return false;
    const auto bytes = static_cast<ssize_t>(tone.size() * sizeof(int16_t));
    const bool written =
        pwrite(fd, tone.data(), tone.size() * sizeof(int16_t), data + 4LL * (kFrames - kRate)) == bytes;
    return close(fd) == 0 && written;
}

using LongRecordingTest = ShellFixture;

}  // namespace

TEST_F(LongRecordingTest, AnHourOfStereoOpensScrollsToItsEndDecimatesAndShowsLayerThree) {
    if (std::getenv("FONAVID_LONG_RECORDING") == nullptr) GTEST_SKIP() << "set FONAVID_LONG_RECORDING=1";
    unsigned long long freeBytes = 0;
    const long long needed = FilmSpace::GetRequiredBytes(kRate, 2, static_cast<int>(kFrames)) +
                             FilmSpace::GetDecimatedBytes(kRate, 2, static_cast<int>(kFrames)) +
                             4LL * kFrames;
    ASSERT_TRUE(FilmSpace::GetFreeBytes(dir.path(), freeBytes));
    if (freeBytes < static_cast<unsigned long long>(needed) + (1ull << 30)) GTEST_SKIP() << "too little room";
    const std::string path = dir.file("hour.wav");
    ASSERT_TRUE(WriteHourLongFile(path));

    QElapsedTimer clock;
    clock.start();
    OpenWithKeyboard(path);
    EXPECT_EQ(messages.count(), 0u) << messages.last();
    CChildFrame* child = frame->GetActiveFrame();
    ASSERT_NE(child, nullptr);
    auto* pane = dynamic_cast<CKSonogramView*>(child->GetPane(1));
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(pane));
    pane->repaint();
    std::printf("open and first paint: %lld ms\n", static_cast<long long>(clock.restart()));
    auto* doc = dynamic_cast<CFonavidDoc*>(child->GetDocument());
    ASSERT_NE(doc, nullptr);
    CKMultiWaveFilm& film = doc->m_film;
    EXPECT_EQ(film.GetMainKWave(1)->GetNSamples(), static_cast<long>(kFrames));
    EXPECT_EQ(dir.tempSignalFiles().size(), 2u);  // layer 0 only
    // The tone of the last second is where the file has it.
    EXPECT_NEAR(film.GetMainKWave(1)->GetFirstComplexSample()[kFrames - kRate + 12].re,
                std::round(10000 * std::sin(2 * M_PI * 1000.0 * 12 / kRate)) / 32768.0, 1e-12);

    const int last = pane->GetColumnCount() - 1;
    ASSERT_GT(last, 1000000);
    QTest::keyClick(Target(frame), Qt::Key_End);
    EXPECT_EQ(pane->GetCursor().x(), last);
    EXPECT_EQ(pane->GetScrollPosition().x(), pane->horizontalScrollBar()->maximum());
    pane->repaint();
    std::printf("end and paint: %lld ms\n", static_cast<long long>(clock.restart()));

    ASSERT_TRUE(pane->OnCommand(res::ID_CALCULATE_DECIMATED));
    EXPECT_TRUE(film.GetDecimateWaveAreCalculated());
    EXPECT_EQ(dir.tempSignalFiles().size(), 16u);
    std::printf("decimation: %lld ms\n", static_cast<long long>(clock.restart()));
    WhenModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CKDialogSelectPASfilm*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->m_comboRate->setCurrentIndex(3);
        dialog->accept();
    });
    ASSERT_TRUE(pane->OnCommand(res::ID_TUNE_PAS_FILM));
    ASSERT_EQ(pane->GetWave(), film.GetKWave(3, 0));
    EXPECT_EQ(pane->GetWave()->GetNSamples(), static_cast<long>(kFrames >> 3));
    // Layer 3 keeps the tone: its last second is far from silent.
    double energy = 0.0;
    const KCOMPLEX_KFLOAT* layer3 = pane->GetWave()->GetFirstComplexSample();
    for (long i = (kFrames - kRate / 2) >> 3; i < static_cast<long>(kFrames >> 3) - 100; ++i)
        energy += layer3[i].re * layer3[i].re;
    EXPECT_GT(energy, 10.0);
    QTest::keyClick(Target(frame), Qt::Key_End);
    pane->repaint();
    std::printf("layer 3 shown: %lld ms\n", static_cast<long long>(clock.restart()));
    EXPECT_EQ(messages.count(), 0u);
}
