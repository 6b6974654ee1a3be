// WAVE files laid out the way today's recorders and converters write them,
// for the reader's tests and the fuzzer's seeds: each writer's chunk order,
// record sizes and format fields; what no reader acts on (the channel mask,
// the tool's version text, time stamps) takes typical values. What each
// layout holds, in file order:
//
// - Sox24: a 24-bit file of the command-line sound converter. "fmt " of 40
//   bytes: tag 0xFFFE, 24 bits, cbSize 22, valid bits 24, a channel mask
//   (front centre for mono, front left and right for stereo), the PCM
//   sub-format GUID; then "fact" (4 bytes: the frame count); then "data".
// - Ffmpeg24: a 24-bit file of the multimedia converter's muxer, which uses
//   the extensible record for every sample wider than 16 bits: "fmt " of 40
//   bytes as above (no "fact", since the sub-format is PCM); then "LIST" with
//   an "INFO" list holding "ISFT" (the muxer's name and version, "Lavf…", NUL
//   ended); then "data".
// - FfmpegFloat32, FfmpegFloat64: the same muxer's 32- and 64-bit float
//   files: "fmt " of 40 bytes, valid bits equal to the width, the IEEE-float
//   sub-format GUID; "fact"; "LIST"/"INFO"/"ISFT"; "data".
// - EditorFloat32: an audio editor's 32-bit float export through the common
//   sound-file library: "fmt " of 18 bytes, tag 3, cbSize 0; "fact"; "PEAK"
//   (version, time stamp, then per channel the peak value as a float and its
//   frame); "data".
// - Float64Tag3: a 64-bit float file with the plain record: "fmt " of 18
//   bytes, tag 3; "fact"; "data".
//
// Integer layouts round each value to the nearest step of the width (and
// clamp to its range); float layouts store the value as the nearest float or
// the double itself, so values beyond [-1, 1) survive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testwav {

enum class WriterLayout { Sox24, Ffmpeg24, FfmpegFloat32, FfmpegFloat64, EditorFloat32, Float64Tag3 };

// A short name for test and seed names.
std::string LayoutName(WriterLayout layout);
// Bits per sample container and whether the samples are floats.
int LayoutContainerBits(WriterLayout layout);
bool LayoutIsFloat(WriterLayout layout);

// The whole file of `interleaved` samples (frames of `channels` values).
std::vector<uint8_t> WriteAs(WriterLayout layout, uint32_t rate, uint16_t channels,
                             const std::vector<double>& interleaved);

// The 40-byte extensible "fmt " payload: the record, cbSize 22, valid bits,
// channel mask and the sub-format GUID whose first two bytes are `subFormat`.
std::vector<uint8_t> ExtensibleFmt(uint16_t channels, uint32_t rate, uint16_t containerBits,
                                   uint16_t validBits, uint32_t channelMask, uint16_t subFormat);

}  // namespace testwav
