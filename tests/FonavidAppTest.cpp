// Start-up and the application's commands: opening through the template and
// by drops, the recent-file list, the files named on the command line, files
// that cannot be read, the desktop registration and the About box.
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

#include "AboutDlg.h"
#include "CommandLine.h"
#include "ResourceIds.h"
#include "ShellFixture.h"

namespace {

using FonavidAppTest = ShellFixture;

TEST_F(FonavidAppTest, FileDroppedOnTheMainWindowOpens) {
    const std::string path = Wav("dropped.wav");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    EXPECT_TRUE(DropOnMainWindow(data));
    ASSERT_EQ(DocumentCount(), 1u);
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_EQ(app->GetDocTemplate()->GetDocuments()[0]->GetTitle(), "dropped.wav");
    EXPECT_EQ(platform::GetRecentFileList().front(), app->GetDocTemplate()->GetDocuments()[0]->GetPathName());
}

TEST_F(FonavidAppTest, DropWithoutFilesIsRefused) {
    QMimeData data;
    data.setText(QStringLiteral("not a file"));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_EQ(DocumentCount(), 0u);
}

TEST_F(FonavidAppTest, OpeningAnOpenFileAgainBringsItsWindowForward) {
    const std::string a = Wav("a.wav");
    OpenWithKeyboard(a);
    OpenWithKeyboard(Wav("b.wav"));
    ASSERT_EQ(Windows().size(), 2);
    OpenWithKeyboard(a);
    EXPECT_EQ(Windows().size(), 2);
    EXPECT_EQ(DocumentCount(), 2u);
    EXPECT_EQ(frame->GetActiveDocument()->GetTitle(), "a.wav");
}

TEST_F(FonavidAppTest, RecentFileListKeepsSixteenEntries) {
    std::vector<std::string> paths;
    for (int i = 0; i < 18; ++i) {
        paths.push_back(Wav("f" + std::to_string(i) + ".wav", 0.2));
        ASSERT_NE(app->OpenDocumentFile(paths.back()), nullptr);
        Trigger(res::ID_FILE_CLOSE);
    }
    EXPECT_EQ(DocumentCount(), 0u);
    const std::vector<std::string> list = platform::GetRecentFileList();
    ASSERT_EQ(list.size(), 16u);
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list[i], paths[17 - i]);

    // The File menu shows them in place of its placeholder.
    QMenu* file = frame->GetMenus(128)[0];
    emit file->aboutToShow();
    std::vector<QString> recent;
    for (QAction* a : file->actions()) {
        const int id = platform::CommandActions::CommandId(a);
        if (id >= res::ID_FILE_MRU_FILE1 && id < res::ID_FILE_MRU_FILE1 + 16) {
            recent.push_back(a->text());
            EXPECT_TRUE(a->isEnabled());
        }
        EXPECT_FALSE(a->isVisible() && a->text() == QStringLiteral("Recent File"));
    }
    ASSERT_EQ(recent.size(), 16u);
    EXPECT_EQ(recent[0], QStringLiteral("&1 ") + QString::fromStdString(paths[17]));
    EXPECT_EQ(recent[15], QStringLiteral("16 ") + QString::fromStdString(paths[2]));

    // Choosing an entry opens it; an entry whose file is gone leaves the list.
    Trigger(res::ID_FILE_MRU_FILE1 + 1);
    ASSERT_EQ(DocumentCount(), 1u);
    EXPECT_EQ(frame->GetActiveDocument()->GetTitle(), "f16.wav");
    Trigger(res::ID_FILE_CLOSE);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(paths[15])));
    Trigger(res::ID_FILE_MRU_FILE1 + 2);
    EXPECT_EQ(DocumentCount(), 0u);
    EXPECT_EQ(messages.count(), 1u);
    const std::vector<std::string> after = platform::GetRecentFileList();
    EXPECT_EQ(after.size(), 15u);
    EXPECT_EQ(std::count(after.begin(), after.end(), paths[15]), 0);
}

TEST_F(FonavidAppTest, EmptyRecentListShowsTheGrayedPlaceholder) {
    QMenu* file = frame->GetMenus(128)[0];
    emit file->aboutToShow();
    int placeholders = 0;
    for (QAction* a : file->actions()) {
        if (a->isVisible() && a->text() == QStringLiteral("Recent File")) {
            ++placeholders;
            EXPECT_FALSE(a->isEnabled());
        }
    }
    EXPECT_EQ(placeholders, 1);
}

// No file named, however the launcher says so: the main window alone, no document.
TEST_F(FonavidAppTest, CommandLineWithoutFilesMakesNoDocument) {
    for (const QStringList& line :
         {QStringList{QStringLiteral("fonavid")}, QStringList{QStringLiteral("fonavid"), QString()},
          QStringList{QStringLiteral("fonavid"), QStringLiteral("--")}}) {
        std::unique_ptr<CFonavidApp> second = MakeApp();
        ASSERT_TRUE(second->InitInstance(line));
        EXPECT_TRUE(second->GetDocTemplate()->GetDocuments().empty()) << line.join(' ').toStdString();
        EXPECT_TRUE(second->GetMainFrame()->GetMdiArea()->subWindowList().isEmpty());
        EXPECT_TRUE(second->GetMainFrame()->isVisible());
        EXPECT_TRUE(second->GetMainFrame()->isMaximized());
    }
    EXPECT_TRUE(messages.texts().empty());
}

// What the desktop's "Open with" hands over: every file opens as File, Open
// would (a path relative to the current folder too, and one after "--" that
// looks like an option); the ones that cannot be opened give their own
// message and no window, and the others still open.
TEST_F(FonavidAppTest, CommandLineFilesOpenEachAsFileOpenWould) {
    const std::string first = Wav("first.wav");
    Wav("-dash.wav");
    const std::string missing = dir.file("missing.wav");
    const std::string junk = dir.file("junk.wav");
    ASSERT_TRUE(testwav::writeFile(junk, {'h', 'e', 'l', 'l', 'o'}));
    const QString previousFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path())));
    Wav("relative.wav");
    std::unique_ptr<CFonavidApp> second = MakeApp();
    const bool started = second->InitInstance({QStringLiteral("fonavid"), QString::fromStdString(first),
                                               QString::fromStdString(missing),
                                               QStringLiteral("relative.wav"), QString::fromStdString(junk),
                                               QStringLiteral("--"), QStringLiteral("-dash.wav")});
    QDir::setCurrent(previousFolder);
    ASSERT_TRUE(started);

    std::vector<std::string> titles;
    for (const auto& document : second->GetDocTemplate()->GetDocuments())
        titles.push_back(document->GetTitle());
    EXPECT_EQ(titles, (std::vector<std::string>{"first.wav", "relative.wav", "-dash.wav"}));
    EXPECT_EQ(second->GetMainFrame()->GetMdiArea()->subWindowList().size(), 3);
    EXPECT_TRUE(second->GetMainFrame()->isMaximized());
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_EQ(messages.texts()[0],
              "Cannot open the file " + missing + ".\n\nНе удается открыть файл " + missing + ".");
    // The recent-file list has the opened files, newest first, as File, Open leaves it.
    const std::vector<std::string> recent = platform::GetRecentFileList();
    ASSERT_EQ(recent.size(), 3u);
    EXPECT_EQ(recent[0], dir.file("-dash.wav"));
    EXPECT_EQ(recent[1], dir.file("relative.wav"));
    EXPECT_EQ(recent[2], first);
}

TEST_F(FonavidAppTest, CommandLineFileNameThatIsNotUtf8OpensByItsBytes) {
    // Bytes ff fe: no UTF-8 text, so a trip through a QString would name
    // another file.
    const std::string path = dir.file("\xff\xfe.wav");
    const std::string made = Wav("plain.wav");
    ASSERT_EQ(std::rename(made.c_str(), path.c_str()), 0);
    std::unique_ptr<CFonavidApp> second = MakeApp();
    ASSERT_TRUE(second->InitInstance(std::vector<std::string>{"fonavid", path}));
    EXPECT_EQ(messages.count(), 0u) << (messages.count() ? messages.texts()[0] : "");
    ASSERT_EQ(second->GetDocTemplate()->GetDocuments().size(), 1u);
    EXPECT_EQ(second->GetDocTemplate()->GetDocuments().front()->GetPathName(), path);
}

struct CommandLineCase {
    std::vector<std::string> arguments;
    CommandLine::Action action;
    std::vector<std::string> files;
};

// Printed by its arguments: GoogleTest would otherwise print the struct's
// bytes, padding included, which are never written.
void PrintTo(const CommandLineCase& c, std::ostream* os) {
    for (const std::string& argument : c.arguments) *os << '[' << argument << ']';
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, Parses) {
    const CommandLine line = CommandLine::Parse(GetParam().arguments);
    EXPECT_EQ(line.action, GetParam().action);
    if (line.action == CommandLine::Action::Run) {
        EXPECT_EQ(line.files, GetParam().files);
    }
    EXPECT_EQ(line.error.empty(), line.action != CommandLine::Action::Error) << line.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{{}, CommandLine::Action::Run, {}},
        CommandLineCase{{"a.wav", "", "/b c.wav", "-"}, CommandLine::Action::Run, {"a.wav", "/b c.wav", "-"}},
        CommandLineCase{{"--", "--help", "-x.wav"}, CommandLine::Action::Run, {"--help", "-x.wav"}},
        CommandLineCase{{"a.wav", "--help"}, CommandLine::Action::Help, {}},
        CommandLineCase{{"-h", "--bogus"}, CommandLine::Action::Help, {}},
        CommandLineCase{{"--bogus", "--version"}, CommandLine::Action::Version, {}},
        CommandLineCase{{"--version", "--help"}, CommandLine::Action::Help, {}},
        CommandLineCase{{"a.wav", "--bogus"}, CommandLine::Action::Error, {}},
        CommandLineCase{{"--version=2"}, CommandLine::Action::Error, {}}));

TEST_F(FonavidAppTest, MissingFileGivesItsMessageAndNoWindow) {
    const std::string path = dir.file("missing.wav");
    OpenWithKeyboard(path);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(), "Cannot open the file " + path + ".\n\nНе удается открыть файл " + path + ".");
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(DocumentCount(), 0u);
    EXPECT_TRUE(platform::GetRecentFileList().empty());
    EXPECT_EQ(frame->GetShownMenu(), 128);
}

TEST_F(FonavidAppTest, FileThatIsNoWaveGivesOneMessageAndNoWindow) {
    const std::string path = dir.file("junk.wav");
    ASSERT_TRUE(testwav::writeFile(path, {'h', 'e', 'l', 'l', 'o'}));
    OpenWithKeyboard(path);
    EXPECT_EQ(messages.count(), 1u);
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(DocumentCount(), 0u);
}

TEST_F(FonavidAppTest, ThreeChannelFileIsRefusedWithItsMessage) {
    OpenWithKeyboard(Wav("three.wav", 0.5, 3));
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(
        messages.last(),
        "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.");
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(DocumentCount(), 0u);
}

TEST_F(FonavidAppTest, CancelledOpenDialogOpensNothing) {
    OpenWithKeyboard(std::string());
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_TRUE(Windows().isEmpty());
}

TEST_F(FonavidAppTest, DesktopEntryIsWrittenAtStart) {
    QFile entry(QString::fromStdString(dir.file("data")) +
                QStringLiteral("/applications/Fonavid.Document.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    EXPECT_EQ(text.toStdString(), CFonavidApp::DesktopEntryText("/opt/fonavid/bin/fonavid"));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/fonavid/bin/fonavid\" %f\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nMimeType=audio/x-wav;audio/wav;audio/vnd.wave;\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Fonavid.Document")));
    EXPECT_TRUE(text.contains(QStringLiteral(".wav")));
    // Nothing else was left in the folder (no temporary file of the write).
    EXPECT_EQ(QDir(QString::fromStdString(dir.file("data")) + QStringLiteral("/applications"))
                  .entryList(QDir::Files | QDir::Hidden)
                  .size(),
              1);
}

// An installed program has its own entry in the data folders: start-up then
// writes no second handler that could outlive the binary that ran.
TEST_F(FonavidAppTest, InstalledDesktopEntryMakesTheRegistrationUnnecessary) {
    const QString system = QString::fromStdString(dir.file("system"));
    ASSERT_TRUE(QDir().mkpath(system + QStringLiteral("/applications")));
    ASSERT_TRUE(testwav::writeFile(dir.file("system/applications/fonavid.desktop"), {'#'}));
    const QString written =
        QString::fromStdString(dir.file("home")) + QStringLiteral("/applications/Fonavid.Document.desktop");
    CFonavidApp::Environment env;
    env.dataHome = dir.file("home");
    env.program = "/opt/fonavid/bin/fonavid";
    env.dataDirs = {dir.file("home"), dir.file("system")};
    {
        CFonavidApp installed(env);
        ASSERT_TRUE(installed.InitInstance({QStringLiteral("fonavid")}));
    }
    EXPECT_FALSE(QFileInfo::exists(written));
    // Without it the registration is written, into the user's folder.
    env.dataDirs = {dir.file("home"), dir.file("elsewhere")};
    {
        CFonavidApp uninstalled(env);
        ASSERT_TRUE(uninstalled.InitInstance({QStringLiteral("fonavid")}));
    }
    EXPECT_TRUE(QFileInfo::exists(written));
}

TEST(DesktopEntry, OnlyAnAbsoluteProgramPathIsRegistered) {
    testwav::TempDir dir;
    for (const std::string program : {"", "fonavid", "./build/fonavid", "build/fonavid"}) {
        EXPECT_TRUE(CFonavidApp::RegisterShellFileTypes(dir.path(), program).empty()) << program;
    }
    EXPECT_FALSE(QDir(QString::fromStdString(dir.file("applications"))).exists());
    EXPECT_FALSE(CFonavidApp::RegisterShellFileTypes(dir.path(), "/usr/bin/fonavid").empty());
}

// Qt's own buttons and dialogs speak Russian beside the Russian interface,
// whatever the user's locale; removing the translator restores them.
TEST(QtTranslations, LoadedTheStandardTextsAreRussian) {
    const auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    const auto open = [] { return QCoreApplication::translate("QFileDialog", "Open"); };
    ASSERT_EQ(cancel(), QStringLiteral("Cancel"));
    QTranslator* translator = CFonavidApp::LoadQtTranslations();
    ASSERT_NE(translator, nullptr) << "Qt's Russian translations are not installed";
    EXPECT_EQ(translator->parent(), QCoreApplication::instance());
    EXPECT_EQ(cancel(), QStringLiteral("Отмена"));
    EXPECT_EQ(open(), QStringLiteral("Открыть"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
}

TEST(DesktopEntry, ProgramPathIsQuotedForExec) {
    EXPECT_EQ(CFonavidApp::QuoteExecArgument("/usr/bin/fonavid"), "\"/usr/bin/fonavid\"");
    EXPECT_EQ(CFonavidApp::QuoteExecArgument("/home/a b/fonavid"), "\"/home/a b/fonavid\"");
    // Inside quotes ", `, $ and \ take a backslash, which the entry's own
    // escaping doubles; % is doubled.
    EXPECT_EQ(CFonavidApp::QuoteExecArgument("/x$y/100%/q\"r"), "\"/x\\\\$y/100%%/q\\\\\"r\"");
}

TEST(DesktopEntry, UnwritableFolderIsNoFailureOfStartUp) {
    testwav::TempDir dir;
    const std::string blocker = dir.file("file");
    ASSERT_TRUE(testwav::writeFile(blocker, {'x'}));
    // A plain file where the folder should be: nothing is written, nothing breaks.
    EXPECT_TRUE(CFonavidApp::RegisterShellFileTypes(blocker, "/bin/true").empty());
}

TEST_F(FonavidAppTest, AboutBoxShowsItsTextsAndEndsWithOk) {
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        auto* dialog = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("About Fonavid"));
        auto* version = dialog->findChild<QLabel*>(QStringLiteral("version"));
        ASSERT_NE(version, nullptr);
        EXPECT_EQ(version->text(), QStringLiteral("Fonavid Version 3.0"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("ok"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("OK"));
        EXPECT_TRUE(ok->isDefault());
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    Trigger(res::ID_APP_ABOUT);
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
