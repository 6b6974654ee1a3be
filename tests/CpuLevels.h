// The instruction-set levels the vector code may run at here, from the
// portable code up: a test runs its case under a cap of each, so that every
// form of a kernel this machine has is checked.
#pragma once

#include <algorithm>
#include <vector>

#include "CpuFeatures.h"

// The levels up to `widest`, the widest form the kernels under test have
// (above it they run that form again).
inline std::vector<cpu::Level> LevelsToTest(cpu::Level widest = cpu::Level::Avx512) {
    std::vector<cpu::Level> levels;
    const int top = static_cast<int>(std::min(cpu::UsableLevel(), widest));
    for (int level = 0; level <= top; ++level) levels.push_back(static_cast<cpu::Level>(level));
    return levels;
}

// For the messages of failed checks.
inline const char* LevelName(cpu::Level level) {
    switch (level) {
        case cpu::Level::Portable:
            return "portable";
        case cpu::Level::Avx2:
            return "AVX2";
        default:
            return "AVX-512";
    }
}
