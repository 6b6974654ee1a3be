#include "FileDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QString>
#include <QUrl>
#include <vector>

#include "LocalFileNames.h"

namespace platform {
namespace {

OpenFileHook& CurrentHook() {
    static OpenFileHook hook;
    return hook;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string ConvertFileFilter(const std::string& filter) {
    const std::vector<std::string> fields = Split(filter, '|');
    std::string result;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::string name = fields[i];
        if (name.empty()) break;  // the "||" that ends the list
        // The name usually repeats its patterns in parentheses: Qt reads the
        // patterns from there, so they are replaced by the pair's own.
        if (!name.empty() && name.back() == ')') {
            const size_t open = name.rfind('(');
            if (open != std::string::npos) name = name.substr(0, open);
        }
        name = Trimmed(name);
        std::string patterns;
        for (const std::string& raw : Split(fields[i + 1], ';')) {
            std::string pattern = Trimmed(raw);
            if (pattern.empty()) continue;
            if (pattern == "*.*") pattern = "*";
            if (!patterns.empty()) patterns += ' ';
            patterns += pattern;
        }
        if (patterns.empty()) patterns = "*";
        if (!result.empty()) result += ";;";
        result += name.empty() ? "(" + patterns + ")" : name + " (" + patterns + ")";
    }
    return result;
}

std::optional<std::string> GetOpenFileName(const std::string& title, const std::string& filter) {
    if (const OpenFileHook& hook = CurrentHook()) return hook(title, filter);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return std::nullopt;
    // The dialog only returns a file that exists. Its URL carries the name's
    // own bytes, which a QString path would not.
    const QUrl url = QFileDialog::getOpenFileUrl(nullptr, QString::fromStdString(title), QUrl(),
                                                 QString::fromStdString(ConvertFileFilter(filter)));
    const std::string path = LocalPathFromUrl(url);
    if (path.empty()) return std::nullopt;
    return path;
}

OpenFileHook SetOpenFileHook(OpenFileHook hook) {
    OpenFileHook previous = std::move(CurrentHook());
    CurrentHook() = std::move(hook);
    return previous;
}

}  // namespace platform
