#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageWriter>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <system_error>
#include <thread>

#include "CreatedFileTable.h"
#include "Messages.h"

namespace {

// Links followed before a name is taken for a loop.
constexpr int kMaxLinks = 40;
// Names tried for the new file beside the output.
constexpr int kNameAttempts = 100;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a name leads to through its symbolic links (the name itself when
// it is no link or leads nowhere), so that a link the user made stays one.
std::string FollowLinks(std::string path) {
    for (int step = 0; step < kMaxLinks; ++step) {
        struct stat named {};
        if (lstat(path.c_str(), &named) != 0 || !S_ISLNK(named.st_mode)) return path;
        std::string target(static_cast<size_t>(named.st_size > 0 ? named.st_size : 4096) + 1, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size()) return path;
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    return path;
}

// What an existing output that is no regular file is, for the refusal.
std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "это папка";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "это устройство";
    if (S_ISFIFO(mode)) return "это именованный канал";
    if (S_ISSOCK(mode)) return "это сокет";
    return "это не обычный файл";
}

bool Refuse(const std::string& path, const std::string& reason) {
    platform::ShowMessage("Не удается создать файл " + path + ": " + reason + ".");
    return false;
}

bool RefuseStandardOutput(const std::string& reason) {
    platform::ShowMessage("Не удается вывести PNG в стандартный вывод: " + reason + ".");
    return false;
}

// An existing output that is not a regular file is never replaced: renaming
// over it would destroy a device node, a pipe or a socket.
bool RefuseIrregular(const std::string& path) {
    struct stat target {};
    if (stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        return Refuse(path, KindOf(target.st_mode));
    return true;
}

bool Encode(QIODevice& device, const QImage& picture, int compression, QString& error) {
    QImageWriter writer(&device, "png");
    // The PNG writer takes a ratio of 0..100 and deflates at level
    // ratio * 9 / 91: the smallest ratio of each level.
    writer.setCompression((compression * 91 + 8) / 9);
    // A picture of greys (the amplitude mode) goes out as one byte a pixel:
    // the same pixels, a third of the data to deflate.
    const bool grey = picture.allGray();
    if (!writer.write(grey ? picture.convertToFormat(QImage::Format_Grayscale8) : picture)) {
        error = writer.errorString();
        return false;
    }
    return true;
}

// Encodes into the open descriptor `fd`; false with the reason.
bool EncodeTo(int fd, const QImage& picture, int compression, std::string& reason) {
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        reason = file.errorString().toStdString();
        return false;
    }
    QString error;
    const bool encoded = Encode(file, picture, compression, error);
    // A failed write of the device says more than the encoder's complaint.
    if (!file.flush() || file.error() != QFileDevice::NoError || !encoded) {
        reason = (file.error() != QFileDevice::NoError ? file.errorString() : error).toStdString();
        return false;
    }
    return true;
}

bool WriteStandardOutput(const QImage& picture, int compression) {
    std::string reason;
    if (!EncodeTo(STDOUT_FILENO, picture, compression, reason)) {
        platform::ShowMessage("Не удалось записать PNG в стандартный вывод: " + reason);
        return false;
    }
    return true;
}

std::string NewNameBeside(const std::string& path) {
    static std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%06x", static_cast<unsigned>(random() & 0xFFFFFF));
    return path + suffix;
}

}  // namespace

bool OutputFile::Check(const std::string& path, const std::string& input) {
    struct stat target {};
    struct stat source {};
    // The same file by any name: hard and symbolic links, "." and "..", or
    // standard output sent to it.
    const bool isInput =
        !input.empty() && stat(input.c_str(), &source) == 0 &&
        (IsStandardOutput(path) ? fstat(STDOUT_FILENO, &target) : stat(path.c_str(), &target)) == 0 &&
        source.st_dev == target.st_dev && source.st_ino == target.st_ino;
    if (IsStandardOutput(path)) {
        if (isatty(STDOUT_FILENO)) return RefuseStandardOutput("это терминал");
        if (isInput) return RefuseStandardOutput("это входной файл " + input);
        return true;
    }
    if (!RefuseIrregular(path)) return false;
    if (isInput) return Refuse(path, "это входной файл " + input);
    const std::string folder = FolderOf(FollowLinks(path));
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        access(folder.c_str(), W_OK | X_OK) != 0) {
        std::error_code error;
        std::string named = std::filesystem::absolute(folder, error).lexically_normal().string();
        if (error) named = folder;
        if (named.size() > 1 && named.back() == '/') named.pop_back();
        return Refuse(path, "папки " + named + " нет или в нее нельзя писать");
    }
    return true;
}

bool OutputFile::WritePng(const QImage& picture, const std::string& path, int compression) {
    if (IsStandardOutput(path)) return WriteStandardOutput(picture, compression);
    OutputFile file(path, "PNG-файл");
    return file.Prepare(PngWriter(picture, compression)) && file.Commit();
}

OutputFile::Writer OutputFile::PngWriter(const QImage& picture, int compression) {
    return [&picture, compression](int fd, std::string& reason) {
        return EncodeTo(fd, picture, compression, reason);
    };
}

bool OutputFile::Distinct(const std::vector<std::string>& paths) {
    std::vector<std::string> resolved;
    for (const std::string& path : paths) {
        std::error_code error;
        const std::string followed = FollowLinks(path);
        std::string named = std::filesystem::absolute(followed, error).lexically_normal().string();
        if (error) named = followed;
        struct stat info {};
        const bool exists = stat(path.c_str(), &info) == 0;
        for (size_t i = 0; i < resolved.size(); ++i) {
            struct stat other {};
            const bool same =
                resolved[i] == named || (exists && stat(paths[i].c_str(), &other) == 0 &&
                                         other.st_dev == info.st_dev && other.st_ino == info.st_ino);
            if (same) {
                platform::ShowMessage("Файл " + path + " задан как выход дважды (и как " + paths[i] + ").");
                return false;
            }
        }
        resolved.push_back(named);
    }
    return true;
}

OutputFile::OutputFile(std::string path, std::string kind)
    : m_strPath(std::move(path)), m_strKind(std::move(kind)) {}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
    if (m_nFd < 0) return;
    unlink(m_strTemporary.c_str());
    CreatedFileTable::Forget(m_strTemporary);
    // Closed only now: while the file is recorded its descriptor keeps its
    // inode from passing to another file.
    close(m_nFd);
    m_nFd = -1;
}

bool OutputFile::Prepare(const Writer& write) {
    std::string reason;
    return Create() && (Fill(write, reason) || Fail(reason));
}

bool OutputFile::PrepareAll(const std::vector<std::pair<OutputFile*, Writer>>& files) {
    const auto discardAll = [&files] {
        for (const auto& file : files) file.first->Discard();
    };
    for (const auto& file : files) {
        if (!file.first->Create()) {
            discardAll();
            return false;
        }
    }
    std::vector<std::string> reasons(files.size());
    std::vector<char> filled(files.size(), 0);
    std::vector<std::thread> helpers;
    const auto fill = [&](size_t i) {
        try {
            filled[i] = files[i].first->Fill(files[i].second, reasons[i]);
        } catch (const std::bad_alloc&) {
            reasons[i] = std::strerror(ENOMEM);
        }
    };
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        try {
            helpers.emplace_back(fill, i);
        } catch (const std::system_error&) {
            fill(i);  // no thread: the same file, in turn
        }
    }
    if (!files.empty()) fill(files.size() - 1);
    for (std::thread& helper : helpers) helper.join();
    for (size_t i = 0; i < files.size(); ++i) {
        if (filled[i]) continue;
        discardAll();
        return files[i].first->Fail(reasons[i]);
    }
    return true;
}

bool OutputFile::Create() {
    Discard();
    m_strFinal = FollowLinks(m_strPath);
    if (!RefuseIrregular(m_strFinal)) return false;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        m_strTemporary = NewNameBeside(m_strFinal);
        fd = CreatedFileTable::CreateExclusive(m_strTemporary, O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Refuse(m_strPath, std::strerror(errno));
    m_nFd = fd;
    // A replaced file keeps its permissions.
    struct stat existing {};
    if (stat(m_strFinal.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
    return true;
}

bool OutputFile::Fill(const Writer& write, std::string& reason) {
    if (!write(m_nFd, reason)) return false;
    if (fdatasync(m_nFd) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

bool OutputFile::Fail(const std::string& reason) {
    Discard();
    platform::ShowMessage("Не удалось записать " + m_strKind + " " + m_strPath + ": " + reason);
    return false;
}

bool OutputFile::Commit() {
    if (m_nFd < 0) return false;
    if (rename(m_strTemporary.c_str(), m_strFinal.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        Discard();
        platform::ShowMessage("Не удалось записать " + m_strKind + " " + m_strPath + ": " + reason);
        return false;
    }
    CreatedFileTable::Forget(m_strTemporary);
    close(m_nFd);
    m_nFd = -1;
    return true;
}
