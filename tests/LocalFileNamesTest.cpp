// File names that are not valid UTF-8 reach the file system as the same
// bytes: opened by path, through the template, dropped on the main window and
// chosen in the file dialog.
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "FileDialogs.h"
#include "FonavidDoc.h"
#include "LocalFileNames.h"
#include "ShellFixture.h"
#include "WhenModal.h"

namespace {

using LocalFileNames = ShellFixture;

// "a" ff fe ".wav", and a name that differs only in those bytes.
const std::string kBadName = std::string("a\xff\xfe") + ".wav";
const std::string kOtherBadName = std::string("a\xfe\xff") + ".wav";

std::string Percent(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))
        .toPercentEncoding("/")
        .toStdString();
}

}  // namespace

TEST_F(LocalFileNames, NameWithBytesFfFeOpensByPathWithItsOwnBytes) {
    const std::string path = dir.file(kBadName);
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {16384, 8192})));
    CFonavidDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), kBadName);
    EXPECT_EQ(doc.GetFilm()->GetKWave(0, 0)->GetFirstComplexSample()[1].re, 0.25);
}

TEST_F(LocalFileNames, NamesThatDifferOnlyInInvalidBytesAreTwoDocuments) {
    const std::string first = dir.file(kBadName);
    const std::string second = dir.file(kOtherBadName);
    ASSERT_TRUE(testwav::writeFile(first, testwav::pcm16(8000, 1, {100})));
    ASSERT_TRUE(testwav::writeFile(second, testwav::pcm16(8000, 1, {200})));
    ASSERT_NE(app->OpenDocumentFile(first), nullptr);
    ASSERT_NE(app->OpenDocumentFile(second), nullptr);
    ASSERT_EQ(DocumentCount(), 2u);
    EXPECT_EQ(app->GetDocTemplate()->GetDocuments()[1]->GetPathName(), second);
    // Opening the first again brings its window forward instead.
    EXPECT_EQ(app->OpenDocumentFile(first), app->GetDocTemplate()->GetDocuments()[0]);
    EXPECT_EQ(platform::GetRecentFileList().front(), first);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(LocalFileNames, DroppedNameWithBytesFfFeOpens) {
    const std::string path = dir.file(kBadName);
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {1, 2, 3})));
    QMimeData data;
    // A file manager puts the name's bytes into the URI list percent-encoded.
    const std::string uri = "file://" + Percent(path) + "\r\n";
    data.setData(QStringLiteral("text/uri-list"), QByteArray(uri.data(), static_cast<qsizetype>(uri.size())));
    EXPECT_TRUE(DropOnMainWindow(data));
    EXPECT_EQ(messages.texts(), std::vector<std::string>{});
    ASSERT_EQ(DocumentCount(), 1u);
    EXPECT_EQ(app->GetDocTemplate()->GetDocuments()[0]->GetPathName(), path);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(LocalFileNames, FileDialogHandsOverTheChosenNamesBytes) {
    // Qt's own dialog lists only names it can show; a name with a space, a
    // percent sign and Cyrillic letters must still arrive byte for byte.
    const std::string name = "запись 100%.wav";
    const std::string path = dir.file(name);
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {1})));
    const platform::OpenFileHook previous = platform::SetOpenFileHook(nullptr);
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(QString::fromStdString(dir.path()));
        // The dialog lists the folder in the background; a name chosen before
        // it is listed may be taken for another, and the dialog then waits on
        // a warning of its own.
        auto* model = dialog->findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        ASSERT_TRUE(Eventually([&] { return model->index(QString::fromStdString(path)).isValid(); }, 10000));
        // Until the listing has settled, the dialog may still drop a choice
        // (its selection and name field are redone as the rows arrive):
        // choose again until the dialog reports the name as chosen.
        ASSERT_TRUE(Eventually(
            [&] {
                dialog->selectFile(QString::fromStdString(name));
                return dialog->selectedFiles() == QStringList{QString::fromStdString(path)};
            },
            10000))
            << dialog->selectedFiles().join(u'|').toStdString();
        // Whatever the dialog says instead of closing fails the test, not hangs it.
        QTimer::singleShot(5000, dialog, [dialog] {
            for (QMessageBox* box : dialog->findChildren<QMessageBox*>()) {
                ADD_FAILURE() << "the dialog said: " << box->text().toStdString();
                box->reject();
            }
        });
        static_cast<QDialog*>(dialog)->accept();  // the file dialog's own accept, by its public base
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog stayed open with "
                          << dialog->selectedFiles().join(u'|').toStdString();
            dialog->reject();
        }
    });
    const std::optional<std::string> chosen = platform::GetOpenFileName("?", "Все файлы (*.*)|*.*||");
    platform::SetOpenFileHook(previous);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, path);
}

TEST(LocalFileNamePaths, BytesSurviveEveryConversion) {
    const std::string bad = "/tmp/x/" + kBadName;
    EXPECT_EQ(
        platform::LocalPathFromUrl(QUrl::fromEncoded(QByteArray::fromStdString("file://" + Percent(bad)))),
        bad);
    EXPECT_EQ(platform::LocalPathFromUrl(QUrl::fromLocalFile(QString::fromUtf8("/tmp/ж 50%.wav"))),
              "/tmp/ж 50%.wav");
    EXPECT_EQ(platform::LocalPathFromUrl(QUrl(QStringLiteral("https://example.org/a.wav"))), "");
    EXPECT_EQ(platform::AbsoluteLocalPath("/a/./b//../" + kBadName), "/a/" + kBadName);
    EXPECT_EQ(platform::AbsoluteLocalPath("/.."), "/");
    const std::string relative = platform::AbsoluteLocalPath(kBadName);
    EXPECT_EQ(relative.front(), '/');
    EXPECT_EQ(platform::LocalFileName(relative), kBadName);
    EXPECT_EQ(platform::LocalPathFromQString(QString::fromUtf8("/tmp/ж")), "/tmp/ж");
}
