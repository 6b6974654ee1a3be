// Start-up and the application's commands: opening through the template and
// by drops, the recent-file list, the command line that opens nothing, files
// that cannot be read, the desktop registration and the About box.
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "AboutDlg.h"
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

TEST_F(FonavidAppTest, CommandLineWithAWavePathOpensNothing) {
    const std::string path = Wav("argument.wav");
    std::unique_ptr<CFonavidApp> second = MakeApp();
    ASSERT_TRUE(second->InitInstance({QStringLiteral("fonavid"), QString::fromStdString(path)}));
    EXPECT_TRUE(second->GetDocTemplate()->GetDocuments().empty());
    EXPECT_TRUE(second->GetMainFrame()->GetMdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(second->GetMainFrame()->isVisible());
    EXPECT_TRUE(second->GetMainFrame()->isMaximized());
    EXPECT_TRUE(messages.texts().empty());
}

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
