// The disk space a film's stores take, checked before any store is made:
// the sixteen (stereo) or eight (mono) stores of a film are added up in
// 64-bit arithmetic and compared with what the temporary folder has free,
// so that a file too large for the disk ends in one message instead of a
// string of failed reservations.
#pragma once

#include <string>

#include "FonacoreApi.h"

class FONACORE_API FilmSpace {
public:
    // The bytes of all stores CKMultiWaveFilm::CreateKMultiWaveFilm makes for
    // these arguments, or -1 when a store would be too large to be made at
    // all (the film then refuses it on its own) or the arguments are invalid.
    static long long GetRequiredBytes(unsigned long frADC, int nChannels, int nSamples);

    // The bytes an unprivileged process may still write in `folder`; false
    // when the folder cannot be examined.
    static bool GetFreeBytes(const std::string& folder, unsigned long long& freeBytes);

    // The message for `required` bytes against `freeBytes` free in `folder`;
    // empty when they fit.
    static std::string GetShortageMessage(const std::string& folder, long long required,
                                          unsigned long long freeBytes);

    // True when the film fits into `folder`, or when that cannot be known
    // (the creation itself then reports what goes wrong). Otherwise shows
    // the shortage message and returns false.
    static bool CheckRoomForFilm(const std::string& folder, unsigned long frADC, int nChannels, int nSamples);
};
