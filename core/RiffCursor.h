// A read position over the bytes of a RIFF file, with the chunk search the
// WAVE reader needs: Read, Seek and Descend behave as the reader expects
// from a multimedia file handle.
//
// - Read copies bytes from the current position and moves past them:
//   the count copied, 0 at the end, -1 on a read error.
// - Seek moves from the start (origin 0), the current position (1) or the
//   end (2) and returns the new position, or -1 for a position before 0.
// - Descend with MMIO_FINDRIFF reads chunk headers from the current position
//   until a "RIFF" chunk of the requested form type and leaves the position
//   after the form type; with MMIO_FINDCHUNK it reads headers from the
//   current position, stepping over each chunk's data (rounded up to an even
//   size), until the requested identifier, never passing the parent's end,
//   and leaves the position at the chunk's first data byte. It returns 0, or
//   MMIOERR_CHUNKNOTFOUND when the end of the bytes or of the parent comes
//   first (MMIOERR_CANNOTREAD on a read error).
//
// Positions are 64-bit, so no chunk size can wrap an offset. Small reads are
// served from a window of the bytes, so stepping over many short chunks costs
// few reads of the source.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FonacoreApi.h"
#include "RiffTypes.h"
#include "WaveByteSource.h"

class FONACORE_API RiffCursor {
public:
    explicit RiffCursor(std::unique_ptr<WaveByteSource> source);
    ~RiffCursor();
    RiffCursor(const RiffCursor&) = delete;
    RiffCursor& operator=(const RiffCursor&) = delete;

    long long Read(void* buffer, long long count);
    long long Seek(long long offset, int origin);
    unsigned Descend(MMCKINFO& chunk, const MMCKINFO* parent, unsigned flags);

    uint64_t Position() const { return m_position; }
    uint64_t Size() const { return m_source->Size(); }

private:
    // Reads `count` bytes at `offset` through the window; returns the count
    // read or -1.
    long long ReadSmall(uint64_t offset, uint8_t* out, size_t count);

    std::unique_ptr<WaveByteSource> m_source;
    uint64_t m_position = 0;
    std::vector<uint8_t> m_window;
    uint64_t m_windowStart = 0;
    size_t m_windowLength = 0;
};
