// Page faults taken ahead: the whole pages of a range become resident, the
// partial pages at its ends and everything outside it stay untouched, and
// the contents do not change.
#include "MemoryPrefault.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct FreshPages {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t count;
    char* base;

    explicit FreshPages(size_t n) : count(n) {
        void* p = mmap(nullptr, page * count, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
    }
    ~FreshPages() {
        if (base != nullptr) munmap(base, page * count);
    }
    std::vector<bool> Resident() const {
        std::vector<unsigned char> flags(count);
        EXPECT_EQ(mincore(base, page * count, flags.data()), 0);
        std::vector<bool> resident;
        for (unsigned char f : flags) resident.push_back((f & 1) != 0);
        return resident;
    }
};

}  // namespace

TEST(MemoryPrefault, WholePagesInsideTheRangeBecomeResident) {
    {
        // Whether this kernel maps pages on advice at all (Linux 5.14 on).
        FreshPages probe(1);
        ASSERT_NE(probe.base, nullptr);
        if (madvise(probe.base, probe.page, 23 /* MADV_POPULATE_WRITE */) != 0)
            GTEST_SKIP() << "the kernel does not map pages on advice";
    }
    FreshPages pages(8);
    ASSERT_NE(pages.base, nullptr);
    EXPECT_EQ(pages.Resident(), std::vector<bool>(8, false));
    // From the middle of page 1 to the middle of page 6: pages 2 .. 5 whole.
    platform::PrefaultForWriting(pages.base + pages.page + 100, 5 * pages.page);
    EXPECT_EQ(pages.Resident(), (std::vector<bool>{false, false, true, true, true, true, false, false}));
    // Read back as zeros, as fresh pages do.
    for (size_t i = 2 * pages.page; i < 6 * pages.page; ++i) ASSERT_EQ(pages.base[i], 0) << i;
}

TEST(MemoryPrefault, ContentsStayAndOddRangesAreHarmless) {
    std::vector<uint8_t> data(3 * 1024 * 1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    const std::vector<uint8_t> before = data;
    platform::PrefaultForWriting(data.data() + 13, data.size() - 29);
    EXPECT_EQ(data, before);
    // Empty, shorter than a page, and running past the end of the address space.
    platform::PrefaultForWriting(data.data(), 0);
    platform::PrefaultForWriting(data.data() + 1, 100);
    platform::PrefaultForWriting(data.data(), SIZE_MAX);
    platform::PrefaultForWriting(nullptr, 0);
    EXPECT_EQ(data, before);
}
