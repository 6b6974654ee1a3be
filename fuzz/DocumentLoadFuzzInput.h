// One input of the load fuzzer, taken the way the program takes a file: the
// bytes become a memory file (memfd) that the viewer's document opens by its
// path, so the real file byte source (stat, open, positioned reads), the
// chunk walk, the format checks, the store sizes derived from the header
// (the space check, the film's stores) and the frame conversion all run as
// they do for a file on disk.
//
// Properties: a refused input gives exactly one message and leaves no signal
// file even while the document still lives; an accepted input gives no
// message, a rate the program accepts, the channel and frame counts of the
// header, and samples equal to an independent conversion of the data bytes,
// with zeros on either side; and nothing stays in the temporary folder once
// the document is gone.
//
// Shared by the libFuzzer target and the replay test of the ordinary suite.
#pragma once

#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FonavidDoc.h"
#include "KWaveFileRead.h"
#include "Messages.h"
#include "Profile.h"
#include "WaveMemoryByteSource.h"

namespace fuzzdoc {

// The most samples compared per channel: enough to cross several read
// blocks, few enough to keep each run short.
constexpr long kMaxComparedFrames = 1L << 14;

// Sample `index` of channel `channel` as the file's bytes define it: 8-bit
// containers unsigned around 128, wider ones little-endian two's complement,
// over the container's full scale; float data as the IEEE value of its bytes
// (the machines this runs on are little-endian).
inline double ReferenceSample(const uint8_t* data, int channels, int container, long index, int channel,
                              bool isFloat) {
    const uint8_t* p = data + (static_cast<size_t>(index) * channels + channel) * container;
    if (isFloat && container == 4) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    if (isFloat) {
        double d;
        std::memcpy(&d, p, sizeof d);
        return d;
    }
    if (container == 1) return (p[0] - 128) / 128.0;
    int64_t value = 0;
    for (int i = container - 1; i >= 0; --i) value = value * 256 + p[i];
    const int64_t half = int64_t{1} << (8 * container - 1);
    if (value >= half) value -= 2 * half;
    return static_cast<double>(value) / static_cast<double>(half);
}

class Harness {
public:
    Harness() {
        char folder[] = "/tmp/fonavid-fuzz-XXXXXX";
        if (mkdtemp(folder) == nullptr) std::abort();
        m_folder = folder;
        const std::string profile = m_folder + "/profile.ini";
        if (FILE* f = std::fopen(profile.c_str(), "w")) {
            std::fprintf(f, "[Document]\nPathToTemporalFiles=%s/stores\n", m_folder.c_str());
            std::fclose(f);
        }
        if (mkdir((m_folder + "/stores").c_str(), 0700) != 0) std::abort();
        m_previousProfile = platform::SetProfileFile(profile);
        m_fd = memfd_create("fuzz-input.wav", MFD_CLOEXEC);
        if (m_fd < 0) std::abort();
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~Harness() {
        platform::SetProfileFile(m_previousProfile);
        close(m_fd);
        std::remove((m_folder + "/profile.ini").c_str());
        rmdir((m_folder + "/stores").c_str());
        rmdir(m_folder.c_str());
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    std::string Run(const uint8_t* data, size_t size) {
        if (ftruncate(m_fd, 0) != 0) return "cannot empty the memory file";
        for (size_t done = 0; done < size;) {
            const ssize_t n = pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return "cannot fill the memory file";
            done += static_cast<size_t>(n);
        }
        std::vector<std::string> messages;
        platform::MessageSink previous = platform::SetMessageSink(
            [&messages](const std::string& text, const std::string&) { messages.push_back(text); });
        std::string fault;
        {
            CFonavidDoc doc;
            const bool opened = doc.OnOpenDocument(m_path);
            m_bLastOpened = opened;
            fault = opened ? CheckAccepted(doc, data, size, messages) : CheckRefused(messages);
        }
        platform::SetMessageSink(std::move(previous));
        if (fault.empty() && StoreFiles() != 0) fault = "a signal file outlived its document";
        return fault;
    }

    // Whether the last input opened as a document.
    bool LastOpened() const { return m_bLastOpened; }

private:
    std::string CheckRefused(const std::vector<std::string>& messages) const {
        if (messages.size() != 1)
            return "a refused input gave " + std::to_string(messages.size()) + " messages";
        if (messages[0].empty()) return "a refused input gave an empty message";
        if (StoreFiles() != 0) return "a refused input left a signal file while its document lives";
        return {};
    }

    std::string CheckAccepted(CFonavidDoc& doc, const uint8_t* data, size_t size,
                              const std::vector<std::string>& messages) const {
        if (!messages.empty()) return "an accepted input gave a message: " + messages[0];
        // The header as the reader sees it in memory, for the expected shape.
        std::vector<std::string> ignored;
        platform::MessageSink quiet = platform::SetMessageSink(
            [&ignored](const std::string& text, const std::string&) { ignored.push_back(text); });
        CKWaveFileRead reader;
        const bool parsed = reader.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(data, size), m_path);
        platform::SetMessageSink(std::move(quiet));
        if (!parsed) return "the document accepted what the reader refuses in memory";
        const WAVEFORMATEX format = reader.GetFormat();
        if (format.nSamplesPerSec == 0 || format.nSamplesPerSec > CKWaveFileRead::kMaxSamplesPerSec)
            return "an accepted input has a rate out of range";
        const CKMultiWaveFilm* film = doc.GetFilm();
        const int channels = format.nChannels;
        if (film->GetChannels() != channels) return "the film's channel count is not the header's";
        if (film->GetFrADC() != static_cast<double>(format.nSamplesPerSec))
            return "the film's rate is not the header's";
        const long frames = reader.GetSizeInSamples();
        const int container = format.nBlockAlign / channels;
        const uint8_t* first = data + reader.GetDataOffset();
        for (int c = 0; c < channels; ++c) {
            const CKWave* wave = film->GetKWave(0, c);
            if (wave->GetNSamples() != frames) return "a store does not hold every frame";
            const KCOMPLEX_KFLOAT* s = wave->GetFirstComplexSample();
            if (s == nullptr) return "a store of an accepted input has no samples";
            if (s[-1].re != 0.0 || s[frames].re != 0.0) return "a guard band next to the samples is not zero";
            const long compared = frames < kMaxComparedFrames ? frames : kMaxComparedFrames;
            for (long i = 0; i < compared; ++i) {
                if (s[i].re != (ReferenceSample(first, channels, container, i, c, reader.IsFloat())))
                    return "sample " + std::to_string(i) + " of channel " + std::to_string(c) +
                           " differs from the file";
            }
            if (frames > compared && s[frames - 1].re != (ReferenceSample(first, channels, container,
                                                                          frames - 1, c, reader.IsFloat())))
                return "the last sample differs from the file";
        }
        return {};
    }

    // Signal files in the store folder.
    int StoreFiles() const {
        int count = 0;
        if (DIR* dir = opendir((m_folder + "/stores").c_str())) {
            while (const dirent* entry = readdir(dir))
                if (entry->d_name[0] != '.') ++count;
            closedir(dir);
        }
        return count;
    }

    std::string m_folder;
    std::string m_previousProfile;
    std::string m_path;
    int m_fd = -1;
    bool m_bLastOpened = false;
};

}  // namespace fuzzdoc
