#include "FileDialogs.h"

#include <gtest/gtest.h>

TEST(FileDialogs, FilterBecomesQtNameFilters) {
    EXPECT_EQ(platform::ConvertFileFilter("WAV файлы (*.wav)|*.wav|Все файлы (*.*)|*.*||"),
              "WAV файлы (*.wav);;Все файлы (*)");
    EXPECT_EQ(platform::ConvertFileFilter("Sound (*.wav;*.wave)|*.wav;*.wave||"), "Sound (*.wav *.wave)");
    // A name without patterns of its own gets the pair's patterns.
    EXPECT_EQ(platform::ConvertFileFilter("Raw|*.raw|Text|*.txt||"), "Raw (*.raw);;Text (*.txt)");
    EXPECT_EQ(platform::ConvertFileFilter(""), "");
    EXPECT_EQ(platform::ConvertFileFilter("Any|"), "Any (*)");
}

TEST(FileDialogs, HookAnswersInTheDialogsPlaceAndIsRestored) {
    std::string seenTitle;
    std::string seenFilter;
    platform::OpenFileHook previous =
        platform::SetOpenFileHook([&](const std::string& title, const std::string& filter) {
            seenTitle = title;
            seenFilter = filter;
            return std::optional<std::string>("/some/file.wav");
        });
    EXPECT_EQ(platform::GetOpenFileName("Title", "A|*.a||"), std::optional<std::string>("/some/file.wav"));
    EXPECT_EQ(seenTitle, "Title");
    EXPECT_EQ(seenFilter, "A|*.a||");

    platform::OpenFileHook mine =
        platform::SetOpenFileHook([](const std::string&, const std::string&) { return std::nullopt; });
    EXPECT_TRUE(static_cast<bool>(mine));
    EXPECT_EQ(mine("x", "y"), std::optional<std::string>("/some/file.wav"));  // the first hook came back
    EXPECT_EQ(platform::GetOpenFileName("Title", "A|*.a||"), std::nullopt);
    platform::SetOpenFileHook(std::move(previous));
}
