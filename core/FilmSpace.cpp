#include "FilmSpace.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "KMultiWaveFilm.h"
#include "KWave.h"
#include "Messages.h"

long long FilmSpace::GetRequiredBytes(unsigned long frADC, int nChannels, int nSamples) {
    if ((nChannels != 1 && nChannels != 2) || nSamples < 0) return -1;
    long long total = 0;
    // The same layers as the film: rate frADC/2^k, nSamples >> k samples.
    for (int layer = 0; layer < CKMultiWaveFilm::kLayers; ++layer) {
        const double rate = std::ldexp(static_cast<double>(static_cast<uint32_t>(frADC)), -layer);
        const long long store = CKWave::GetStoreBytesFor(rate, static_cast<long>(nSamples >> layer));
        if (store < 0) return -1;
        total += store * nChannels;  // at most 16 stores of under 2^31 bytes: no overflow
    }
    return total;
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
                                          unsigned long long freeBytes) {
    if (required < 0 || static_cast<unsigned long long>(required) <= freeBytes) return {};
    char sizes[160];
    std::snprintf(sizes, sizeof sizes, "нужно %lld байт, свободно %llu байт", required, freeBytes);
    return "Недостаточно места во временной папке " + folder + ":\n" + sizes +
           ".\n\nДокумент открыт не будет!";
}

bool FilmSpace::CheckRoomForFilm(const std::string& folder, unsigned long frADC, int nChannels,
                                 int nSamples) {
    const long long required = GetRequiredBytes(frADC, nChannels, nSamples);
    unsigned long long freeBytes = 0;
    if (required < 0 || !GetFreeBytes(folder, freeBytes)) return true;
    const std::string message = GetShortageMessage(folder, required, freeBytes);
    if (message.empty()) return true;
    platform::ShowMessage(message);
    return false;
}
