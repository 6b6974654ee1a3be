#include "PrefaultAhead.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Pages of [p, p + bytes) that are mapped in memory.
size_t ResidentPages(void* p, size_t bytes) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> flags((bytes + page - 1) / page);
    if (mincore(p, bytes, flags.data()) != 0) return 0;
    size_t resident = 0;
    for (unsigned char f : flags) resident += f & 1u;
    return resident;
}

}  // namespace

TEST(PrefaultAhead, MapsEveryPageOfEveryAreaAndChangesNoByte) {
    // Two fresh shared areas of three slices and a bit, a few bytes already
    // written: the thread maps the rest and leaves those bytes as they are.
    const size_t bytes = 3 * PrefaultAhead::kSliceBytes + 12345 * 4096;
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* areas[2];
    for (void*& a : areas) {
        a = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(a, MAP_FAILED);
    }
    static_cast<char*>(areas[0])[5] = 'a';
    static_cast<char*>(areas[1])[bytes - 1] = 'z';
    if (madvise(areas[0], page, 23 /* MADV_POPULATE_WRITE */) != 0) GTEST_SKIP() << "no populate advice";
    {
        PrefaultAhead prefault({{areas[0], bytes}, {areas[1], bytes}});
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((ResidentPages(areas[0], bytes) + ResidentPages(areas[1], bytes)) < 2 * (bytes / page) &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ResidentPages(areas[0], bytes), bytes / page);
    EXPECT_EQ(ResidentPages(areas[1], bytes), bytes / page);
    EXPECT_EQ(static_cast<char*>(areas[0])[5], 'a');
    EXPECT_EQ(static_cast<char*>(areas[1])[bytes - 1], 'z');
    std::vector<char> zeros(page, 0);
    EXPECT_EQ(std::memcmp(static_cast<char*>(areas[1]) + bytes / 2 / page * page, zeros.data(), page), 0);
    for (void* a : areas) munmap(a, bytes);
}

TEST(PrefaultAhead, StopEndsTheThreadAtOnceOverAHugeArea) {
    // 4 GiB of address space that is never backed: Stop returns after the
    // slice under way instead of populating it all.
    const size_t bytes = size_t{4} << 30;
    void* area =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    const auto start = std::chrono::steady_clock::now();
    {
        PrefaultAhead prefault({{area, bytes}});
        prefault.Stop();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_LT(ResidentPages(area, bytes), bytes / 4096 / 100);
    munmap(area, bytes);
}
