#include "QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace platform {
namespace {

// The pipe between the handler and the event loop; -1 while no object lives.
int g_readEnd = -1;
int g_writeEnd = -1;

void OnSignal(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request to quit; nothing is lost.
    if (g_writeEnd >= 0) (void)!write(g_writeEnd, &byte, 1);
    errno = saved;
}

void Install(int signalNumber, struct sigaction& previous) {
    sigaction(signalNumber, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (g_readEnd >= 0) return;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_bOwnsPipe = true;
    m_pNotifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    Install(SIGTERM, m_previousTerm);
    Install(SIGHUP, m_previousHup);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &m_previousXfsz);
}

QuitSignals::~QuitSignals() {
    if (!m_bOwnsPipe) return;
    sigaction(SIGTERM, &m_previousTerm, nullptr);
    sigaction(SIGHUP, &m_previousHup, nullptr);
    sigaction(SIGXFSZ, &m_previousXfsz, nullptr);
    delete m_pNotifier;
    m_pNotifier = nullptr;
    close(g_writeEnd);
    close(g_readEnd);
    g_writeEnd = g_readEnd = -1;
}

void QuitSignals::OnReadable() {
    unsigned char byte = 0;
    while (read(g_readEnd, &byte, 1) == 1) emit quitRequested(byte);
}

}  // namespace platform
