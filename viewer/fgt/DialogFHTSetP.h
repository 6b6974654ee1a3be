// The small modal dialog in which the user sets the FGT's parameter P (the
// ratio of a row's frequency to its frequency spread). The caller puts the
// current P into m_dP, runs DoModal() and, on QDialog::Accepted, reads m_dP
// back. The edit (object name "1024") takes digit keystrokes only; pasted
// text goes in unchanged and is checked on OK.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class CDialogFHT_set_P : public QDialog {
    Q_OBJECT
public:
    static constexpr double kMinP = 0.000001;
    static constexpr double kMaxP = 1000000.0;

    explicit CDialogFHT_set_P(QWidget* parent = nullptr);
    ~CDialogFHT_set_P() override;

    double m_dP = 0.0;

    // Shows m_dP in the edit and runs the dialog; QDialog::Accepted after a
    // valid OK, QDialog::Rejected after Cancel.
    int DoModal();
    // Moves m_dP into the edit (false) or reads and checks the edit into m_dP
    // (true). A failed check has shown its message and put the focus back on
    // the edit with its text selected; m_dP then keeps its value.
    bool UpdateData(bool bSaveAndValidate = true);

    QLineEdit* GetEdit() const { return m_pEdit; }

public slots:
    // OK: reads and checks the edit; stays open when the check fails.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_pEdit = nullptr;
    QPushButton* m_pOK = nullptr;
    QPushButton* m_pCancel = nullptr;
};
