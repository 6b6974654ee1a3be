// Waiting in GUI tests for what the event loop brings about. Qt's QTRY_*
// macros report a failure by returning from the test function, which
// GoogleTest counts as a pass; these report through GoogleTest.
#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <functional>

// Waits up to `ms` for `condition`, handling events meanwhile; whether it came
// true. Goes into an ASSERT or EXPECT.
inline bool Eventually(const std::function<bool()>& condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

// Expects `actual == expected` within 5 s of handling events; on failure both
// values as they were at the end of the wait.
#define EXPECT_EVENTUALLY_EQ(actual, expected)                                  \
    do {                                                                        \
        if (!Eventually([&] { return (actual) == (expected); })) {              \
            EXPECT_EQ(actual, expected) << "still different after waiting 5 s"; \
        }                                                                       \
    } while (false)

// Expects `condition` within `ms` of handling events.
#define EXPECT_EVENTUALLY(condition, ms) \
    EXPECT_TRUE(Eventually([&] { return static_cast<bool>(condition); }, ms)) << #condition
