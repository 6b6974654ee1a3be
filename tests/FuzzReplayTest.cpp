// Replays the load fuzzer's generated seeds and every saved finding
// (fuzz/regressions/*.hex) through the fuzzer's own checks (the reader over
// memory, then the document's load of a memory file), so that each input is
// exercised under g++ and, in the sanitizer build, under ASan/UBSan.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../fuzz/DocumentLoadFuzzInput.h"
#include "../fuzz/WavReaderFuzzInput.h"
#include "../fuzz/WavSeeds.h"
#include "MessageCapture.h"

namespace {

std::filesystem::path RegressionFolder() {
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "fuzz" / "regressions";
}

// Hex text: two-digit numbers separated by white space, '#' to the end of a
// line is a comment. False on anything else.
bool ParseHex(const std::string& text, std::vector<uint8_t>& out) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
                !std::isxdigit(static_cast<unsigned char>(word[1])))
                return false;
            out.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
        }
    }
    return true;
}

bool Opens(const std::vector<uint8_t>& bytes) {
    MessageCapture capture;
    CKWaveFileRead reader;
    return reader.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(bytes), "seed.wav");
}

}  // namespace

TEST(FuzzReplay, EverySeedKeepsEveryProperty) {
    const auto seeds = fuzzwav::MakeSeeds();
    ASSERT_GE(seeds.size(), 20u);
    fuzzdoc::Harness harness;
    for (const auto& [name, bytes] : seeds) {
        SCOPED_TRACE(name);
        EXPECT_EQ(fuzzwav::RunOneInput(bytes.data(), bytes.size()), "");
        EXPECT_EQ(harness.Run(bytes.data(), bytes.size()), "");
    }
}

TEST(FuzzReplay, SeedsCoverAcceptedAndRefusedShapes) {
    // The seeds are only useful if they start the fuzzer on both sides of
    // the reader's decisions.
    for (const auto& [name, bytes] : fuzzwav::MakeSeeds()) {
        SCOPED_TRACE(name);
        const bool writerLayout = name.find("_mono") != std::string::npos && name.rfind("pcm", 0) != 0;
        const bool accepted = name.rfind("pcm", 0) == 0 || name == "chunks_between" || name == "fmt_18" ||
                              name == "data_past_end" || name == "channels_max" || writerLayout ||
                              name == "float_nan";
        const bool refused = name == "fmt_extensible" || name == "data_before_fmt" || name == "no_data" ||
                             name == "not_wave" || name == "rifx" || name == "empty" || name == "riff_only" ||
                             name == "rate_max" || name == "extensible_valid_bits_above" ||
                             name == "extensible_adpcm";
        if (accepted) {
            EXPECT_TRUE(Opens(bytes));
        }
        if (refused) {
            EXPECT_FALSE(Opens(bytes));
        }
    }
}

TEST(FuzzReplay, HarnessReportsTheFaultsItLooksFor) {
    // A converted stereo file goes through the harness clean; its first data
    // byte and its frame count are what the harness checks against.
    const std::vector<uint8_t> good = testwav::pcm16(8000, 2, {100, -100, 32767, -32768});
    EXPECT_EQ(fuzzwav::RunOneInput(good.data(), good.size()), "");
    // A refused input goes through clean as well: one message, nothing read.
    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', '\n'};
    EXPECT_EQ(fuzzwav::RunOneInput(text.data(), text.size()), "");
    // The harness restores the message sink it replaced.
    MessageCapture capture;
    fuzzwav::RunOneInput(text.data(), text.size());
    platform::ShowMessage("after", "");
    EXPECT_EQ(capture.texts(), std::vector<std::string>{"after"});
}

TEST(FuzzReplay, HexParserReadsBytesAndRefusesJunk) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ParseHex("52 49 # RI\n46\t46\n\nff 00", bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x52, 0x49, 0x46, 0x46, 0xFF, 0x00}));
    std::vector<uint8_t> junk;
    EXPECT_FALSE(ParseHex("52 4", junk));
    EXPECT_FALSE(ParseHex("zz", junk));
}

TEST(FuzzReplay, EverySavedFindingKeepsEveryProperty) {
    const std::filesystem::path folder = RegressionFolder();
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    fuzzdoc::Harness harness;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".hex") continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ParseHex(text.str(), bytes));
        EXPECT_EQ(fuzzwav::RunOneInput(bytes.data(), bytes.size()), "");
        EXPECT_EQ(harness.Run(bytes.data(), bytes.size()), "");
        ++replayed;
    }
    EXPECT_GE(replayed, 1);
}

TEST(FuzzReplay, DocumentLoadReachesEveryWidthAndChannelCount) {
    // Each canonical seed opens as a document whose shape the harness then
    // compares sample by sample; a refused input gives one message.
    fuzzdoc::Harness harness;
    int loaded = 0;
    for (const auto& [name, bytes] : fuzzwav::MakeSeeds()) {
        if (name.rfind("pcm", 0) != 0) continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(harness.Run(bytes.data(), bytes.size()), "");
        EXPECT_TRUE(harness.LastOpened());
        ++loaded;
    }
    EXPECT_EQ(loaded, 10);
    // Every writer's layout, mono and stereo, loads sample for sample; a NaN
    // in a float file is one message and no document.
    int layouts = 0;
    for (const auto& [name, bytes] : fuzzwav::MakeSeeds()) {
        if (name.find("_mono") == std::string::npos && name.find("_stereo") == std::string::npos) continue;
        if (name.rfind("pcm", 0) == 0) continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(harness.Run(bytes.data(), bytes.size()), "");
        EXPECT_TRUE(harness.LastOpened());
        ++layouts;
    }
    EXPECT_EQ(layouts, 12);
    const std::vector<uint8_t> nan =
        testwav::WriteAs(testwav::WriterLayout::FfmpegFloat32, 8000, 2, {0.5, 0.25, std::nan(""), 0.0});
    EXPECT_EQ(harness.Run(nan.data(), nan.size()), "");
    EXPECT_FALSE(harness.LastOpened());
    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', '\n'};
    EXPECT_EQ(harness.Run(text.data(), text.size()), "");
    EXPECT_FALSE(harness.LastOpened());
    // A rate the program refuses is one message, without any store.
    const std::vector<uint8_t> fast = testwav::pcm16(768001, 2, {1, 2});
    EXPECT_EQ(harness.Run(fast.data(), fast.size()), "");
    EXPECT_FALSE(harness.LastOpened());
}
