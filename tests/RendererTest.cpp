// The renderer against the viewer's own panes: for the same file and the same
// settings, the picture Renderer::Render makes is compared pixel for pixel
// with the grabbed viewports of a sonogram pane (N/2 + 1 rows high, as wide as
// the time range, scrolled to its first column) and, with the FGT on, of an FGT
// pane above it (rows + 1 high, the document's cursor at the middle of the
// range). The panes are set up through their own commands and dialog, on a
// document of their own, so loading, binding and drawing are compared too.
#include "Renderer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "DocFolderFixture.h"
#include "FGTComputation.h"
#include "FGTOnDemand.h"
#include "FonavidDoc.h"
#include "KDialogSelectPASfilm.h"
#include "KFGTransformerView.h"
#include "KSonogramView.h"
#include "KWave.h"
#include "MessageCapture.h"
#include "OutputFile.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "WavWriter.h"
#include "WhenModal.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);

QPushButton* ButtonWithText(QWidget* dialog, const char* text) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == QString::fromUtf8(text)) return button;
    return nullptr;
}

// Speech-like material: harmonics of a wandering pitch, a formant-like
// emphasis, a click train and some noise, so that every grey and tint occurs.
std::vector<int16_t> Voice(int rate, int frames, int channels, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(frames) * channels);
    double phase = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double pitch = 140.0 + 60.0 * std::sin(2.0 * kPi * 0.7 * t);
        phase += 2.0 * kPi * pitch / rate;
        double left = 0.0;
        for (int h = 1; h <= 12; ++h)
            left += std::sin(h * phase) * 3000.0 / h * (h == 4 || h == 5 ? 3.0 : 1.0);
        if (i % 997 == 0) left += 12000.0;
        left += noise(random);
        const double right =
            9000.0 * std::sin(2.0 * kPi * 1000.0 * t) * (0.6 + 0.4 * std::sin(2.0 * kPi * 3 * t)) +
            noise(random);
        samples.push_back(static_cast<int16_t>(std::lround(std::clamp(left, -32000.0, 32000.0))));
        if (channels == 2) samples.push_back(static_cast<int16_t>(std::lround(right)));
    }
    return samples;
}

class RendererTest : public DocFolderFixture {
protected:
    static constexpr int kRate = 8000;

    void TearDown() override {
        m_sonogram.reset();
        m_fgt.reset();
        m_doc.reset();
        DocFolderFixture::TearDown();
        EXPECT_TRUE(m_temp.tempSignalFiles().empty()) << "signal files left behind";
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }

    std::string WriteVoice(double seconds, int channels = 1) {
        const std::string path = m_files.file("voice.wav");
        const int frames = static_cast<int>(seconds * kRate);
        EXPECT_TRUE(testwav::writeFile(
            path, testwav::pcm16(kRate, static_cast<uint16_t>(channels), Voice(kRate, frames, channels, 7))));
        return path;
    }

    // The renderer's picture; the renderer's document is gone when it returns.
    QImage Render(const RenderOptions& options) {
        Renderer renderer;
        QImage picture;
        EXPECT_TRUE(renderer.Render(options, picture)) << m_messages.last();
        m_renderedFirstColumn = renderer.GetFirstColumn();
        return picture.convertToFormat(QImage::Format_RGB32);
    }

    // Opens the file in a document of the panes' own.
    void OpenDocument(const std::string& path) {
        m_doc = std::make_unique<CFonavidDoc>();
        ASSERT_TRUE(m_doc->OnOpenDocument(path));
    }

    // Shows `view` bound to the document with a viewport of exactly `width` x `height`.
    // The scroll bars stay off so that they cannot take a part of the viewport.
    template <typename View>
    void ShowPane(View* view, int width, int height) {
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->resize(width, height);
        m_doc->AddView(view);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
        view->OnInitialUpdate();
        SizeViewport(view, width, height);
    }

    static void SizeViewport(QAbstractScrollArea* view, int width, int height) {
        const QSize viewport = view->viewport()->size();
        view->resize(view->width() + (width - viewport.width()),
                     view->height() + (height - viewport.height()));
        QCoreApplication::processEvents();
        ASSERT_EQ(view->viewport()->size(), QSize(width, height));
    }

    // A sonogram pane of `width` columns and N/2 + 1 rows; `tune` sets it up
    // through its commands before it is sized.
    CKSonogramView* SonogramPane(int width) {
        m_sonogram = std::make_unique<CKSonogramView>();
        ShowPane(m_sonogram.get(), width, 513);
        return m_sonogram.get();
    }

    void ResizeSonogramPane(int width) { SizeViewport(m_sonogram.get(), width, 513); }

    // The columns of the pane's signal from `start` seconds (nearest column)
    // to the end.
    static std::pair<int, int> RangeOf(CKSonogramView* view, double start) {
        const double rate = view->GetWave()->GetFrADC();
        const int step = view->GetStepSamples();
        const int columns = static_cast<int>(view->GetWave()->GetNSamples() / step);
        const int first = static_cast<int>(start * rate / step + 0.5);
        return {first, columns - first};
    }

    // The grabbed sonogram pane scrolled to `x0`, without the blinking cross.
    QImage GrabSonogram(int x0) {
        CKSonogramView* view = m_sonogram.get();
        view->ScrollToPosition(QPoint(x0, 0));
        QCoreApplication::processEvents();
        EXPECT_EQ(view->GetScrollPosition(), QPoint(x0, 0));
        view->EraseCursor();
        return view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Checks that `picture` equals `expected` pixel for pixel and is no blank.
    static void ExpectSamePixels(const QImage& picture, const QImage& expected) {
        ASSERT_EQ(picture.size(), expected.size());
        long differences = 0;
        QPoint first(-1, -1);
        std::set<QRgb> colours;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = picture.pixel(x, y) & 0xFFFFFFu;
                const QRgb b = expected.pixel(x, y) & 0xFFFFFFu;
                colours.insert(b);
                if (a != b) {
                    if (differences == 0) first = QPoint(x, y);
                    ++differences;
                }
            }
        }
        EXPECT_EQ(differences, 0) << "first at " << first.x() << "," << first.y() << ": rendered " << std::hex
                                  << (picture.pixel(first) & 0xFFFFFFu) << ", pane "
                                  << (expected.pixel(first) & 0xFFFFFFu);
        EXPECT_GT(colours.size(), 40u) << "a picture of a few colours proves little";
    }

    // The renderer's picture for `options` against a pane set up by `tune`
    // on a fresh document of the same file.
    void CompareSonogram(RenderOptions options, const std::function<void(CKSonogramView*)>& tune,
                         double start = 0.0) {
        const QImage picture = Render(options);
        OpenDocument(options.input);
        CKSonogramView* view = SonogramPane(200);
        tune(view);
        const auto [x0, width] = RangeOf(view, start);
        ASSERT_GT(width, 50);
        EXPECT_EQ(m_renderedFirstColumn, x0);
        ResizeSonogramPane(width);
        ExpectSamePixels(picture, GrabSonogram(x0));
    }

    std::unique_ptr<CFonavidDoc> m_doc;
    std::unique_ptr<CKSonogramView> m_sonogram;
    std::unique_ptr<CKFGTransformerView> m_fgt;
    int m_renderedFirstColumn = -1;
};

RenderOptions Options(const std::string& input) {
    RenderOptions options;
    options.input = input;
    options.output = "unused.png";
    return options;
}

}  // namespace

TEST_F(RendererTest, DefaultsAreThePanesPixels) {
    const RenderOptions options = Options(WriteVoice(3.0));
    CompareSonogram(options, [](CKSonogramView* view) {
        EXPECT_EQ(view->GetStepSamples(), 88);
        EXPECT_EQ(view->GetMode(), 1);
    });
    const QImage picture = Render(options);
    EXPECT_EQ(picture.size(), QSize(3 * kRate / 88, 513));
    EXPECT_EQ(picture.pixel(10, 0) & 0xFFFFFFu, 0x3F3F3Fu) << "the line above the image";
}

TEST_F(RendererTest, AMModeIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.mode = static_cast<sonogram::SonogramMode>(2);
    CompareSonogram(options, [](CKSonogramView* view) {
        ASSERT_TRUE(view->OnCommand(res::ID_SONOGRAM_AM));
        EXPECT_EQ(view->GetMode(), 2);
    });
}

TEST_F(RendererTest, InvertedModeIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.mode = static_cast<sonogram::SonogramMode>(9);
    CompareSonogram(options, [](CKSonogramView* view) {
        ASSERT_TRUE(view->OnCommand(res::ID_SONOGRAM_INVERTED));
        EXPECT_EQ(view->GetMode(), 9);
    });
}

TEST_F(RendererTest, ChangedLevelsAreThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    // The pane's default lower level raised twice by 10 dB, the upper level
    // lowered once, in the order the commands add.
    const double lower = -20.0 * std::log10(std::pow(2.0, 16));
    options.upperLevel = 0.0 - 10.0;
    options.lowerLevel = (lower + 10.0) + 10.0;
    CompareSonogram(options, [](CKSonogramView* view) {
        ASSERT_TRUE(view->OnCommand(res::ID_UPPER_LEVEL_LOWER));
        ASSERT_TRUE(view->OnCommand(res::ID_LOWER_LEVEL_RAISE));
        ASSERT_TRUE(view->OnCommand(res::ID_LOWER_LEVEL_RAISE));
        EXPECT_EQ(view->GetUpperLevel(), -10.0);
    });
}

TEST_F(RendererTest, HighQualityDataIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.highQuality = true;
    CompareSonogram(options, [](CKSonogramView* view) {
        ASSERT_TRUE(view->OnCommand(res::ID_PREPARE_HIGH_QUALITY));
        EXPECT_TRUE(view->GetWave()->IsSignalRealyComplex());
        EXPECT_NEAR(view->GetUpperLevel(), 6.931472, 1e-6);
    });
}

TEST_F(RendererTest, DecimatedLayerIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(12.0));
    options.layer = 2;
    CompareSonogram(options, [this](CKSonogramView* view) {
        WhenModal([](QWidget* modal) {
            auto* dialog = qobject_cast<CKDialogSelectPASfilm*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->m_comboRate->setCurrentIndex(2);
            dialog->accept();
        });
        ASSERT_TRUE(view->OnCommand(res::ID_TUNE_PAS_FILM));
        ASSERT_EQ(view->GetWave(), m_doc->m_film.GetKWave(2, 0));
        EXPECT_EQ(view->GetWave()->GetFrADC(), kRate / 4.0);
    });
}

TEST_F(RendererTest, SecondChannelOfAStereoFileIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0, 2));
    options.channel = 2;
    CompareSonogram(options, [this](CKSonogramView* view) {
        WhenModal([](QWidget* modal) {
            QPushButton* right = ButtonWithText(modal, "Правый");
            ASSERT_NE(right, nullptr);
            QTest::mouseClick(right, Qt::LeftButton);
            static_cast<QDialog*>(modal)->accept();
        });
        ASSERT_TRUE(view->OnCommand(res::ID_TUNE_PAS_FILM));
        ASSERT_EQ(view->GetWave(), m_doc->m_film.GetKWave(0, 1));
    });
}

TEST_F(RendererTest, VoicePresetIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.preset = RenderOptions::Preset::Voice;
    CompareSonogram(options, [](CKSonogramView* view) {
        WhenModal([](QWidget* modal) {
            QPushButton* voice = ButtonWithText(modal, "Для анализа ГОЛОСА");
            ASSERT_NE(voice, nullptr);
            QTest::mouseClick(voice, Qt::LeftButton);
            static_cast<QDialog*>(modal)->accept();
        });
        ASSERT_TRUE(view->OnCommand(res::ID_TUNE_PAS_FILM));
        EXPECT_DOUBLE_EQ(view->GetSonelFreqHz(), 20.0);
    });
}

TEST_F(RendererTest, TimeRangeInsideTheFileIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(4.0));
    options.startSeconds = 1.3;
    options.mode = static_cast<sonogram::SonogramMode>(2);
    CompareSonogram(
        options, [](CKSonogramView* view) { ASSERT_TRUE(view->OnCommand(res::ID_SONOGRAM_AM)); }, 1.3);
    EXPECT_EQ(m_renderedFirstColumn, static_cast<int>(1.3 * kRate / 88 + 0.5));
}

TEST_F(RendererTest, EndOfTheRangeCutsTheColumns) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.startSeconds = 0.5;
    options.endSeconds = 2.0;
    const QImage picture = Render(options);
    // Columns nearest to 0.5 s and 2.0 s, the last one left out.
    EXPECT_EQ(m_renderedFirstColumn, static_cast<int>(0.5 * kRate / 88 + 0.5));
    EXPECT_EQ(picture.width(), static_cast<int>(2.0 * kRate / 88 + 0.5) - m_renderedFirstColumn);
}

TEST_F(RendererTest, FgtAboveTheSonogramIsThePanesPixels) {
    RenderOptions options = Options(WriteVoice(3.0));
    options.startSeconds = 0.6;
    options.fgt = true;
    options.fgtP = 2.0;
    const QImage picture = Render(options);
    OpenDocument(options.input);

    const int rows = fgt::RowCount(kRate);
    CKSonogramView* sonogram = SonogramPane(200);
    const auto [x0, width] = RangeOf(sonogram, 0.6);
    EXPECT_EQ(m_renderedFirstColumn, x0);
    ASSERT_EQ(picture.size(), QSize(width, rows + 1 + 513));

    m_fgt = std::make_unique<CKFGTransformerView>();
    ShowPane(m_fgt.get(), width, rows + 1);
    EXPECT_EQ(m_fgt->m_dP, 2.0);
    ASSERT_TRUE(m_fgt->OnCommand(res::ID_FGT_CALCULATE));
    ASSERT_TRUE(m_fgt->m_bReady);
    ASSERT_EQ(m_fgt->m_nRows, rows);
    // The cursor at the time of the middle column of the range.
    m_doc->SetTimeFrequencyCursor((x0 + width / 2) * 88.0 / kRate, 1000.0);
    QCoreApplication::processEvents();
    m_fgt->viewport()->grab();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_fgt->IsComputingFGT(); }, 20000));
    const QImage top = m_fgt->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);

    ResizeSonogramPane(width);
    const QImage bottom = GrabSonogram(x0);
    QImage expected(width, rows + 1 + 513, QImage::Format_RGB32);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < width; ++x)
            expected.setPixel(x, y, y <= rows ? top.pixel(x, y) : bottom.pixel(x, y - rows - 1));
    ExpectSamePixels(picture, expected);
    EXPECT_EQ(picture.pixel(width / 2, 1) & 0xFFFFFFu, 0xFF0000u) << "the centre line";
}

TEST_F(RendererTest, MissingSecondChannelIsRefused) {
    RenderOptions options = Options(WriteVoice(1.0));
    options.channel = 2;
    Renderer renderer;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_TRUE(picture.isNull());
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_NE(m_messages.last().find("канала 2 нет"), std::string::npos) << m_messages.last();
}

TEST_F(RendererTest, FgtRowsBeyondAnIndexAreExplainedOnce) {
    // A tiny P makes every row of the FGT astronomically long.
    RenderOptions options = Options(WriteVoice(1.0));
    options.fgt = true;
    options.fgtP = 1e-9;
    Renderer renderer;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_TRUE(picture.isNull());
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last().rfind("Слишком длинные строки FGT", 0), 0u) << m_messages.last();
}

TEST_F(RendererTest, FgtValuesWithoutMemoryAreTheOutOfMemoryMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not live under an address-space limit";
#endif
    // At P = 68 and 48000 Hz a job of the lowest rows needs tens of megabytes
    // for its kernel and the samples it reads, loading the second of signal
    // about ten. A child process renders under an address-space limit a few
    // megabytes above what it holds, raised step by step until the file
    // loads: then the values drawn are what runs short.
    const std::string path = m_files.file("tone48.wav");
    std::vector<int16_t> samples(48000);
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = static_cast<int16_t>(std::lround(8000.0 * std::sin(0.05 * static_cast<double>(n))));
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(48000, 1, samples)));
    RenderOptions options = Options(path);
    options.fgt = true;
    options.fgtP = 68.0;
    enum Outcome { kOutOfMemory = 0, kNoLimit = 10, kRendered = 11, kOtherMessage = 12 };
    int outcome = kOtherMessage;
    for (int headroomMiB = 8; headroomMiB <= 40 && outcome == kOtherMessage; headroomMiB += 4) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::ifstream statm("/proc/self/statm");
            double pages = 0.0;
            statm >> pages;
            struct rlimit limit {};
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(
                pages * static_cast<double>(sysconf(_SC_PAGESIZE)) + headroomMiB * 1048576.0);
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(kNoLimit);
            m_messages.clear();
            bool rendered = false;
            {
                Renderer renderer;
                QImage picture;
                rendered = renderer.Render(options, picture);
            }
            if (rendered) _exit(kRendered);
            const bool memory = m_messages.count() == 1 && m_messages.last() == FGTOnDemand::kOutOfMemoryText;
            _exit(memory ? kOutOfMemory : kOtherMessage);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        outcome = WEXITSTATUS(status);
    }
    EXPECT_EQ(outcome, kOutOfMemory);
}

TEST_F(RendererTest, PictureWiderThanAPngHoldsIsRefusedBeforeAnyPixel) {
    // One column per sample: a million and one columns.
    const std::string path = m_files.file("long.wav");
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(kRate, 1, std::vector<int16_t>(1000001, 100))));
    RenderOptions options = Options(path);
    options.stepSamples = 1;
    Renderer renderer;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_TRUE(picture.isNull());
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last().rfind("Картинка слишком велика: 1000001 × 513 точек", 0), 0u)
        << m_messages.last();
    options.endSeconds = 2.0;
    EXPECT_TRUE(renderer.Render(options, picture));
    EXPECT_EQ(picture.size(), QSize(16000, 513));
}

TEST_F(RendererTest, TooManyColumnsAreRefusedFromTheHeaderWithAdviceThatApplies) {
    // About 1.07e9 samples declared over a sparse file: the refusal comes
    // before any store is made or sample read. At sonel 100 Hz the step is at
    // most 8000 / (2 pi 100) = 12 samples, which still gives 89 million
    // columns, 214 million at a step of 5: the advice names what changes the
    // count.
    testwav::Bytes b;
    b.tag("RIFF").u32(0x7FFFFFF0u).tag("WAVE");
    b.chunk("fmt ", testwav::Bytes::fmtPayload(1, 1, kRate, 16));
    b.tag("data").u32(0x7FFFFFC0u);
    const std::string path = m_files.file("declared.wav");
    ASSERT_TRUE(testwav::writeFile(path, b.data()));
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(b.size()) + 0x7FFFFFC0LL), 0);
    for (const int step : {5, 12}) {
        m_messages.clear();
        RenderOptions options = Options(path);
        options.sonelFreqHz = 100.0;
        options.stepSamples = step;
        Renderer renderer;
        QImage picture;
        EXPECT_FALSE(renderer.Render(options, picture));
        EXPECT_EQ(renderer.GetDocument()->GetFilm()->GetMainKWave(0)->GetFirstComplexSample(), nullptr);
        EXPECT_EQ(TempFiles(), 0u);
        ASSERT_EQ(m_messages.count(), 1u);
        const std::string& text = m_messages.last();
        EXPECT_EQ(text.rfind("Картинка слишком велика: ", 0), 0u) << text;
        EXPECT_NE(text.find("--sonel, --preset"), std::string::npos) << text;
        // A step already at the sonel's limit is not advice.
        EXPECT_EQ(text.find("--step, не более 12 отсчетов") != std::string::npos, step != 12) << text;
    }
}

TEST_F(RendererTest, AStepLongerThanTheSonelIsReportedNotClamped) {
    RenderOptions options = Options(WriteVoice(1.0));
    options.sonelFreqHz = 100.0;
    options.stepSamples = 13;  // one beyond trunc(8000 / (2 pi 100)) = 12
    Renderer renderer;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_TRUE(picture.isNull());
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last(),
              "Шаг 13 отсчетов (--step) больше, чем позволяет сонел 100 Гц: не более 12 отсчетов. Задайте "
              "меньший шаг или меньший размер сонела (--sonel, --preset).");
    options.stepSamples = 12;
    EXPECT_TRUE(renderer.Render(options, picture));
    EXPECT_EQ(renderer.GetSettings().stepSamples, 12);
}

TEST_F(RendererTest, EmptyRangeAndCrossedLevelsAreRefused) {
    RenderOptions options = Options(WriteVoice(1.0));
    options.startSeconds = 5.0;
    Renderer renderer;
    QImage picture;
    EXPECT_FALSE(renderer.Render(options, picture));
    ASSERT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(m_messages.last().rfind("В заданном диапазоне времени нет ни одного столбца", 0), 0u);
    options.startSeconds.reset();
    options.upperLevel = -100.0;
    EXPECT_FALSE(renderer.Render(options, picture));
    EXPECT_EQ(m_messages.last(), "Верхний уровень (-100.000 дБ) должен быть выше нижнего (-96.330 дБ).");
}

TEST_F(RendererTest, PngKeepsThePixelsAtEveryLevel) {
    RenderOptions options = Options(WriteVoice(2.0));
    const QImage grey = Render(options);
    ASSERT_TRUE(grey.allGray());
    options.mode = static_cast<sonogram::SonogramMode>(2);
    const QImage colour = Render(options);
    ASSERT_FALSE(colour.allGray());
    for (const QImage* picture : {&grey, &colour}) {
        std::vector<qint64> sizes;
        for (int level : {0, 1, 9}) {
            const std::string path = m_files.file("level" + std::to_string(level) + ".png");
            ASSERT_TRUE(OutputFile::WritePng(*picture, path, level));
            const QImage loaded(QString::fromStdString(path));
            ASSERT_FALSE(loaded.isNull());
            // Grey pictures are stored one byte a pixel.
            EXPECT_EQ(loaded.format() == QImage::Format_Grayscale8, picture == &grey);
            EXPECT_EQ(loaded.convertToFormat(QImage::Format_RGB32), *picture) << level;
            sizes.push_back(QFileInfo(QString::fromStdString(path)).size());
        }
        // Level 0 stores, level 1 deflates, level 9 deflates hardest.
        EXPECT_GT(sizes[0], sizes[1]);
        EXPECT_GT(sizes[1], sizes[2]);
    }
    EXPECT_EQ(m_messages.count(), 0u);
}

TEST_F(RendererTest, PngThatCannotBeWrittenLeavesNothing) {
    const QImage picture = Render(Options(WriteVoice(1.0)));
    const std::string path = m_files.file("no/such/folder/out.png");
    EXPECT_FALSE(OutputFile::Check(path));
    EXPECT_FALSE(OutputFile::WritePng(picture, path, 1));
    ASSERT_EQ(m_messages.count(), 2u);
    EXPECT_EQ(m_messages.texts()[0].rfind("Не удается создать файл " + path + ": папки ", 0), 0u);
    EXPECT_EQ(m_messages.texts()[1].rfind("Не удается создать файл " + path, 0), 0u);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path)));
    EXPECT_FALSE(OutputFile::Check(m_files.path()));
    EXPECT_TRUE(OutputFile::Check(m_files.file("out.png")));
}
