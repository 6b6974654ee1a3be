#include "CpuFeatures.h"

#include <algorithm>
#include <atomic>

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

}  // namespace

Level ProcessorLevel() {
    static const Level level = DetectLevel();
    return level;
}

Level UsableLevel() { return std::min(ProcessorLevel(), levelCap.load(std::memory_order_relaxed)); }

Level SetLevelCap(Level cap) { return levelCap.exchange(cap, std::memory_order_relaxed); }

}  // namespace cpu
