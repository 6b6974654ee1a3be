#include "FonavidApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMdiArea>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QTranslator>
#include <algorithm>
#include <QUrl>

#include "AboutDlg.h"
#include "ChildFrame.h"
#include "CommandLine.h"
#include "DocTemplate.h"
#include "FonavidDoc.h"
#include "LocalFileNames.h"
#include "MainFrame.h"
#include "MainWindow.h"
#include "MenuTables.h"
#include "Profile.h"
#include "QuitSignals.h"
#include "ResourceIds.h"

CFonavidApp::CFonavidApp() : CFonavidApp(Environment()) {}

CFonavidApp::CFonavidApp(Environment environment) : m_env(std::move(environment)) {}

CFonavidApp::~CFonavidApp() {
    // Documents close before the windows that show them go.
    if (m_pTemplate) m_pTemplate->CloseAllDocuments();
    m_pQuitSignals.reset();
    if (m_pMainFrame && platform::GetMainWindow() == m_pMainFrame.get()) platform::SetMainWindow(nullptr);
    m_pMainFrame.reset();
    m_pTemplate.reset();
}

bool CFonavidApp::InitInstance(const QStringList& arguments) {
    std::vector<std::string> words;
    for (const QString& argument : arguments) words.push_back(argument.toStdString());
    return InitInstance(words);
}

bool CFonavidApp::InitInstance(const std::vector<std::string>& arguments) {
    // From here on a kill or a lost session ends the program the way File,
    // Exit does, and a write past the file-size limit is a failed write.
    m_pQuitSignals = std::make_unique<platform::QuitSignals>();
    connect(m_pQuitSignals.get(), &platform::QuitSignals::quitRequested, this, [this] { OnQuitSignal(); });
    // Signal files a killed run left behind go; those another instance holds stay.
    TempFileMapping::RemoveStaleFiles(CFonavidDoc().GetTemporaryFolder());
    // The recent-file list is read from the profile whenever a File menu opens.
    auto makeDocument = m_env.makeDocument;
    if (!makeDocument) makeDocument = [] { return std::make_unique<CFonavidDoc>(); };
    const PaneFactory panes = m_env.panes ? m_env.panes : PaneFactory(CreateStandardPane);
    m_pTemplate = std::make_unique<platform::DocTemplate>(
        res::kDocumentTypeString, std::move(makeDocument),
        [panes](platform::Document* document) -> QWidget* { return CChildFrame::Create(document, panes); });

    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->LoadFrame()) return false;
    platform::SetMainWindow(m_pMainFrame.get());
    m_pMainFrame->GetClientWnd().SubclassWindow(m_pMainFrame->GetMdiArea()->viewport());

    CMainFrame* frame = m_pMainFrame.get();
    m_pMainFrame->SetApplicationTarget(this);
    m_pMainFrame->SetDocTemplate(m_pTemplate.get());
    m_pMainFrame->SetRecentFileSource([] { return platform::GetRecentFileList(); });
    m_pMainFrame->SetOpenFileHandler(
        [this](const std::string& path) { return OpenDocumentFile(path) != nullptr; });
    m_pTemplate->SetFrameHost([frame](QWidget* child) { frame->AddDocumentFrame(child); });
    m_pTemplate->SetFrameActivator([frame](QWidget* child) { frame->ActivateFrame(child); });
    connect(m_pTemplate.get(), &platform::DocTemplate::documentClosed, frame,
            [frame] { frame->OnActiveWindowChanged(); });

    // An installed program is registered by its own desktop entry; a second
    // one written here would outlive a build tree that ran once.
    std::vector<std::string> dataDirs = m_env.dataDirs;
    if (dataDirs.empty()) {
        for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
            dataDirs.push_back(folder.toStdString());
    }
    if (!HasInstalledDesktopEntry(dataDirs)) {
        const std::string program =
            m_env.program.empty() ? QCoreApplication::applicationFilePath().toStdString() : m_env.program;
        RegisterShellFileTypes(m_env.dataHome, program);
    }

    // Maximized whatever the start state; the geometry of the whole work
    // area is set as well, so the window fills the screen even where no
    // window manager carries out the maximizing.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        m_pMainFrame->setGeometry(screen->availableGeometry());
    m_pMainFrame->showMaximized();
    m_pMainFrame->update();

    // The desktop hands over the files it asks us to open; each opens as
    // File, Open would, over the shown main window, so that a file that
    // cannot be opened gives its message there. No file: no document.
    const std::vector<std::string> words(arguments.begin() + std::min<size_t>(1, arguments.size()), arguments.end());
    for (const std::string& path : CommandLine::Parse(words).files) OpenDocumentFile(path);
    return true;
}

QTranslator* CFonavidApp::LoadQtTranslations() {
    // Always Russian, whatever the user's locale: the interface around Qt's
    // dialogs is Russian. Our own texts do not pass through translation, so
    // the English ones the interface keeps stay as they are.
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Russian), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator.release();
}

platform::Document* CFonavidApp::OpenDocumentFile(const std::string& path) {
    if (!m_pTemplate) return nullptr;
    platform::Document* document = m_pTemplate->OpenDocumentFile(path);
    if (document != nullptr && !document->GetPathName().empty()) {
        platform::AddToRecentFileList(document->GetPathName());
    }
    return document;
}

bool CFonavidApp::OnUpdateCommand(int id, platform::CommandState& state) {
    if (id >= res::ID_FILE_MRU_FILE1 && id < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
        state.enabled = static_cast<int>(platform::GetRecentFileList().size()) > id - res::ID_FILE_MRU_FILE1;
        return true;
    }
    return id == res::ID_APP_ABOUT || id == res::ID_FILE_NEW || id == res::ID_FILE_OPEN ||
           id == res::ID_FILE_PRINT_SETUP;
}

bool CFonavidApp::OnCommand(int id) {
    switch (id) {
        case res::ID_APP_ABOUT:
            OnAppAbout();
            return true;
        case res::ID_FILE_NEW:
            OnFileNew();
            return true;
        case res::ID_FILE_OPEN:
            OnFileOpen();
            return true;
        case res::ID_FILE_PRINT_SETUP:
            OnFilePrintSetup();
            return true;
        default:
            if (id >= res::ID_FILE_MRU_FILE1 && id < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount) {
                OnOpenRecentFile(id - res::ID_FILE_MRU_FILE1);
                return true;
            }
            return false;
    }
}

void CFonavidApp::OnQuitSignal() {
    // As File, Exit: the main window closes and takes every document (and
    // its signal files) with it. Under a modal window (a dialog, a message)
    // the documents are still in use; leaving every event loop then brings
    // the program back to its end, where this object closes them.
    if (m_pMainFrame && QApplication::activeModalWidget() == nullptr) m_pMainFrame->close();
    QCoreApplication::exit(0);
}

void CFonavidApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame.get());
    dialog.exec();
}

void CFonavidApp::OnFileNew() {
    if (m_pTemplate) m_pTemplate->OpenDocumentFile(std::string());
}

void CFonavidApp::OnFileOpen() {
    std::string path;
    if (m_env.askOpenFileName) {
        path = m_env.askOpenFileName();
    } else {
        const QString filter =
            QString::fromStdString(m_pTemplate->GetDocString(platform::DocTemplate::filterName)) +
            QStringLiteral(";;All Files (*)");
        path = platform::LocalPathFromUrl(
            QFileDialog::getOpenFileUrl(m_pMainFrame.get(), QStringLiteral("Open"), QUrl(), filter));
    }
    if (!path.empty()) OpenDocumentFile(path);
}

void CFonavidApp::OnFilePrintSetup() {
    if (!m_pPrinter) m_pPrinter = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(m_pPrinter.get(), m_pMainFrame.get());
    dialog.exec();
}

void CFonavidApp::OnOpenRecentFile(int index) {
    const std::vector<std::string> files = platform::GetRecentFileList();
    if (index < 0 || index >= static_cast<int>(files.size())) return;
    const std::string path = files[index];
    // A file that cannot be opened any more leaves the list.
    if (OpenDocumentFile(path) == nullptr) platform::RemoveFromRecentFileList(path);
}

std::string CFonavidApp::QuoteExecArgument(const std::string& program) {
    std::string quoted = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += "\\\\";  // the backslash itself is escaped once more by the string rules
            quoted += c;
        } else if (c == '%') {
            quoted += "%%";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string CFonavidApp::DesktopEntryText(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Fonavid\n"
           "Comment=Fonavid.Document (.wav)\n"
           "Exec=" +
           QuoteExecArgument(program) +
           " %f\n"
           "Terminal=false\n"
           "NoDisplay=true\n"
           "MimeType=audio/x-wav;audio/wav;audio/vnd.wave;\n"
           "X-Fonavid-FileTypeId=Fonavid.Document\n"
           "X-Fonavid-FileTypeName=Fonavid.Document\n"
           "X-Fonavid-Extension=.wav\n";
}

bool CFonavidApp::HasInstalledDesktopEntry(const std::vector<std::string>& dataDirs) {
    for (const std::string& folder : dataDirs) {
        if (QFileInfo::exists(QString::fromStdString(folder) + QStringLiteral("/applications/") +
                              QString::fromLatin1(kInstalledEntryName)))
            return true;
    }
    return false;
}

std::string CFonavidApp::RegisterShellFileTypes(const std::string& dataHome, const std::string& program) {
    // The entry names the running program by where it is, never by a path
    // that depends on the folder it was started from.
    if (program.empty() || !QFileInfo(QString::fromStdString(program)).isAbsolute()) return std::string();
    QString home = QString::fromStdString(dataHome);
    if (home.isEmpty()) home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (home.isEmpty()) return std::string();
    const QString folder = home + QStringLiteral("/applications");
    if (!QDir().mkpath(folder)) return std::string();
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(kDesktopEntryName);
    // Written whole or not at all: no half-written entry and no stray
    // temporary file stays behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return std::string();
    const std::string text = DesktopEntryText(program);
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return std::string();
    }
    if (!file.commit()) return std::string();
    return path.toStdString();
}
