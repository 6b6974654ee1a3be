#include "AboutDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "DialogUnits.h"
#include "Icons.h"

const char* const CAboutDlg::kCaption = "About Fonavid";
const char* const CAboutDlg::kVersionLine = "Fonavid Version 3.0";
const char* const CAboutDlg::kSecondLine = "Сонограммы и FGT речи и звука";

namespace {

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kCaption));
    setModal(true);
    const DialogUnits du(font());
    // The second line is wider than its 136-unit field in most fonts: it
    // gets the room up to the button.
    const QRect frame = du.rect(0, 0, 235, 55);
    setFixedSize(frame.size());

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setGeometry(du.rect(11, 17, 20, 20));
    icon->setPixmap(res::ApplicationIcon().pixmap(icon->size().boundedTo(QSize(32, 32))));

    auto* version = new QLabel(QString::fromUtf8(kVersionLine), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(du.rect(40, 10, 119, 8));

    auto* second = new QLabel(QString::fromUtf8(kSecondLine), this);
    second->setObjectName(QStringLiteral("second"));
    second->setTextFormat(Qt::PlainText);
    second->setGeometry(du.rect(40, 25, 136, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(du.rect(178, 7, 50, 16));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
