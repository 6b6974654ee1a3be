#include "LocalFileNames.h"

#include <unistd.h>

#include <QFile>
#include <QUrl>
#include <cerrno>
#include <vector>

namespace platform {

std::string LocalPathFromQString(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::string LocalPathFromUrl(const QUrl& url) {
    if (!url.isLocalFile()) return std::string();
    // The fully encoded path keeps every byte that is not valid UTF-8 as its
    // percent escape, so decoding it gives the name's own bytes back.
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

std::string AbsoluteLocalPath(const std::string& path) {
    if (path.empty()) return path;
    std::string full = path;
    if (full.front() != '/') {
        std::vector<char> cwd(4096);
        while (getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (errno != ERANGE) return path;
            cwd.resize(cwd.size() * 2);
        }
        full = std::string(cwd.data()) + "/" + path;
    }
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= full.size()) {
        size_t end = full.find('/', start);
        if (end == std::string::npos) end = full.size();
        const std::string segment = full.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& segment : segments) result += "/" + segment;
    return result.empty() ? "/" : result;
}

std::string LocalFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace platform
