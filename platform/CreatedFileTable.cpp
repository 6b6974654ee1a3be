#include "CreatedFileTable.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

enum SlotState : int {
    kFree,
    // The file is being made: its maker's thread holds every signal back
    // meanwhile, so a handler that meets this state runs on another thread
    // and may wait for the state to settle.
    kMaking,
    kLive,
    // A handler is removing the file.
    kTaken,
};

struct Slot {
    std::atomic<int> state{kFree};
    dev_t device = 0;
    ino_t inode = 0;
    char path[CreatedFileTable::kMaxPath] = {};
};

static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");

Slot g_slots[CreatedFileTable::kSlots];

// How long a handler waits for a file being made on another thread (an
// open that hangs on a network folder must not hold the process forever).
constexpr int kMakingWaitMilliseconds = 2000;

Slot* ClaimSlot() {
    for (Slot& slot : g_slots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kMaking)) return &slot;
    }
    return nullptr;
}

bool WaitWhileMaking(const Slot& slot) {
    const timespec millisecond{0, 1000000};
    for (int waited = 0; slot.state.load() == kMaking; ++waited) {
        if (waited >= kMakingWaitMilliseconds) return false;
        nanosleep(&millisecond, nullptr);
    }
    return true;
}

}  // namespace

int CreatedFileTable::CreateExclusive(const std::string& path, int flags, mode_t mode) {
    if (path.size() >= kMaxPath) {
        errno = ENAMETOOLONG;
        return -1;
    }
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    Slot* slot = ClaimSlot();
    if (slot != nullptr) std::memcpy(slot->path, path.c_str(), path.size() + 1);
    int fd = open(path.c_str(), flags | O_CREAT | O_EXCL, mode);
    int error = errno;
    if (slot != nullptr) {
        struct stat made {};
        if (fd >= 0 && fstat(fd, &made) != 0) {
            // A file we cannot identify could not be removed safely later.
            error = errno;
            unlink(path.c_str());
            close(fd);
            fd = -1;
        }
        if (fd >= 0) {
            slot->device = made.st_dev;
            slot->inode = made.st_ino;
        }
        slot->state.store(fd >= 0 ? kLive : kFree);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return fd;
}

void CreatedFileTable::Forget(const std::string& path) {
    for (Slot& slot : g_slots) {
        int expected = kLive;
        if (slot.state.load() == kLive && path == slot.path)
            slot.state.compare_exchange_strong(expected, kFree);
    }
}

void CreatedFileTable::RemoveAll() {
    for (Slot& slot : g_slots) {
        if (!WaitWhileMaking(slot)) continue;
        int expected = kLive;
        if (!slot.state.compare_exchange_strong(expected, kTaken)) continue;
        struct stat named {};
        if (lstat(slot.path, &named) == 0 && named.st_dev == slot.device && named.st_ino == slot.inode)
            unlink(slot.path);
        slot.state.store(kFree);
    }
}

int CreatedFileTable::Count() {
    int count = 0;
    for (const Slot& slot : g_slots) count += slot.state.load() == kLive ? 1 : 0;
    return count;
}
