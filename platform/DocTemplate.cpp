#include "DocTemplate.h"

#include <QWidget>
#include <algorithm>

#include "LocalFileNames.h"
#include "View.h"

namespace platform {

DocTemplate::DocTemplate(std::string docString, DocumentFactory makeDocument, FrameFactory makeFrame,
                         QObject* parent)
    : QObject(parent),
      m_docString(std::move(docString)),
      m_makeDocument(std::move(makeDocument)),
      m_makeFrame(std::move(makeFrame)) {}

DocTemplate::~DocTemplate() {
    // Windows still open outlive the template only as empty shells: their
    // views are detached when the documents go.
    for (const FrameRecord& record : m_frames) disconnect(record.frame, nullptr, this, nullptr);
    m_frames.clear();
    m_documents.clear();
}

std::string DocTemplate::GetDocString(int index) const {
    if (index < 0) return std::string();
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        const size_t nl = m_docString.find('\n', start);
        if (nl == std::string::npos) return std::string();
        start = nl + 1;
    }
    const size_t end = m_docString.find('\n', start);
    return m_docString.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

Document* DocTemplate::OpenDocumentFile(const std::string& path) {
    if (!path.empty()) {
        if (Document* open = FindDocument(path)) {
            const std::vector<QWidget*> frames = GetFrames(open);
            if (!frames.empty() && m_activator) m_activator(frames.front());
            return open;
        }
    }
    if (!m_makeDocument) return nullptr;
    std::unique_ptr<Document> document = m_makeDocument();
    if (!document) return nullptr;
    if (path.empty()) {
        if (!document->OnNewDocument()) return nullptr;
        if (document->GetTitle().empty()) {
            document->SetTitle(GetDocString(docName) + std::to_string(++m_nUntitledCount));
        }
    } else if (!document->OnOpenDocument(path)) {
        return nullptr;  // the document has shown its message; it goes now
    }
    Document* raw = document.get();
    m_documents.push_back(std::move(document));
    if (MakeFrame(raw) == nullptr) {
        m_documents.pop_back();
        return nullptr;
    }
    return raw;
}

QWidget* DocTemplate::CreateNewFrame(Document* document) {
    const bool ours = std::any_of(m_documents.begin(), m_documents.end(),
                                  [document](const auto& d) { return d.get() == document; });
    if (!ours) return nullptr;
    return MakeFrame(document);
}

QWidget* DocTemplate::MakeFrame(Document* document) {
    if (!m_makeFrame) return nullptr;
    QWidget* frame = m_makeFrame(document);
    if (frame == nullptr) return nullptr;
    m_frames.push_back({frame, document});
    connect(frame, &QObject::destroyed, this, &DocTemplate::OnFrameDestroyed);
    UpdateTitles(document);
    if (m_host) {
        m_host(frame);
    } else {
        frame->show();
    }
    // The views learn their window size before they bind to the document.
    for (View* view : std::vector<View*>(document->GetViews())) {
        QWidget* widget = view->GetWidget();
        if (widget != nullptr && (widget == frame || frame->isAncestorOf(widget))) view->OnInitialUpdate();
    }
    return frame;
}

void DocTemplate::OnFrameDestroyed(QObject* frame) {
    auto it = std::find_if(m_frames.begin(), m_frames.end(),
                           [frame](const FrameRecord& r) { return r.frame == frame; });
    if (it == m_frames.end()) return;
    Document* document = it->document;
    m_frames.erase(it);
    const bool stillShown = std::any_of(m_frames.begin(), m_frames.end(),
                                        [document](const FrameRecord& r) { return r.document == document; });
    if (stillShown) {
        UpdateTitles(document);
        return;
    }
    auto doc = std::find_if(m_documents.begin(), m_documents.end(),
                            [document](const auto& d) { return d.get() == document; });
    if (doc != m_documents.end()) {
        m_documents.erase(doc);
        emit documentClosed();
    }
}

void DocTemplate::UpdateTitles(Document* document) {
    const std::vector<QWidget*> frames = GetFrames(document);
    const QString title = QString::fromStdString(document->GetTitle());
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i]->setWindowTitle(frames.size() == 1 ? title : title + QStringLiteral(":%1").arg(i + 1));
    }
}

void DocTemplate::CloseDocument(Document* document) {
    for (QWidget* frame : GetFrames(document)) {
        disconnect(frame, nullptr, this, nullptr);
        m_frames.erase(std::find_if(m_frames.begin(), m_frames.end(),
                                    [frame](const FrameRecord& r) { return r.frame == frame; }));
        frame->hide();
        delete frame;  // destroys the views, which leave the document
    }
    auto doc = std::find_if(m_documents.begin(), m_documents.end(),
                            [document](const auto& d) { return d.get() == document; });
    if (doc != m_documents.end()) {
        m_documents.erase(doc);
        emit documentClosed();
    }
}

void DocTemplate::CloseAllDocuments() {
    while (!m_documents.empty()) CloseDocument(m_documents.back().get());
}

std::vector<Document*> DocTemplate::GetDocuments() const {
    std::vector<Document*> documents;
    for (const auto& d : m_documents) documents.push_back(d.get());
    return documents;
}

Document* DocTemplate::FindDocument(const std::string& path) const {
    // Compared as bytes: names that differ only in bytes that are not
    // valid UTF-8 are different files.
    const std::string wanted = AbsoluteLocalPath(path);
    for (const auto& d : m_documents) {
        if (!d->GetPathName().empty() && d->GetPathName() == wanted) return d.get();
    }
    return nullptr;
}

std::vector<QWidget*> DocTemplate::GetFrames(Document* document) const {
    std::vector<QWidget*> frames;
    for (const FrameRecord& r : m_frames) {
        if (r.document == document) frames.push_back(r.frame);
    }
    return frames;
}

Document* DocTemplate::GetFrameDocument(const QWidget* frame) const {
    for (const FrameRecord& r : m_frames) {
        if (r.frame == frame) return r.document;
    }
    return nullptr;
}

}  // namespace platform
