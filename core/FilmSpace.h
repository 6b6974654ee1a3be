// The disk space a film's stores take, checked before any store is made:
// the stores are added up in 64-bit arithmetic and compared with what the
// temporary folder has free, so that a file too large for the disk ends in
// one message instead of a string of failed reservations. Opening a file
// makes the layer-0 stores of its channels; decimation makes those of
// layers 1..7, and each is checked when it happens.
#pragma once

#include <string>

#include "FonacoreApi.h"

class FONACORE_API FilmSpace {
public:
    // The bytes of the layer-0 stores CKMultiWaveFilm::CreateKMultiWaveFilm
    // makes for these arguments, or -1 when a store would be too large to be
    // made at all (the film then refuses it on its own) or the arguments are
    // invalid.
    static long long GetRequiredBytes(unsigned long frADC, int nChannels, int nSamples);
    // The same for the stores of layers 1..7 that decimation makes.
    static long long GetDecimatedBytes(unsigned long frADC, int nChannels, int nSamples);

    // The bytes an unprivileged process may still write in `folder`; false
    // when the folder cannot be examined.
    static bool GetFreeBytes(const std::string& folder, unsigned long long& freeBytes);

    // The message for `required` bytes against `freeBytes` free in `folder`,
    // ending in `consequence` (what is then not done); empty when they fit.
    static std::string GetShortageMessage(const std::string& folder, long long required,
                                          unsigned long long freeBytes,
                                          const std::string& consequence = kNotOpened);

    // True when the layer-0 stores fit into `folder`, or when that cannot be
    // known (the creation itself then reports what goes wrong). Otherwise
    // shows the shortage message and returns false.
    static bool CheckRoomForFilm(const std::string& folder, unsigned long frADC, int nChannels, int nSamples);
    // The same check for the stores of layers 1..7.
    static bool CheckRoomForDecimation(const std::string& folder, unsigned long frADC, int nChannels,
                                       int nSamples);

    static constexpr const char* kNotOpened = "Документ открыт не будет!";
    static constexpr const char* kNotDecimated = "Частотные слои 1–7 рассчитаны не будут.";

private:
    // The stores of layers firstLayer..endLayer-1 of every channel.
    static long long LayerBytes(unsigned long frADC, int nChannels, int nSamples, int firstLayer,
                                int endLayer);
    static bool CheckRoom(const std::string& folder, long long required, const std::string& consequence);
};
