// The processor's instruction-set level against the flags the kernel reports,
// and the cap that tests and benchmarks lower.
#include "CpuFeatures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// The flags of the first processor in /proc/cpuinfo.
std::set<std::string> KernelFlags() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("flags", 0) != 0) continue;
        std::istringstream words(line.substr(line.find(':') + 1));
        std::set<std::string> flags;
        for (std::string flag; words >> flag;) flags.insert(flag);
        return flags;
    }
    return {};
}

}  // namespace

TEST(CpuFeatures, ProcessorLevelAgreesWithTheKernelsFlags) {
#if defined(__x86_64__)
    const std::set<std::string> flags = KernelFlags();
    if (flags.empty()) GTEST_SKIP() << "no processor flags in /proc/cpuinfo";
    const bool avx2 = flags.count("avx2") && flags.count("fma");
    const bool avx512 = avx2 && flags.count("avx512f") && flags.count("avx512dq");
    const cpu::Level expected = avx512 ? cpu::Level::Avx512 : avx2 ? cpu::Level::Avx2 : cpu::Level::Portable;
    EXPECT_EQ(static_cast<int>(cpu::ProcessorLevel()), static_cast<int>(expected));
#else
    EXPECT_EQ(cpu::ProcessorLevel(), cpu::Level::Portable);
#endif
}

TEST(CpuFeatures, TheCapLimitsTheUsableLevelAndIsRestored) {
    const cpu::Level processor = cpu::ProcessorLevel();
    const cpu::Level before = cpu::UsableLevel();
    EXPECT_LE(before, processor);
    {
        const cpu::LevelCap portable(cpu::Level::Portable);
        EXPECT_EQ(cpu::UsableLevel(), cpu::Level::Portable);
        {
            // A cap above the processor's level gives no more than it has.
            const cpu::LevelCap widest(cpu::Level::Avx512);
            EXPECT_EQ(cpu::UsableLevel(), processor);
        }
        EXPECT_EQ(cpu::UsableLevel(), cpu::Level::Portable);
        const cpu::LevelCap avx2(cpu::Level::Avx2);
        EXPECT_EQ(cpu::UsableLevel(), std::min(processor, cpu::Level::Avx2));
    }
    EXPECT_EQ(cpu::UsableLevel(), before);
}
