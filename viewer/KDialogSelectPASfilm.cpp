#include "KDialogSelectPASfilm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

#include "DialogUnits.h"
#include "KMultiWaveFilm.h"
#include "Messages.h"
#include "ResourceIds.h"
#include "StepUpDown.h"

namespace {

const char* const kCaption = "Параметры ФАСфильма";
const char* const kNoFilm = "Нет привязки к звуковому мультифильму. Диалоговое окно следует закрыть!";
const char* const kEnterNumber = "Enter a number.";
const char* const kEnterNumberBetween = "Enter a number between %1 and %2.";

// Control ids of the dialog's widgets (their object names).
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_LEFT = 1002;
constexpr int IDC_RIGHT = 1003;
constexpr int IDC_RATE = 1004;
constexpr int IDC_PRESET_OPTIMAL = 1009;
constexpr int IDC_PRESET_ARTICULATION = 1010;
constexpr int IDC_PRESET_VOICE = 1011;
constexpr int IDC_UPDOWN_STEP = 1015;
constexpr int IDC_PIXELS_FREQ = 1016;
constexpr int IDC_PIXELS_TIME = 1017;
constexpr int IDC_SIZE_FREQ_HZ = 1018;
constexpr int IDC_SET_FREQ_HZ = 1019;
constexpr int IDC_SIZE_TIME_HZ = 1020;
constexpr int IDC_SET_TIME_HZ = 1021;
constexpr int IDC_SIZE_TIME_MS = 1022;
constexpr int IDC_SET_TIME_MS = 1023;

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CKDialogSelectPASfilm::CKDialogSelectPASfilm(CKMultiWaveFilm* pFilm, QWidget* parent)
    : QDialog(parent), m_pFilm(pFilm) {
    setObjectName(QString::number(res::IDD_SELECT_PAS_FILM));
    setWindowTitle(QString::fromUtf8(kCaption));
    CreateControls();
}

CKDialogSelectPASfilm::~CKDialogSelectPASfilm() = default;

void CKDialogSelectPASfilm::CreateControls() {
    DialogUnits du(font());
    const QFontMetrics fm(font());
    // Each widget's rectangle in dialog units, and the widest fixed text
    // found relative to the width it is given.
    std::vector<std::pair<QWidget*, QRect>> placed;
    double needed = 1.0;
    const auto fits = [&](const QString& text, int cx, int padding) {
        if (cx > 0)
            needed = std::max(needed, (fm.horizontalAdvance(text) + padding) / static_cast<double>(du.x(cx)));
    };

    // Widgets are made in the order of the layout below, which is also the
    // tab order and the stacking order (group boxes lie under their contents).
    const auto place = [&](QWidget* w, int id, int x, int y, int cx, int cy) {
        if (id != -1) w->setObjectName(QString::number(id));
        placed.emplace_back(w, QRect(x, y, cx, cy));
        return w;
    };
    const auto group = [&](const char* text, int x, int y, int cx, int cy) {
        auto* box = new QGroupBox(QString::fromUtf8(text), this);
        box->setAlignment(Qt::AlignHCenter);
        box->setFocusPolicy(Qt::NoFocus);
        fits(box->title(), cx, 2 * fm.averageCharWidth());
        place(box, -1, x, y, cx, cy);
    };
    const auto button = [&](const char* text, int id, int x, int y, int cx, int cy) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        fits(b->text(), cx, fm.averageCharWidth());
        place(b, id, x, y, cx, cy);
        return b;
    };
    const auto label = [&](const char* text, int id, int x, int y, int cx, int cy, Qt::Alignment align) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setAlignment(align | Qt::AlignVCenter);
        if (id == -1) fits(l->text(), cx, 2);
        place(l, id, x, y, cx, cy);
        return l;
    };
    const auto edit = [&](int id, int x, int y, int cx, int cy) {
        auto* e = new QLineEdit(this);
        place(e, id, x, y, cx, cy);
        return e;
    };

    QPushButton* ok = button("OK", IDOK, 265, 7, 83, 14);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CKDialogSelectPASfilm::accept);
    QPushButton* cancel = button("Cancel", IDCANCEL, 287, 29, 41, 12);
    connect(cancel, &QPushButton::clicked, this, &CKDialogSelectPASfilm::reject);

    group("Выбор канал", 7, 7, 137, 34);
    m_pLeft = button("Левый", IDC_LEFT, 15, 20, 56, 14);
    m_pRight = button("Правый", IDC_RIGHT, 79, 20, 56, 14);
    m_pChannelGroup = new QButtonGroup(this);
    m_pChannelGroup->setExclusive(true);
    for (QPushButton* b : {m_pLeft, m_pRight}) {
        b->setCheckable(true);
        // Enter on a channel button still presses OK.
        b->setAutoDefault(false);
    }
    m_pChannelGroup->addButton(m_pLeft, 0);
    m_pChannelGroup->addButton(m_pRight, 1);

    group("Выбор частоты АЦП (Гц)", 151, 7, 108, 34);
    m_comboRate = new QComboBox(this);
    m_comboRate->setEditable(true);
    m_comboRate->setInsertPolicy(QComboBox::NoInsert);
    m_comboRate->setMaxVisibleItems(pasfilm::kLevelCount);
    place(m_comboRate, IDC_RATE, 160, 20, 91, 14);

    group("Предустановленные частоты кадров ФАСфильма", 7, 50, 341, 50);
    button("ОПТИМАЛЬНАЯ частота кадров (по умолчанию)", IDC_PRESET_OPTIMAL, 15, 71, 179, 14);
    button("Для анализа АРТИКУЛЯЦИИ", IDC_PRESET_ARTICULATION, 219, 62, 124, 14);
    button("Для анализа ГОЛОСА", IDC_PRESET_VOICE, 219, 80, 124, 14);

    group("Физический размер сонеля", 7, 105, 341, 81);
    label("Размер по частоте (Гц) =", -1, 19, 123, 88, 11, Qt::AlignLeft);
    m_pEditFreqHz = edit(IDC_SIZE_FREQ_HZ, 109, 123, 118, 13);
    QPushButton* setFreqHz = button("Установить", IDC_SET_FREQ_HZ, 243, 123, 96, 12);
    label("Размер по времени (Гц) =", -1, 17, 147, 91, 13, Qt::AlignLeft);
    m_pEditTimeHz = edit(IDC_SIZE_TIME_HZ, 109, 147, 117, 14);
    QPushButton* setTimeHz = button("Установить", IDC_SET_TIME_HZ, 243, 147, 96, 12);
    label("Размер по времени (мс) =", -1, 16, 169, 89, 10, Qt::AlignLeft);
    m_pEditTimeMs = edit(IDC_SIZE_TIME_MS, 109, 169, 119, 12);
    QPushButton* setTimeMs = button("Установить", IDC_SET_TIME_MS, 243, 169, 96, 12);

    group("Количество пикселей на сонель (чем больше - тем лучше, но желательно, чтобы они были равны)", 7,
          197, 341, 34);
    label("По частоте =", -1, 19, 214, 54, 10, Qt::AlignRight);
    m_pStaticFreq = label("?", IDC_PIXELS_FREQ, 84, 214, 49, 10, Qt::AlignLeft);
    label("По времени =", -1, 174, 214, 55, 10, Qt::AlignRight);
    m_pStaticTime = label("?", IDC_PIXELS_TIME, 238, 214, 45, 10, Qt::AlignLeft);
    m_pUpDown = new StepUpDown(this);
    place(m_pUpDown, IDC_UPDOWN_STEP, 287, 210, 11, 17);

    du.widen(needed);
    for (const auto& [w, r] : placed) w->setGeometry(du.rect(r));
    setFixedSize(du.x(356), du.y(240));

    const auto clicked = [this](int id, void (CKDialogSelectPASfilm::*handler)()) {
        auto* b = findChild<QPushButton*>(QString::number(id), Qt::FindDirectChildrenOnly);
        connect(b, &QPushButton::clicked, this, handler);
    };
    clicked(IDC_PRESET_OPTIMAL, &CKDialogSelectPASfilm::OnPresetOptimal);
    connect(m_comboRate, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_bFillingRates) OnRateSelChange();
    });
    connect(setFreqHz, &QPushButton::clicked, this, &CKDialogSelectPASfilm::OnSetFreqSizeHz);
    connect(setTimeHz, &QPushButton::clicked, this, &CKDialogSelectPASfilm::OnSetTimeSizeHz);
    connect(setTimeMs, &QPushButton::clicked, this, &CKDialogSelectPASfilm::OnSetTimeSizeMs);
    connect(m_pUpDown, &StepUpDown::deltaPos, this, &CKDialogSelectPASfilm::OnStepDeltaPos);
    clicked(IDC_PRESET_ARTICULATION, &CKDialogSelectPASfilm::OnPresetArticulation);
    clicked(IDC_PRESET_VOICE, &CKDialogSelectPASfilm::OnPresetVoice);
}

void CKDialogSelectPASfilm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Every opening starts from the members the caller has set.
    if (!event->spontaneous()) OnInitDialog();
}

bool CKDialogSelectPASfilm::OnInitDialog() {
    UpdateData(false);
    if (m_pFilm == nullptr) {
        platform::ShowMessage(kNoFilm);
        // Closes as Cancel once the dialog's own event loop runs.
        QTimer::singleShot(0, this, &CKDialogSelectPASfilm::reject);
        return true;
    }
    const double fr = m_pFilm->GetMainKWave(0)->GetFrADC();
    m_bFillingRates = true;
    m_comboRate->clear();
    for (int k = 0; k < pasfilm::kLevelCount; ++k) {
        m_strRateItem = pasfilm::RateItemText(fr, k);
        m_comboRate->addItem(ToQ(m_strRateItem));
    }
    // The caller indexes the film's layers with the level: keep it a layer.
    m_nLevel = std::clamp(m_nLevel, 0, pasfilm::kLevelCount - 1);
    m_comboRate->setCurrentIndex(m_nLevel);
    m_bFillingRates = false;
    if (m_pFilm->GetChannels() < 2) {
        m_pLeft->setEnabled(false);
        m_pRight->setEnabled(false);
    }
    m_nFFTSize = pasfilm::kFFTSize;
    OnSetFreqSizeHz();
    UpdateReadouts();
    return true;
}

double CKDialogSelectPASfilm::LayerRate() const {
    if (m_pFilm == nullptr) return 0.0;
    return pasfilm::LayerRate(m_pFilm->GetMainKWave(0)->GetFrADC(), m_nLevel);
}

void CKDialogSelectPASfilm::UpdateReadouts() {
    // Typed text that matches no item leaves no selection: the level stays.
    const int selection = m_comboRate->currentIndex();
    if (selection >= 0 && selection < pasfilm::kLevelCount) m_nLevel = selection;
    const pasfilm::Readouts r =
        pasfilm::ComputeReadouts(LayerRate(), m_dSonelFreqHz, m_nStepSamples, m_nFFTSize);
    m_nStepSamples = r.nStep;
    m_strPixelsPerSonelFreq = r.strPixelsPerSonelFreq;
    m_strPixelsPerSonelTime = r.strPixelsPerSonelTime;
    UpdateData(false);
}

bool CKDialogSelectPASfilm::ExchangeSize(QLineEdit* edit, double& value) {
    const auto fail = [edit](const std::string& text) {
        platform::ShowMessage(text);
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    };
    const std::optional<double> parsed = pasfilm::ParseNumber(edit->text().toStdString());
    if (!parsed) return fail(kEnterNumber);
    value = *parsed;
    if (!pasfilm::SizeInRange(value)) {
        const QString text = QString::fromUtf8(kEnterNumberBetween)
                                 .arg(ToQ(pasfilm::FormatGeneral15(pasfilm::kMinSize)),
                                      ToQ(pasfilm::FormatGeneral15(pasfilm::kMaxSize)));
        return fail(text.toStdString());
    }
    return true;
}

bool CKDialogSelectPASfilm::UpdateData(bool bSaveAndValidate) {
    if (!bSaveAndValidate) {
        // A channel the buttons cannot show leaves both unchecked.
        m_pChannelGroup->setExclusive(false);
        m_pLeft->setChecked(m_nChannel == 0);
        m_pRight->setChecked(m_nChannel == 1);
        m_pChannelGroup->setExclusive(true);
        m_pEditFreqHz->setText(ToQ(pasfilm::FormatGeneral15(m_dSonelFreqHz)));
        m_pEditTimeHz->setText(ToQ(pasfilm::FormatGeneral15(m_dSonelTimeHz)));
        m_pEditTimeMs->setText(ToQ(pasfilm::FormatGeneral15(m_dSonelTimeMs)));
        m_pStaticFreq->setText(ToQ(m_strPixelsPerSonelFreq));
        m_pStaticTime->setText(ToQ(m_strPixelsPerSonelTime));
        return true;
    }
    if (m_pChannelGroup->checkedId() >= 0) m_nChannel = m_pChannelGroup->checkedId();
    if (!ExchangeSize(m_pEditFreqHz, m_dSonelFreqHz)) return false;
    if (!ExchangeSize(m_pEditTimeHz, m_dSonelTimeHz)) return false;
    if (!ExchangeSize(m_pEditTimeMs, m_dSonelTimeMs)) return false;
    m_strPixelsPerSonelFreq = m_pStaticFreq->text().toStdString();
    m_strPixelsPerSonelTime = m_pStaticTime->text().toStdString();
    return true;
}

void CKDialogSelectPASfilm::accept() {
    if (!UpdateData(true)) return;
    QDialog::accept();
}

void CKDialogSelectPASfilm::OnSetFreqSizeHz() {
    UpdateData(true);  // a failed field has been reported; go on with the members as they stand
    const pasfilm::SonelSizes s = pasfilm::SizesFromFreqHz(m_dSonelFreqHz);
    m_dSonelTimeHz = s.dTimeHz;
    m_dSonelTimeMs = s.dTimeMs;
    UpdateReadouts();
}

void CKDialogSelectPASfilm::OnSetTimeSizeHz() {
    UpdateData(true);
    const pasfilm::SonelSizes s = pasfilm::SizesFromTimeHz(m_dSonelTimeHz);
    m_dSonelFreqHz = s.dFreqHz;
    m_dSonelTimeMs = s.dTimeMs;
    UpdateReadouts();
}

void CKDialogSelectPASfilm::OnSetTimeSizeMs() {
    UpdateData(true);
    const pasfilm::SonelSizes s = pasfilm::SizesFromTimeMs(m_dSonelTimeMs);
    m_dSonelFreqHz = s.dFreqHz;
    m_dSonelTimeHz = s.dTimeHz;
    UpdateReadouts();
}

void CKDialogSelectPASfilm::ApplyPreset(const pasfilm::Grid& grid) {
    m_dSonelFreqHz = grid.sizes.dFreqHz;
    m_dSonelTimeHz = grid.sizes.dTimeHz;
    m_dSonelTimeMs = grid.sizes.dTimeMs;
    m_nStepSamples = grid.nStep;
    UpdateReadouts();
}

void CKDialogSelectPASfilm::OnPresetOptimal() {
    ApplyPreset(pasfilm::PresetOptimal(LayerRate(), m_nFFTSize));
}

void CKDialogSelectPASfilm::OnPresetArticulation() {
    ApplyPreset(pasfilm::PresetArticulation(LayerRate(), m_nFFTSize));
}

void CKDialogSelectPASfilm::OnPresetVoice() { ApplyPreset(pasfilm::PresetVoice(LayerRate(), m_nFFTSize)); }

void CKDialogSelectPASfilm::OnRateSelChange() {
    const int selection = m_comboRate->currentIndex();
    if (selection >= 0 && selection < pasfilm::kLevelCount) m_nLevel = selection;
    // A new rate always starts from the default grid for that rate.
    OnPresetOptimal();
    UpdateReadouts();
}

void CKDialogSelectPASfilm::OnStepDeltaPos(int delta) {
    // Widened so that a step at the int limit cannot overflow before the clamp.
    m_nStepSamples = pasfilm::ClampStep(static_cast<long long>(m_nStepSamples) + delta, std::nullopt);
    UpdateReadouts();
}
