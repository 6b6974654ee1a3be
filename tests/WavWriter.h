// Writes WAVE files for the tests: byte by byte (for malformed headers) or as
// plain PCM from sample values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testwav {

// A little-endian byte builder for hand-made RIFF files.
class Bytes {
public:
    Bytes& tag(const char id[4]);
    Bytes& u16(uint16_t v);
    Bytes& u32(uint32_t v);
    Bytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    Bytes& raw(const std::vector<uint8_t>& bytes);
    Bytes& zeros(size_t n);
    // A chunk: id, size (the actual payload size unless `declaredSize` is given), payload, pad byte when odd.
    Bytes& chunk(const char id[4], const std::vector<uint8_t>& payload, bool pad = true);
    Bytes& chunkDeclared(const char id[4], uint32_t declaredSize, const std::vector<uint8_t>& payload);
    // The 16-byte PCM format record (cbSize not included).
    static std::vector<uint8_t> fmtPayload(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                           uint16_t blockAlign = 0xFFFF, uint32_t avgBytes = 0xFFFFFFFF);
    const std::vector<uint8_t>& data() const { return m_data; }
    std::vector<uint8_t>& data() { return m_data; }
    size_t size() const { return m_data.size(); }
    // Fills bytes 4..7 with size() - 8.
    Bytes& fixRiffSize();

private:
    std::vector<uint8_t> m_data;
};

// Writes `bytes` to `path`; returns false when the file cannot be written.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

// A canonical PCM WAVE file (RIFF, "fmt " of 16 bytes, "data") with the
// interleaved 16-bit samples given.
std::vector<uint8_t> pcm16(uint32_t rate, uint16_t channels, const std::vector<int16_t>& interleaved);

// The same for any container width: 8-bit values are written unsigned
// (value + 128), others little-endian two's complement of `bits` bits.
std::vector<uint8_t> pcm(uint32_t rate, uint16_t channels, uint16_t bits,
                         const std::vector<int32_t>& interleaved);

// A canonical 16-bit PCM WAVE file of `frames` frames too long to hold in
// memory, written a second at a time: `frame(n, samples)` fills the
// `channels` samples of frame n, called for n = 0, 1, ... in order.
bool writeLongPcm16(const std::string& path, uint32_t rate, uint16_t channels, uint32_t frames,
                    const std::function<void(uint32_t n, int16_t* samples)>& frame);

// A fresh, empty folder under the system temporary folder, removed with its
// contents when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Names of the files in the folder that match KFW*.TMP.
    std::vector<std::string> tempSignalFiles() const;

private:
    std::string m_path;
};

}  // namespace testwav
