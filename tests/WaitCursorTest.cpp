#include "WaitCursor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>

TEST(WaitCursor, ShowsForItsScopeAndNests) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        platform::WaitCursor outer;
        EXPECT_TRUE(outer.IsActive());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            platform::WaitCursor inner;
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
