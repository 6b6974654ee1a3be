#include "WaveMemoryByteSource.h"

#include <cstring>

WaveMemoryByteSource::WaveMemoryByteSource(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

WaveMemoryByteSource::WaveMemoryByteSource(const uint8_t* data, size_t size)
    : m_bytes(data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size)) {}

WaveMemoryByteSource::~WaveMemoryByteSource() = default;

long long WaveMemoryByteSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset >= m_bytes.size() || count == 0) return 0;
    const size_t available = m_bytes.size() - static_cast<size_t>(offset);
    const size_t n = count < available ? count : available;
    std::memcpy(buffer, m_bytes.data() + offset, n);
    return static_cast<long long>(n);
}
