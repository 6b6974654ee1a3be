// The levels behind a rendered picture as files for scripts: the sonogram's
// levels as CSV (one line per column: its time, then the dB of every row
// from row 0, under a header line of the rows' frequencies) or as a NumPy
// matrix (float32, columns by rows, with the times and frequencies in two
// float64 companion files), and the FGT's drawn values as CSV in long form
// (row, frequency, time, dB). Numbers are written with a decimal point in
// every locale. Each writer fills an open descriptor; OutputFile puts the
// result in place.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "UninitialisedAllocator.h"

class DataFile {
public:
    // Decimals of the numbers in the CSV files.
    static constexpr int kTimeDecimals = 6;
    static constexpr int kFrequencyDecimals = 6;
    static constexpr int kLevelDecimals = 3;

    // The sonogram's levels, made to be filled whole by the column threads
    // (a new element is not set).
    using LevelVector = std::vector<double, UninitialisedAllocator<double>>;
    // The sonogram's levels: column c (at time times[c] s) and row k (of
    // frequency frequencies[k] Hz) at levels[c · rows + k].
    struct SonogramLevels {
        std::vector<double> times;
        std::vector<double> frequencies;
        LevelVector levels;
    };
    // The values of one FGT row that a picture draws: value first + i at
    // time (first + i) · sigma.
    struct FgtRow {
        int row = 0;
        double frequency = 0.0;
        double sigma = 0.0;
        long long first = 0;
        std::vector<double> levels;
    };

    // Fills the descriptor; false with the reason (the system's text).
    using Writer = std::function<bool(int fd, std::string& reason)>;

    static Writer SonogramCsv(const SonogramLevels& levels);
    static Writer SonogramNpy(const SonogramLevels& levels);
    // A one-dimensional float64 array, for the companion files.
    static Writer VectorNpy(const std::vector<double>& values);
    static Writer FgtCsv(const std::vector<FgtRow>& rows);

    // The name of the companion file `what` ("times", "frequencies") of a
    // NumPy file: "levels.npy" gives "levels.times.npy".
    static std::string CompanionName(const std::string& npyPath, const std::string& what);
};
