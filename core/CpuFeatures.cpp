#include "CpuFeatures.h"

#include <algorithm>

namespace cpu {

namespace {

// Read by kernels that may run on a computation's worker threads.
constinit std::atomic<Level> levelCap{Level::Avx512};

Level DetectLevel() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return Level::Portable;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512dq")) return Level::Avx2;
    return Level::Avx512;
#else
    return Level::Portable;
#endif
}

int Usable(Level cap) { return static_cast<int>(std::min(ProcessorLevel(), cap)); }

}  // namespace

namespace detail {

constinit std::atomic<int> usableLevel{-1};

Level CheckUsableLevel() {
    int unchecked = -1;
    // Only the first check writes: a cap set meanwhile has stored its own value.
    usableLevel.compare_exchange_strong(unchecked, Usable(levelCap.load(std::memory_order_relaxed)),
                                        std::memory_order_relaxed);
    return static_cast<Level>(usableLevel.load(std::memory_order_relaxed));
}

}  // namespace detail

Level ProcessorLevel() {
    static const Level level = DetectLevel();
    return level;
}

Level SetLevelCap(Level cap) {
    const Level previous = levelCap.exchange(cap, std::memory_order_relaxed);
    detail::usableLevel.store(Usable(cap), std::memory_order_relaxed);
    return previous;
}

}  // namespace cpu
