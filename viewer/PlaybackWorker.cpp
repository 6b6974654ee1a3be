#include "PlaybackWorker.h"

#include <QAudioSink>
#include <QDeadlineTimer>
#include <QTimer>
#include <utility>

namespace {

// How often the sink's buffer is topped up and its time read.
constexpr int kFeedPeriodMs = 5;
// The sink's buffer: long enough that a busy machine does not starve it.
constexpr int kBufferMs = 1000;

}  // namespace

PlaybackWorker::PlaybackWorker() = default;

PlaybackWorker::~PlaybackWorker() { ReleaseSink(); }

void PlaybackWorker::Start(int session, PlaybackFeed* feed, const QAudioDevice& device,
                           const QAudioFormat& format) {
    std::unique_ptr<PlaybackFeed> owned(feed);
    if (m_pDevice != nullptr) Finish();
    m_nSession = session;
    m_nProcessedUs.store(0, std::memory_order_release);
    m_nBytesWritten.store(0, std::memory_order_release);
    m_feed = std::move(owned);
    if (m_pTimer == nullptr) {
        m_pTimer = new QTimer(this);
        m_pTimer->setTimerType(Qt::PreciseTimer);
        connect(m_pTimer, &QTimer::timeout, this, &PlaybackWorker::Feed);
    }
    // One sink serves every playback on the same device in the same format:
    // the sound server's stream is opened and closed per playback, but the
    // sink itself, whose destruction races the server's callbacks, goes only
    // when it must.
    if (m_pSink != nullptr && (m_sinkDevice != device || m_pSink->format() != format)) ReleaseSink();
    if (m_pSink == nullptr) {
        m_pSink = new QAudioSink(device, format);
        m_pSink->setBufferSize(format.bytesForDuration(static_cast<qint64>(kBufferMs) * 1000));
        m_sinkDevice = device;
    }
    m_pDevice = m_pSink->start();
    if (m_pDevice == nullptr || m_pSink->error() != QAudio::NoError) {
        m_feed.reset();
        ReleaseSink();
        emit failed(session, QString::fromUtf8("звуковое устройство не принимает данные"));
        return;
    }
    Feed();
    m_pTimer->start(kFeedPeriodMs);
}

void PlaybackWorker::Feed() {
    if (m_pDevice == nullptr || !m_feed) return;
    const qint64 free = m_pSink->bytesFree();
    if (free > 0 && !m_feed->AtEnd()) {
        if (m_chunk.size() < free) m_chunk.resize(free);
        const size_t made = m_feed->Read(m_chunk.data(), static_cast<size_t>(free));
        qint64 at = 0;
        while (at < static_cast<qint64>(made)) {
            const qint64 written = m_pDevice->write(m_chunk.constData() + at, static_cast<qint64>(made) - at);
            if (written <= 0) break;
            at += written;
        }
        m_nBytesWritten.fetch_add(at, std::memory_order_acq_rel);
    }
    const qint64 processed = m_pSink->processedUSecs();
    m_nProcessedUs.store(processed, std::memory_order_release);
    m_nProcessedAtMs.store(QDeadlineTimer::current().deadline(), std::memory_order_release);
    const qint64 duration = m_feed->GetTotalFrames() * 1000000 / m_pSink->format().sampleRate();
    // Done when every byte went out and the sink has played them, or has
    // run dry after the last of them.
    if (m_feed->AtEnd() && (processed >= duration || m_pSink->state() == QAudio::IdleState)) Finish();
}

void PlaybackWorker::Stop(int session) {
    if (session == m_nSession && m_pDevice != nullptr) Finish();
}

void PlaybackWorker::Shutdown() {
    Stop(m_nSession);
    ReleaseSink();
}

void PlaybackWorker::Finish() {
    if (m_pTimer != nullptr) m_pTimer->stop();
    if (m_pDevice == nullptr) return;
    const qint64 processed = m_pSink->processedUSecs();
    m_nProcessedUs.store(processed, std::memory_order_release);
    m_pDevice = nullptr;
    m_pSink->reset();
    m_pSink->stop();
    m_feed.reset();
    emit finished(m_nSession, m_nBytesWritten.load(std::memory_order_acquire), processed);
}

void PlaybackWorker::ReleaseSink() {
    // The sink's destructor may run this thread's events: by then this
    // worker holds no part of it.
    QAudioSink* sink = std::exchange(m_pSink, nullptr);
    m_pDevice = nullptr;
    delete sink;
}
