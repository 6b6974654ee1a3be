// The library's progress window for the long computations that run on the
// user-interface thread (decimation into frequency layers, the analytic
// signal). It shows a status line, a bar and a percentage, and behaves
// modally without being modal: while it is up it holds the application's
// main window disabled, and every progress update first processes the
// pending window events, so windows repaint and timers tick while no command
// can start. There is no way to cancel; the window goes away with the object.
//
// The computing function owns the object (a local). Without a GUI
// application no window can be made: every operation then keeps its
// bookkeeping and has no visible effect.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "FonacoreApi.h"
#include "ProgressReporter.h"

class QWidget;

class FONACORE_API CKDialogProgress : public ProgressReporter {
public:
    // No window exists after construction; the parent is only remembered
    // for `Create` callers that pass none.
    explicit CKDialogProgress(QWidget* pParent = nullptr);
    ~CKDialogProgress() override;
    CKDialogProgress(const CKDialogProgress&) = delete;
    CKDialogProgress& operator=(const CKDialogProgress&) = delete;

    // Takes the top-level window above `pParent` (the registered main window
    // when `pParent` is null) as owner and disables it if it is enabled, then
    // makes the hidden window. Returns false when no window can be made; the
    // owner is then enabled again if this call disabled it.
    bool Create(QWidget* pParent);

    void SetStatusText(const std::string& text);
    void SetRange(int nLower, int nUpper);
    void SetStep(int nStep);
    // Both process pending events first and return the bar's previous position.
    int SetPos(int nPos);
    int StepIt() override;
    // Shows or hides the window (no effect without one).
    void ShowWindow(bool bShow);
    // Enables the owner again if this dialog disabled it (once), then destroys
    // the window. Returns true when there was a window to destroy.
    bool DestroyWindow();

    // State, for the computations' callers and for tests.
    bool HasWindow() const;
    QWidget* GetWindow() const;
    QWidget* GetOwner() const;
    bool IsOwnerDisabled() const { return m_bOwnerDisabled; }
    int GetRangeLower() const { return m_nRangeLower; }
    int GetRangeUpper() const { return m_nRangeUpper; }
    int GetStep() const { return m_nStep; }
    int GetPos() const { return m_nPosition; }
    std::string GetStatusText() const;
    std::string GetPercentText() const;
    // How many times the percentage text has actually been replaced.
    int GetPercentTextChanges() const { return m_nPercentTextChanges; }

    // Something that follows every progress of the process, window or not
    // (the command-line renderer prints it): it gets the status text and the
    // percentage at every update of the figure. Installing an empty function
    // removes it; returns the one installed before. User-interface thread only.
    using Observer = std::function<void(const std::string& status, int percent)>;
    static Observer SetObserver(Observer observer);

private:
    struct Window;

    void PumpMessages();
    void UpdatePercent(long long nPos);

    QPointer<QWidget> m_pParent;
    QPointer<QWidget> m_pOwner;
    QPointer<QWidget> m_pOwnerFocus;  // the owner's focus widget before it was disabled
    bool m_bOwnerWasActive = false;   // the owner was the active window then
    int m_nRangeLower = 0;
    int m_nRangeUpper = 100;
    int m_nStep = 10;
    bool m_bOwnerDisabled = false;
    // The bar's own position (it starts over from the lower bound when a step
    // passes the upper one) and the window's widgets.
    int m_nPosition = 0;
    int m_nPercentTextChanges = 0;
    // The status text as last set, kept for the observer also without a window.
    std::string m_strObservedStatus;
    std::unique_ptr<Window> m_pWindow;
};
