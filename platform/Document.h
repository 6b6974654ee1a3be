// A document: the data of one opened file, shown by any number of views. It
// knows its views in the order they were added and broadcasts changes to them.
#pragma once

#include <string>
#include <vector>

#include "CommandTarget.h"
#include "FonacoreApi.h"

namespace platform {

class View;

class FONACORE_API Document : public CommandTarget {
public:
    Document() = default;
    // Detaches every view that is still attached.
    ~Document() override;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Attaches `view` (detaching it from any other document) at the end of the list.
    void AddView(View* view);
    void RemoveView(View* view);
    const std::vector<View*>& GetViews() const { return m_views; }

    // Calls OnUpdate(sender, hint, hintObject) of every view in the order
    // they were added, except `sender`; a null sender means every view.
    void UpdateAllViews(View* sender, long hint = 0, void* hintObject = nullptr);

    // A new, empty document. The default does nothing and succeeds.
    virtual bool OnNewDocument();
    // Opens the file at `path`: the default checks that it is a readable
    // regular file (with a message when it is not), then sets the path name.
    virtual bool OnOpenDocument(const std::string& path);

    // The full path of the document's file, and its title (the file name).
    void SetPathName(const std::string& path);
    const std::string& GetPathName() const { return m_strPathName; }
    void SetTitle(const std::string& title) { m_strTitle = title; }
    const std::string& GetTitle() const { return m_strTitle; }

private:
    std::vector<View*> m_views;
    std::string m_strPathName;
    std::string m_strTitle;
};

}  // namespace platform
