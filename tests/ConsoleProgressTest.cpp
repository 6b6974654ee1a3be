// Progress lines of the renderer: a line at every fifth of the way of its
// own computations, the library's progress windows followed through their
// observer, and nothing once the object is gone.
#include "ConsoleProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "KDialogProgress.h"

namespace {

// Everything written to a temporary stream so far.
std::string Contents(std::FILE* stream) {
    std::fflush(stream);
    const long end = std::ftell(stream);
    std::string text(static_cast<size_t>(end), '\0');
    std::rewind(stream);
    const size_t read = std::fread(text.data(), 1, text.size(), stream);
    text.resize(read);
    std::fseek(stream, 0, SEEK_END);
    return text;
}

class ConsoleProgressTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_stream, nullptr); }
    void TearDown() override {
        if (m_stream != nullptr) std::fclose(m_stream);
    }
    std::FILE* m_stream = std::tmpfile();
};

}  // namespace

TEST_F(ConsoleProgressTest, OwnStepsPrintEveryFifth) {
    ConsoleProgress progress(m_stream);
    progress.Begin("Считаем", 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(progress.StepIt(), i);
    // Steps beyond the count change nothing.
    progress.StepIt();
    // 1/7 = 14 % prints nothing, 2/7 = 28 % passes 20 %, 3/7 = 42 % passes 40 %,
    // 5/7 = 71 % passes 60 %, 6/7 = 85 % passes 80 %.
    EXPECT_EQ(Contents(m_stream),
              "Считаем: 0%\nСчитаем: 28%\nСчитаем: 42%\nСчитаем: 71%\nСчитаем: 85%\nСчитаем: 100%\n");
}

TEST_F(ConsoleProgressTest, LibraryWindowsAreFollowedWhileTheObjectLives) {
    {
        ConsoleProgress progress(m_stream);
        progress.Note("Загружается файл a.wav");
        CKDialogProgress dialog(nullptr);
        dialog.SetStatusText("Слой 1.");
        dialog.SetRange(0, 1000);
        dialog.SetPos(0);
        dialog.SetStep(1);
        for (int i = 0; i < 1000; ++i) dialog.StepIt();
        dialog.SetStatusText("Слой 2.");
        dialog.SetPos(0);
        dialog.SetPos(500);
    }
    EXPECT_EQ(Contents(m_stream),
              "Загружается файл a.wav\nСлой 1: 0%\nСлой 1: 20%\nСлой 1: 40%\nСлой 1: 60%\nСлой 1: "
              "80%\nСлой 1: 100%\nСлой 2: 0%\nСлой 2: 50%\n");
    // Gone with the object: a later window prints nothing.
    CKDialogProgress later(nullptr);
    later.SetStatusText("Тихо.");
    later.SetPos(50);
    EXPECT_EQ(Contents(m_stream).find("Тихо"), std::string::npos);
}

TEST_F(ConsoleProgressTest, NullStreamPrintsNothingAndLeavesTheObserverAlone) {
    std::string seen;
    CKDialogProgress::SetObserver([&seen](const std::string& status, int) { seen = status; });
    {
        ConsoleProgress quiet(nullptr);
        quiet.Begin("Считаем", 2);
        quiet.StepIt();
        quiet.Note("Записывается");
    }
    CKDialogProgress dialog(nullptr);
    dialog.SetStatusText("Ещё видно.");
    dialog.SetPos(10);
    EXPECT_EQ(seen, "Ещё видно.");
    CKDialogProgress::SetObserver(nullptr);
}
