// Playback of the active document through the system's sound server: the
// one object of the program that plays sound (owned by the application
// object, made on first use). It answers the four play commands for the pane
// that routes them, chooses the sink's format, hands the samples to a
// PlaybackWorker on its own thread, and moves the document's play-head from
// the sink's processed time on every refresh of the user-interface thread.
//
// When there is no audio output the commands are disabled and the status
// bar tells why, once; nothing ever waits for a device. A document that goes
// away stops its playback first, so the worker never reads a freed store.
#pragma once

#include <QAudioDevice>
#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>

#include "PlayheadMapping.h"

class CFonavidDoc;
class PlaybackWorker;

namespace platform {
struct CommandState;
}

class CPlaybackController : public QObject {
    Q_OBJECT

public:
    // The program's controller, made on first use as a child of the
    // application object.
    static CPlaybackController& Instance();
    // The controller when it has been made, else null.
    static CPlaybackController* Existing();
    ~CPlaybackController() override;

    // The status-bar text shown when there is no audio output.
    static const char* const kNoDeviceText;

    // The play commands of a pane of `doc` whose visible columns end at
    // `visibleEndTime` seconds.
    bool OnCommand(int id, CFonavidDoc* doc, double visibleEndTime);
    bool OnUpdateCommand(int id, const CFonavidDoc* doc, platform::CommandState& state) const;

    // Plays layer 0 of every channel of `doc` from `startTime` to `endTime`
    // seconds (limited to the recording); false when nothing can play.
    bool Play(CFonavidDoc* doc, double startTime, double endTime);
    // Stops; with `moveCursor` the document's time cursor goes to the play-head.
    void Stop(bool moveCursor = false);
    // Stops at once when `doc` is playing, waiting until its samples are no
    // longer read. The document calls it as it goes.
    void ForgetDocument(const CFonavidDoc* doc);

    bool IsAvailable() const { return m_bAvailable; }
    bool IsPlaying() const { return m_pDoc != nullptr; }
    const CFonavidDoc* GetDocument() const { return m_pDoc; }
    const QAudioFormat& GetFormat() const { return m_format; }
    const PlayheadMapping& GetMapping() const { return m_mapping; }
    // The sink's processed time of the current playback as last published.
    qint64 GetProcessedUs() const;
    // When that time was read from the sink (QDeadlineTimer::current() milliseconds).
    qint64 GetProcessedAtMs() const;
    // Milliseconds from the last Play to the first sound the sink reported
    // processed; -1 until then.
    qint64 GetStartLatencyMs() const { return m_nStartLatencyMs; }

signals:
    // The play-head reached layer-0 sample `sample` of the playing document.
    void playheadMoved(long sample);
    // A playback ended; `bytes` went to the sink, which processed `processedUs`.
    void finished(qint64 bytes, qint64 processedUs);

private:
    CPlaybackController();
    void RefreshDevice();
    void Refresh();
    void OnWorkerFinished(int session, qint64 bytes, qint64 processedUs);
    void OnWorkerFailed(int session, const QString& reason);
    void EndSession(bool moveCursor);
    void ShowStatus(const QString& text) const;

    bool m_bAvailable = false;
    bool m_bToldNoDevice = false;
    QAudioDevice m_device;
    QThread m_thread;
    PlaybackWorker* m_pWorker = nullptr;
    QTimer m_refresh;
    CFonavidDoc* m_pDoc = nullptr;
    int m_nSession = 0;
    QAudioFormat m_format;
    PlayheadMapping m_mapping;
    QElapsedTimer m_sinceStart;
    qint64 m_nStartLatencyMs = -1;
};
