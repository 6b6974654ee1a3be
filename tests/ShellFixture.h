// A running application for the shell's GUI tests: profile, temporary signal
// files and desktop registration all go to a fresh temporary folder; the
// Open dialog is replaced by an answer the test sets; messages are captured.
// Each test ends by checking that no window stayed on screen and no
// temporary signal file stayed on disk.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Eventually.h"
#include "FonavidApp.h"
#include "KFGTransformerView.h"
#include "MainFrame.h"
#include "MessageCapture.h"
#include "Profile.h"
#include "ResourceIds.h"
#include "View.h"
#include "WavWriter.h"

// Keys go where the user's keys would: the focus widget of the active window.
inline QWidget* Target(CMainFrame* frame) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus : frame;
}

// The row of the active document window's active pane, -1 without one.
inline int RowOfActiveView(CMainFrame* frame) {
    CChildFrame* child = frame->GetActiveFrame();
    return child == nullptr ? -1 : child->GetRow(child->GetActiveView());
}

class ShellFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousProfile = platform::SetProfileFile(dir.file("profile.ini"));
        platform::WriteProfileString("Document", "PathToTemporalFiles", dir.path());
        app = MakeApp();
        ASSERT_TRUE(app->InitInstance({QStringLiteral("fonavid")}));
        frame = app->GetMainFrame();
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        QApplication::setActiveWindow(frame);
    }

    void TearDown() override {
        frame = nullptr;
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            EXPECT_FALSE(w->isVisible()) << "left on screen: " << w->metaObject()->className();
        }
        EXPECT_TRUE(dir.tempSignalFiles().empty());
        platform::SetProfileFile(m_previousProfile);
    }

    std::unique_ptr<CFonavidApp> MakeApp() {
        CFonavidApp::Environment env;
        env.dataHome = dir.file("data");
        // No installed entry of the program on this system changes what start-up does.
        env.dataDirs = {dir.file("data")};
        env.program = "/opt/fonavid/bin/fonavid";
        env.askOpenFileName = [this] { return openAnswer; };
        return std::make_unique<CFonavidApp>(env);
    }

    // A 16-bit mono WAVE file of `seconds` of a 440 Hz tone at 8000 Hz.
    std::string Wav(const std::string& name, double seconds = 1.5, uint16_t channels = 1) {
        const int frames = static_cast<int>(seconds * 8000);
        std::vector<int16_t> samples;
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                samples.push_back(
                    static_cast<int16_t>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / 8000.0)));
            }
        }
        const std::string path = dir.file(name);
        EXPECT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, channels, samples)));
        return path;
    }

    std::vector<QString> VisibleMenuTitles() const {
        std::vector<QString> titles;
        for (QAction* a : frame->menuBar()->actions()) {
            if (a->isVisible()) titles.push_back(a->text());
        }
        return titles;
    }

    // Opens `path` with Ctrl+O and the stand-in Open dialog.
    void OpenWithKeyboard(const std::string& path) {
        openAnswer = path;
        QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
        openAnswer.clear();
    }

    // Drags `data` over the middle of the main window and drops it there;
    // true when the window accepted the drag.
    bool DropOnMainWindow(QMimeData& data) {
        const QPoint at(frame->width() / 2, frame->height() / 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame, &drop);
        return enter.isAccepted();
    }

    // The active document window's FGT pane, made active with F6 from the
    // upper sonogram pane, its FGT computed as far as it draws; null when
    // any of it fails.
    CKFGTransformerView* ComputedFgtPane() {
        QTest::keyClick(Target(frame), Qt::Key_F6);
        QTest::keyClick(Target(frame), Qt::Key_F6);
        CChildFrame* child = frame->GetActiveFrame();
        auto* pane = child != nullptr ? dynamic_cast<CKFGTransformerView*>(child->GetActiveView()) : nullptr;
        if (pane == nullptr || !frame->GetRouter().Execute(res::ID_FGT_CALCULATE) || !pane->m_bReady)
            return nullptr;
        // The values arrive with the paints that ask for them.
        const bool computed = Eventually([&] {
            pane->viewport()->grab();
            return !pane->IsComputingFGT();
        });
        return computed ? pane : nullptr;
    }

    QList<QMdiSubWindow*> Windows() const { return frame->GetMdiArea()->subWindowList(); }
    size_t DocumentCount() const { return app->GetDocTemplate()->GetDocuments().size(); }

    void Trigger(int id) {
        frame->UpdateCommandStates();
        QAction* action = frame->GetActions().Find(id);
        ASSERT_NE(action, nullptr) << id;
        action->trigger();
    }

    testwav::TempDir dir;
    MessageCapture messages;
    std::unique_ptr<CFonavidApp> app;
    CMainFrame* frame = nullptr;
    std::string openAnswer;

private:
    std::string m_previousProfile;
};
