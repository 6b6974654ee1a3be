#include "DialogFHTSetP.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "DialogUnits.h"
#include "Messages.h"
#include "PasFilmGrid.h"
#include "ResourceIds.h"

namespace {

const char* const kEnterNumber = "Enter a number.";
const char* const kEnterNumberBetween = "Enter a number between %1 and %2.";

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_EDIT_P = 1024;

// A keystroke that would type something other than digits (control keys,
// shortcuts and editing keys pass).
bool TypesNonDigit(const QKeyEvent* key) {
    const QString text = key->text();
    if (text.isEmpty()) return false;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control) return false;
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return true;
    }
    return false;
}

}  // namespace

CDialogFHT_set_P::CDialogFHT_set_P(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(res::IDD_FHT_SET_P));
    setWindowTitle(QStringLiteral("Dialog"));
    const DialogUnits du(font());
    const QRect size = du.rect(0, 0, 186, 90);
    setFixedSize(size.width(), size.height());

    m_pOK = new QPushButton(QStringLiteral("OK"), this);
    m_pOK->setObjectName(QString::number(IDOK));
    m_pOK->setGeometry(du.rect(129, 7, 50, 14));
    m_pOK->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setObjectName(QString::number(IDCANCEL));
    m_pCancel->setGeometry(du.rect(129, 24, 50, 14));
    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QString::number(IDC_EDIT_P));
    m_pEdit->setGeometry(du.rect(26, 28, 66, 15));
    m_pEdit->setAlignment(Qt::AlignCenter);
    m_pEdit->installEventFilter(this);
    // The edit comes first in the tab order, so it has the focus when the dialog opens.
    setTabOrder(m_pEdit, m_pOK);
    setTabOrder(m_pOK, m_pCancel);

    connect(m_pOK, &QPushButton::clicked, this, &CDialogFHT_set_P::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CDialogFHT_set_P::reject);
}

CDialogFHT_set_P::~CDialogFHT_set_P() = default;

int CDialogFHT_set_P::DoModal() {
    UpdateData(false);
    m_pEdit->setFocus(Qt::OtherFocusReason);
    m_pEdit->selectAll();
    return exec();
}

bool CDialogFHT_set_P::UpdateData(bool bSaveAndValidate) {
    if (!bSaveAndValidate) {
        m_pEdit->setText(QString::fromStdString(pasfilm::FormatGeneral15(m_dP)));
        return true;
    }
    const auto fail = [this](const std::string& text) {
        platform::ShowMessage(text);
        m_pEdit->setFocus(Qt::OtherFocusReason);
        m_pEdit->selectAll();
        return false;
    };
    const std::optional<double> value = pasfilm::ParseNumber(m_pEdit->text().toStdString());
    if (!value) return fail(kEnterNumber);
    if (!(*value >= kMinP && *value <= kMaxP)) {
        const QString text = QString::fromUtf8(kEnterNumberBetween)
                                 .arg(QString::fromStdString(pasfilm::FormatGeneral15(kMinP)),
                                      QString::fromStdString(pasfilm::FormatGeneral15(kMaxP)));
        return fail(text.toStdString());
    }
    m_dP = *value;
    return true;
}

void CDialogFHT_set_P::accept() {
    if (UpdateData(true)) QDialog::accept();
}

bool CDialogFHT_set_P::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pEdit && event->type() == QEvent::KeyPress &&
        TypesNonDigit(static_cast<QKeyEvent*>(event))) {
        QApplication::beep();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
