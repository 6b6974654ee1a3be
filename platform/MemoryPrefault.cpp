#include "MemoryPrefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

// Linux 5.14 and later; older kernels refuse the advice, which is harmless.
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace platform {

void PrefaultForWriting(void* begin, size_t bytes) {
    static const uintptr_t page = [] {
        const long size = sysconf(_SC_PAGESIZE);
        return size > 0 ? static_cast<uintptr_t>(size) : uintptr_t{4096};
    }();
    const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
    if (bytes == 0 || start > UINTPTR_MAX - bytes) return;
    const uintptr_t first = (start + page - 1) / page * page;
    const uintptr_t end = (start + bytes) / page * page;
    if (end <= first) return;
    madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

}  // namespace platform
