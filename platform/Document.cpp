#include "Document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "LocalFileNames.h"
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
    // The name's own bytes go to the file system: a name that is not valid
    // UTF-8 would name another file after a trip through a QString.
    struct stat st {};
    int fd = -1;
    if (!path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        do {
            fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        } while (fd < 0 && errno == EINTR);
    }
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
    m_strPathName = AbsoluteLocalPath(path);
    m_strTitle = LocalFileName(m_strPathName);
}

}  // namespace platform
