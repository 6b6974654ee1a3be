#include "PlaybackController.h"

#include <QApplication>
#include <QMainWindow>
#include <QMediaDevices>
#include <QPointer>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

#include "CommandTarget.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "MainWindow.h"
#include "PlaybackFeed.h"
#include "PlaybackWorker.h"
#include "ResourceIds.h"

namespace {

// The play-head is redrawn this often; where it stands comes from the sink.
constexpr int kRefreshMs = 8;

QPointer<CPlaybackController> g_instance;

// The sink's format for a film at `rate` with `channels` channels: floats,
// else 16-bit integers, at the film's own rate when the device takes it;
// otherwise the device's preferred rate, which the feed reaches through its
// resampler.
QAudioFormat ChooseFormat(const QAudioDevice& device, int rate, int channels) {
    QAudioFormat format;
    format.setChannelCount(channels);
    for (int wanted : {rate, device.preferredFormat().sampleRate(), 48000, 44100}) {
        if (wanted <= 0) continue;
        format.setSampleRate(wanted);
        for (QAudioFormat::SampleFormat type : {QAudioFormat::Float, QAudioFormat::Int16}) {
            format.setSampleFormat(type);
            if (device.isFormatSupported(format)) return format;
        }
    }
    return QAudioFormat();
}

}  // namespace

const char* const CPlaybackController::kNoDeviceText =
    "Воспроизведение недоступно: нет устройства вывода звука (нужен работающий PulseAudio или PipeWire)";

CPlaybackController* CPlaybackController::Existing() { return g_instance.data(); }

CPlaybackController& CPlaybackController::Instance() {
    if (g_instance.isNull()) g_instance = new CPlaybackController();
    return *g_instance;
}

CPlaybackController::CPlaybackController() {
    setParent(QCoreApplication::instance());
    m_pWorker = new PlaybackWorker();
    m_pWorker->moveToThread(&m_thread);
    connect(m_pWorker, &PlaybackWorker::finished, this, &CPlaybackController::OnWorkerFinished,
            Qt::QueuedConnection);
    connect(m_pWorker, &PlaybackWorker::failed, this, &CPlaybackController::OnWorkerFailed,
            Qt::QueuedConnection);
    m_thread.setObjectName(QStringLiteral("Playback"));
    m_thread.start();
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &CPlaybackController::Refresh);
    auto* devices = new QMediaDevices(this);
    connect(devices, &QMediaDevices::audioOutputsChanged, this, &CPlaybackController::RefreshDevice);
    RefreshDevice();
}

CPlaybackController::~CPlaybackController() {
    // A start still queued runs before this, so no sink outlives us; the
    // sink goes on the thread it lives in.
    QMetaObject::invokeMethod(
        m_pWorker, [worker = m_pWorker] { worker->Shutdown(); }, Qt::BlockingQueuedConnection);
    m_pDoc = nullptr;
    m_thread.quit();
    m_thread.wait();
    // Its thread has ended and it holds no sink any more.
    delete m_pWorker;
}

void CPlaybackController::RefreshDevice() {
    m_device = QMediaDevices::defaultAudioOutput();
    m_bAvailable = !m_device.isNull();
    if (!m_bAvailable && m_pDoc != nullptr) Stop();
    if (!m_bAvailable && !m_bToldNoDevice) {
        m_bToldNoDevice = true;
        ShowStatus(QString::fromUtf8(kNoDeviceText));
    }
}

void CPlaybackController::ShowStatus(const QString& text) const {
    if (auto* window = qobject_cast<QMainWindow*>(platform::GetMainWindow()))
        window->statusBar()->showMessage(text);
}

bool CPlaybackController::OnUpdateCommand(int id, const CFonavidDoc* doc,
                                          platform::CommandState& state) const {
    switch (id) {
        case res::ID_PLAY_VISIBLE:
            // Space also stops, so it stays enabled while anything plays.
            state.enabled =
                m_bAvailable && (IsPlaying() || (doc != nullptr && doc->GetFilm()->GetFrADC() > 0.0));
            return true;
        case res::ID_PLAY_TO_END:
            state.enabled = m_bAvailable && doc != nullptr && doc->GetFilm()->GetFrADC() > 0.0;
            return true;
        case res::ID_PLAY_STOP:
        case res::ID_PLAY_STOP_AT_HEAD:
            state.enabled = m_bAvailable && IsPlaying();
            return true;
        default:
            return false;
    }
}

bool CPlaybackController::OnCommand(int id, CFonavidDoc* doc, double visibleEndTime) {
    switch (id) {
        case res::ID_PLAY_VISIBLE:
            if (IsPlaying()) {
                Stop();
                return true;
            }
            if (doc != nullptr) Play(doc, doc->GetTimeFrequencyCursor().time, visibleEndTime);
            return true;
        case res::ID_PLAY_TO_END:
            if (doc != nullptr)
                Play(doc, doc->GetTimeFrequencyCursor().time, doc->GetFilm()->GetTimeLength_in_seconds());
            return true;
        case res::ID_PLAY_STOP:
            Stop();
            return true;
        case res::ID_PLAY_STOP_AT_HEAD:
            Stop(true);
            return true;
        default:
            return false;
    }
}

bool CPlaybackController::Play(CFonavidDoc* doc, double startTime, double endTime) {
    if (!m_bAvailable || doc == nullptr) return false;
    if (IsPlaying()) Stop();
    CKMultiWaveFilm* film = doc->GetFilm();
    const double rate = film->GetFrADC();
    if (!(rate > 0.0)) return false;
    const CKWave* main = film->GetMainKWave(0);
    const long samples = main->GetNSamples();
    const long start = std::clamp<long>(main->GetSampleNumberFromTime(startTime), 0, samples);
    const long end = std::clamp<long>(main->GetSampleNumberFromTime(endTime), start, samples);
    if (end <= start) return false;
    std::vector<const KCOMPLEX_KFLOAT*> channels;
    for (int c = 0; c < film->GetChannels() && c < 2; ++c)
        channels.push_back(film->GetMainKWave(c)->GetFirstComplexSample());
    if (channels.empty() || channels.front() == nullptr) return false;
    m_format = ChooseFormat(m_device, static_cast<int>(std::lround(rate)), static_cast<int>(channels.size()));
    if (!m_format.isValid()) {
        ShowStatus(QString::fromUtf8("Воспроизведение невозможно: устройство не принимает звук этого файла"));
        return false;
    }
    const auto type = m_format.sampleFormat() == QAudioFormat::Float ? PlaybackFeed::SampleType::Float32
                                                                     : PlaybackFeed::SampleType::Int16;
    auto* feed = new PlaybackFeed(std::move(channels), start, end, rate, m_format.sampleRate(), type);
    if (!feed->IsValid()) {
        delete feed;
        return false;
    }
    m_pDoc = doc;
    m_mapping = PlayheadMapping(start, end, rate);
    ++m_nSession;
    m_nStartLatencyMs = -1;
    m_sinceStart.start();
    QMetaObject::invokeMethod(
        m_pWorker,
        [worker = m_pWorker, session = m_nSession, feed, device = m_device, format = m_format] {
            worker->Start(session, feed, device, format);
        },
        Qt::QueuedConnection);
    doc->SetPlayhead(start);
    m_refresh.start();
    return true;
}

qint64 CPlaybackController::GetProcessedUs() const { return m_pWorker->GetProcessedUs(); }

qint64 CPlaybackController::GetProcessedAtMs() const { return m_pWorker->GetProcessedAtMs(); }

void CPlaybackController::Refresh() {
    if (m_pDoc == nullptr) return;
    const qint64 processed = m_pWorker->GetProcessedUs();
    if (processed > 0 && m_nStartLatencyMs < 0) m_nStartLatencyMs = m_sinceStart.elapsed();
    const long sample = m_mapping.SampleAt(processed);
    if (sample != m_pDoc->GetPlayheadSample()) {
        m_pDoc->SetPlayhead(sample);
        emit playheadMoved(sample);
    }
}

void CPlaybackController::Stop(bool moveCursor) {
    if (m_pDoc == nullptr) return;
    QMetaObject::invokeMethod(
        m_pWorker, [worker = m_pWorker, session = m_nSession] { worker->Stop(session); },
        Qt::QueuedConnection);
    EndSession(moveCursor);
}

void CPlaybackController::EndSession(bool moveCursor) {
    CFonavidDoc* doc = m_pDoc;
    if (doc == nullptr) return;
    Refresh();
    m_refresh.stop();
    m_pDoc = nullptr;
    const long sample = doc->GetPlayheadSample();
    doc->SetPlayhead(-1);
    if (moveCursor && sample >= 0) {
        doc->SetTimeFrequencyCursor(sample / m_mapping.GetFrADC(), doc->GetTimeFrequencyCursor().frequency);
    }
}

void CPlaybackController::ForgetDocument(const CFonavidDoc* doc) {
    if (doc == nullptr || doc != m_pDoc) return;
    // The worker reads this document's stores: wait until it has let go.
    QMetaObject::invokeMethod(
        m_pWorker, [worker = m_pWorker, session = m_nSession] { worker->Stop(session); },
        Qt::BlockingQueuedConnection);
    m_refresh.stop();
    m_pDoc = nullptr;
}

void CPlaybackController::OnWorkerFinished(int session, qint64 bytes, qint64 processedUs) {
    if (session == m_nSession) EndSession(false);
    emit finished(bytes, processedUs);
}

void CPlaybackController::OnWorkerFailed(int session, const QString& reason) {
    if (session == m_nSession) EndSession(false);
    ShowStatus(QString::fromUtf8("Воспроизведение невозможно: ") + reason);
}
