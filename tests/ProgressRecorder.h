// Watches the library's progress dialog from inside its event pump: a
// zero-interval timer fires at every update the dialog pumps and records what
// is on the screen then (status lines, the main window's state, the cursor).
#pragma once

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

class ProgressRecorder {
public:
    explicit ProgressRecorder(QWidget* mainWindow = nullptr) : m_mainWindow(mainWindow) {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
        m_timer.start();
    }

    // Distinct consecutive status lines seen.
    std::vector<std::string> statusLines;
    int samples = 0;            // timer ticks, i.e. pumps seen
    int samplesWithDialog = 0;  // ... while a progress window was up and visible
    int mainEnabledSamples = 0;
    int waitCursorSamples = 0;
    std::string lastPercent;

private:
    void sample() {
        ++samples;
        if (m_mainWindow != nullptr && m_mainWindow->isEnabled()) ++mainEnabledSamples;
        if (QApplication::overrideCursor() != nullptr &&
            QApplication::overrideCursor()->shape() == Qt::WaitCursor) {
            ++waitCursorSamples;
        }
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != QStringLiteral("progressDialog") || !w->isVisible()) continue;
            ++samplesWithDialog;
            if (auto* status = w->findChild<QLabel*>(QStringLiteral("statusText"))) {
                const std::string text = status->text().toStdString();
                if (statusLines.empty() || statusLines.back() != text) statusLines.push_back(text);
            }
            if (auto* percent = w->findChild<QLabel*>(QStringLiteral("percentText"))) {
                lastPercent = percent->text().toStdString();
            }
        }
    }

    QWidget* m_mainWindow;
    QTimer m_timer;
};
