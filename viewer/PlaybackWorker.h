// The sound path of a playback, living on its own thread: it owns the Qt
// audio sink, keeps the sink's buffer filled from a PlaybackFeed on a short
// period, and publishes the sink's processed time and the bytes it took, so
// that the user-interface thread reads them without ever waiting on the
// sound server. Made and driven by CPlaybackController through queued calls.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QObject>
#include <atomic>
#include <memory>

#include "PlaybackFeed.h"

class QAudioSink;
class QIODevice;
class QTimer;

class PlaybackWorker : public QObject {
    Q_OBJECT

public:
    PlaybackWorker();
    ~PlaybackWorker() override;

    // Published for the user-interface thread.
    qint64 GetProcessedUs() const { return m_nProcessedUs.load(std::memory_order_acquire); }
    qint64 GetBytesWritten() const { return m_nBytesWritten.load(std::memory_order_acquire); }
    // When the processed time was last read from the sink (QElapsedTimer's
    // monotonic clock, milliseconds): how old the play-head's source is.
    qint64 GetProcessedAtMs() const { return m_nProcessedAtMs.load(std::memory_order_acquire); }

public:
    // Opens a sink on `device` in `format` and plays `feed` (taken over) to
    // its end; `session` names the playback in the signals.
    void Start(int session, PlaybackFeed* feed, const QAudioDevice& device, const QAudioFormat& format);
    // Stops at once, dropping what the sink still holds; finished follows.
    void Stop(int session);
    // Stops and lets the sink go; run on the worker's thread before it ends.
    void Shutdown();

signals:
    // The playback `session` ended, all played or stopped; `bytes` went to the sink.
    void finished(int session, qint64 bytes, qint64 processedUs);
    // The sink refused to start: the reason, in the interface's language.
    void failed(int session, const QString& reason);

private:
    void Feed();
    void Finish();
    // Lets go of the sink and then destroys it.
    void ReleaseSink();

    int m_nSession = 0;
    std::unique_ptr<PlaybackFeed> m_feed;
    // The sink outlives a playback; `m_pDevice` is set while one runs.
    QAudioSink* m_pSink = nullptr;
    QAudioDevice m_sinkDevice;
    QIODevice* m_pDevice = nullptr;
    QTimer* m_pTimer = nullptr;
    QByteArray m_chunk;
    std::atomic<qint64> m_nProcessedUs{0};
    std::atomic<qint64> m_nBytesWritten{0};
    std::atomic<qint64> m_nProcessedAtMs{0};
};
