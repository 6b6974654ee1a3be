// fonavid-render itself, run as a child process the way a user or a script
// runs it: no display and no platform plugin in its environment, a profile
// of its own that puts the temporary signal files into a folder the test
// watches. Checks exit codes, standard streams, the written PNG and that a
// failure writes nothing and leaves no file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "LineGate.h"
#include "WavWriter.h"

namespace {

const char kTooManyChannels[] =
    "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.";

// An address space that holds the program, its document and its sonogram,
// but not the FGT of the long wave at a small P.
constexpr rlim_t kAddressSpaceForFgt = rlim_t{1} << 30;

struct ChildRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct ChildSetup {
    // Runs in the child between fork and exec: limits and signal dispositions.
    std::function<void()> inChild;
    // Standard error (output) goes to this file instead of a pipe.
    std::string errorFile;
    std::string outputFile;
    // Another program to start instead (a shell that passes names Qt cannot).
    QString program;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class RenderProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The user's profile of the child: Document/PathToTemporalFiles.
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_config.file("Fonavid"))));
        const std::string text = "[Document]\nPathToTemporalFiles=" + m_temp.path() + "\n";
        ASSERT_TRUE(testwav::writeFile(m_config.file("Fonavid/Fonavid.conf"),
                                       std::vector<uint8_t>(text.begin(), text.end())));
    }
    void TearDown() override { EXPECT_TRUE(m_temp.tempSignalFiles().empty()) << "signal files left behind"; }

    // Starts the program with the test's profile, in the output folder as
    // its working directory (so that a file it wrongly makes by a relative
    // name shows among OutputFiles).
    void Launch(QProcess& process, const QStringList& arguments, const ChildSetup& setup = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_config.path()));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(QString::fromStdString(m_out.path()));
        if (!setup.errorFile.empty()) process.setStandardErrorFile(QString::fromStdString(setup.errorFile));
        if (!setup.outputFile.empty())
            process.setStandardOutputFile(QString::fromStdString(setup.outputFile));
        if (setup.inChild) process.setChildProcessModifier(setup.inChild);
        process.start(setup.program.isEmpty() ? QStringLiteral(FONAVID_RENDER_PROGRAM) : setup.program,
                      arguments);
    }

    ChildRun Start(const QStringList& arguments, const ChildSetup& setup = {}) {
        QProcess process;
        Launch(process, arguments, setup);
        ChildRun run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the program did not finish";
            return run;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << process.readAllStandardError().toStdString();
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }

    // Waits until the running child has written `text` to its standard
    // error. The child runs at the lowest priority, and so do its threads
    // (made later, they inherit it), so that this test sees the stage the
    // text announces while it runs. False when the child ended first or took
    // a minute.
    static bool WaitForText(QProcess& process, const std::string& text) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(process.processId()), 19);
        process.setReadChannel(QProcess::StandardError);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        std::string err;
        while (err.find(text) == std::string::npos && process.state() == QProcess::Running &&
               std::chrono::steady_clock::now() < deadline) {
            process.waitForReadyRead(200);
            err += process.readAllStandardError().toStdString();
        }
        EXPECT_NE(err.find(text), std::string::npos) << err;
        return err.find(text) != std::string::npos && process.state() == QProcess::Running;
    }

    // Reads the child's progress through the sonogram's last line: the child
    // then writes the FGT's first line and computes the FGT, and cannot go on
    // past the FGT's last line until the test reads again.
    static void HoldInTheFgt(LineGate& gate) {
        ASSERT_TRUE(gate.ReadThrough(kSonogramDone)) << gate.ReadAll();
        ASSERT_TRUE(gate.NextLineWritten());
    }
    // The child's whole progress, when it was stopped where HoldInTheFgt held it.
    static void ExpectStoppedInTheFgt(const std::string& progress) {
        EXPECT_NE(progress.find(std::string(kSonogramDone) + "\nРассчитывается FGT: 0%\n"), std::string::npos)
            << progress;
        EXPECT_EQ(progress.find("Рассчитывается FGT: 100%"), std::string::npos) << progress;
    }
    static constexpr char kSonogramDone[] = "Рассчитывается сонограмма: 100%";

    std::string WriteTone(const std::string& name, double seconds) {
        std::vector<int16_t> samples;
        for (int i = 0; i < static_cast<int>(seconds * 8000); ++i)
            samples.push_back(
                static_cast<int16_t>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / 8000.0)));
        const std::string path = m_files.file(name);
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, samples)));
        return path;
    }

    // White noise at 8000 Hz: pictures that deflate badly.
    std::string WriteNoise(const std::string& name, double seconds) {
        std::mt19937 random(5);
        std::uniform_int_distribution<int> noise(-20000, 20000);
        std::vector<int16_t> samples(static_cast<size_t>(seconds * 8000));
        for (int16_t& sample : samples) sample = static_cast<int16_t>(noise(random));
        const std::string path = m_files.file(name);
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, samples)));
        return path;
    }

    // Eight seconds of a tone at 44100 Hz: long enough that its FGT is still
    // being computed when a signal comes.
    static std::string WriteLongWave(const std::string& path) {
        std::vector<int16_t> samples(44100 * 8);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / 44100.0));
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(44100, 1, samples)));
        return path;
    }

    // Every file of the output folder.
    QStringList OutputFiles() const {
        return QDir(QString::fromStdString(m_out.path())).entryList(QDir::Files | QDir::Hidden);
    }

    testwav::TempDir m_config;
    testwav::TempDir m_temp;
    testwav::TempDir m_files;
    testwav::TempDir m_out;
};

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TEST_F(RenderProgramTest, HelpAndVersionNeedNoDisplay) {
    const ChildRun help = Start({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Использование: fonavid-render ВХОД.wav -o ВЫХОД.png", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--fgt-p=P"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const ChildRun version = Start({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("fonavid-render ", 0), 0u) << version.out;
}

TEST_F(RenderProgramTest, GoodFileWritesAPngThatLoads) {
    const std::string input = WriteTone("tone.wav", 2.0);
    const std::string output = m_out.file("tone.png");
    const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output), QStringLiteral("--mode=am")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Рассчитывается сонограмма: 100%"), std::string::npos) << run.err;
    const QImage picture(Q(output));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(16000 / 88, 513));
    EXPECT_EQ(OutputFiles(), QStringList{QStringLiteral("tone.png")});
}

TEST_F(RenderProgramTest, QuietRunWithFgtPrintsNothing) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string output = m_out.file("fgt.png");
    const ChildRun run = Start({Q(input), QStringLiteral("--output"), Q(output), QStringLiteral("--fgt"),
                                QStringLiteral("--fgt-p"), QStringLiteral("3"), QStringLiteral("--quiet")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const QImage picture(Q(output));
    ASSERT_FALSE(picture.isNull());
    // 8000 Hz: 431 FGT rows and the line above them on top of the sonogram.
    EXPECT_EQ(picture.size(), QSize(8000 / 88, 431 + 1 + 513));
}

TEST_F(RenderProgramTest, BadFileGivesTheViewersMessageAndWritesNothing) {
    testwav::Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", testwav::Bytes::fmtPayload(1, 3, 8000, 16));
    b.chunk("data", std::vector<uint8_t>(6000, 0));
    const std::string input = m_files.file("three.wav");
    ASSERT_TRUE(testwav::writeFile(input, b.fixRiffSize().data()));
    const std::string output = m_out.file("three.png");
    const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(kTooManyChannels), std::string::npos) << run.err;
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
}

TEST_F(RenderProgramTest, MissingFileGivesTheViewersMessage) {
    const std::string input = m_files.file("none.wav");
    const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(m_out.file("none.png"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Не удается открыть файл " + input + "."), std::string::npos) << run.err;
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(RenderProgramTest, BadOptionGivesAMessageAndWritesNothing) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string output = m_out.file("tone.png");
    ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output), QStringLiteral("--mode=fm")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind(
                  "Недопустимое значение параметра --mode: «fm». Ожидается amplitude, am или inverted.", 0),
              0u)
        << run.err;
    run = Start({Q(input), QStringLiteral("-o"), Q(output), QStringLiteral("--colour")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Неизвестный параметр: --colour.", 0), 0u) << run.err;
    run = Start({Q(input)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Не задан выходной файл", 0), 0u) << run.err;
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(RenderProgramTest, FolderThatDoesNotExistIsRefusedBeforeTheWork) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string output = m_out.file("missing/tone.png");
    const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Не удается создать файл " + output), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Загружается"), std::string::npos) << "refused before the file is read";
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(RenderProgramTest, InterruptedRunLeavesNothingBehind) {
    const std::string input = WriteLongWave(m_files.file("long.wav"));
    for (const char* name : {"SIGTERM", "SIGINT"}) {
        QProcess process;
        LineGate gate;
        ASSERT_TRUE(gate.IsReady());
        Launch(process, {Q(input), QStringLiteral("-o"), Q(m_out.file("long.png")), QStringLiteral("--fgt")},
               {gate.InChild(), {}, {}, {}});
        ASSERT_TRUE(process.waitForStarted());
        gate.ChildStarted();
        HoldInTheFgt(gate);
        EXPECT_FALSE(m_temp.tempSignalFiles().empty()) << "the film's files exist while it runs";
        if (std::string(name) == "SIGTERM") {
            process.terminate();
        } else {
            kill(static_cast<pid_t>(process.processId()), SIGINT);
        }
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit) << name;
        EXPECT_TRUE(m_temp.tempSignalFiles().empty()) << name;
        EXPECT_TRUE(OutputFiles().isEmpty()) << name;
        ExpectStoppedInTheFgt(gate.ReadAll());
    }
}

// The user's files beside the output, named so that a clean-up that chose
// files by their names (the output's name and a dot, the signal files'
// pattern) would take them: the input itself and the log of standard error.
struct UserFilesAroundTheOutput {
    const char* input;
    const char* output;
};

class RenderInterruptTest : public RenderProgramTest,
                            public ::testing::WithParamInterface<UserFilesAroundTheOutput> {};

TEST_P(RenderInterruptTest, RemovesOnlyTheFilesItMade) {
    const std::string input = WriteLongWave(m_out.file(GetParam().input));
    const std::string recording = ReadFile(input);
    const std::string output = m_out.file(GetParam().output);
    // A log of the user's that the program holds open, as `3>>rec.log` would.
    const std::string log = output + ".log";
    const std::string logText = "the user's notes\n";
    ASSERT_TRUE(testwav::writeFile(log, std::vector<uint8_t>(logText.begin(), logText.end())));
    LineGate gate;
    ASSERT_TRUE(gate.IsReady());
    const std::function<void()> toGate = gate.InChild();
    const auto inChild = [toGate, path = log] {
        toGate();
        const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
        if (fd >= 0 && fd != 3) {
            dup2(fd, 3);
            close(fd);
        }
    };
    QProcess process;
    Launch(process, {Q(input), QStringLiteral("-o"), Q(output), QStringLiteral("--fgt")},
           {inChild, {}, {}, {}});
    ASSERT_TRUE(process.waitForStarted());
    gate.ChildStarted();
    HoldInTheFgt(gate);
    EXPECT_FALSE(m_temp.tempSignalFiles().empty()) << "the film's files exist while it runs";
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    QStringList expected{Q(GetParam().input), QFileInfo(Q(log)).fileName()};
    expected.sort();
    EXPECT_EQ(OutputFiles(), expected);
    EXPECT_TRUE(ReadFile(input) == recording);
    EXPECT_EQ(ReadFile(log), logText);
    ExpectStoppedInTheFgt(gate.ReadAll());
}

INSTANTIATE_TEST_SUITE_P(NamesThatMatch, RenderInterruptTest,
                         ::testing::Values(UserFilesAroundTheOutput{"rec.wav", "rec"},
                                           UserFilesAroundTheOutput{"song.png.wav", "song.png"},
                                           UserFilesAroundTheOutput{"KFWrecording.TMP", "r.png"}));

TEST_F(RenderProgramTest, InterruptedWriteRemovesTheHalfWrittenPng) {
    // A picture that takes seconds to deflate at the hardest level: 2049
    // rows of noise by 1500 columns.
    const std::string input = WriteNoise("noise.wav", 3.0);
    QProcess process;
    Launch(process,
           {Q(input), QStringLiteral("-o"), Q(m_out.file("noise.png")), QStringLiteral("--fft=4096"),
            QStringLiteral("--step=16"), QStringLiteral("--mode=am"), QStringLiteral("--compression=9")});
    ASSERT_TRUE(process.waitForStarted());
    ASSERT_TRUE(WaitForText(process, "Записывается"));
    // The new file beside the output, being written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (OutputFiles().isEmpty() && process.state() == QProcess::Running &&
           std::chrono::steady_clock::now() < deadline)
        process.waitForFinished(10);
    ASSERT_EQ(OutputFiles().size(), 1);
    EXPECT_TRUE(OutputFiles()[0].startsWith(QStringLiteral("noise.png."))) << OutputFiles()[0].toStdString();
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit) << "the write ended before the signal";
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
}

TEST_F(RenderProgramTest, OutputThatIsNotARegularFileIsRefusedAndKept) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string fifo = m_out.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = m_out.file("link-to-pipe");
    ASSERT_EQ(symlink(fifo.c_str(), link.c_str()), 0);
    const std::string folder = m_out.file("folder");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    // A device: as root a node of our own (the system's must not be put at
    // risk), the system's null device otherwise.
    const bool root = geteuid() == 0;
    const std::string device = root ? m_out.file("null") : "/dev/null";
    if (root) {
        ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    }
    const std::pair<std::string, const char*> cases[] = {
        {fifo, "именованный канал"}, {link, "именованный канал"}, {folder, "папка"}, {device, "устройство"}};
    for (const auto& [target, kind] : cases) {
        struct stat before {};
        ASSERT_EQ(lstat(target.c_str(), &before), 0);
        const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(target)});
        EXPECT_EQ(run.exitCode, 1) << target;
        EXPECT_EQ(run.err, "Не удается создать файл " + target + ": это " + kind + ".\n");
        struct stat after {};
        ASSERT_EQ(lstat(target.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << target;
        EXPECT_EQ(after.st_mode, before.st_mode) << target;
    }
    QStringList expected{QStringLiteral("folder"), QStringLiteral("link-to-pipe"), QStringLiteral("pipe")};
    if (root) expected.append(QStringLiteral("null"));
    expected.sort();
    EXPECT_EQ(QDir(Q(m_out.path())).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              expected);
}

TEST_F(RenderProgramTest, OutputThatIsTheInputIsRefused) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string recording = ReadFile(input);
    const std::string symbolic = m_out.file("symbolic.wav");
    ASSERT_EQ(symlink(input.c_str(), symbolic.c_str()), 0);
    const std::string hard = m_out.file("hard.wav");
    ASSERT_EQ(link(input.c_str(), hard.c_str()), 0);
    const std::string folderName = QFileInfo(Q(m_files.path())).fileName().toStdString();
    const std::string roundabout = m_files.path() + "/../" + folderName + "/./tone.wav";
    for (const std::string& output : {input, symbolic, hard, roundabout}) {
        const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output)});
        EXPECT_EQ(run.exitCode, 1) << output;
        EXPECT_EQ(run.err, "Не удается создать файл " + output + ": это входной файл " + input + ".\n");
        EXPECT_TRUE(ReadFile(input) == recording) << output;
    }
    struct stat named {};
    ASSERT_EQ(lstat(symbolic.c_str(), &named), 0);
    EXPECT_TRUE(S_ISLNK(named.st_mode));
    // The input given through a link is the same file too.
    ChildRun run = Start({Q(symbolic), QStringLiteral("-o"), Q(input)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(ReadFile(input) == recording);
    // And so is standard output appended to it.
    ChildSetup shell;
    shell.program = QStringLiteral("/bin/sh");
    run = Start({QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$1\" -o - >> \"$1\""),
                 QStringLiteral(FONAVID_RENDER_PROGRAM), Q(input)},
                shell);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Не удается вывести PNG в стандартный вывод: это входной файл " + input + ".\n");
    EXPECT_TRUE(ReadFile(input) == recording);
}

TEST_F(RenderProgramTest, DashWritesThePngToStandardOutput) {
    const std::string input = WriteTone("tone.wav", 2.0);
    const std::string file = m_files.file("tone.png");
    ASSERT_EQ(Start({Q(input), QStringLiteral("-o"), Q(file), QStringLiteral("--mode=am")}).exitCode, 0);
    const ChildRun run =
        Start({Q(input), QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("--mode=am")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Progress and notes stay on standard error, out of the picture's way.
    EXPECT_NE(run.err.find("Рассчитывается сонограмма: 100%"), std::string::npos) << run.err;
    const QImage streamed = QImage::fromData(QByteArray::fromStdString(run.out), "PNG");
    ASSERT_FALSE(streamed.isNull());
    EXPECT_EQ(streamed, QImage(Q(file)));
    EXPECT_TRUE(run.out == ReadFile(file)) << "the same bytes as the file";
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
    // Not on a terminal, where the picture would be noise.
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    ChildSetup onTerminal;
    onTerminal.outputFile = ptsname(terminal);
    const ChildRun refused = Start({Q(input), QStringLiteral("-o"), QStringLiteral("-")}, onTerminal);
    close(terminal);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Не удается вывести PNG в стандартный вывод: это терминал.\n");
}

TEST_F(RenderProgramTest, FileSizeLimitIsAnOrdinaryWriteFailure) {
    // The limit is set in the child; the signal that exceeding it sends has
    // the default action there (ending the process) unless the program
    // itself says otherwise.
    const auto limit = [](rlim_t bytes) {
        ChildSetup setup;
        setup.inChild = [bytes] {
            const rlimit size{bytes, bytes};
            setrlimit(RLIMIT_FSIZE, &size);
            signal(SIGXFSZ, SIG_DFL);
        };
        return setup;
    };
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string output = m_out.file("tone.png");
    // Too small for the signal files.
    ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(output)}, limit(4096));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Не удалось нормально создать временный файл."), std::string::npos) << run.err;
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
    // Room for the signal files (under 1 MB), not for the picture: 2049 rows
    // of noise by 500 columns in colour, stored uncompressed (3 MB).
    const std::string noise = WriteNoise("noise.wav", 1.0);
    run = Start({Q(noise), QStringLiteral("-o"), Q(output), QStringLiteral("--fft=4096"),
                 QStringLiteral("--step=16"), QStringLiteral("--mode=am"), QStringLiteral("--compression=0")},
                limit(2 << 20));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Не удалось записать PNG-файл " + output + ": "), std::string::npos) << run.err;
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
}

TEST_F(RenderProgramTest, NamesThatAreNotUtf8ReachTheFileSystemAsTheyAre) {
    // Bytes ff fe are no UTF-8; Qt would turn them into other bytes, so a
    // shell passes the names to the program.
    const std::string input = m_files.file("tone\xff\xfe.wav");
    const std::string output = m_out.file("picture\xff\xfe.png");
    ASSERT_TRUE(testwav::writeFile(input, testwav::pcm16(8000, 1, std::vector<int16_t>(8000, 1000))));
    ChildSetup shell;
    shell.program = QStringLiteral("/bin/sh");
    const ChildRun run = Start({QStringLiteral("-c"),
                                QStringLiteral("exec \"$0\" \"$1/tone$(printf '\\377\\376').wav\" "
                                               "-o \"$2/picture$(printf '\\377\\376').png\""),
                                QStringLiteral(FONAVID_RENDER_PROGRAM), Q(m_files.path()), Q(m_out.path())},
                               shell);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Записывается " + output), std::string::npos) << run.err;
    const std::string png = ReadFile(output);
    EXPECT_FALSE(QImage::fromData(QByteArray::fromStdString(png), "PNG").isNull());
    // Listed by the bytes of the names: Qt would not show this one as it is.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_out.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"picture\xff\xfe.png"});
}

TEST_F(RenderProgramTest, FgtUnderTheAddressSpaceLimitThatRefusedTheWholeSignalComputesWhatIsDrawn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not live under an address-space limit";
#endif
    const std::string input = WriteLongWave(m_files.file("long.wav"));
    ChildSetup setup;
    setup.inChild = [] {
        const rlimit space{kAddressSpaceForFgt, kAddressSpaceForFgt};
        setrlimit(RLIMIT_AS, &space);
    };
    const ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(m_out.file("long.png")),
                                QStringLiteral("--fgt"), QStringLiteral("--fgt-p=0.5")},
                               setup);
    // The FGT's memory follows the picture, not the signal: the limit under
    // which every value of the signal did not fit holds the values drawn.
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("памяти для FGT"), std::string::npos) << run.err;
    EXPECT_EQ(OutputFiles(), QStringList{QStringLiteral("long.png")}) << run.err;
}

TEST_F(RenderProgramTest, DataFilesAndAxesComeWithThePicture) {
    const std::string input = WriteTone("tone.wav", 2.0);
    const std::string csv = m_out.file("levels.csv");
    ChildRun run = Start({Q(input), QStringLiteral("-o"), Q(m_out.file("plain.png")),
                          QStringLiteral("--width=120"), QStringLiteral("--data=") + Q(csv)});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Шаг столбцов 134 отсчетов: 119 столбцов"), std::string::npos) << run.err;
    const std::string npy = m_out.file("levels.npy");
    run = Start({Q(input), QStringLiteral("-o"), Q(m_out.file("framed.png")), QStringLiteral("--width=120"),
                 QStringLiteral("--data"), Q(npy), QStringLiteral("--axes")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Nothing but the program's own lines on standard error: no display,
    // and the platform that draws the text off screen says nothing.
    EXPECT_EQ(run.err.find("QStandardPaths"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("qt."), std::string::npos) << run.err;
    QStringList expected{QStringLiteral("framed.png"),
                         QStringLiteral("levels.csv"),
                         QStringLiteral("levels.frequencies.npy"),
                         QStringLiteral("levels.npy"),
                         QStringLiteral("levels.times.npy"),
                         QStringLiteral("plain.png")};
    EXPECT_EQ(OutputFiles(), expected);
    const QImage plain(Q(m_out.file("plain.png")));
    const QImage framed(Q(m_out.file("framed.png")));
    ASSERT_EQ(plain.size(), QSize(119, 513));
    EXPECT_GT(framed.width(), plain.width() + 40);
    EXPECT_GT(framed.height(), plain.height() + 20);

    // NumPy reads the matrix and its companions as the CSV has them.
    std::string python;
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        QProcess probe;
        probe.start(QString::fromUtf8(candidate), {QStringLiteral("-c"), QStringLiteral("import numpy")});
        if (probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0) {
            python = candidate;
            break;
        }
    }
    if (python.empty()) GTEST_SKIP() << "NumPy is not installed";
    QProcess numpy;
    numpy.start(Q(python),
                {QStringLiteral("-c"),
                 QStringLiteral("import numpy, sys\n"
                                "m = numpy.load(sys.argv[1]); t = numpy.load(sys.argv[2]); "
                                "f = numpy.load(sys.argv[3])\n"
                                "c = numpy.loadtxt(sys.argv[4], delimiter=',', skiprows=1)\n"
                                "h = numpy.loadtxt(sys.argv[4], delimiter=',', max_rows=1, "
                                "usecols=range(1, m.shape[1] + 1))\n"
                                "print(m.dtype, m.shape, t.dtype, t.shape, f.dtype, f.shape)\n"
                                "print(int(numpy.allclose(c[:, 0], t, atol=5e-7)), "
                                "int(numpy.allclose(h, f, atol=5e-7)), "
                                "int(numpy.allclose(c[:, 1:], m, atol=5e-4 + 1e-5, rtol=0)))\n"),
                 Q(npy), Q(m_out.file("levels.times.npy")), Q(m_out.file("levels.frequencies.npy")), Q(csv)});
    ASSERT_TRUE(numpy.waitForFinished(60000));
    EXPECT_EQ(numpy.readAllStandardOutput().toStdString(),
              "float32 (119, 512) float64 (119,) float64 (512,)\n1 1 1\n")
        << numpy.readAllStandardError().toStdString();
}

TEST_F(RenderProgramTest, DataFilesTakeThePicturesSafePath) {
    const std::string input = WriteTone("tone.wav", 1.0);
    const std::string recording = ReadFile(input);
    const std::string fifo = m_out.file("pipe.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string png = m_out.file("tone.png");
    const std::pair<QStringList, std::string> cases[] = {
        {{QStringLiteral("--data=") + Q(fifo)},
         "Не удается создать файл " + fifo + ": это именованный канал.\n"},
        {{QStringLiteral("--data=") + Q(input + ".csv"), QStringLiteral("--fgt"),
          QStringLiteral("--fgt-data=") + Q(input + ".csv")},
         "Файл " + input + ".csv задан как выход дважды (и как " + input + ".csv).\n"},
        {{QStringLiteral("--fgt"), QStringLiteral("--fgt-data=") + Q(m_out.file("no/fgt.csv"))},
         "Не удается создать файл " + m_out.file("no/fgt.csv") + ": папки " + m_out.file("no") +
             " нет или в нее нельзя писать.\n"}};
    for (const auto& [options, message] : cases) {
        const ChildRun run = Start(QStringList{Q(input), QStringLiteral("-o"), Q(png)} + options);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, message);
    }
    // A render that fails writes no data file either.
    const ChildRun failed = Start({Q(input), QStringLiteral("-o"), Q(png), QStringLiteral("--start=5"),
                                   QStringLiteral("--data=") + Q(m_out.file("levels.npy"))});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("нет ни одного столбца"), std::string::npos) << failed.err;
    EXPECT_TRUE(OutputFiles().isEmpty()) << OutputFiles().join(' ').toStdString();
    EXPECT_TRUE(ReadFile(input) == recording);
    // With the picture on standard output the data still go to their file.
    const ChildRun streamed = Start({Q(input), QStringLiteral("-o"), QStringLiteral("-"),
                                     QStringLiteral("--data=") + Q(m_out.file("l.csv"))});
    EXPECT_EQ(streamed.exitCode, 0) << streamed.err;
    EXPECT_FALSE(QImage::fromData(QByteArray::fromStdString(streamed.out), "PNG").isNull());
    EXPECT_EQ(ReadFile(m_out.file("l.csv")).rfind("time_s,0.000000,7.812500,", 0), 0u);
}
