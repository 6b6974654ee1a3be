// The viewer asked to end by a signal (kill, logout) quits as File, Exit
// does: documents closed, signal files removed, the event loop left with 0.
// A write beyond the file-size limit is an ordinary failure with its message.
// The signals are real: raised in this process, through the handlers the
// application installs at start.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>
#include <chrono>
#include <fstream>
#include <thread>

#include "FonavidDoc.h"
#include "ShellFixture.h"

namespace {

class QuitSignalsTest : public ShellFixture, public ::testing::WithParamInterface<int> {};

bool Ignored(int signalNumber) {
    struct sigaction current {};
    sigaction(signalNumber, nullptr, &current);
    return current.sa_handler == SIG_IGN;
}

}  // namespace

TEST_P(QuitSignalsTest, SignalQuitsAsFileExitDoes) {
    const int signalNumber = GetParam();
    if (Ignored(signalNumber)) GTEST_SKIP() << "started with the signal ignored, which must stay so";
    ASSERT_NE(app->OpenDocumentFile(Wav("mono.wav")), nullptr);
    ASSERT_NE(app->OpenDocumentFile(Wav("stereo.wav", 1.0, 2)), nullptr);
    ASSERT_EQ(dir.tempSignalFiles().size(), 1u + 2u);

    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    safety.start(20000);
    QTimer::singleShot(0, [signalNumber] { raise(signalNumber); });
    const int code = QApplication::exec();
    safety.stop();

    EXPECT_EQ(code, 0);
    EXPECT_EQ(DocumentCount(), 0u);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(messages.count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(TermAndHup, QuitSignalsTest, ::testing::Values(SIGTERM, SIGHUP));

using FileSizeLimit = ShellFixture;

TEST_F(FileSizeLimit, OversizeWriteIsAFailedWriteWithItsMessage) {
    // The child inherits the dispositions the application set at start and
    // sets none of its own; its stores cannot grow past 64 KiB.
    const std::string path = Wav("long.wav", 4.0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 64 << 10;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        messages.clear();
        bool opened;
        {
            CFonavidDoc doc;
            opened = doc.OnOpenDocument(path);
        }
        if (opened) _exit(11);
        if (messages.count() != 1) _exit(12);
        if (!dir.tempSignalFiles().empty()) _exit(13);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(QuitSignalsLifetime, DispositionsComeBackWhenTheApplicationGoes) {
    struct sigaction before {};
    sigaction(SIGXFSZ, nullptr, &before);
    {
        testwav::TempDir dir;
        const std::string previousProfile = platform::SetProfileFile(dir.file("profile.ini"));
        CFonavidApp::Environment env;
        env.dataHome = dir.file("data");
        env.program = "/opt/fonavid/bin/fonavid";
        CFonavidApp app(env);
        ASSERT_TRUE(app.InitInstance({QStringLiteral("fonavid")}));
        EXPECT_TRUE(Ignored(SIGXFSZ));
        platform::SetProfileFile(previousProfile);
    }
    struct sigaction after {};
    sigaction(SIGXFSZ, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

namespace {

// Whether process `pid` has a handler of its own for `signalNumber` (the
// SigCgt mask of its status), that is, whether it has come far enough in
// its start to be told to quit.
bool Catches(pid_t pid, int signalNumber) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signalNumber - 1)) & 1u;
        }
    }
    return false;
}

}  // namespace

TEST(QuitSignalsProgram, ViewerEndsWithZeroWhenKilled) {
    testwav::TempDir dir;
    const std::string data = dir.file("data");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("HOME", dir.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        execl(FONAVID_VIEWER_PROGRAM, FONAVID_VIEWER_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Catches(child, SIGTERM) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(Catches(child, SIGTERM));
    EXPECT_TRUE(Catches(child, SIGHUP));
    ASSERT_EQ(kill(child, SIGTERM), 0);
    int status = 0;
    const auto quitBy = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    pid_t ended = 0;
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < quitBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the viewer did not quit";
    }
    ASSERT_EQ(ended, child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
