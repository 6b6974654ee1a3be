#include <gtest/gtest.h>

#include "MessageCapture.h"
#include "Messages.h"

TEST(Messages, SinkReceivesTextAndCaptionAndIsRestored) {
    std::vector<std::pair<std::string, std::string>> outer;
    platform::MessageSink previous = platform::SetMessageSink(
        [&outer](const std::string& text, const std::string& caption) { outer.emplace_back(text, caption); });
    {
        MessageCapture capture;
        platform::ShowMessage("Привет", "Заголовок");
        ASSERT_EQ(capture.count(), 1u);
        EXPECT_EQ(capture.last(), "Привет");
        EXPECT_TRUE(outer.empty());
    }
    platform::ShowMessage("после", "c");
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0].first, "после");
    EXPECT_EQ(outer[0].second, "c");
    platform::SetMessageSink(std::move(previous));
}
