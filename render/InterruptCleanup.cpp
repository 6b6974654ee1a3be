#include "InterruptCleanup.h"

#include <signal.h>

#include <cerrno>

#include "CreatedFileTable.h"

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void OnSignal(int signal) {
    const int saved = errno;
    CreatedFileTable::RemoveAll();
    errno = saved;
    // The default action ends the process as the signal would have.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

}  // namespace

void InterruptCleanup::Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // One clean-up at a time: the other signals wait while it runs.
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}
