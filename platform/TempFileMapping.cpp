#include "TempFileMapping.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "CreatedFileTable.h"

namespace {

// An empty unlocked file younger than this may belong to a process that has
// created it but not yet taken its lock; the stale-file sweep leaves it.
constexpr time_t kFreshEmptyFileSeconds = 60;

// Attempts at finding a free name before giving up.
constexpr int kNameAttempts = 1000;

uint32_t NextNameNumber() {
    // A per-process random start plus a counter: names of one process never
    // repeat, and two processes rarely start on the same number (a collision
    // only costs a retry).
    static std::atomic<uint32_t> counter{[] {
        std::random_device device;
        const auto now = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        return device() ^ now ^ (static_cast<uint32_t>(getpid()) << 16);
    }()};
    return counter.fetch_add(0x9E3779B1u, std::memory_order_relaxed);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// True for exactly the names CreateFile makes: the prefix, the name number
// in upper-case hexadecimal as "%X" writes it (1 to 8 digits, no leading
// zero), the extension.
bool IsTempName(const char* name) {
    const size_t len = std::strlen(name);
    const size_t prefix = std::strlen(TempFileMapping::NamePrefix());
    const size_t ext = std::strlen(TempFileMapping::NameExtension());
    if (len < prefix + ext + 1 || len > prefix + ext + 8) return false;
    if (std::strncmp(name, TempFileMapping::NamePrefix(), prefix) != 0 ||
        std::strcmp(name + len - ext, TempFileMapping::NameExtension()) != 0)
        return false;
    const char* digits = name + prefix;
    const size_t count = len - prefix - ext;
    if (count > 1 && digits[0] == '0') return false;
    for (size_t i = 0; i < count; ++i) {
        const char c = digits[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writes zeros over `bytes` bytes of `fd` from `offset`: the reservation for
// a filesystem that cannot allocate space without writing it.
bool WriteZeros(int fd, size_t offset, size_t bytes) {
    static constexpr size_t kBlock = size_t{1} << 20;
    const std::vector<char> zeros(bytes < kBlock ? bytes : kBlock, 0);
    size_t done = 0;
    while (done < bytes) {
        const size_t want = (bytes - done < kBlock) ? bytes - done : kBlock;
        const ssize_t n = pwrite(fd, zeros.data(), want, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReserveSpace(int fd, size_t offset, size_t bytes) {
    if (bytes > static_cast<size_t>(INT64_MAX) || offset > static_cast<size_t>(INT64_MAX) - bytes)
        return false;
    int rc;
    do {
        rc = posix_fallocate(fd, static_cast<off_t>(offset), static_cast<off_t>(bytes));
    } while (rc == EINTR);
    if (rc == 0) return true;
    if (rc == EOPNOTSUPP || rc == EINVAL) return WriteZeros(fd, offset, bytes);
    return false;
}

}  // namespace

TempFileMapping::~TempFileMapping() { Release(); }

bool TempFileMapping::CreateFile(const std::string& folder) {
    Release();
    // Without a folder the name would land in the working directory.
    if (folder.empty()) {
        m_path = std::string(NamePrefix()) + NameExtension();
        return false;
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%X%s", NamePrefix(), static_cast<unsigned>(NextNameNumber()),
                      NameExtension());
        m_path = JoinPath(folder, name);
        // Recorded as it is made, so that a renderer stopped by a signal
        // removes it (and nothing else).
        const int fd = CreatedFileTable::CreateExclusive(m_path, O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST || errno == EINTR) continue;
            return false;
        }
        // The lock is taken before the file has any size, so a sweep that
        // meets it unlocked and empty knows to leave it alone. A sweep that
        // holds it this moment lets go at once; a filesystem without locks
        // leaves the file unlocked, and a sweep there cannot lock it either.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
        m_fd = fd;
        return true;
    }
    return false;
}

TempFileMapping::MapResult TempFileMapping::ReserveAndMap(size_t bytes) {
    if (m_fd < 0 || m_data != nullptr || bytes == 0) {
        CloseAndRemove();
        return MapResult::ReserveFailed;
    }
    if (!ReserveSpace(m_fd, 0, bytes)) {
        CloseAndRemove();
        return MapResult::ReserveFailed;
    }
    return Map(bytes, true);
}

TempFileMapping::MapResult TempFileMapping::MapSparse(size_t bytes) {
    // A length the file may not have (a size limit) fails as a reservation.
    if (m_fd < 0 || m_data != nullptr || bytes == 0 || bytes > static_cast<size_t>(INT64_MAX) ||
        ftruncate(m_fd, static_cast<off_t>(bytes)) != 0) {
        CloseAndRemove();
        return MapResult::ReserveFailed;
    }
    // Small pages only: a large one written would take blocks beyond the
    // reserved stretch.
    return Map(bytes, false);
}

TempFileMapping::MapResult TempFileMapping::Map(size_t bytes, bool largePages) {
    void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (data == MAP_FAILED) {
        CloseAndRemove();
        return MapResult::MapFailed;
    }
    // Stores are written whole and read in long runs: pages of 2 MB, where
    // the kernel and the file system offer them, take one fault where 512
    // small pages take 512. Only advice: without them nothing changes.
    if (largePages) madvise(data, bytes, MADV_HUGEPAGE);
    m_data = data;
    m_size = bytes;
    return MapResult::Ok;
}

bool TempFileMapping::Reserve(size_t offset, size_t bytes) {
    if (m_data == nullptr || offset >= m_size) return false;
    if (bytes == 0) return true;
    // Whole pages: a page written through the mapping needs all of its blocks.
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t first = offset / page * page;
    const size_t end = std::min(m_size, (offset + std::min(bytes, m_size - offset) + page - 1) / page * page);
    return ReserveSpace(m_fd, first, end - first);
}

void TempFileMapping::Release() { CloseAndRemove(); }

void TempFileMapping::CloseAndRemove() {
    if (m_data != nullptr) {
        munmap(m_data, m_size);
        m_data = nullptr;
        m_size = 0;
    }
    if (m_fd >= 0) {
        // Remove the name only while it still names our file: it is unlinked
        // before the descriptor (and with it the lock) goes.
        struct stat mine {};
        struct stat named {};
        if (fstat(m_fd, &mine) == 0 && lstat(m_path.c_str(), &named) == 0 && SameFile(mine, named))
            unlink(m_path.c_str());
        CreatedFileTable::Forget(m_path);
        close(m_fd);
        m_fd = -1;
    }
}

int TempFileMapping::RemoveStaleFiles(const std::string& folder) {
    if (folder.empty()) return 0;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return 0;
    std::vector<std::string> candidates;
    while (const dirent* entry = readdir(dir)) {
        if (IsTempName(entry->d_name)) candidates.push_back(JoinPath(folder, entry->d_name));
    }
    closedir(dir);

    int removed = 0;
    const time_t now = time(nullptr);
    for (const std::string& path : candidates) {
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        struct stat st {};
        // Another user's file is never ours, whatever its name.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const bool freshEmpty = st.st_size == 0 && now - st.st_mtime < kFreshEmptyFileSeconds;
            struct stat named {};
            if (!freshEmpty && lstat(path.c_str(), &named) == 0 && SameFile(st, named) &&
                unlink(path.c_str()) == 0)
                ++removed;
        }
        close(fd);
    }
    return removed;
}
