#include "FilmSpace.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "KMultiWaveFilm.h"
#include "KWave.h"
#include "Messages.h"

long long FilmSpace::LayerBytes(unsigned long frADC, int nChannels, int nSamples, int firstLayer,
                                int endLayer) {
    if ((nChannels != 1 && nChannels != 2) || nSamples < 0) return -1;
    long long total = 0;
    // The same layers as the film: rate frADC/2^k, nSamples >> k samples.
    for (int layer = firstLayer; layer < endLayer; ++layer) {
        const double rate = std::ldexp(static_cast<double>(static_cast<uint32_t>(frADC)), -layer);
        const long long store = CKWave::GetStoreBytesFor(rate, static_cast<long>(nSamples >> layer));
        if (store < 0) return -1;
        total += store * nChannels;  // at most 16 stores of under 2^37 bytes: no overflow
    }
    return total;
}

long long FilmSpace::GetRequiredBytes(unsigned long frADC, int nChannels, int nSamples) {
    return LayerBytes(frADC, nChannels, nSamples, 0, 1);
}

long long FilmSpace::GetDecimatedBytes(unsigned long frADC, int nChannels, int nSamples) {
    return LayerBytes(frADC, nChannels, nSamples, 1, CKMultiWaveFilm::kLayers);
}

bool FilmSpace::GetFreeBytes(const std::string& folder, unsigned long long& freeBytes) {
    struct statvfs info {};
    int rc;
    do {
        rc = statvfs(folder.empty() ? "." : folder.c_str(), &info);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return false;
    const unsigned long long blocks = info.f_bavail;
    const unsigned long long blockSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    freeBytes = (blockSize != 0 && blocks > UINT64_MAX / blockSize) ? UINT64_MAX : blocks * blockSize;
    return true;
}

std::string FilmSpace::GetShortageMessage(const std::string& folder, long long required,
                                          unsigned long long freeBytes, const std::string& consequence) {
    if (required < 0 || static_cast<unsigned long long>(required) <= freeBytes) return {};
    char sizes[160];
    std::snprintf(sizes, sizeof sizes, "нужно %lld байт, свободно %llu байт", required, freeBytes);
    return "Недостаточно места во временной папке " + folder + ":\n" + sizes + ".\n\n" + consequence;
}

bool FilmSpace::CheckRoom(const std::string& folder, long long required, const std::string& consequence) {
    unsigned long long freeBytes = 0;
    if (required < 0 || !GetFreeBytes(folder, freeBytes)) return true;
    const std::string message = GetShortageMessage(folder, required, freeBytes, consequence);
    if (message.empty()) return true;
    platform::ShowMessage(message);
    return false;
}

bool FilmSpace::CheckRoomForFilm(const std::string& folder, unsigned long frADC, int nChannels,
                                 int nSamples) {
    return CheckRoom(folder, GetRequiredBytes(frADC, nChannels, nSamples), kNotOpened);
}

bool FilmSpace::CheckRoomForDecimation(const std::string& folder, unsigned long frADC, int nChannels,
                                       int nSamples) {
    return CheckRoom(folder, GetDecimatedBytes(frADC, nChannels, nSamples), kNotDecimated);
}
