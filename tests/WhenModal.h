// Acting on a modal dialog from inside a test: the dialog's exec() blocks the
// test, so a timer polls for the modal widget and hands it to `act` once.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

// Runs `act` on the modal dialog as soon as one is open. A dialog that does
// not open within `limitMs` fails the test; so does a poll that outlives the
// test that started it, which then never acts on a later test's dialog.
inline void WhenModal(std::function<void(QWidget*)> act, int limitMs = 10000) {
    const ::testing::TestInfo* owner = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string ownerName =
        owner != nullptr ? std::string(owner->test_suite_name()) + "." + owner->name() : std::string("?");
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, act, owner, ownerName, limitMs] {
        auto finish = [poll, clock] {
            poll->stop();
            poll->deleteLater();
            delete clock;
        };
        if (::testing::UnitTest::GetInstance()->current_test_info() != owner) {
            finish();
            ADD_FAILURE() << "the modal dialog awaited by " << ownerName << " never opened";
            return;
        }
        if (QWidget* modal = QApplication::activeModalWidget()) {
            finish();
            act(modal);
            return;
        }
        if (clock->elapsed() > limitMs) {
            finish();
            ADD_FAILURE() << "no modal dialog opened within " << limitMs << " ms";
        }
    });
    poll->start();
}
