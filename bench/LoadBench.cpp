// Opening a WAVE file: reading it, creating the layer-0 stores of a stereo
// film and filling them; a minute at 44100 Hz and an hour at 48000 Hz.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "FonavidDoc.h"
#include "Profile.h"

namespace {

// A folder of its own for the WAVE file, the profile and the signal files.
class LoadBenchFolder {
public:
    LoadBenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fonavid-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~LoadBenchFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

void PutU16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

// A 16-bit stereo PCM file of two tones, written a second at a time.
bool WriteStereoFile(const std::string& path, uint32_t rate, uint32_t frames) {
    const uint32_t dataBytes = frames * 4;
    std::vector<uint8_t> b;
    PutTag(b, "RIFF");
    PutU32(b, 36 + dataBytes);
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    PutU32(b, 16);
    PutU16(b, 1);
    PutU16(b, 2);
    PutU32(b, rate);
    PutU32(b, rate * 4);
    PutU16(b, 4);
    PutU16(b, 16);
    PutTag(b, "data");
    PutU32(b, dataBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = true;
    const double w = 8.0 * std::atan(1.0) / rate;
    for (uint32_t i = 0; i < frames && ok; ++i) {
        PutU16(b, static_cast<uint16_t>(static_cast<int16_t>(12000.0 * std::sin(w * 440.0 * i))));
        PutU16(b, static_cast<uint16_t>(static_cast<int16_t>(9000.0 * std::sin(w * 1250.0 * i))));
        if (b.size() >= 4u * rate || i + 1 == frames) {
            ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
            b.clear();
        }
    }
    return std::fclose(f) == 0 && ok;
}

void LoadStereo(benchmark::State& state, uint32_t rate, uint32_t seconds) {
    LoadBenchFolder folder;
    const std::string wav = folder.path() + "/stereo.wav";
    const std::string ini = folder.path() + "/profile.ini";
    const uint32_t frames = seconds * rate;
    FILE* f = std::fopen(ini.c_str(), "w");
    if (f == nullptr || !WriteStereoFile(wav, rate, frames)) {
        if (f != nullptr) std::fclose(f);
        state.SkipWithError("cannot write the benchmark's files");
        return;
    }
    std::fprintf(f, "[Document]\nPathToTemporalFiles=%s\n", folder.path().c_str());
    std::fclose(f);
    const std::string previous = platform::SetProfileFile(ini);
    for (auto _ : state) {
        auto doc = std::make_unique<CFonavidDoc>();
        if (!doc->OnOpenDocument(wav)) {
            state.SkipWithError("the file did not open");
            break;
        }
        benchmark::DoNotOptimize(doc->GetFilm()->GetMainKWave(1)->GetFirstComplexSample()[frames - 1].re);
        state.PauseTiming();
        doc.reset();  // closing is not part of opening
        state.ResumeTiming();
    }
    platform::SetProfileFile(previous);
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_Load60sStereo(benchmark::State& state) { LoadStereo(state, 44100, 60); }

// About 690 MB of WAVE data and 5.5 GB of stores in the temporary folder.
void BM_Load60minStereo48k(benchmark::State& state) { LoadStereo(state, 48000, 3600); }

}  // namespace

BENCHMARK(BM_Load60sStereo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load60minStereo48k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
