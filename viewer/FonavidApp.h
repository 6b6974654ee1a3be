// The application: it runs the start-up steps (profile, the one document
// template, the main window with the banner behind the document windows,
// drops of files, the desktop registration of the document type, the main
// window shown maximized, then the files named on the command line; SIGTERM
// and SIGHUP quit as File, Exit does, and SIGXFSZ is ignored so that a write
// past the file-size limit is an ordinary failure) and handles the
// application-wide commands: About, New, Open, Print Setup and the recent
// files. One object lives for the whole run; it owns the main window and the
// template (which owns the documents).
#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CommandTarget.h"
#include "PaneFactory.h"

class CMainFrame;
class QPrinter;
class QTranslator;

namespace platform {
class Document;
class DocTemplate;
class QuitSignals;
}  // namespace platform

class CFonavidApp : public QObject, public platform::CommandTarget {
    Q_OBJECT

public:
    // What start-up may take from outside; the defaults are the program's own.
    struct Environment {
        // Data folder that receives the desktop registration; empty: the
        // user's XDG data folder.
        std::string dataHome;
        // Data folders searched for an installed desktop entry of the
        // program, which makes the registration unnecessary; empty: the XDG
        // data folders (the user's and the system's).
        std::vector<std::string> dataDirs;
        // The program named in the registration; empty: this executable.
        std::string program;
        // The panes of a document window; empty: the program's own.
        PaneFactory panes;
        // A new document; empty: CFonavidDoc.
        std::function<std::unique_ptr<platform::Document>()> makeDocument;
        // Asks for a file to open; empty string when cancelled. Empty
        // function: the Open dialog.
        std::function<std::string()> askOpenFileName;
    };

    CFonavidApp();
    explicit CFonavidApp(Environment environment);
    ~CFonavidApp() override;
    CFonavidApp(const CFonavidApp&) = delete;
    CFonavidApp& operator=(const CFonavidApp&) = delete;

    // Runs start-up; false ends the program before any window is shown.
    // `arguments` is the command line with the program's name first: every
    // file it names is opened as File, Open would, each failure with its
    // message; without files no document is made.
    bool InitInstance(const QStringList& arguments);
    // The same with the arguments as the program got them (the program's name
    // first): file names keep their bytes, even those that are not UTF-8,
    // which the decoded form above cannot carry.
    bool InitInstance(const std::vector<std::string>& arguments);

    // Installs Qt's own Russian translations (the standard dialogs and
    // buttons), to match the Russian interface. The translator belongs to
    // the application object; null when the translations are not installed.
    static QTranslator* LoadQtTranslations();

    CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    platform::DocTemplate* GetDocTemplate() const { return m_pTemplate.get(); }

    // Opens `path` in a document window (or brings its window forward when
    // it is open already) and puts it on the recent-file list; null when the
    // file cannot be opened.
    platform::Document* OpenDocumentFile(const std::string& path);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

    // Writes the desktop entry for the document type into
    // `dataHome`/applications; returns its path, empty when it cannot be
    // written or `program` is no absolute path.
    static std::string RegisterShellFileTypes(const std::string& dataHome, const std::string& program);
    // Whether one of `dataDirs` holds the desktop entry that installing the
    // program put there (applications/`kInstalledEntryName`).
    static bool HasInstalledDesktopEntry(const std::vector<std::string>& dataDirs);
    // The text of that entry.
    static std::string DesktopEntryText(const std::string& program);
    // `program` quoted for the Exec key of a desktop entry.
    static std::string QuoteExecArgument(const std::string& program);
    // File name of the entry.
    static constexpr const char* kDesktopEntryName = "Fonavid.Document.desktop";
    // File name of the entry an installation provides.
    static constexpr const char* kInstalledEntryName = "fonavid.desktop";

private:
    void OnAppAbout();
    void OnQuitSignal();
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    void OnOpenRecentFile(int index);

    Environment m_env;
    std::unique_ptr<platform::DocTemplate> m_pTemplate;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<QPrinter> m_pPrinter;
    std::unique_ptr<platform::QuitSignals> m_pQuitSignals;
};
