#include "Document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QString>
#include <algorithm>
#include <filesystem>

#include "Messages.h"
#include "View.h"

namespace platform {

Document::~Document() {
    // The views outlive their document only in odd tear-down orders; they
    // must then not reach back into it.
    for (View* view : m_views) view->m_pDocument = nullptr;
    m_views.clear();
}

void Document::AddView(View* view) {
    if (view == nullptr) return;
    if (view->m_pDocument == this) return;
    if (view->m_pDocument != nullptr) view->m_pDocument->RemoveView(view);
    m_views.push_back(view);
    view->m_pDocument = this;
}

void Document::RemoveView(View* view) {
    if (view == nullptr) return;
    const auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end()) return;
    m_views.erase(it);
    if (view->m_pDocument == this) view->m_pDocument = nullptr;
}

void Document::UpdateAllViews(View* sender, long hint, void* hintObject) {
    // A view may close (and detach itself or others) while it handles the
    // update, so walk a snapshot and skip every view that has left meanwhile.
    const std::vector<View*> snapshot = m_views;
    for (View* view : snapshot) {
        if (view == sender) continue;
        if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) continue;
        view->OnUpdate(sender, hint, hintObject);
    }
}

bool Document::OnNewDocument() { return true; }

bool Document::OnOpenDocument(const std::string& path) {
    // The name goes to the file system as the bytes it came in: a name that
    // is no valid UTF-8 would come out of a QString as other bytes.
    struct stat info {};
    const int fd = path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)
                       ? -1
                       : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        ShowMessage("Cannot open the file " + path + ".\n\nНе удается открыть файл " + path + ".");
        return false;
    }
    close(fd);
    SetPathName(path);
    return true;
}

void Document::SetPathName(const std::string& path) {
    if (path.empty()) {
        m_strPathName.clear();
        m_strTitle.clear();
        return;
    }
    std::string absolute = path;
    if (path.front() != '/') {
        std::error_code error;
        absolute = std::filesystem::current_path(error).string() + "/" + path;
    }
    // Latin-1 gives every byte a character of its own and back, so the
    // cleaned name keeps the bytes of the one given.
    m_strPathName =
        QDir::cleanPath(QString::fromLatin1(absolute.data(), static_cast<qsizetype>(absolute.size())))
            .toLatin1()
            .toStdString();
    m_strTitle = m_strPathName.substr(m_strPathName.rfind('/') + 1);
}

}  // namespace platform
