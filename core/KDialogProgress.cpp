#include "KDialogProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <cstdio>

#include "DialogUnits.h"
#include "MainWindow.h"

namespace {

// The window itself: OK, Cancel, Enter, Esc and the close button all end in
// done() or a close event, and none of them may take the window down while
// the computation runs.
class ProgressWindow final : public QDialog {
public:
    ProgressWindow() : QDialog(nullptr) {}

    void done(int) override {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

CKDialogProgress::Observer& CurrentObserver() {
    static CKDialogProgress::Observer observer;
    return observer;
}

bool HaveGuiApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

struct CKDialogProgress::Window {
    std::unique_ptr<ProgressWindow> dialog;
    QProgressBar* bar = nullptr;
    QLabel* status = nullptr;
    QLabel* percent = nullptr;
};

CKDialogProgress::CKDialogProgress(QWidget* pParent) : m_pParent(pParent) {}

CKDialogProgress::~CKDialogProgress() {
    if (m_pWindow) DestroyWindow();
}

bool CKDialogProgress::Create(QWidget* pParent) {
    if (m_pWindow) return true;
    if (pParent == nullptr) pParent = m_pParent.data();
    QWidget* owner = pParent != nullptr ? pParent->window() : platform::GetMainWindow();
    m_pOwner = owner;
    // Disabling the owner takes the focus out of it; without this note the
    // window system would hand it, once the owner is active again, to the
    // first widget that takes focus (another document's pane).
    m_pOwnerFocus = owner != nullptr ? owner->focusWidget() : nullptr;
    m_bOwnerWasActive = owner != nullptr && owner->isActiveWindow();
    if (owner != nullptr && owner->isEnabled()) {
        owner->setEnabled(false);
        m_bOwnerDisabled = true;
    }
    if (!HaveGuiApplication()) {
        if (m_bOwnerDisabled && m_pOwner) m_pOwner->setEnabled(true);
        m_bOwnerDisabled = false;
        return false;
    }

    auto window = std::make_unique<Window>();
    // A window of its own rather than a child of the owner: a child would be
    // disabled together with the owner it has to stay above.
    window->dialog = std::make_unique<ProgressWindow>();
    ProgressWindow* dialog = window->dialog.get();
    dialog->setWindowTitle(QStringLiteral("K"));
    dialog->setObjectName(QStringLiteral("progressDialog"));
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);

    const DialogUnits du(dialog->font());
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setGeometry(du.rect(496, 7, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setGeometry(du.rect(496, 24, 50, 14));
    window->bar = new QProgressBar(dialog);
    window->bar->setGeometry(du.rect(7, 49, 539, 18));
    window->bar->setTextVisible(false);
    window->bar->setObjectName(QStringLiteral("progressBar"));
    window->status = new QLabel(QStringLiteral("Static"), dialog);
    window->status->setGeometry(du.rect(7, 7, 406, 14));
    window->status->setObjectName(QStringLiteral("statusText"));
    window->percent = new QLabel(QStringLiteral("Static"), dialog);
    window->percent->setGeometry(du.rect(149, 28, 122, 14));
    window->percent->setObjectName(QStringLiteral("percentText"));
    dialog->setFixedSize(du.rect(0, 0, 553, 74).size());

    if (owner != nullptr && owner->windowHandle() != nullptr) {
        dialog->winId();
        if (dialog->windowHandle() != nullptr)
            dialog->windowHandle()->setTransientParent(owner->windowHandle());
    }

    // Initial set-up: the stored range, step and the lower bound as position.
    window->bar->setRange(m_nRangeLower, m_nRangeUpper);
    m_nPosition = m_nRangeLower;
    window->bar->setValue(m_nPosition);
    m_pWindow = std::move(window);
    return true;
}

CKDialogProgress::Observer CKDialogProgress::SetObserver(Observer observer) {
    Observer previous = std::move(CurrentObserver());
    CurrentObserver() = std::move(observer);
    return previous;
}

void CKDialogProgress::SetStatusText(const std::string& text) {
    m_strObservedStatus = text;
    if (m_pWindow) m_pWindow->status->setText(QString::fromStdString(text));
}

void CKDialogProgress::SetRange(int nLower, int nUpper) {
    m_nRangeLower = nLower;
    m_nRangeUpper = nUpper;
    if (m_nPosition < nLower) m_nPosition = nLower;
    if (m_nPosition > nUpper && nUpper >= nLower) m_nPosition = nUpper;
    if (m_pWindow) {
        m_pWindow->bar->setRange(nLower, nUpper);
        m_pWindow->bar->setValue(m_nPosition);
    }
}

void CKDialogProgress::SetStep(int nStep) { m_nStep = nStep; }

int CKDialogProgress::SetPos(int nPos) {
    PumpMessages();
    const int previous = m_nPosition;
    m_nPosition = nPos;
    if (m_nPosition > m_nRangeUpper) m_nPosition = m_nRangeUpper;
    if (m_nPosition < m_nRangeLower) m_nPosition = m_nRangeLower;
    if (m_pWindow) m_pWindow->bar->setValue(m_nPosition);
    UpdatePercent(nPos);
    return previous;
}

int CKDialogProgress::StepIt() {
    PumpMessages();
    const int previous = m_nPosition;
    const long long span = static_cast<long long>(m_nRangeUpper) - m_nRangeLower;
    long long next = static_cast<long long>(previous) + m_nStep;
    // The bar starts over from the lower bound when a step passes either end.
    if (span > 0) {
        if (next > m_nRangeUpper) next = (next - m_nRangeLower) % span + m_nRangeLower;
        if (next < m_nRangeLower) next = (next - m_nRangeLower) % span + m_nRangeUpper;
    } else {
        next = m_nRangeLower;
    }
    m_nPosition = static_cast<int>(next);
    if (m_pWindow) m_pWindow->bar->setValue(m_nPosition);
    UpdatePercent(static_cast<long long>(previous) + m_nStep);
    return previous;
}

void CKDialogProgress::ShowWindow(bool bShow) {
    if (!m_pWindow) return;
    if (bShow) {
        m_pWindow->dialog->show();
    } else {
        m_pWindow->dialog->hide();
    }
}

bool CKDialogProgress::DestroyWindow() {
    if (m_bOwnerDisabled && m_pOwner) {
        m_pOwner->setEnabled(true);
        // The widget that had the focus gets it back, before the owner is
        // activated again when this window goes.
        if (m_pOwnerFocus && m_pOwnerFocus->window() == m_pOwner && m_pOwnerFocus->isEnabled())
            m_pOwnerFocus->setFocus(Qt::OtherFocusReason);
    }
    m_bOwnerDisabled = false;
    m_pOwnerFocus = nullptr;
    if (!m_pWindow) return false;
    m_pWindow.reset();
    // The owner was the window the user worked in: it is again, whatever
    // window the window system would pick once this one is gone.
    if (m_bOwnerWasActive && m_pOwner && m_pOwner->isVisible()) m_pOwner->activateWindow();
    m_bOwnerWasActive = false;
    return true;
}

bool CKDialogProgress::HasWindow() const { return m_pWindow != nullptr; }

QWidget* CKDialogProgress::GetOwner() const { return m_pOwner.data(); }

QWidget* CKDialogProgress::GetWindow() const { return m_pWindow ? m_pWindow->dialog.get() : nullptr; }

std::string CKDialogProgress::GetStatusText() const {
    return m_pWindow ? m_pWindow->status->text().toStdString() : std::string();
}

std::string CKDialogProgress::GetPercentText() const {
    return m_pWindow ? m_pWindow->percent->text().toStdString() : std::string();
}

void CKDialogProgress::PumpMessages() {
    // Drains what is pending and returns at once; it never waits for events.
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CKDialogProgress::UpdatePercent(long long nPos) {
    const long long span = static_cast<long long>(m_nRangeUpper) - m_nRangeLower;
    if (span == 0) return;  // no figure for an empty range
    long long percent = (nPos - m_nRangeLower) * 100 / span;
    // 100 shows as such; beyond it the figure starts over like the bar.
    if (percent != 100) percent %= 100;
    if (CurrentObserver()) CurrentObserver()(m_strObservedStatus, static_cast<int>(percent));
    char text[32];
    std::snprintf(text, sizeof text, "%lld%c", percent, '%');
    if (!m_pWindow) return;
    const QString figure = QString::fromLatin1(text);
    if (m_pWindow->percent->text() == figure) return;
    m_pWindow->percent->setText(figure);
    ++m_nPercentTextChanges;
}
