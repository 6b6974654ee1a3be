// The renderer's command line: every option in both spellings, the defaults,
// and the messages of what is refused.
#include "RenderOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

RenderOptions Parsed(const std::vector<std::string>& arguments) {
    RenderOptions options;
    EXPECT_TRUE(options.Parse(arguments)) << options.GetError();
    return options;
}

std::string Refusal(const std::vector<std::string>& arguments) {
    RenderOptions options;
    EXPECT_FALSE(options.Parse(arguments));
    const std::string& error = options.GetError();
    // Every refusal ends with the pointer to the help.
    EXPECT_NE(error.find("\nСправка: fonavid-render --help"), std::string::npos) << error;
    return error.substr(0, error.find('\n'));
}

}  // namespace

TEST(RenderOptions, DefaultsAreThoseOfAFreshPane) {
    const RenderOptions o = Parsed({"in.wav", "-o", "out.png"});
    EXPECT_EQ(o.action, RenderOptions::Action::Render);
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.png");
    EXPECT_EQ(o.channel, 1);
    EXPECT_EQ(o.layer, 0);
    EXPECT_EQ(o.fftSize, 1024);
    EXPECT_FALSE(o.sonelFreqHz.has_value());
    EXPECT_FALSE(o.stepSamples.has_value());
    EXPECT_EQ(o.preset, RenderOptions::Preset::None);
    EXPECT_EQ(o.mode, 1);
    EXPECT_FALSE(o.upperLevel.has_value());
    EXPECT_FALSE(o.lowerLevel.has_value());
    EXPECT_FALSE(o.highQuality);
    EXPECT_FALSE(o.fgt);
    EXPECT_EQ(o.fgtP, 2.0);
    EXPECT_EQ(o.fgtUpperLevel, 50.0);
    EXPECT_EQ(o.fgtLowerLevel, 0.0);
    EXPECT_EQ(o.compression, 1);
}

TEST(RenderOptions, EveryOptionInBothSpellings) {
    const RenderOptions a =
        Parsed({"--channel=2",    "--layer=3",       "--fft=4096",   "--sonel=12.5",   "--step=17",
                "--preset=voice", "--mode=inverted", "--upper=-3.5", "--lower=-60",    "--hq",
                "--start=0.25",   "--end=1e1",       "--fgt",        "--fgt-p=68",     "--fgt-upper=40",
                "--fgt-lower=-5", "--compression=0", "--quiet",      "--output=o.png", "in.wav"});
    const RenderOptions b = Parsed(
        {"--channel", "2",   "--layer",     "3",       "--fft",       "4096",     "--sonel",       "12.5",
         "--step",    "17",  "--preset",    "voice",   "--mode",      "inverted", "--upper",       "-3.5",
         "--lower",   "-60", "--hq",        "--start", "0.25",        "--end",    "1e1",           "--fgt",
         "--fgt-p",   "68",  "--fgt-upper", "40",      "--fgt-lower", "-5",       "--compression", "0",
         "--quiet",   "-o",  "o.png",       "in.wav"});
    for (const RenderOptions& o : {a, b}) {
        EXPECT_EQ(o.input, "in.wav");
        EXPECT_EQ(o.output, "o.png");
        EXPECT_EQ(o.channel, 2);
        EXPECT_EQ(o.layer, 3);
        EXPECT_EQ(o.fftSize, 4096);
        EXPECT_EQ(o.sonelFreqHz.value_or(0), 12.5);
        EXPECT_EQ(o.stepSamples.value_or(0), 17);
        EXPECT_EQ(o.preset, RenderOptions::Preset::Voice);
        EXPECT_EQ(o.mode, 9);
        EXPECT_EQ(o.upperLevel.value_or(0), -3.5);
        EXPECT_EQ(o.lowerLevel.value_or(0), -60.0);
        EXPECT_TRUE(o.highQuality);
        EXPECT_EQ(o.startSeconds.value_or(-1), 0.25);
        EXPECT_EQ(o.endSeconds.value_or(-1), 10.0);
        EXPECT_TRUE(o.fgt);
        EXPECT_EQ(o.fgtP, 68.0);
        EXPECT_EQ(o.fgtUpperLevel, 40.0);
        EXPECT_EQ(o.fgtLowerLevel, -5.0);
        EXPECT_EQ(o.compression, 0);
        EXPECT_TRUE(o.quiet);
    }
    EXPECT_EQ(Parsed({"a.wav", "-o", "b.png", "--mode=am"}).mode, 2);
    EXPECT_EQ(Parsed({"a.wav", "-o", "b.png", "--mode=amplitude"}).mode, 1);
    EXPECT_EQ(Parsed({"a.wav", "-o", "b.png", "--preset=optimal"}).preset, RenderOptions::Preset::Optimal);
    EXPECT_EQ(Parsed({"a.wav", "-o", "b.png", "--preset=articulation"}).preset,
              RenderOptions::Preset::Articulation);
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(Parsed({"-o", "b.png", "--", "--odd.wav"}).input, "--odd.wav");
    // "-" after -o is standard output, not an option.
    EXPECT_EQ(Parsed({"a.wav", "-o", "-"}).output, "-");
    EXPECT_EQ(Parsed({"a.wav", "--output", "-"}).output, "-");
}

TEST(RenderOptions, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(Parsed({"--mode=nonsense", "--help"}).action, RenderOptions::Action::Help);
    EXPECT_EQ(Parsed({"-h"}).action, RenderOptions::Action::Help);
    EXPECT_EQ(Parsed({"--version"}).action, RenderOptions::Action::Version);
    EXPECT_EQ(RenderOptions::VersionText().rfind("fonavid-render ", 0), 0u);
    const std::string help = RenderOptions::HelpText();
    for (const char* option : {"--output", "--channel", "--layer", "--fft", "--sonel", "--step", "--preset",
                               "--mode", "--upper", "--lower", "--hq", "--start", "--end", "--fgt", "--fgt-p",
                               "--fgt-upper", "--fgt-lower", "--compression", "--quiet"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(RenderOptions, RefusalsSayWhatIsWrong) {
    EXPECT_EQ(Refusal({"-o", "b.png"}), "Не задан входной WAVE-файл.");
    EXPECT_EQ(Refusal({"a.wav"}), "Не задан выходной файл: -o ФАЙЛ.png.");
    EXPECT_EQ(Refusal({"a.wav", "b.wav", "-o", "c.png"}), "Лишний аргумент: b.wav.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "-x"}), "Неизвестный параметр: -x.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--colour=red"}), "Неизвестный параметр: --colour=red.");
    EXPECT_EQ(Refusal({"a.wav", "-o"}), "Для параметра -o не задано значение.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--layer"}), "Для параметра --layer не задано значение.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--hq=yes"}), "Параметр --hq не принимает значения.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--channel=3"}),
              "Недопустимое значение параметра --channel: «3». Ожидается 1 или 2.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--layer=8"}),
              "Недопустимое значение параметра --layer: «8». Ожидается число от 0 до 7.");
    EXPECT_EQ(
        Refusal({"a.wav", "-o", "c.png", "--fft=512"}),
        "Недопустимое значение параметра --fft: «512». Ожидается 16, 64, 256, 1024, 4096, 16384 или 65536.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--sonel=0"}),
              "Недопустимое значение параметра --sonel: «0». Ожидается число от 1e-30 до 1e+30 (Гц).");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--step=0"}),
              "Недопустимое значение параметра --step: «0». Ожидается целое число не меньше 1.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--step=1.5"}),
              "Недопустимое значение параметра --step: «1.5». Ожидается целое число не меньше 1.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--upper=nan"}),
              "Недопустимое значение параметра --upper: «nan». Ожидается число (дБ).");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--start=-1"}),
              "Недопустимое значение параметра --start: «-1». Ожидается число секунд не меньше 0.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--fgt-p=0"}),
              "Недопустимое значение параметра --fgt-p: «0». Ожидается число от 0.000001 до 1000000.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--compression=10"}),
              "Недопустимое значение параметра --compression: «10». Ожидается число от 0 до 9.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--upper=-50", "--lower=-50"}),
              "Верхний уровень должен быть выше нижнего.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--fgt-upper=0"}),
              "Верхний уровень FGT должен быть выше нижнего.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--start=2", "--end=1"}),
              "Конец диапазона времени должен быть позже его начала.");
}

TEST(RenderOptions, WidthDataAndAxes) {
    const RenderOptions o = Parsed({"a.wav", "-o", "b.png", "--width=1920", "--data", "levels.CSV", "--fgt",
                                    "--fgt-data=fgt.csv", "--axes"});
    EXPECT_EQ(o.width.value_or(0), 1920);
    EXPECT_EQ(o.dataFile, "levels.CSV");
    EXPECT_EQ(o.dataFormat, RenderOptions::DataFormat::Csv);
    EXPECT_EQ(o.fgtDataFile, "fgt.csv");
    EXPECT_TRUE(o.axes);
    EXPECT_EQ(Parsed({"a.wav", "-o", "b.png", "--data=m.npy"}).dataFormat, RenderOptions::DataFormat::Npy);
    const RenderOptions plain = Parsed({"a.wav", "-o", "b.png"});
    EXPECT_FALSE(plain.width || plain.axes || !plain.dataFile.empty() || !plain.fgtDataFile.empty());
    for (const char* option : {"--width", "--data", "--fgt-data", "--axes"})
        EXPECT_NE(RenderOptions::HelpText().find(option), std::string::npos) << option;

    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--width=0"}),
              "Недопустимое значение параметра --width: «0». Ожидается целое число от 1 до 1000000.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--width=1000001"}),
              "Недопустимое значение параметра --width: «1000001». Ожидается целое число от 1 до 1000000.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--width=640", "--step=4"}),
              "Параметры --width и --step исключают друг друга.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--data=levels.txt"}),
              "Недопустимое значение параметра --data: «levels.txt». Ожидается имя файла .csv или .npy.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--data=.csv"}),
              "Недопустимое значение параметра --data: «.csv». Ожидается имя файла .csv или .npy.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--fgt", "--fgt-data=f.npy"}),
              "Недопустимое значение параметра --fgt-data: «f.npy». Ожидается имя файла .csv.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--fgt-data=f.csv"}), "Параметр --fgt-data требует --fgt.");
    EXPECT_EQ(Refusal({"a.wav", "-o", "c.png", "--axes=yes"}), "Параметр --axes не принимает значения.");
}
