// The modal dialog in which the user tunes the time-frequency grid of one
// sonogram pane (its FAS film): channel, frequency layer (ADC rate), the size
// of one sonel along frequency and time, and the column step in samples of
// the chosen layer. The caller fills the public members, runs exec() and, on
// QDialog::Accepted, reads m_nChannel, m_nLevel, m_dSonelFreqHz and
// m_nStepSamples back. The film is only read, never changed or owned.
//
// Controls carry their numeric ids as object names ("1004", "1018" ...).
// The arithmetic lives in PasFilmGrid.h; this class holds the members, moves
// them to and from the controls and reacts to the user.
#pragma once

#include <QDialog>
#include <string>

#include "PasFilmGrid.h"

class CKMultiWaveFilm;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StepUpDown;

class CKDialogSelectPASfilm : public QDialog {
    Q_OBJECT
public:
    explicit CKDialogSelectPASfilm(CKMultiWaveFilm* pFilm = nullptr, QWidget* parent = nullptr);
    ~CKDialogSelectPASfilm() override;

    // Set by the caller before exec(); the film whose rates and channel count are shown.
    CKMultiWaveFilm* m_pFilm = nullptr;
    // Checked channel button: 0 left (1002), 1 right (1003).
    int m_nChannel = 0;
    // Index of the chosen rate in the list, equal to the film's layer 0..7.
    int m_nLevel = 0;
    // Transform length the frequency read-out refers to; set when the dialog opens.
    int m_nFFTSize = pasfilm::kFFTSize;
    // The rate list (control 1004).
    QComboBox* m_comboRate = nullptr;
    // Scratch text of one rate-list item.
    std::string m_strRateItem;
    // Step between adjacent sonogram columns, in samples of the chosen layer.
    int m_nStepSamples = 0;
    // Sonel size along frequency (Hz, edit 1018), along time as a frequency
    // (Hz, edit 1020) and along time (ms, edit 1022).
    double m_dSonelFreqHz = 1.0;
    double m_dSonelTimeHz = 1.0;
    double m_dSonelTimeMs = 1.0;
    // Texts of statics 1016 and 1017: pixels per sonel along frequency and time.
    std::string m_strPixelsPerSonelFreq = pasfilm::kUnknown;
    std::string m_strPixelsPerSonelTime = pasfilm::kUnknown;

    // Moves the members into the controls (false) or reads and checks the
    // controls into the members (true). A failed check has shown its message
    // and put the focus back on the field; reading stops there and the result
    // is false.
    bool UpdateData(bool bSaveAndValidate = true);
    // Takes the level from the list, limits the step to 1..maxStep, computes
    // the read-outs and shows the members.
    void UpdateReadouts();

public slots:
    // OK: reads and checks the controls; stays open when a check fails.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Fills the rate list and the controls each time the dialog opens.
    bool OnInitDialog();

protected slots:
    void OnPresetOptimal();
    void OnRateSelChange();
    void OnSetFreqSizeHz();
    void OnSetTimeSizeHz();
    void OnSetTimeSizeMs();
    void OnStepDeltaPos(int delta);
    void OnPresetArticulation();
    void OnPresetVoice();

private:
    void CreateControls();
    // Rate of the chosen layer; 0 without a film.
    double LayerRate() const;
    // Reads one size field; false (after the message) when it is not a number
    // or out of range. An out-of-range number is stored all the same.
    bool ExchangeSize(QLineEdit* edit, double& value);
    void ApplyPreset(const pasfilm::Grid& grid);

    QButtonGroup* m_pChannelGroup = nullptr;
    QPushButton* m_pLeft = nullptr;
    QPushButton* m_pRight = nullptr;
    QLineEdit* m_pEditFreqHz = nullptr;
    QLineEdit* m_pEditTimeHz = nullptr;
    QLineEdit* m_pEditTimeMs = nullptr;
    QLabel* m_pStaticFreq = nullptr;
    QLabel* m_pStaticTime = nullptr;
    StepUpDown* m_pUpDown = nullptr;
    // True while the dialog itself fills the rate list, so that only the
    // user's changes of selection count as a new rate.
    bool m_bFillingRates = false;
};
