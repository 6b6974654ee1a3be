// Test main: every test runs headless on the offscreen platform inside one
// QApplication, with a message sink that records instead of popping up boxes.
// A test that aborts (a library's failed check, an exception nobody caught)
// prints what it knows and its stack first, so that a run on another
// machine can be read afterwards.
#include <execinfo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

namespace {

extern "C" void PrintStackAndAbort(int signal) {
    static const char heading[] = "\n*** the test process aborted; its stack:\n";
    (void)!write(STDERR_FILENO, heading, sizeof heading - 1);
    void* frames[64];
    backtrace_symbols_fd(frames, backtrace(frames, 64), STDERR_FILENO);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void SayWhatWasUncaught() {
    const std::exception_ptr uncaught = std::current_exception();
    try {
        if (uncaught) std::rethrow_exception(uncaught);
        std::fputs("\n*** terminate called without an exception\n", stderr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "\n*** terminate called on an uncaught %s: %s\n", typeid(e).name(), e.what());
    } catch (...) {
        std::fputs("\n*** terminate called on an uncaught exception of an unknown type\n", stderr);
    }
    std::abort();
}

}  // namespace

int main(int argc, char** argv) {
    // The first backtrace loads what it needs; in the handler it must not.
    void* frame[1];
    (void)backtrace(frame, 1);
    std::signal(SIGABRT, PrintStackAndAbort);
    std::set_terminate(SayWhatWasUncaught);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("FonavidTest");
    QCoreApplication::setApplicationName("FonavidTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
