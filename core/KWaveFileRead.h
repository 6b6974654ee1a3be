// Reads an uncompressed WAVE file: opens it, finds the "fmt " and "data"
// chunks inside the RIFF "WAVE" form, keeps the format, and then hands out
// the raw bytes of the data chunk in sequential reads.
//
// Accepted codings: integer PCM (tag 1), IEEE float of 32 or 64 bits (tag 3),
// and the extensible format (tag 0xFFFE) whose sub-format is one of those two,
// with at most as many valid bits as the container holds. Every other tag or
// sub-format is refused by its tag, as are records that cannot describe whole
// frames or give a sampling rate of 0 or above kMaxSamplesPerSec.
//
// Every failure of opening is shown to the user at once, through the message
// door, and the operation returns false; callers only test the result. The
// reader never writes. It owns its open file; it cannot be copied.
//
// Calling order: OpenWaveFile; the getters; SeekFileTheVeryBeginingOfWaveData;
// ReadNextBytes repeatedly; CloseWaveFile or destruction. Right after a
// successful open the position is already at the first data byte.
#pragma once

#include <memory>
#include <string>

#include "FonacoreApi.h"
#include "RiffCursor.h"
#include "RiffTypes.h"
#include "WaveByteSource.h"

class FONACORE_API CKWaveFileRead {
public:
    // The highest sampling rate accepted, in Hz.
    static constexpr unsigned long kMaxSamplesPerSec = 768000;

    CKWaveFileRead();
    ~CKWaveFileRead();
    CKWaveFileRead(const CKWaveFileRead&) = delete;
    CKWaveFileRead& operator=(const CKWaveFileRead&) = delete;

    // Opens the file at `path` (UTF-8) and positions it on its data.
    bool OpenWaveFile(const std::string& path);
    // Asks the user for a file with the open-file dialog, then opens it; a
    // cancelled dialog returns false without a message.
    bool OpenWaveFile();
    // Runs the same chunk search over bytes from any source (a buffer in
    // memory, for instance). `pathName` is kept as the path name and gives
    // the file title, as for a file.
    bool OpenWaveSource(std::unique_ptr<WaveByteSource> source, const std::string& pathName);
    void CloseWaveFile();

    bool FileIsOpened() const { return m_bOpened; }
    WAVEFORMATEX GetFormat() const { return m_Format; }
    unsigned short GetNChannels() const { return m_Format.nChannels; }
    unsigned long GetFrADC() const { return m_Format.nSamplesPerSec; }
    unsigned short GetBlockAlign() const { return m_Format.nBlockAlign; }
    // The samples are IEEE floats (32 or 64 bits wide) rather than integers.
    bool IsFloat() const { return m_bFloat; }
    // The bit depth the signal is treated as having; the default lower level
    // and the sonogram's window and column step follow it. Integer data: the
    // significant bits (wBitsPerSample, or the extension's valid bits). Float
    // data has no fixed depth: kFloatSignalBits stands for it.
    int GetSignalBits() const { return m_bFloat ? kFloatSignalBits : m_nValidBits; }
    // A float file is treated as 24-bit, the depth of the studio recordings
    // such files are usually made from: its default lower level is -144.5 dB.
    static constexpr int kFloatSignalBits = 24;
    // Whole frames in the data chunk; 0 after a failed data-chunk search.
    long GetSizeInSamples() const { return m_nSizeInSamples; }
    // nBlockAlign times the size in samples.
    long GetSizeInBytes() const { return static_cast<long>(m_Format.nBlockAlign) * m_nSizeInSamples; }
    // File offset of the first sample byte.
    unsigned long GetDataOffset() const { return m_ckData.dwDataOffset; }
    std::string GetFilePathName() const { return m_strPathName; }
    // The file's name without folder and without extension.
    std::string GetFileTitle() const { return m_strFileTitle; }

    // Moves to the first data byte; returns that offset, or -1.
    long SeekFileTheVeryBeginingOfWaveData();
    // Moves to the first byte of frame `frame` (0 .. GetSizeInSamples()) of
    // the data; returns that offset, or -1.
    long SeekToFrame(long frame);
    // Reads up to `count` bytes of the data chunk from the current position;
    // never past the chunk's end. Returns the bytes read, 0 at the end of the
    // chunk, -1 on a read error (or without an open file).
    long ReadNextBytes(unsigned char* buffer, long count);

protected:
    bool open_mmio_and_descend_into_chunks();
    bool open_hmmio_file_wave();
    bool descend_into_wave_chunk();
    bool descend_into_fmt__chunk();
    bool descend_into_data_chunk();
    void close_wave_file();

private:
    void ShowChunkSearchMessage(unsigned result);
    // Takes the coding from the tag (and, for the extensible format, from the
    // extension that follows the record); shows the message of a refusal.
    bool TakeSampleCoding();
    bool TakeExtension();
    bool FloatWidthIsKnown();
    void ShowFormatTagMessage();
    void ShowFormatReadMessage(long long got);
    // Checks the record; shows the message for the first fault found.
    bool FormatDescribesWholeFrames();

    std::string m_strMessage;
    std::string m_strPathName;
    std::string m_strFileTitle;
    std::unique_ptr<RiffCursor> m_hmmio;
    bool m_bOpened = false;
    MMCKINFO m_ckRIFF;
    MMCKINFO m_ckFmt;
    MMCKINFO m_ckData;
    long m_nSizeInSamples = 0;
    WAVEFORMATEX m_Format;
    bool m_bFloat = false;
    unsigned m_nValidBits = 0;
    // The source OpenWaveSource hands to the opening step instead of a file.
    std::unique_ptr<WaveByteSource> m_pPendingSource;
};
