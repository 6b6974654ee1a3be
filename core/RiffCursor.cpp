#include "RiffCursor.h"

#include <cstring>

namespace {

constexpr size_t kWindowBytes = 64 * 1024;
// Reads up to this size go through the window; larger ones go straight to the source.
constexpr size_t kSmallRead = 256;

constexpr uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');

uint32_t LittleEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

RiffCursor::RiffCursor(std::unique_ptr<WaveByteSource> source) : m_source(std::move(source)) {}

RiffCursor::~RiffCursor() = default;

long long RiffCursor::ReadSmall(uint64_t offset, uint8_t* out, size_t count) {
    const bool inside = offset >= m_windowStart && offset - m_windowStart <= m_windowLength &&
                        count <= m_windowLength - (offset - m_windowStart);
    if (!inside) {
        // Refill from `offset`; what the window then lacks lies past the end.
        if (m_window.size() < kWindowBytes) m_window.resize(kWindowBytes);
        const long long got = m_source->ReadAt(offset, m_window.data(), m_window.size());
        if (got < 0) {
            // The failure may lie anywhere in the window: ask for exactly
            // the bytes wanted before giving up.
            m_windowLength = 0;
            return m_source->ReadAt(offset, out, count);
        }
        m_windowStart = offset;
        m_windowLength = static_cast<size_t>(got);
    }
    const size_t at = static_cast<size_t>(offset - m_windowStart);
    const size_t available = m_windowLength - at;
    const size_t n = count < available ? count : available;
    std::memcpy(out, m_window.data() + at, n);
    return static_cast<long long>(n);
}

long long RiffCursor::Read(void* buffer, long long count) {
    if (count < 0 || (buffer == nullptr && count > 0)) return -1;
    if (count == 0) return 0;
    const size_t want = static_cast<size_t>(count);
    const long long got = want <= kSmallRead ? ReadSmall(m_position, static_cast<uint8_t*>(buffer), want)
                                             : m_source->ReadAt(m_position, buffer, want);
    if (got > 0) m_position += static_cast<uint64_t>(got);
    return got;
}

long long RiffCursor::Seek(long long offset, int origin) {
    long long base;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = static_cast<long long>(m_position);
            break;
        case 2:
            base = static_cast<long long>(Size());
            break;
        default:
            return -1;
    }
    long long target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return -1;
    m_position = static_cast<uint64_t>(target);
    return target;
}

unsigned RiffCursor::Descend(MMCKINFO& chunk, const MMCKINFO* parent, unsigned flags) {
    const bool findRiff = (flags & riff::MMIO_FINDRIFF) != 0;
    const bool findChunk = (flags & riff::MMIO_FINDCHUNK) != 0;
    const uint64_t parentEnd =
        parent != nullptr ? uint64_t{parent->dwDataOffset} + parent->cksize : UINT64_MAX;
    const uint32_t wantedId = findRiff ? kRiff : chunk.ckid;

    uint64_t position = m_position;
    for (;;) {
        if (position > parentEnd || parentEnd - position < 8) return riff::MMIOERR_CHUNKNOTFOUND;
        uint8_t header[8];
        const long long got = ReadSmall(position, header, sizeof header);
        if (got < 0) return riff::MMIOERR_CANNOTREAD;
        if (got < 8) return riff::MMIOERR_CHUNKNOTFOUND;
        const uint32_t id = LittleEndian32(header);
        const uint32_t size = LittleEndian32(header + 4);
        const uint64_t dataOffset = position + 8;
        // Chunk records carry 32-bit offsets: nothing beyond can be described.
        if (dataOffset > UINT32_MAX) return riff::MMIOERR_CHUNKNOTFOUND;

        const bool hasFormType = id == kRiff || id == kList;
        const bool takeThis = (!findRiff && !findChunk) || id == wantedId;
        if (takeThis) {
            uint32_t formType = 0;
            if (hasFormType) {
                uint8_t type[4];
                const long long typeGot = ReadSmall(dataOffset, type, sizeof type);
                if (typeGot < 0) return riff::MMIOERR_CANNOTREAD;
                if (typeGot < 4) return riff::MMIOERR_CHUNKNOTFOUND;
                formType = LittleEndian32(type);
            }
            if (!findRiff || formType == chunk.fccType) {
                chunk.ckid = id;
                chunk.cksize = size;
                chunk.fccType = formType;
                chunk.dwDataOffset = static_cast<uint32_t>(dataOffset);
                chunk.dwFlags = 0;
                m_position = hasFormType ? dataOffset + 4 : dataOffset;
                return 0;
            }
        }
        position = dataOffset + size + (size & 1u);
    }
}
