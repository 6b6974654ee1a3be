// Random access to the bytes of a WAVE file, wherever they live: an open
// file (WaveFileByteSource) or a buffer in memory (WaveMemoryByteSource).
// The RIFF chunk reader sees nothing else, so the same parsing code runs on
// files and on bytes a test or a fuzzer hands it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "FonacoreApi.h"

class FONACORE_API WaveByteSource {
public:
    WaveByteSource() = default;
    virtual ~WaveByteSource();
    WaveByteSource(const WaveByteSource&) = delete;
    WaveByteSource& operator=(const WaveByteSource&) = delete;

    // Copies up to `count` bytes starting at `offset` into `buffer`. Returns
    // the number of bytes copied (fewer than asked only at the end of the
    // bytes, 0 at or past the end), or -1 on a read error.
    virtual long long ReadAt(uint64_t offset, void* buffer, size_t count) = 0;

    // The number of bytes available (the file's size when it was opened).
    virtual uint64_t Size() const = 0;
};
