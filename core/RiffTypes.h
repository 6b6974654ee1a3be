// The records and result codes of the RIFF chunk reader: a chunk description
// as the chunk search fills it, the PCM format record of a "fmt " chunk, and
// the numeric codes that the WAVE reader turns into its messages.
#pragma once

#include <cstdint>

// A four-character chunk identifier, first character in the lowest byte.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24);
}

// One chunk as the search found it. dwDataOffset is the file offset of the
// chunk's data (for a "RIFF" chunk: of its form type).
struct MMCKINFO {
    uint32_t ckid = 0;
    uint32_t cksize = 0;
    uint32_t fccType = 0;
    uint32_t dwDataOffset = 0;
    uint32_t dwFlags = 0;
};

// The format record: the first 18 bytes of a "fmt " chunk at most.
struct WAVEFORMATEX {
    uint16_t wFormatTag = 0;
    uint16_t nChannels = 0;
    uint32_t nSamplesPerSec = 0;
    uint32_t nAvgBytesPerSec = 0;
    uint16_t nBlockAlign = 0;
    uint16_t wBitsPerSample = 0;
    uint16_t cbSize = 0;
};

namespace riff {

// Search modes of RiffCursor::Descend.
constexpr unsigned MMIO_FINDCHUNK = 0x0010;  // a chunk with the given ckid inside the parent
constexpr unsigned MMIO_FINDRIFF = 0x0020;   // a "RIFF" chunk with the given form type

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
// The format whose "fmt " chunk carries a 22-byte extension after the
// record: valid bits per sample (u16), channel mask (u32) and a 16-byte
// sub-format GUID that names the coding.
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
// Bytes of that extension, and of the whole "fmt " chunk that holds it.
constexpr uint16_t kExtensionBytes = 22;
constexpr uint32_t kExtensibleFormatBytes = 40;
// The sub-format GUIDs of PCM and IEEE-float data differ only in their first
// two bytes, which repeat the plain format tag; the other 14 are these.
constexpr uint8_t kSubFormatGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Result codes of opening and of the chunk search.
constexpr unsigned MMIOERR_FILENOTFOUND = 257;
constexpr unsigned MMIOERR_CANNOTREAD = 259;
constexpr unsigned MMIOERR_CHUNKNOTFOUND = 265;
constexpr unsigned MMIOERR_PATHNOTFOUND = 267;
constexpr unsigned MMIOERR_ACCESSDENIED = 268;
constexpr unsigned MMIOERR_SHARINGVIOLATION = 269;
constexpr unsigned MMIOERR_NETWORKERROR = 270;
constexpr unsigned MMIOERR_TOOMANYOPENFILES = 271;
constexpr unsigned MMIOERR_INVALIDFILE = 272;
// Our own: the path names a folder, a pipe, a device or another non-file.
constexpr unsigned OPENERR_NOTREGULARFILE = 0x7001;

}  // namespace riff
