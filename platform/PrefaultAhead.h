// Takes the page faults of fresh stores on a thread of its own while another
// thread fills them from the front: the areas are populated a slice at a
// time, all areas at the same offset before the next slice, so that the
// filling thread finds its pages already mapped instead of stopping at every
// one. Nothing is written: a page the filler reaches first simply faults
// there as usual, and the contents never change.
//
// The thread starts with the object and is stopped and joined by its
// destructor (or Stop), so it never outlives the stores.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "FonacoreApi.h"

class FONACORE_API PrefaultAhead {
public:
    struct Area {
        void* begin;
        size_t bytes;
    };

    // Bytes populated per area and slice.
    static constexpr size_t kSliceBytes = size_t{16} << 20;

    explicit PrefaultAhead(std::vector<Area> areas);
    ~PrefaultAhead();
    PrefaultAhead(const PrefaultAhead&) = delete;
    PrefaultAhead& operator=(const PrefaultAhead&) = delete;

    // Ends the work after the slice under way and waits for the thread.
    void Stop();

private:
    void Run();

    std::vector<Area> m_areas;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
