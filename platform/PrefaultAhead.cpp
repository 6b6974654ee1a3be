#include "PrefaultAhead.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "MemoryPrefault.h"

PrefaultAhead::PrefaultAhead(std::vector<Area> areas) : m_areas(std::move(areas)) {
    try {
        m_thread = std::thread(&PrefaultAhead::Run, this);
    } catch (const std::system_error&) {
        // Without a thread the filler takes its own faults, as it always could.
    }
}

PrefaultAhead::~PrefaultAhead() { Stop(); }

void PrefaultAhead::Stop() {
    m_bStop.store(true, std::memory_order_relaxed);
    if (m_thread.joinable()) m_thread.join();
}

void PrefaultAhead::Run() {
    size_t longest = 0;
    for (const Area& area : m_areas) longest = std::max(longest, area.bytes);
    for (size_t offset = 0; offset < longest; offset += kSliceBytes) {
        for (const Area& area : m_areas) {
            if (m_bStop.load(std::memory_order_relaxed)) return;
            if (offset >= area.bytes) continue;
            platform::PrefaultForWriting(static_cast<char*>(area.begin) + offset,
                                         std::min(kSliceBytes, area.bytes - offset));
        }
    }
}
