// fonavid-render itself, run as a child process the way a user or a script
// runs it: no display and no platform plugin in its environment, a profile
// of its own that puts the temporary signal files into a folder the test
// watches. Checks exit codes, standard streams, the written PNG and that a
// failure writes nothing and leaves no file behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <cmath>
#include <csignal>
#include <string>
#include <vector>

#include "WavWriter.h"

namespace {

const char kTooManyChannels[] =
    "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.";

struct ChildRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

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

    ChildRun Start(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_config.path()));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(FONAVID_RENDER_PROGRAM), arguments);
        ChildRun run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "the program did not finish";
            return run;
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        run.exitCode = process.exitCode();
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }

    std::string WriteTone(const std::string& name, double seconds) {
        std::vector<int16_t> samples;
        for (int i = 0; i < static_cast<int>(seconds * 8000); ++i)
            samples.push_back(
                static_cast<int16_t>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / 8000.0)));
        const std::string path = m_files.file(name);
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, samples)));
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
    // Long enough that its FGT is still being computed when the signal comes.
    std::vector<int16_t> samples(44100 * 8);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / 44100.0));
    const std::string input = m_files.file("long.wav");
    ASSERT_TRUE(testwav::writeFile(input, testwav::pcm16(44100, 1, samples)));
    for (const char* name : {"SIGTERM", "SIGINT"}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_config.path()));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(FONAVID_RENDER_PROGRAM),
                      {Q(input), QStringLiteral("-o"), Q(m_out.file("long.png")), QStringLiteral("--fgt")});
        ASSERT_TRUE(process.waitForStarted());
        // The progress comes on standard error: wait for that channel, not
        // for standard output, where nothing comes. The program's threads
        // (made later, they inherit this) leave the processor to this test
        // as soon as it wakes, so that it reads the FGT's start in time.
        process.setReadChannel(QProcess::StandardError);
        setpriority(PRIO_PROCESS, static_cast<id_t>(process.processId()), 19);
        std::string err;
        while (err.find("Рассчитывается FGT") == std::string::npos && process.state() == QProcess::Running) {
            process.waitForReadyRead(1000);
            err += process.readAllStandardError().toStdString();
        }
        ASSERT_EQ(process.state(), QProcess::Running) << err;
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
    }
}
