// The document template: it knows how to make the one kind of document of the
// program and the frame (a document window with its views) that shows it.
// It owns the open documents. Opening a file makes a document and runs its
// OnOpenDocument; only when that succeeds is a frame made, handed to the
// frame host (the main window puts it in its workspace) and its views given
// their initial update, in the document's order. A failed open discards the
// document and shows no window. A document is deleted when its last view is
// gone (its last window closed).
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Document.h"
#include "FonacoreApi.h"

class QWidget;

namespace platform {

class FONACORE_API DocTemplate : public QObject {
    Q_OBJECT

public:
    using DocumentFactory = std::function<std::unique_ptr<Document>()>;
    // Makes a document window for `document` with its views already attached
    // to it (not yet shown); returns null when the window cannot be made.
    using FrameFactory = std::function<QWidget*(Document* document)>;
    // Takes a new frame into the main window and shows it.
    using FrameHost = std::function<void(QWidget* frame)>;
    // Brings an existing frame to the front.
    using FrameActivator = std::function<void(QWidget* frame)>;

    // `docString` holds the template's newline-separated fields: window
    // title, document name, new-file type name, filter name, filter
    // extension, file-type id, file-type name.
    DocTemplate(std::string docString, DocumentFactory makeDocument, FrameFactory makeFrame,
                QObject* parent = nullptr);
    ~DocTemplate() override;

    enum DocStringIndex {
        windowTitle = 0,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName
    };
    // Field `index` of the template's string, empty when missing.
    std::string GetDocString(int index) const;

    void SetFrameHost(FrameHost host) { m_host = std::move(host); }
    void SetFrameActivator(FrameActivator activator) { m_activator = std::move(activator); }

    // Opens `path` as a new document in a new window; an empty path makes a
    // new document (OnNewDocument). When the file is open already its first
    // window is brought to the front and its document returned. Returns null
    // when the document could not be opened or its window not made.
    Document* OpenDocumentFile(const std::string& path);

    // Makes one more window on `document` (a document of this template);
    // returns it, or null when it cannot be made.
    QWidget* CreateNewFrame(Document* document);

    // Closes every window of `document`, which deletes it.
    void CloseDocument(Document* document);
    // Closes every window of every document.
    void CloseAllDocuments();

    std::vector<Document*> GetDocuments() const;
    // The open document whose file is `path`, or null.
    Document* FindDocument(const std::string& path) const;
    // The open windows of `document`, in the order they were made.
    std::vector<QWidget*> GetFrames(Document* document) const;
    // The document that `frame` shows, or null.
    Document* GetFrameDocument(const QWidget* frame) const;

signals:
    // After a document was deleted (its last window closed).
    void documentClosed();

private:
    struct FrameRecord {
        QWidget* frame;
        Document* document;
    };
    QWidget* MakeFrame(Document* document);
    void OnFrameDestroyed(QObject* frame);
    void UpdateTitles(Document* document);

    std::string m_docString;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    FrameHost m_host;
    FrameActivator m_activator;
    std::vector<std::unique_ptr<Document>> m_documents;
    std::vector<FrameRecord> m_frames;
    int m_nUntitledCount = 0;
};

}  // namespace platform
