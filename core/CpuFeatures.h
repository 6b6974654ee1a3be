// The instruction sets the vector code of the library and of the panes'
// signal processing may use, checked once per process, and the one cap that
// limits them. Every kernel that has a vector form (the transform, and
// through it the Hilbert filter and the decimator; the sonogram's column
// kernels, frame and colours; the FGT's sums, logarithms and image) asks
// UsableLevel() which form to run. Every form gives the same results (to
// rounding where its unit says so), so the cap changes speed only: tests and
// benchmarks lower it to reach the slower forms.
#pragma once

#include <atomic>

#include "FonacoreApi.h"

namespace cpu {

// Ordered: each level includes the ones below it.
enum class Level : int {
    Portable = 0,  // plain C++ (SSE2 on x86-64)
    Avx2 = 1,      // AVX2 with FMA
    Avx512 = 2,    // AVX-512 F and DQ on top of Avx2
};

// The highest level this processor runs, checked on the first call.
FONACORE_API Level ProcessorLevel();

// The level the vector code runs at: the processor's, limited by the cap.
// Safe to read from any thread; a computation reads it once and keeps it, so
// that its worker threads all take the same path. Inline: the shortest
// transforms ask on every call.
inline Level UsableLevel();

// Sets the cap (Avx512 by default, that is no limit) and returns the
// previous one. Set from one thread at a time, between computations.
FONACORE_API Level SetLevelCap(Level cap);

// Lowers the cap for the lifetime of the object and then restores it (tests
// and benchmarks that run the slower forms).
class LevelCap {
public:
    explicit LevelCap(Level cap) : m_previous(SetLevelCap(cap)) {}
    ~LevelCap() { SetLevelCap(m_previous); }
    LevelCap(const LevelCap&) = delete;
    LevelCap& operator=(const LevelCap&) = delete;

private:
    Level m_previous;
};

namespace detail {

// The usable level, or -1 until the processor has been checked.
FONACORE_API extern std::atomic<int> usableLevel;
FONACORE_API Level CheckUsableLevel();

}  // namespace detail

inline Level UsableLevel() {
    const int level = detail::usableLevel.load(std::memory_order_relaxed);
    return level >= 0 ? static_cast<Level>(level) : detail::CheckUsableLevel();
}

}  // namespace cpu
