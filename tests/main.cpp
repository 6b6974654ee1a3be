// Test main: every test runs headless on the offscreen platform inside one
// QApplication, with a message sink that records instead of popping up boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("FonavidTest");
    QCoreApplication::setApplicationName("FonavidTest");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
