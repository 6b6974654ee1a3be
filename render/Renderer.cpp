#include "Renderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "AxisFrame.h"
#include "AxisTicks.h"
#include "ConsoleProgress.h"
#include "FGTComputation.h"
#include "FGTOnDemand.h"
#include "FGTPainter.h"
#include "FonavidDoc.h"
#include "HilbertFilter.h"
#include "KMultiWaveFilm.h"
#include "KWave.h"
#include "KWaveFileRead.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "PasFilmGrid.h"
#include "PrefaultAhead.h"
#include "SonogramColours.h"
#include "SonogramComputation.h"
#include "SonogramReadout.h"
#include "StretchPlan.h"
#include "TempFileMapping.h"

using number::Fixed;

Renderer::Renderer(ConsoleProgress* progress) : m_pProgress(progress) {}

Renderer::~Renderer() = default;

bool Renderer::Render(const RenderOptions& options, QImage& picture) {
    picture = QImage();
    m_levels = DataFile::SonogramLevels();
    m_fgtLevels.clear();
    m_pictureOrigin = QPoint();
    m_nLoadedFrames = 0;
    m_pDoc.reset();
    // The document removes its temporary files whatever happens next.
    m_pDoc = std::make_unique<CFonavidDoc>();
    // Files of runs that were killed go first, as at the viewer's start.
    TempFileMapping::RemoveStaleFiles(m_pDoc->GetTemporaryFolder());
    // A picture that cannot be made is refused before a long file loads.
    if (!PlanFromHeader(options)) return false;
    if (m_pProgress != nullptr)
        m_pProgress->Begin("Загружается файл " + options.input, CFonavidDoc::kLoadProgressSteps);
    // Only the stretch the picture reads is loaded (by LoadStretch), into
    // stores of the whole length, unless the whole file is asked for.
    m_pDoc->SetLoadProgress(m_pProgress);
    const bool opened =
        m_bWholeFile ? m_pDoc->OnOpenDocument(options.input) : m_pDoc->OnOpenStretch(options.input);
    m_pDoc->SetLoadProgress(nullptr);
    if (!opened) return false;
    CKMultiWaveFilm& film = m_pDoc->m_film;
    if (m_bWholeFile) m_nLoadedFrames = film.GetKWave(0, 0)->GetNSamples();

    if (options.channel > film.GetChannels()) {
        platform::ShowMessage("В файле " + options.input + " только один канал: канала 2 нет.");
        return false;
    }
    if (options.layer != 0) {
        const bool made = m_bWholeFile ? film.GetDecimateWaveAreCalculated() || film.CalculateDecimateWaves()
                                       : film.CreateSparseLayers(options.channel - 1, options.layer);
        if (!made) return false;
    }
    const CKWave* bound = film.GetKWave(0, 0);
    if (!Plan(options, bound->GetFrADC(), bound->GetNBitsPerSample(), bound->GetNSamples())) return false;
    CKWave* wave = film.GetKWave(options.layer, options.channel - 1);
    m_settings.wave = wave;
    // The levels a bound pane starts with, unless given.
    const int bits = wave->GetNBitsPerSample();
    m_settings.upperLevel = options.upperLevel.value_or(sonogram::PaneSettings::kDefaultUpperLevel);
    m_settings.lowerLevel = options.lowerLevel.value_or(sonogram::PaneSettings::DefaultLowerLevel(bits));
    if (!(m_settings.upperLevel > m_settings.lowerLevel)) {
        platform::ShowMessage("Верхний уровень (" + Fixed(m_settings.upperLevel, 3) +
                              " дБ) должен быть выше нижнего (" + Fixed(m_settings.lowerLevel, 3) + " дБ).");
        return false;
    }
    m_settings.mode = options.mode;

    const int rows = m_settings.fftSize / 2;
    const long sonogramHeight = rows + 1L;
    const long fgtHeight = options.fgt ? m_nFgtRows + 1L : 0L;
    std::unique_ptr<PrefaultAhead> levelPages;
    const bool keepLevels = !options.dataFile.empty();
    if (keepLevels) {
        try {
            // Left unset: the columns write every value, NaN outside the signal.
            m_levels.levels.resize(static_cast<size_t>(m_nWidth) * static_cast<size_t>(rows));
            // Their pages are mapped on a thread of their own while the
            // samples load, so that the columns find them ready.
            levelPages = std::make_unique<PrefaultAhead>(std::vector<PrefaultAhead::Area>{
                {m_levels.levels.data(), m_levels.levels.size() * sizeof(double)}});
            for (int x = 0; x < m_nWidth; ++x)
                m_levels.times.push_back(
                    sonogram::TimeFromColumn(m_nFirstColumn + x, wave->GetFrADC(), m_settings.stepSamples));
            for (int k = 0; k < rows; ++k)
                m_levels.frequencies.push_back(
                    sonogram::FrequencyFromRow(k, wave->GetFrADC(), m_settings.fftSize));
        } catch (const std::bad_alloc&) {
            levelPages.reset();  // before their memory goes
            m_levels = DataFile::SonogramLevels();
            platform::ShowMessage("Не хватает памяти для уровней сонограммы.");
            return false;
        }
    }

    FGTOnDemand fgtValues;
    if (options.fgt) {
        // The FGT pane is aligned on the document's cursor; put it at the
        // time of the middle column, as the document limits it.
        const double time =
            sonogram::TimeFromColumn(m_nFirstColumn + m_nWidth / 2, wave->GetFrADC(), m_settings.stepSamples);
        m_pDoc->SetTimeFrequencyCursor(time, m_pDoc->GetTimeFrequencyCursor().frequency);
        m_dCursorTime = m_pDoc->GetTimeFrequencyCursor().time;
        // A refusal that explains itself (a row too long) is not followed by
        // a second, vaguer message.
        bool tooLong = false;
        if (!fgtValues.Bind(film.GetKWave(0, 0), options.fgtP, &tooLong)) {
            if (!tooLong) platform::ShowMessage("Не удалось рассчитать FGT.");
            return false;
        }
    }
    const bool analytic = options.highQuality && !wave->IsSignalRealyComplex();
    if (!m_bWholeFile) {
        const SampleSpan fgtSpan =
            options.fgt ? fgtValues.ReadSpan(m_nWidth, static_cast<int>(fgtHeight), m_dCursorTime)
                        : SampleSpan{};
        if (!LoadStretch(options, analytic, fgtSpan)) return false;
    } else if (analytic) {
        wave->CalculateImaginaryPartOfSignal();
    }
    if (analytic) m_settings.RaiseForHighQuality();
    if (options.width && m_pProgress != nullptr)
        m_pProgress->Note("Шаг столбцов " + std::to_string(m_settings.stepSamples) +
                          " отсчетов: " + std::to_string(m_nWidth) + " столбцов");

    QImage ring;
    if (m_pProgress != nullptr)
        m_pProgress->Begin("Рассчитывается сонограмма", (m_nWidth + SonogramRenderer::kColumnsPerStep - 1) /
                                                            SonogramRenderer::kColumnsPerStep);
    const bool rendered = SonogramRenderer::Render(m_settings, m_nFirstColumn, m_nWidth, ring, m_pProgress,
                                                   keepLevels ? m_levels.levels.data() : nullptr);
    levelPages.reset();
    if (!rendered) {
        m_levels = DataFile::SonogramLevels();
        platform::ShowMessage("Не хватает памяти для сонограммы.");
        return false;
    }

    if (options.fgt) {
        if (m_pProgress != nullptr) m_pProgress->Begin("Рассчитывается FGT", 1);
        // Only the values the picture shows are computed.
        if (!fgtValues.Prepare(static_cast<int>(m_nWidth), static_cast<int>(fgtHeight), m_dCursorTime,
                               options.fgtLowerLevel, options.fgtUpperLevel)) {
            platform::ShowMessage(FGTOnDemand::kOutOfMemoryText);
            return false;
        }
        if (m_pProgress != nullptr) m_pProgress->StepIt();
        if (!options.fgtDataFile.empty() && !KeepFgtLevels(fgtValues, static_cast<int>(fgtHeight))) {
            platform::ShowMessage("Не хватает памяти для уровней FGT.");
            return false;
        }
    }

    QImage image(m_nWidth, static_cast<int>(sonogramHeight + fgtHeight), QImage::Format_RGB32);
    if (image.isNull()) {
        platform::ShowMessage("Не хватает памяти для картинки.");
        return false;
    }
    QPainter painter(&image);
    if (options.fgt) {
        const QRect pane(0, 0, m_nWidth, static_cast<int>(fgtHeight));
        painter.setClipRect(pane);
        painter.fillRect(pane, QColor::fromRgb(kFgtBackground));
        FGTPainter::PaintRows(painter, pane.width(), pane.height(), m_dCursorTime, fgtValues);
        FGTPainter::PaintCentreLine(painter, pane.width());
    }
    // The sonogram pane below, in its logical coordinates: x is the column.
    painter.setClipRect(QRect(0, static_cast<int>(fgtHeight), m_nWidth, static_cast<int>(sonogramHeight)));
    painter.translate(-m_nFirstColumn, static_cast<int>(fgtHeight));
    SonogramRenderer::Paint(painter, ring, m_nFirstColumn);
    painter.end();
    if (options.axes) {
        picture = WithAxes(options, image);
        if (picture.isNull()) {
            platform::ShowMessage("Не хватает памяти для картинки.");
            return false;
        }
        return true;
    }
    picture = std::move(image);
    return true;
}

bool Renderer::LoadStretch(const RenderOptions& options, bool analytic, const SampleSpan& fgtSpan) {
    CKMultiWaveFilm& film = m_pDoc->m_film;
    CKWave* wave = film.GetKWave(options.layer, options.channel - 1);
    const HilbertFilter filter(wave->GetAnalyticFilterLength());
    const long samples = film.GetKWave(0, 0)->GetNSamples();
    const StretchPlan plan(samples, options.layer,
                           SonogramRenderer::ReadSpan(m_settings, m_nFirstColumn, m_nWidth),
                           analytic ? &filter : nullptr);
    // The picture's channel keeps what its layer needs, channel 1 what the
    // FGT reads besides; the other frames of the stretch are dropped.
    std::vector<SampleSpan> kept(static_cast<size_t>(film.GetChannels()));
    kept[static_cast<size_t>(options.channel - 1)] = plan.Frames();
    kept[0] = kept[0].Hull(fgtSpan.Within({0, samples}));
    m_pDoc->SetLoadProgress(m_pProgress);
    const bool loaded = m_pDoc->LoadStretch(kept);
    m_pDoc->SetLoadProgress(nullptr);
    if (!loaded) return false;
    m_nLoadedFrames = kept[0].Hull(kept.back()).Length();
    if (options.layer != 0 && !film.CalculateDecimatedStretch(options.channel - 1, plan)) return false;
    // The analytic samples lie inside what was loaded or decimated, whose
    // room is reserved.
    if (analytic) wave->CalculateImaginaryPartOfSignal(plan.At(options.layer).analytic);
    return true;
}

QImage Renderer::WithAxes(const RenderOptions& options, const QImage& picture) {
    const AxisFrame frame;
    AxisFrame::Scales scales;
    const double rate = m_settings.wave->GetFrADC();
    const double secondsPerColumn = m_settings.stepSamples / rate;
    scales.time = AxisFrame::LinearTicks(m_nFirstColumn * secondsPerColumn, secondsPerColumn, 0, m_nWidth - 1,
                                         frame.TimeSpacing());
    scales.timeTitle = "Время, с";
    const auto levelText = [](double level) { return Fixed(level, 1) + " дБ"; };
    const int fgtHeight = options.fgt ? m_nFgtRows + 1 : 0;
    if (options.fgt) {
        // Row i at y = rows - i; an octave every kRowsPerOctave rows from 8 Hz.
        AxisFrame::Pane pane;
        pane.height = fgtHeight;
        for (int i = 0; i < m_nFgtRows; i += fgt::kRowsPerOctave)
            pane.ticks.push_back({m_nFgtRows - i, axis::NominalFrequencyLabel(fgt::RowFrequency(i))});
        pane.title = "FGT, Гц";
        const double upper = options.fgtUpperLevel;
        const double lower = options.fgtLowerLevel;
        for (int y = 0; y < fgtHeight; ++y)
            pane.bar.push_back(
                fgt::LevelToPixel(upper - (upper - lower) * y / std::max(1, fgtHeight - 1), lower, upper));
        pane.upper = levelText(upper);
        pane.lower = levelText(lower);
        scales.panes.push_back(std::move(pane));
    }
    // Bin k of the sonogram at y = fgtHeight + rows - k.
    const int rows = m_settings.fftSize / 2;
    AxisFrame::Pane pane;
    pane.top = fgtHeight;
    pane.height = rows + 1;
    const double binHz = sonogram::FrequencyFromRow(1, rate, m_settings.fftSize);
    const axis::FrequencyUnit unit = axis::FrequencyUnitFor(
        AxisFrame::LinearStep(-binHz, fgtHeight + 1, fgtHeight + rows, frame.FrequencySpacing()));
    pane.ticks = AxisFrame::LinearTicks((fgtHeight + rows) * binHz, -binHz, fgtHeight + 1, fgtHeight + rows,
                                        frame.FrequencySpacing(), unit.hertz);
    pane.title = std::string("Частота, ") + unit.name;
    // The pane's colours from the upper level down, as its columns get them.
    std::vector<double> levels(static_cast<size_t>(pane.height));
    const std::vector<double> phaseSteps(levels.size(), 0.0);
    for (int k = 0; k < pane.height; ++k)
        levels[static_cast<size_t>(k)] =
            m_settings.lowerLevel +
            (m_settings.upperLevel - m_settings.lowerLevel) * k / std::max(1, pane.height - 1);
    pane.bar.resize(levels.size());
    sonogram::ColourColumn(m_settings.mode, levels.data(), phaseSteps.data(), pane.height,
                           m_settings.upperLevel, m_settings.lowerLevel, pane.bar.data(), 1);
    std::reverse(pane.bar.begin(), pane.bar.end());
    pane.upper = levelText(m_settings.upperLevel);
    pane.lower = levelText(m_settings.lowerLevel);
    scales.panes.push_back(std::move(pane));
    const QMargins margins = frame.Margins(scales, picture.size());
    m_pictureOrigin = QPoint(margins.left(), margins.top());
    return frame.Frame(picture, scales);
}

void Renderer::FitWidth(const RenderOptions& options, double rate, long nSamples) {
    const double samples = static_cast<double>(nSamples);
    const double begin = std::min(samples, options.startSeconds.value_or(0.0) * rate);
    const double end = std::min(samples, options.endSeconds.value_or(samples / rate) * rate);
    m_settings.FitStepToColumns(end - begin, *options.width);
}

bool Renderer::KeepFgtLevels(const FGTOnDemand& values, int height) try {
    const int rows = values.GetRows();
    for (int i = std::max(0, fgt::LowestDrawnRow(rows, height)); i < rows; ++i) {
        const double sigma = values.GetSigmaT()[i];
        const fgt::DrawnSpan drawn =
            fgt::DrawnValues(m_nWidth, m_dCursorTime, sigma, values.GetRowLength()[i]);
        if (drawn.first >= drawn.last) continue;
        DataFile::FgtRow row;
        row.row = i;
        row.frequency = values.GetFrequency()[i];
        row.sigma = sigma;
        row.first = drawn.first;
        for (long long k = drawn.first; k < drawn.last; ++k) row.levels.push_back(values.Level(i, k));
        m_fgtLevels.push_back(std::move(row));
    }
    return true;
} catch (const std::bad_alloc&) {
    m_fgtLevels.clear();
    return false;
}

bool Renderer::PlanFromHeader(const RenderOptions& options) {
    // Whatever the header cannot tell is left to the load, which reports it.
    CKWaveFileRead header;
    platform::MessageSink previous = platform::SetMessageSink([](const std::string&, const std::string&) {});
    const bool opened = header.OpenWaveFile(options.input);
    platform::SetMessageSink(std::move(previous));
    const int channels = opened ? header.GetNChannels() : 0;
    const long samples = opened ? header.GetSizeInSamples() : 0;
    if (channels < 1 || channels > 2 || options.channel > channels || samples > CKWave::kMaxSamples)
        return true;
    return Plan(options, static_cast<double>(header.GetFrADC()), header.GetFormat().wBitsPerSample, samples);
}

bool Renderer::Plan(const RenderOptions& options, double frADC, int bits, long nSamples) {
    if (!BindGrid(options, frADC, bits)) return false;
    m_dLayerRate = pasfilm::LayerRate(frADC, options.layer);
    const long layerSamples = nSamples >> options.layer;
    if (options.width) FitWidth(options, m_dLayerRate, layerSamples);
    if (!ChooseRange(options, m_dLayerRate, layerSamples)) return false;
    const int rows = m_settings.fftSize / 2;
    m_nFgtRows = options.fgt ? fgt::RowCount(frADC) : 0;
    const long fgtHeight = options.fgt ? m_nFgtRows + 1L : 0L;
    // The levels kept for the data files, eight bytes a value.
    const double dataBytes =
        8.0 * m_nWidth *
        ((options.dataFile.empty() ? 0 : rows) + (options.fgtDataFile.empty() ? 0 : m_nFgtRows));
    return CheckPictureSize(m_nWidth, rows + 1L + fgtHeight, dataBytes);
}

bool Renderer::BindGrid(const RenderOptions& options, double frADC, int bits) {
    const int n = options.fftSize;
    // A pane binds to layer 0 and derives its grid from the FFT length.
    m_settings = SonogramRenderer::Settings();
    static_cast<sonogram::PaneSettings&>(m_settings) = sonogram::PaneSettings::Bound(frADC, bits, n);
    const double rate = pasfilm::LayerRate(frADC, options.layer);

    // Another channel, layer or grid is chosen in the FAS-film dialog.
    const bool tuned = options.layer != 0 || options.channel != 1 ||
                       options.preset != RenderOptions::Preset::None || options.sonelFreqHz.has_value() ||
                       options.stepSamples.has_value();
    if (tuned) {
        // The FAS-film dialog: another rate starts from the optimal grid of
        // that rate, a preset replaces the grid, typed sizes replace it too,
        // and the step is kept within the sonel's span.
        pasfilm::Grid chosen;
        bool replaced = true;
        switch (options.preset) {
            case RenderOptions::Preset::Optimal:
                chosen = pasfilm::PresetOptimal(rate, n);
                break;
            case RenderOptions::Preset::Articulation:
                chosen = pasfilm::PresetArticulation(rate, n);
                break;
            case RenderOptions::Preset::Voice:
                chosen = pasfilm::PresetVoice(rate, n);
                break;
            case RenderOptions::Preset::None:
                replaced = options.layer != 0;
                if (replaced) chosen = pasfilm::PresetOptimal(rate, n);
                break;
        }
        if (replaced) {
            m_settings.sonelFreqHz = chosen.sizes.dFreqHz;
            m_settings.stepSamples = chosen.nStep;
        }
        if (options.sonelFreqHz) m_settings.sonelFreqHz = *options.sonelFreqHz;
        // The dialog hands the size back as its field shows it, with 15
        // significant digits.
        m_settings.sonelFreqHz = pasfilm::ParseNumber(pasfilm::FormatGeneral15(m_settings.sonelFreqHz))
                                     .value_or(m_settings.sonelFreqHz);
        if (options.stepSamples) m_settings.stepSamples = *options.stepSamples;
        m_settings.stepSamples =
            pasfilm::ComputeReadouts(rate, m_settings.sonelFreqHz, m_settings.stepSamples, n).nStep;
        // The dialog clamps a typed step silently; a step given on the
        // command line that the sonel does not allow is named instead.
        if (options.stepSamples && m_settings.stepSamples != *options.stepSamples) {
            platform::ShowMessage("Шаг " + std::to_string(*options.stepSamples) +
                                  " отсчетов (--step) больше, чем позволяет сонел " +
                                  pasfilm::FormatGeneral15(m_settings.sonelFreqHz) + " Гц: не более " +
                                  std::to_string(m_settings.stepSamples) +
                                  " отсчетов. Задайте меньший шаг или меньший размер сонела (--sonel, "
                                  "--preset).");
            return false;
        }
    }
    if (CKWave::GetGuardBandFor(rate) < n / 2) {
        platform::ShowMessage("Размер БПФ " + std::to_string(n) + " слишком велик для сигналов этого файла.");
        return false;
    }
    return true;
}

bool Renderer::ChooseRange(const RenderOptions& options, double rate, long nSamples) {
    const int step = m_settings.stepSamples;
    const int columns = sonogram::ColumnCount(nSamples, step);
    // Columns are the nearest to the times, as the panes find them.
    int first = 0;
    if (options.startSeconds) first = sonogram::ColumnFromTime(*options.startSeconds, rate, step, columns);
    long long end = columns;
    if (options.endSeconds) {
        const double exact = *options.endSeconds * rate / step + 0.5;
        if (exact < static_cast<double>(columns)) end = static_cast<long long>(exact);
    }
    if (options.startSeconds && *options.startSeconds * rate / step >= columns) end = first;
    if (columns <= 0 || end <= first) {
        platform::ShowMessage(
            "В заданном диапазоне времени нет ни одного столбца сонограммы: сигнал длится " +
            Fixed(static_cast<double>(nSamples) / rate, 3) + " с, столбцов " + std::to_string(columns) +
            " с шагом " + std::to_string(step) + " отсчетов.");
        return false;
    }
    m_nFirstColumn = first;
    m_nWidth = static_cast<int>(end - first);
    return true;
}

bool Renderer::CheckPictureSize(long width, long height, double dataBytes) {
    if (width > kMaxSide || height > kMaxSide) {
        // Columns are the range over the step, and the sonel's span bounds
        // the step: name what can still change their count.
        const std::optional<int> maxStep = pasfilm::MaxStep(m_dLayerRate, m_settings.sonelFreqHz);
        std::string advice =
            "Задайте ширину картинки в столбцах (--width), меньший диапазон времени (--start, --end)";
        if (!maxStep || m_settings.stepSamples < *maxStep)
            advice +=
                ", больший шаг (--step" +
                (maxStep ? ", не более " + std::to_string(*maxStep) + " отсчетов при этом сонеле" : "") + ")";
        advice +=
            " или меньший размер сонела по частоте (--sonel, --preset), при котором шаг может быть больше.";
        platform::ShowMessage("Картинка слишком велика: " + std::to_string(width) + " × " +
                              std::to_string(height) + " точек, а PNG-файл вмещает не более " +
                              std::to_string(kMaxSide) + " точек по каждой стороне. " + advice);
        return false;
    }
    // The ring of columns and the picture, four bytes a pixel each.
    const double required = 4.0 * width * (m_settings.fftSize / 2) + 4.0 * width * height + dataBytes;
    const double available = fgt::AvailableBytes();
    if (required > available) {
        platform::ShowMessage("Не хватает памяти для картинки " + std::to_string(width) + " × " +
                              std::to_string(height) + " точек: нужно " + Fixed(required / 1048576.0, 0) +
                              " МБ, доступно " + Fixed(available / 1048576.0, 0) + " МБ.");
        return false;
    }
    return true;
}
