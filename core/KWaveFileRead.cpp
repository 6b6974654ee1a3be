#include "KWaveFileRead.h"

#include <cstdio>
#include <cstring>

#include "FileDialogs.h"
#include "Messages.h"
#include "WaveFileByteSource.h"

namespace {

constexpr uint32_t kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = MakeFourCC('d', 'a', 't', 'a');

// The format record is the first 18 bytes of the "fmt " chunk at most.
constexpr uint32_t kFormatRecordBytes = 18;
// The longest file title kept, in bytes.
constexpr size_t kMaxTitleBytes = 255;

std::string Format(const char* format, unsigned long a) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, a);
    return buffer;
}

uint16_t LittleEndian16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t LittleEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The file name without folder and extension, cut to the longest title
// without splitting a UTF-8 character.
std::string TitleOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.size() > kMaxTitleBytes) {
        size_t cut = kMaxTitleBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.erase(cut);
    }
    return name;
}

}  // namespace

CKWaveFileRead::CKWaveFileRead() = default;

CKWaveFileRead::~CKWaveFileRead() { CloseWaveFile(); }

void CKWaveFileRead::CloseWaveFile() { close_wave_file(); }

void CKWaveFileRead::close_wave_file() {
    m_hmmio.reset();
    m_bOpened = false;
}

bool CKWaveFileRead::OpenWaveFile(const std::string& path) {
    close_wave_file();
    // Nothing of a file opened before may look like part of this one.
    m_nSizeInSamples = 0;
    m_Format = WAVEFORMATEX();
    m_bFloat = false;
    m_nValidBits = 0;
    m_ckRIFF = m_ckFmt = m_ckData = MMCKINFO();
    m_strPathName = path;
    m_strFileTitle = TitleOf(path);
    m_bOpened = open_mmio_and_descend_into_chunks();
    return m_bOpened;
}

bool CKWaveFileRead::OpenWaveSource(std::unique_ptr<WaveByteSource> source, const std::string& pathName) {
    if (source == nullptr) {
        close_wave_file();
        return false;
    }
    m_pPendingSource = std::move(source);
    const bool opened = OpenWaveFile(pathName);
    m_pPendingSource.reset();
    return opened;
}

bool CKWaveFileRead::OpenWaveFile() {
    close_wave_file();
    const std::optional<std::string> chosen = platform::GetOpenFileName(
        "С каким звуковым файлом будем работать?", "WAV файлы (*.wav)|*.wav|Все файлы (*.*)|*.*||");
    if (!chosen) return false;
    m_strPathName = *chosen;
    m_strFileTitle = TitleOf(*chosen);
    if (OpenWaveFile(m_strPathName)) return true;
    platform::ShowMessage("Не удается открыть указанный Вами файл:\n" + m_strPathName +
                          "\n\nМожет быть он не звуковой?");
    return false;
}

bool CKWaveFileRead::open_mmio_and_descend_into_chunks() {
    if (!open_hmmio_file_wave()) return false;
    if (!descend_into_wave_chunk() || !descend_into_fmt__chunk()) {
        close_wave_file();
        return false;
    }
    if (!descend_into_data_chunk()) {
        close_wave_file();
        return false;
    }
    return true;
}

bool CKWaveFileRead::open_hmmio_file_wave() {
    if (m_pPendingSource != nullptr) {
        m_hmmio = std::make_unique<RiffCursor>(std::move(m_pPendingSource));
        return true;
    }
    unsigned code = 0;
    std::unique_ptr<WaveFileByteSource> file = WaveFileByteSource::Open(m_strPathName, code);
    if (file != nullptr) {
        m_hmmio = std::make_unique<RiffCursor>(std::move(file));
        return true;
    }
    switch (code) {
        case riff::MMIOERR_PATHNOTFOUND:
            m_strMessage = "The directory specification is incorrect.\n\nУказанный путь к файлу не верен.";
            break;
        case riff::MMIOERR_ACCESSDENIED:
            m_strMessage =
                "The file is protected and cannot be opened.\n\nФайл защищен и не может быть открыт.";
            break;
        case riff::MMIOERR_SHARINGVIOLATION:
            m_strMessage =
                "The file is being used by another application and is unavailable.\n\nФайл занят другим "
                "приложением и не доступен.";
            break;
        case riff::MMIOERR_NETWORKERROR:
            m_strMessage =
                "The network is not responding to the request to open a remote file.\n\nСеть не отвечает на "
                "запрос по открытию файла.";
            break;
        case riff::MMIOERR_TOOMANYOPENFILES:
            m_strMessage =
                "The number of files simultaneously open is at a maximum level. The system has run out of "
                "available file handles.\n\nОткрыто максималь допустимое число файлов. Система исчерпала "
                "допустимое число указателей на файл.";
            break;
        case riff::MMIOERR_INVALIDFILE:
            m_strMessage =
                "Another failure condition occurred. This is the default error for an open-file "
                "failure.\n\nПроизошла ошибка другого рода. Это ошибка по умолчанию для безуспешного "
                "открытия "
                "файла.";
            break;
        case riff::OPENERR_NOTREGULARFILE:
            m_strMessage =
                "The path does not name a regular file.\n\nУказанный путь не является обычным файлом "
                "(это папка, канал или устройство), и WAVE-файлом он быть не может.";
            break;
        default:
            m_strMessage =
                Format("open_hmmio_file_wave = %lu\n\nНеизвестная ошибка открытия WAVE-файла.", code);
            break;
    }
    platform::ShowMessage(m_strMessage);
    return false;
}

void CKWaveFileRead::ShowChunkSearchMessage(unsigned result) {
    if (result == riff::MMIOERR_CHUNKNOTFOUND) {
        m_strMessage =
            "The end of the file (or the end of the parent chunk, if given) was reached before the desired "
            "chunk was found.\n\nКонец файла (или конец родительского чанка, если задан) был достигнут "
            "прежде, "
            "чем желаемый WAVE-чанк был найден.";
    } else {
        m_strMessage = "Неизвестная ошибка поиска WAVE-чанка.";
    }
    platform::ShowMessage(m_strMessage);
}

bool CKWaveFileRead::descend_into_wave_chunk() {
    m_ckRIFF.fccType = kWave;
    const unsigned result = m_hmmio->Descend(m_ckRIFF, nullptr, riff::MMIO_FINDRIFF);
    if (result == 0) return true;
    ShowChunkSearchMessage(result);
    return false;
}

bool CKWaveFileRead::descend_into_fmt__chunk() {
    m_ckFmt.ckid = kFmt;
    const unsigned result = m_hmmio->Descend(m_ckFmt, &m_ckRIFF, riff::MMIO_FINDCHUNK);
    if (result != 0) {
        ShowChunkSearchMessage(result);
        return false;
    }
    const uint32_t n = m_ckFmt.cksize < kFormatRecordBytes ? m_ckFmt.cksize : kFormatRecordBytes;
    uint8_t record[kFormatRecordBytes] = {};
    const long long got = m_hmmio->Read(record, n);
    m_Format.wFormatTag = LittleEndian16(record);
    m_Format.nChannels = LittleEndian16(record + 2);
    m_Format.nSamplesPerSec = LittleEndian32(record + 4);
    m_Format.nAvgBytesPerSec = LittleEndian32(record + 8);
    m_Format.nBlockAlign = LittleEndian16(record + 12);
    m_Format.wBitsPerSample = LittleEndian16(record + 14);
    m_Format.cbSize = LittleEndian16(record + 16);
    if (got != static_cast<long long>(n)) {
        ShowFormatReadMessage(got);
        return false;
    }
    if (!TakeSampleCoding()) return false;
    if (!FormatDescribesWholeFrames()) return false;
    // The data search starts after the whole format chunk and its pad byte,
    // however long the chunk is.
    const uint64_t end = uint64_t{m_ckFmt.dwDataOffset} + m_ckFmt.cksize + (m_ckFmt.cksize & 1u);
    m_hmmio->Seek(static_cast<long long>(end), 0);
    return true;
}

void CKWaveFileRead::ShowFormatReadMessage(long long got) {
    m_strMessage = "Ошибка чтения чанка формата.";
    if (got == -1) m_strMessage += "\n\nПлохая ошибка.\nВозвращен код ошибки -1 при чтении чанка формата";
    platform::ShowMessage(m_strMessage);
}

void CKWaveFileRead::ShowFormatTagMessage() {
    m_strMessage = Format(
        "Номер формата данных = %lu.\n\nДокумент открыт не будет!\n\nЗвуковой файл должен быть только: "
        "WAVE_FORMAT_PCM формата (номер формата данных = 1)",
        m_Format.wFormatTag);
    platform::ShowMessage(m_strMessage);
}

bool CKWaveFileRead::TakeSampleCoding() {
    m_bFloat = false;
    m_nValidBits = m_Format.wBitsPerSample;
    switch (m_Format.wFormatTag) {
        case riff::WAVE_FORMAT_PCM:
            return true;
        case riff::WAVE_FORMAT_IEEE_FLOAT:
            m_bFloat = true;
            return FloatWidthIsKnown();
        case riff::WAVE_FORMAT_EXTENSIBLE:
            return TakeExtension();
        default:
            ShowFormatTagMessage();
            return false;
    }
}

bool CKWaveFileRead::TakeExtension() {
    // Without its whole extension the record does not say what it holds.
    if (m_ckFmt.cksize < riff::kExtensibleFormatBytes || m_Format.cbSize < riff::kExtensionBytes) {
        ShowFormatTagMessage();
        return false;
    }
    // The position is right after the 18-byte record.
    uint8_t extension[riff::kExtensionBytes] = {};
    const long long got = m_hmmio->Read(extension, riff::kExtensionBytes);
    if (got != riff::kExtensionBytes) {
        ShowFormatReadMessage(got);
        return false;
    }
    const unsigned validBits = LittleEndian16(extension);
    const uint8_t* guid = extension + 6;
    const uint16_t coding = LittleEndian16(guid);
    const bool standardGuid =
        std::memcmp(guid + 2, riff::kSubFormatGuidTail, sizeof riff::kSubFormatGuidTail) == 0;
    if (!standardGuid || (coding != riff::WAVE_FORMAT_PCM && coding != riff::WAVE_FORMAT_IEEE_FLOAT)) {
        ShowFormatTagMessage();
        return false;
    }
    if (validBits > m_Format.wBitsPerSample) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer,
                      "Число значащих бит отсчета = %u.\n\nДокумент открыт не будет!\n\nОтсчет занимает %u "
                      "бит, и значащих бит в нем не может быть больше.",
                      validBits, static_cast<unsigned>(m_Format.wBitsPerSample));
        m_strMessage = buffer;
        platform::ShowMessage(m_strMessage);
        return false;
    }
    // Writers that do not fill in the valid bits leave 0: the whole container counts.
    if (validBits != 0) m_nValidBits = validBits;
    m_bFloat = coding == riff::WAVE_FORMAT_IEEE_FLOAT;
    return !m_bFloat || FloatWidthIsKnown();
}

bool CKWaveFileRead::FloatWidthIsKnown() {
    // Other widths (16-bit half floats, say) are a coding of their own.
    if (m_Format.wBitsPerSample == 32 || m_Format.wBitsPerSample == 64) return true;
    ShowFormatTagMessage();
    return false;
}

bool CKWaveFileRead::FormatDescribesWholeFrames() {
    const WAVEFORMATEX& f = m_Format;
    const unsigned long expectedAlign =
        static_cast<unsigned long>(f.nChannels) * ((f.wBitsPerSample + 7u) / 8u);
    if (f.nChannels == 0) {
        m_strMessage =
            "Число каналов = 0.\n\nДокумент открыт не будет!\n\nЗвуковой файл должен содержать хотя бы один "
            "канал.";
    } else if (f.nSamplesPerSec == 0) {
        m_strMessage =
            "Частота дискретизации = 0 Гц.\n\nДокумент открыт не будет!\n\nЧастота дискретизации звукового "
            "файла "
            "должна быть больше нуля.";
    } else if (f.nSamplesPerSec > kMaxSamplesPerSec) {
        // The stores' guard bands grow with the rate: a header with a rate of
        // megahertz would reserve gigabytes for a few samples.
        char buffer[512];
        std::snprintf(buffer, sizeof buffer,
                      "Частота дискретизации = %lu Гц.\n\nДокумент открыт не будет!\n\nЧастота дискретизации "
                      "звукового файла не должна превышать %lu Гц.",
                      static_cast<unsigned long>(f.nSamplesPerSec), kMaxSamplesPerSec);
        m_strMessage = buffer;
    } else if (f.nBlockAlign == 0) {
        m_strMessage =
            "Размер блока отсчётов (nBlockAlign) = 0.\n\nДокумент открыт не будет!\n\nРазмер блока отсчётов "
            "должен быть больше нуля.";
    } else if (f.nBlockAlign != expectedAlign) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer,
                      "Размер блока отсчётов (nBlockAlign) = %u.\n\nДокумент открыт не будет!\n\nПри %u "
                      "канал(ах) по %u бит размер блока отсчётов должен быть равен %lu байт.",
                      static_cast<unsigned>(f.nBlockAlign), static_cast<unsigned>(f.nChannels),
                      static_cast<unsigned>(f.wBitsPerSample), expectedAlign);
        m_strMessage = buffer;
    } else {
        return true;
    }
    platform::ShowMessage(m_strMessage);
    return false;
}

bool CKWaveFileRead::descend_into_data_chunk() {
    m_ckData.ckid = kData;
    const unsigned result = m_hmmio->Descend(m_ckData, &m_ckRIFF, riff::MMIO_FINDCHUNK);
    if (result != 0) {
        m_nSizeInSamples = 0;
        ShowChunkSearchMessage(result);
        return false;
    }
    // A declared size past the end of the file (a cut-off download, or a
    // writer that streamed and never came back to fill it in) shrinks to the
    // whole frames actually present.
    const uint64_t size = m_hmmio->Size();
    const uint64_t present = size > m_ckData.dwDataOffset ? size - m_ckData.dwDataOffset : 0;
    if (m_ckData.cksize > present) {
        const uint64_t whole = present - present % m_Format.nBlockAlign;
        m_ckData.cksize = static_cast<uint32_t>(whole);
    }
    m_nSizeInSamples = static_cast<long>(m_ckData.cksize / m_Format.nBlockAlign);
    return true;
}

long CKWaveFileRead::SeekFileTheVeryBeginingOfWaveData() { return SeekToFrame(0); }

long CKWaveFileRead::SeekToFrame(long frame) {
    if (m_hmmio == nullptr || frame < 0 || frame > m_nSizeInSamples) return -1;
    const long long offset =
        static_cast<long long>(m_ckData.dwDataOffset) + static_cast<long long>(frame) * m_Format.nBlockAlign;
    return static_cast<long>(m_hmmio->Seek(offset, 0));
}

long CKWaveFileRead::ReadNextBytes(unsigned char* buffer, long count) {
    if (m_hmmio == nullptr) return -1;
    const long long position = m_hmmio->Seek(0, 1);
    const long long remaining = static_cast<long long>(m_ckData.dwDataOffset) + m_ckData.cksize - position;
    const long long n = count < remaining ? count : remaining;
    if (n <= 0) return count < 0 ? -1 : 0;
    return static_cast<long>(m_hmmio->Read(buffer, n));
}
