#include "MainWindow.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

TEST(MainWindow, RegistrationForgetsDestroyedWindow) {
    EXPECT_EQ(platform::GetMainWindow(), nullptr);
    auto window = std::make_unique<QWidget>();
    platform::SetMainWindow(window.get());
    EXPECT_EQ(platform::GetMainWindow(), window.get());
    window.reset();
    EXPECT_EQ(platform::GetMainWindow(), nullptr);
    QWidget other;
    platform::SetMainWindow(&other);
    EXPECT_EQ(platform::GetMainWindow(), &other);
    platform::SetMainWindow(nullptr);
    EXPECT_EQ(platform::GetMainWindow(), nullptr);
}
