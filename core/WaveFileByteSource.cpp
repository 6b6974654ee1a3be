#include "WaveFileByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "RiffTypes.h"

namespace {

unsigned CodeFromErrno(int error, const std::string& path) {
    switch (error) {
        case ENOENT: {
            // A missing file in an existing folder, or a missing folder.
            const size_t slash = path.find_last_of('/');
            const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
            struct stat st {};
            if (path.empty() || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return riff::MMIOERR_PATHNOTFOUND;
            return riff::MMIOERR_FILENOTFOUND;
        }
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return riff::MMIOERR_PATHNOTFOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return riff::MMIOERR_ACCESSDENIED;
        case EBUSY:
        case ETXTBSY:
        case EWOULDBLOCK:
            return riff::MMIOERR_SHARINGVIOLATION;
        case ENETDOWN:
        case ENETUNREACH:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ETIMEDOUT:
        case ESTALE:
        case ECONNREFUSED:
        case ECONNRESET:
            return riff::MMIOERR_NETWORKERROR;
        case EMFILE:
        case ENFILE:
            return riff::MMIOERR_TOOMANYOPENFILES;
        default:
            return riff::MMIOERR_INVALIDFILE;
    }
}

}  // namespace

WaveFileByteSource::~WaveFileByteSource() { close(m_fd); }

std::unique_ptr<WaveFileByteSource> WaveFileByteSource::Open(const std::string& path, unsigned& errorCode) {
    // Look before opening, so that a device is never opened at all; then
    // open without blocking (a pipe would wait for a writer) and look again
    // at what was actually opened.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        errorCode = CodeFromErrno(errno, path);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        errorCode = riff::OPENERR_NOTREGULARFILE;
        return nullptr;
    }
    int fd;
    do {
        fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        errorCode = CodeFromErrno(errno, path);
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errorCode = riff::OPENERR_NOTREGULARFILE;
        return nullptr;
    }
    errorCode = 0;
    return std::unique_ptr<WaveFileByteSource>(new WaveFileByteSource(fd, static_cast<uint64_t>(st.st_size)));
}

long long WaveFileByteSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset > static_cast<uint64_t>(LLONG_MAX)) return 0;
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const uint64_t at = offset + done;
        if (at > static_cast<uint64_t>(LLONG_MAX)) break;
        const ssize_t n = pread(m_fd, out + done, count - done, static_cast<off_t>(at));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<long long>(done);
}
