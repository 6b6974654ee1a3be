#include "WavWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace testwav {

Bytes& Bytes::tag(const char id[4]) {
    for (int i = 0; i < 4; ++i) m_data.push_back(static_cast<uint8_t>(id[i]));
    return *this;
}

Bytes& Bytes::u16(uint16_t v) {
    m_data.push_back(static_cast<uint8_t>(v & 0xFF));
    m_data.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
}

Bytes& Bytes::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_data.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
    return *this;
}

Bytes& Bytes::raw(const std::vector<uint8_t>& bytes) {
    m_data.insert(m_data.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes& Bytes::zeros(size_t n) {
    m_data.insert(m_data.end(), n, 0);
    return *this;
}

Bytes& Bytes::chunk(const char id[4], const std::vector<uint8_t>& payload, bool pad) {
    tag(id).u32(static_cast<uint32_t>(payload.size())).raw(payload);
    if (pad && (payload.size() % 2) != 0) m_data.push_back(0);
    return *this;
}

Bytes& Bytes::chunkDeclared(const char id[4], uint32_t declaredSize, const std::vector<uint8_t>& payload) {
    return tag(id).u32(declaredSize).raw(payload);
}

std::vector<uint8_t> Bytes::fmtPayload(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                       uint16_t blockAlign, uint32_t avgBytes) {
    if (blockAlign == 0xFFFF) blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    if (avgBytes == 0xFFFFFFFF) avgBytes = rate * blockAlign;
    Bytes b;
    b.u16(tag).u16(channels).u32(rate).u32(avgBytes).u16(blockAlign).u16(bits);
    return b.data();
}

Bytes& Bytes::fixRiffSize() {
    if (m_data.size() >= 8) {
        const uint32_t v = static_cast<uint32_t>(m_data.size() - 8);
        for (int i = 0; i < 4; ++i) m_data[4 + i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
    }
    return *this;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool writeLongPcm16(const std::string& path, uint32_t rate, uint16_t channels, uint32_t frames,
                    const std::function<void(uint32_t n, int16_t* samples)>& frame) {
    const uint32_t dataBytes = frames * channels * 2u;
    Bytes header;
    header.tag("RIFF").u32(36 + dataBytes).tag("WAVE");
    header.chunk("fmt ", Bytes::fmtPayload(1, channels, rate, 16));
    header.tag("data").u32(dataBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(header.data().data(), 1, header.size(), f) == header.size();
    std::vector<int16_t> block(static_cast<size_t>(rate) * channels);
    for (uint32_t first = 0; first < frames && ok; first += rate) {
        const uint32_t count = std::min(rate, frames - first);
        for (uint32_t i = 0; i < count; ++i)
            frame(first + i, block.data() + static_cast<size_t>(i) * channels);
        // Little-endian, as the machines this runs on store them.
        const size_t values = static_cast<size_t>(count) * channels;
        ok = std::fwrite(block.data(), sizeof(int16_t), values, f) == values;
    }
    return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> pcm(uint32_t rate, uint16_t channels, uint16_t bits,
                         const std::vector<int32_t>& interleaved) {
    const unsigned width = (bits + 7u) / 8u;
    Bytes payload;
    for (int32_t v : interleaved) {
        uint32_t u = (width == 1) ? static_cast<uint32_t>(v + 128) : static_cast<uint32_t>(v);
        for (unsigned i = 0; i < width; ++i)
            payload.data().push_back(static_cast<uint8_t>((u >> (8 * i)) & 0xFF));
    }
    Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE");
    b.chunk("fmt ", Bytes::fmtPayload(1, channels, rate, bits));
    b.chunk("data", payload.data());
    b.fixRiffSize();
    return b.data();
}

std::vector<uint8_t> pcm16(uint32_t rate, uint16_t channels, const std::vector<int16_t>& interleaved) {
    std::vector<int32_t> wide(interleaved.begin(), interleaved.end());
    return pcm(rate, channels, 16, wide);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fonavid-test-XXXXXX").string();
    // A folder that cannot be made fails the test that wanted it, with the reason.
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a folder " + pattern + ": " + std::strerror(errno));
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> TempDir::tempSignalFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("KFW", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".TMP")
            names.push_back(name);
    }
    return names;
}

}  // namespace testwav
