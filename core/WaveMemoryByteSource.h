// WAVE bytes held in memory: a copy of the buffer it was given.
#pragma once

#include <cstdint>
#include <vector>

#include "WaveByteSource.h"

class FONACORE_API WaveMemoryByteSource : public WaveByteSource {
public:
    explicit WaveMemoryByteSource(std::vector<uint8_t> bytes);
    WaveMemoryByteSource(const uint8_t* data, size_t size);
    ~WaveMemoryByteSource() override;

    long long ReadAt(uint64_t offset, void* buffer, size_t count) override;
    uint64_t Size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};
