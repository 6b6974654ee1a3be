// Turns the signals that ask a program to end (SIGTERM: kill, shutdown;
// SIGHUP: the session or terminal went away) into a Qt signal that the event
// loop delivers, so that the program can quit the way its own Exit command
// does: documents closed and their temporary files removed. The handler only
// writes the signal's number into a pipe that a socket notifier watches; all
// else happens on the user-interface thread. A signal the program was started
// with ignored (nohup) stays ignored.
//
// It also ignores SIGXFSZ while it lives: a write beyond the file-size limit
// (ulimit -f) is then an ordinary failed write, reported as such, instead of
// the end of the process.
//
// One object at a time; the previous dispositions come back when it goes.
#pragma once

#include <QObject>
#include <csignal>

#include "FonacoreApi.h"

class QSocketNotifier;

namespace platform {

class FONACORE_API QuitSignals : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when the pipe or the notifier could not be made (the signals
    // then keep their previous dispositions).
    bool IsActive() const { return m_pNotifier != nullptr; }

signals:
    // Emitted from the event loop once per signal received.
    void quitRequested(int signalNumber);

private:
    void OnReadable();

    QSocketNotifier* m_pNotifier = nullptr;
    struct sigaction m_previousTerm {};
    struct sigaction m_previousHup {};
    struct sigaction m_previousXfsz {};
    bool m_bOwnsPipe = false;
};

}  // namespace platform
