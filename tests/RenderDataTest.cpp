// What the renderer gives beside its plain picture: the column step that
// fits a range into a width, the levels behind the sonogram (held against a
// sonogram pane's own cache, a direct transform and the CSV text), the FGT's
// drawn values (held against the whole-row computation), and the axes
// around a picture whose own pixels stay as they are.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QTest>
#include <charconv>
#include <cmath>
#include <complex>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AxisFrame.h"
#include "DataFile.h"
#include "DocFolderFixture.h"
#include "FGTComputation.h"
#include "FonavidDoc.h"
#include "KSonogramView.h"
#include "KWave.h"
#include "NumberFormat.h"
#include "Renderer.h"
#include "SonogramComputation.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);
constexpr int kRate = 8000;

// A tone gliding from 300 to 1500 Hz over noise: every column differs.
std::vector<int16_t> Glide(double seconds) {
    std::vector<int16_t> samples(static_cast<size_t>(seconds * kRate));
    uint32_t noise = 1;
    double phase = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        phase += 2.0 * kPi * (300.0 + 1200.0 * static_cast<double>(i) / static_cast<double>(samples.size())) /
                 kRate;
        noise = noise * 1664525u + 1013904223u;
        samples[i] = static_cast<int16_t>(std::lround(9000.0 * std::sin(phase) + (noise >> 24) - 128.0));
    }
    return samples;
}

double ParseNumber(const std::string& text) {
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(result.ec == std::errc() && result.ptr == text.data() + text.size()) << text;
    return value;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream stream(line);
    for (std::string cell; std::getline(stream, cell, ',');) cells.push_back(cell);
    return cells;
}

class RenderDataTest : public DocFolderFixture {
protected:
    void TearDown() override {
        m_pane.reset();
        m_doc.reset();
        DocFolderFixture::TearDown();
        EXPECT_TRUE(m_temp.tempSignalFiles().empty()) << "signal files left behind";
    }

    RenderOptions Options(double seconds) {
        RenderOptions options;
        options.input = Write("glide.wav", testwav::pcm16(kRate, 1, Glide(seconds)));
        options.output = "unused.png";
        return options;
    }

    // Writes through a data writer into a file of the test's and reads it back.
    std::string Written(const DataFile::Writer& write) {
        const std::string path = m_files.file("data.out");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        std::string reason;
        EXPECT_TRUE(write(fd, reason)) << reason;
        close(fd);
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    std::unique_ptr<CFonavidDoc> m_doc;
    std::unique_ptr<CKSonogramView> m_pane;
};

}  // namespace

TEST_F(RenderDataTest, WidthChoosesTheStepThatFitsTheRange) {
    RenderOptions options = Options(3.0);
    Renderer renderer;
    QImage plain;
    ASSERT_TRUE(renderer.Render(options, plain));
    const double sonel = renderer.GetSettings().sonelFreqHz;
    struct Case {
        std::optional<double> start, end;
        int width;
        int step;
    };
    // 24000 samples into 100 columns; 12000 (0.5 s to 2 s) into 70, the
    // step rounded up; more columns than samples: one sample a column.
    for (const Case& c : {Case{{}, {}, 100, 240}, Case{0.5, 2.0, 70, 172}, Case{{}, {}, 30000, 1}}) {
        options.startSeconds = c.start;
        options.endSeconds = c.end;
        options.width = c.width;
        QImage picture;
        ASSERT_TRUE(renderer.Render(options, picture)) << m_messages.last();
        EXPECT_EQ(renderer.GetSettings().stepSamples, c.step) << c.width;
        EXPECT_EQ(renderer.GetSettings().sonelFreqHz, sonel) << "the window is kept";
        EXPECT_LE(picture.width(), c.width);
        EXPECT_GE(picture.width(), std::min(c.width, 24000) - 1);
        EXPECT_EQ(picture.height(), 513);
    }
}

TEST_F(RenderDataTest, LevelsAreThePanesCachedLevelsAndADirectTransforms) {
    RenderOptions options = Options(2.0);
    options.startSeconds = 0.4;
    options.dataFile = "levels.csv";
    Renderer renderer;
    QImage picture;
    ASSERT_TRUE(renderer.Render(options, picture));
    const DataFile::SonogramLevels levels = renderer.Levels();
    const int first = renderer.GetFirstColumn();
    const int width = renderer.GetWidth();
    const int step = renderer.GetSettings().stepSamples;
    ASSERT_EQ(levels.times.size(), static_cast<size_t>(width));
    ASSERT_EQ(levels.frequencies.size(), 512u);
    ASSERT_EQ(levels.levels.size(), static_cast<size_t>(width) * 512);

    // The pane's cache, scrolled to the same first column.
    m_doc = std::make_unique<CFonavidDoc>();
    ASSERT_TRUE(m_doc->OnOpenDocument(options.input));
    m_pane = std::make_unique<CKSonogramView>();
    m_pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_doc->AddView(m_pane.get());
    m_pane->resize(width + 40, 560);
    m_pane->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pane.get()));
    m_pane->OnInitialUpdate();
    ASSERT_EQ(m_pane->GetStepSamples(), step);
    m_pane->ScrollToPosition(QPoint(first, 0));
    m_pane->viewport()->grab();
    long compared = 0;
    for (int slot = 0; slot < 100000 && m_pane->GetSlotSpectrum(slot) != nullptr; ++slot) {
        const int column = m_pane->GetSpectrumTag(slot);
        if (column < first || column >= first + width) continue;
        const double* cached = m_pane->GetSlotSpectrum(slot);
        for (int k = 0; k < 512; ++k, ++compared)
            ASSERT_EQ(levels.levels[static_cast<size_t>(column - first) * 512 + k], cached[k])
                << column << " " << k;
    }
    EXPECT_GT(compared, 512L * width / 2) << "most columns were in the pane's cache";

    // Column 40 of the range from its definition: the Gaussian-weighted
    // frame around its sample, transformed term by term.
    const CKWave* wave = m_pane->GetWave();
    const int column = first + 40;
    std::vector<double> window(513);
    sonogram::FillWindow(window.data(), 1024, renderer.GetSettings().sonelFreqHz, kRate);
    const double refLevel = sonogram::ComputeRefLevel(window.data(), 1024, false);
    const KCOMPLEX_KFLOAT* samples = wave->GetFirstComplexSample();
    for (int k : {0, 37, 80, 150, 511}) {
        std::complex<double> sum = 0.0;
        for (int m = -512; m < 512; ++m) {
            const double y = samples[static_cast<long>(column) * step + m].re;
            sum +=
                window[static_cast<size_t>(std::abs(m))] * y * std::polar(1.0, -2.0 * kPi * k * m / 1024.0);
        }
        const double direct = 10.0 * std::log10(std::norm(sum)) - refLevel;
        EXPECT_NEAR(levels.levels[40 * 512 + static_cast<size_t>(k)], direct, 1e-6) << k;
    }

    // The CSV: the frequencies, then a line per column with the pane's
    // numbers as the program writes them.
    std::istringstream csv(Written(DataFile::SonogramCsv(levels)));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    std::vector<std::string> header = Split(line);
    ASSERT_EQ(header.size(), 513u);
    EXPECT_EQ(header[0], "time_s");
    EXPECT_EQ(header[1], "0.000000");
    EXPECT_EQ(header[2], "7.812500");
    EXPECT_EQ(header[512], "3992.187500");
    for (int x = 0; x < width; ++x) {
        ASSERT_TRUE(std::getline(csv, line)) << x;
        const std::vector<std::string> cells = Split(line);
        ASSERT_EQ(cells.size(), 513u);
        EXPECT_NEAR(ParseNumber(cells[0]), static_cast<double>(first + x) * step / kRate, 5e-7);
        for (int k = 0; k < 512; ++k)
            ASSERT_EQ(
                cells[static_cast<size_t>(k) + 1],
                number::Fixed(levels.levels[static_cast<size_t>(x) * 512 + k], DataFile::kLevelDecimals));
    }
    EXPECT_FALSE(std::getline(csv, line));
}

TEST_F(RenderDataTest, FgtLevelsAreTheWholeRowComputations) {
    RenderOptions options = Options(1.0);
    options.fgt = true;
    options.fgtDataFile = "fgt.csv";
    Renderer renderer;
    QImage picture;
    ASSERT_TRUE(renderer.Render(options, picture));
    const std::vector<DataFile::FgtRow> rows = renderer.FgtLevels();
    ASSERT_EQ(rows.size(), static_cast<size_t>(renderer.GetFgtRows())) << "every row draws at 1 s";
    const CKWave* wave = renderer.GetDocument()->m_film.GetKWave(0, 0);
    const fgt::SignalRef signal{wave->GetFirstComplexSample(), wave->GetNSamples(), wave->GetFrADC(),
                                wave->GetStartSampleNumber()};
    for (const size_t i : {size_t{0}, size_t{150}, rows.size() - 1}) {
        const DataFile::FgtRow& row = rows[i];
        const fgt::DrawnSpan drawn =
            fgt::DrawnValues(renderer.GetWidth(), renderer.GetCursorTime(), row.sigma,
                             static_cast<int>(fgt::RowLengthExact(wave->GetNSamples(), kRate, row.sigma)));
        EXPECT_EQ(row.first, drawn.first);
        ASSERT_EQ(row.levels.size(), static_cast<size_t>(drawn.last - drawn.first));
        const double frequency = fgt::RowFrequency(row.row);
        const double sigma = fgt::RowSigmaT(2.0, frequency);
        EXPECT_EQ(row.frequency, frequency);
        EXPECT_EQ(row.sigma, sigma);
        const int length = static_cast<int>(fgt::RowLengthExact(wave->GetNSamples(), kRate, sigma));
        std::vector<double> whole(static_cast<size_t>(length));
        ASSERT_TRUE(fgt::ComputeLevels(signal, 1, &frequency, &sigma, &length, whole.data(), 1));
        for (size_t k = 0; k < row.levels.size(); ++k)
            ASSERT_EQ(row.levels[k], whole[static_cast<size_t>(row.first) + k]) << row.row << " " << k;
    }
    // The long form: a line per value, its row, frequency and time.
    std::istringstream csv(Written(DataFile::FgtCsv(rows)));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ(line, "row,frequency_hz,time_s,level_db");
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> cells = Split(line);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0], std::to_string(rows[0].row));
    EXPECT_EQ(cells[1], "8.000000");
    EXPECT_EQ(cells[2], number::Fixed(static_cast<double>(rows[0].first) * rows[0].sigma, 6));
    EXPECT_EQ(cells[3], number::Fixed(rows[0].levels[0], 3));
    size_t lines = 1;
    while (std::getline(csv, line)) ++lines;
    size_t values = 0;
    for (const DataFile::FgtRow& row : rows) values += row.levels.size();
    EXPECT_EQ(lines, values);
}

TEST_F(RenderDataTest, AxesFrameThePictureWithoutTouchingIt) {
    for (const bool withFgt : {false, true}) {
        RenderOptions options = Options(2.0);
        options.fgt = withFgt;
        options.mode = static_cast<sonogram::SonogramMode>(2);
        Renderer renderer;
        QImage plain;
        ASSERT_TRUE(renderer.Render(options, plain));
        options.axes = true;
        QImage framed;
        ASSERT_TRUE(renderer.Render(options, framed));
        const QPoint origin = renderer.GetPictureOrigin();
        ASSERT_GT(origin.x(), 10);
        ASSERT_GT(framed.width(), origin.x() + plain.width() + 20) << "room for the level bar";
        ASSERT_GT(framed.height(), origin.y() + plain.height() + 20) << "room for the time axis";
        EXPECT_EQ(framed.copy(QRect(origin, plain.size())), plain) << withFgt;
        // The frame just outside the picture, and ink in every margin.
        EXPECT_EQ(framed.pixel(origin.x() - 1, origin.y() + 5) & 0xFFFFFFu, 0u);
        EXPECT_EQ(framed.pixel(origin.x() + 5, origin.y() + plain.height()) & 0xFFFFFFu, 0u);
        const auto inked = [&](const QRect& area) {
            int count = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x) count += qGray(framed.pixel(x, y)) < 128;
            return count;
        };
        EXPECT_GT(inked(QRect(0, origin.y(), origin.x() - 6, plain.height())), 50) << "frequency labels";
        EXPECT_GT(inked(QRect(origin.x(), origin.y() + plain.height() + 6, plain.width(),
                              framed.height() - origin.y() - plain.height() - 6)),
                  50)
            << "time labels";
    }
}

TEST(AxisFrameTicks, TicksSitAtTheirValuesAtRoundSteps) {
    // 60 s on 1919 columns of 1379 samples at 44100 Hz, and a sonogram's
    // 512 rows of 43.07 Hz read upwards from line 512.
    const double perColumn = 1379.0 / 44100.0;
    const std::vector<AxisFrame::Tick> time = AxisFrame::LinearTicks(0.0, perColumn, 0, 1918, 80.0);
    ASSERT_GE(time.size(), 5u);
    EXPECT_EQ(time[0].label, "0");
    EXPECT_EQ(time[1].label, "5");
    for (const AxisFrame::Tick& tick : time)
        EXPECT_LE(std::fabs(tick.at * perColumn - ParseNumber(tick.label)), perColumn / 2) << tick.label;
    double step = 0.0;
    const double bin = 44100.0 / 1024.0;
    const std::vector<AxisFrame::Tick> frequency =
        AxisFrame::LinearTicks(512 * bin, -bin, 1, 512, 40.0, 1000.0, &step);
    EXPECT_EQ(step, 2000.0);
    ASSERT_EQ(frequency.size(), 12u);  // 0 .. 22 kHz: the top row is 22006 Hz, 0 Hz at line 512
    EXPECT_EQ(frequency.front().label, "0");
    EXPECT_EQ(frequency.front().at, 512);
    EXPECT_EQ(frequency.back().label, "22");
    for (const AxisFrame::Tick& tick : frequency)
        EXPECT_LE(std::fabs((512 - tick.at) * bin - 1000.0 * ParseNumber(tick.label)), bin / 2) << tick.label;
}
