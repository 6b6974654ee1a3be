// The command line of fonavid-render, parsed: the input and output files and
// every setting of the picture, with the defaults the viewer's panes start
// from. Parsing only checks the form and the ranges of the values; what
// depends on the file (the channels, the time range) is checked when it is
// rendered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SonogramColours.h"

class RenderOptions {
public:
    enum class Action { Render, Help, Version };
    enum class Preset { None, Optimal, Articulation, Voice };
    // The format of the levels file, by its name's ending.
    enum class DataFormat { None, Csv, Npy };

    // Parses the arguments after the program's name. False with a message in
    // Russian (see GetError) when an option is unknown, a value is missing
    // or out of range, or the input or output file is not given.
    bool Parse(const std::vector<std::string>& arguments);
    const std::string& GetError() const { return m_strError; }

    // The texts of --help and --version (UTF-8, ending in a newline).
    static std::string HelpText();
    static std::string VersionText();

    Action action = Action::Render;
    std::string input;
    std::string output;
    int channel = 1;  // 1 or 2, as the user counts them
    int layer = 0;    // 0..7
    int fftSize = 1024;
    std::optional<double> sonelFreqHz;
    std::optional<int> stepSamples;
    Preset preset = Preset::None;
    sonogram::SonogramMode mode = sonogram::kModeAmplitude;
    std::optional<double> upperLevel;
    std::optional<double> lowerLevel;
    bool highQuality = false;
    std::optional<double> startSeconds;
    std::optional<double> endSeconds;
    bool fgt = false;
    double fgtP = 2.0;
    double fgtUpperLevel = 50.0;
    double fgtLowerLevel = 0.0;
    int compression = 1;  // zlib level of the PNG, 0..9
    bool quiet = false;
    // The picture's columns at most, the step chosen to fit the range.
    std::optional<int> width;
    // The levels behind the sonogram (.csv or .npy) and the FGT's (.csv).
    std::string dataFile;
    DataFormat dataFormat = DataFormat::None;
    std::string fgtDataFile;
    // Time and frequency axes and level bars around the picture.
    bool axes = false;

private:
    bool Fail(const std::string& text);
    bool ApplyValue(const std::string& name, const std::string& value);

    std::string m_strError;
};
