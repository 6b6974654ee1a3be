#include "FonavidDoc.h"

#include <sys/stat.h>

#include <QDir>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "FilmSpace.h"
#include "LocalFileNames.h"
#include "Messages.h"
#include "PcmFrameLoader.h"
#include "PlaybackController.h"
#include "PrefaultAhead.h"
#include "Profile.h"

namespace {

const char kTooManyChannels[] =
    "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.";

std::string Format(const char* format, long a, long b = 0) {
    char text[512];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

bool IsUsableFolder(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && folder.front() == '/' && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The system's temporary folder: TMPDIR when it names an existing folder by
// an absolute path, otherwise /tmp. Never empty and never relative, so that
// neither the stores nor the stale-file sweep land in the working directory.
std::string SystemTemporaryFolder() {
    const QByteArray variable = qgetenv("TMPDIR");
    if (!variable.isEmpty() && !IsUsableFolder(variable.toStdString())) return "/tmp";
    // Qt's form of it: links resolved, no trailing slash.
    const std::string resolved = platform::LocalPathFromQString(QDir::tempPath());
    return IsUsableFolder(resolved) ? resolved : std::string("/tmp");
}

}  // namespace

CFonavidDoc::CFonavidDoc() {
    // Read at every construction and never written: a user who wants the
    // signal files elsewhere puts the folder into the profile by hand.
    const std::string system = SystemTemporaryFolder();
    m_strTemporaryFolder = platform::GetProfileString("Document", "PathToTemporalFiles", system);
    // A folder named relative to wherever the program was started is no
    // folder of its own; a missing absolute one is kept, and making the
    // stores there then fails with a message that names it.
    if (m_strTemporaryFolder.empty() || m_strTemporaryFolder.front() != '/') m_strTemporaryFolder = system;
}

CFonavidDoc::~CFonavidDoc() {
    // A playback of this document reads the film: it ends before the film does.
    if (CPlaybackController* playback = CPlaybackController::Existing()) playback->ForgetDocument(this);
    // The file closes before the film removes its temporary files.
    m_reader.CloseWaveFile();
}

bool CFonavidDoc::OnNewDocument() {
    if (!platform::Document::OnNewDocument()) return false;
    if (!m_reader.OpenWaveFile()) return false;
    SetPathName(m_reader.GetFilePathName());
    return LoadFromReader();
}

bool CFonavidDoc::OnOpenDocument(const std::string& path) {
    if (!platform::Document::OnOpenDocument(path)) return false;
    if (!m_reader.OpenWaveFile(path)) return false;
    return LoadFromReader();
}

bool CFonavidDoc::OnOpenSource(std::unique_ptr<WaveByteSource> source, const std::string& path) {
    if (!m_reader.OpenWaveSource(std::move(source), path)) return false;
    SetPathName(path);
    return LoadFromReader();
}

bool CFonavidDoc::OnOpenStretch(const std::string& path) {
    if (!platform::Document::OnOpenDocument(path)) return false;
    if (!m_reader.OpenWaveFile(path)) return false;
    return MakeFilm(CKWave::Backing::Sparse);
}

bool CFonavidDoc::LoadStretch(const std::vector<SampleSpan>& kept) {
    std::vector<SampleSpan> within(static_cast<size_t>(m_reader.GetNChannels()));
    for (size_t c = 0; c < within.size() && c < kept.size(); ++c)
        within[c] = kept[c].Within({0, m_reader.GetSizeInSamples()});
    return LoadFrames(within);
}

bool CFonavidDoc::LoadFromReader() {
    if (!MakeFilm(CKWave::Backing::Reserved)) return false;
    return LoadFrames(std::vector<SampleSpan>(static_cast<size_t>(m_reader.GetNChannels()),
                                              SampleSpan{0, m_reader.GetSizeInSamples()}));
}

bool CFonavidDoc::MakeFilm(CKWave::Backing backing) {
    const int channels = m_reader.GetNChannels();
    if (channels > 2) {
        platform::ShowMessage(kTooManyChannels);
        return false;
    }
    const int bits = m_reader.GetSignalBits();
    const int blockAlign = m_reader.GetBlockAlign();
    PcmFrameLoader loader;
    // A channel count of 0 is left to the film, which names it.
    if (channels >= 1 && !loader.SetFormat(channels, bits, blockAlign, m_reader.IsFloat())) {
        platform::ShowMessage(
            Format("Число бит на отсчет = %li, байт в кадре = %li.\n\nДокумент открыт не будет!"
                   "\n\nОтсчеты звукового файла должны занимать 1, 2, 3 или 4 байта.",
                   bits, blockAlign));
        return false;
    }
    const long samples = m_reader.GetSizeInSamples();
    if (samples < 0 || samples > CKWave::kMaxSamples) {
        platform::ShowMessage(Format(
            "Звуковой файл слишком длинный: %li отсчетов в канале.\n\nДокумент открыт не будет!", samples));
        return false;
    }

    // The layer-0 stores must fit into the temporary folder before any is
    // made; sparse ones take their room stretch by stretch.
    if (backing == CKWave::Backing::Reserved &&
        !FilmSpace::CheckRoomForFilm(m_strTemporaryFolder, m_reader.GetFrADC(), channels,
                                     static_cast<int>(samples)))
        return false;

    // The film reports most failures itself, but a store too large for its
    // mapping fails silently; hold its messages until it returns so that
    // such a failure still gets one.
    std::vector<std::pair<std::string, std::string>> held;
    platform::MessageSink previous = platform::SetMessageSink(
        [&held](const std::string& text, const std::string& caption) { held.emplace_back(text, caption); });
    const bool made = m_film.CreateKMultiWaveFilm(m_strTemporaryFolder, m_reader.GetFrADC(), channels, bits,
                                                  static_cast<int>(samples), backing);
    platform::SetMessageSink(std::move(previous));
    for (const auto& [text, caption] : held) platform::ShowMessage(text, caption);
    if (!made) {
        // Stores made before the failure go now, not when the document does.
        DeleteStores();
        if (held.empty())
            platform::ShowMessage(
                Format("Звуковой файл слишком длинный: %li отсчетов в канале.\n\nДокумент открыт не будет!",
                       samples));
        return false;
    }
    return true;
}

bool CFonavidDoc::LoadFrames(const std::vector<SampleSpan>& kept) {
    const int channels = m_reader.GetNChannels();
    PcmFrameLoader loader;
    loader.SetFormat(channels, m_reader.GetSignalBits(), m_reader.GetBlockAlign(), m_reader.IsFloat());
    SampleSpan frames;
    for (int c = 0; c < channels; ++c) {
        const SampleSpan& span = kept[static_cast<size_t>(c)];
        frames = frames.Hull(span);
        if (!m_film.GetMainKWave(c)->ReserveSamples(span)) {
            DeleteStores();
            return false;
        }
    }
    // The frames go in pieces that every channel keeps or drops whole; a
    // dropped piece goes into a scratch block, so it is at most that long.
    constexpr long kScratchFrames = 65536;
    std::vector<long> cuts{frames.first, frames.end};
    for (const SampleSpan& span : kept)
        if (!span.Empty()) cuts.insert(cuts.end(), {span.first, span.end});
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<SampleSpan> pieces;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const SampleSpan piece{cuts[i], cuts[i + 1]};
        const bool whole = std::all_of(kept.begin(), kept.end(),
                                       [&](const SampleSpan& span) { return span.Contains(piece); });
        for (long a = piece.first; a < piece.end; a = whole ? piece.end : a + kScratchFrames)
            pieces.push_back({a, whole ? piece.end : std::min(piece.end, a + kScratchFrames)});
    }
    const long samples = frames.Length();
    std::vector<std::vector<KCOMPLEX_KFLOAT>> scratch(static_cast<size_t>(channels));
    // One read per block; the steps are spread over the reads so that there
    // are always kLoadProgressSteps of them.
    const long blockFrames = loader.GetBlockFrames();
    long blocks = 0;
    for (const SampleSpan& piece : pieces)
        blocks += blockFrames > 0 ? (piece.Length() + blockFrames - 1) / blockFrames : 0;
    long blocksRead = 0;
    int steps = 0;
    const auto read = [&](unsigned char* buffer, long count) {
        const long got = m_reader.ReadNextBytes(buffer, count);
        if (m_pLoadProgress != nullptr && blocks > 0) {
            ++blocksRead;
            const long target = blocksRead * kLoadProgressSteps / blocks;
            for (; steps < target && steps < kLoadProgressSteps; ++steps) m_pLoadProgress->StepIt();
        }
        return got;
    };
    const bool positioned = m_reader.SeekToFrame(frames.first) >= 0;
    // The stores' pages are mapped on a second thread ahead of the samples
    // written into them, which otherwise stop at every page.
    std::vector<PrefaultAhead::Area> areas;
    for (int c = 0; c < channels; ++c) {
        const SampleSpan& span = kept[static_cast<size_t>(c)];
        if (!span.Empty())
            areas.push_back({m_film.GetMainKWave(c)->GetFirstComplexSample() + span.first,
                             static_cast<size_t>(span.Length()) * sizeof(KCOMPLEX_KFLOAT)});
    }
    PrefaultAhead prefault(std::move(areas));
    PcmFrameLoader::LoadEnd end = PcmFrameLoader::LoadEnd::Complete;
    long loaded = 0;
    for (const SampleSpan& piece : pieces) {
        if (!positioned || end != PcmFrameLoader::LoadEnd::Complete) break;
        KCOMPLEX_KFLOAT* destinations[PcmFrameLoader::kMaxChannels] = {};
        for (int c = 0; c < channels; ++c) {
            std::vector<KCOMPLEX_KFLOAT>& drop = scratch[static_cast<size_t>(c)];
            if (kept[static_cast<size_t>(c)].Contains(piece)) {
                destinations[c] = m_film.GetMainKWave(c)->GetFirstComplexSample() + piece.first;
            } else {
                drop.resize(kScratchFrames);
                destinations[c] = drop.data();
            }
        }
        loaded += loader.Load(read, piece.Length(), destinations, &end);
    }
    prefault.Stop();
    if (positioned && loaded == samples) return true;
    // A file that shrank or failed to read while it loaded would show
    // silence or shifted samples as if they were the recording.
    DeleteStores();
    if (end == PcmFrameLoader::LoadEnd::UnusableSample) {
        platform::ShowMessage("Не удалось прочитать звуковой файл:\n" + m_reader.GetFilePathName() +
                              Format("\n\nОтсчет %li не является конечным числом: в файле записано NaN, "
                                     "бесконечность или число больше 3.4e38 по модулю.\n\nДокумент открыт не "
                                     "будет!",
                                     frames.first + loaded));
        return false;
    }
    platform::ShowMessage("Не удалось прочитать звуковой файл:\n" + m_reader.GetFilePathName() +
                          Format("\n\nПрочитано %li отсчетов из %li: файл стал короче или произошла ошибка "
                                 "чтения.\n\nДокумент открыт не будет!",
                                 frames.first + loaded, m_reader.GetSizeInSamples()));
    return false;
}

void CFonavidDoc::DeleteStores() {
    for (int layer = 0; layer < CKMultiWaveFilm::kLayers; ++layer)
        for (int channel = 0; channel < CKMultiWaveFilm::kChannelSlots; ++channel)
            m_film.GetKWave(layer, channel)->DeleteKWave();
}

void CFonavidDoc::SetTimeFrequencyCursor(double time, double frequency) {
    const double rate = m_film.GetFrADC();
    // The time of the last sample; a film without samples keeps the cursor at 0.
    const double lastTime = (rate > 0.0) ? m_film.GetTimeLength_in_seconds() - 1.0 / rate : 0.0;
    const double nyquist = (rate > 0.0) ? rate * 0.5 : 0.0;
    m_dCursorTime = time;
    m_dCursorFrequency = frequency;
    if (m_dCursorTime > lastTime) m_dCursorTime = lastTime;
    if (!(m_dCursorTime >= 0.0)) m_dCursorTime = 0.0;  // also catches NaN
    if (m_dCursorFrequency > nyquist) m_dCursorFrequency = nyquist;
    if (!(m_dCursorFrequency >= 0.0)) m_dCursorFrequency = 0.0;
    UpdateAllViews(nullptr, kHintCursorMoved, nullptr);
}

void CFonavidDoc::SetPlayhead(long sample) {
    if (sample == m_nPlayheadSample) return;
    m_nPlayheadSample = sample;
    UpdateAllViews(nullptr, kHintPlayheadMoved, nullptr);
}
