#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <cmath>

#include "ResourceIds.h"

namespace res {
namespace {

const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kBlue(0, 0, 160);
const QColor kGreen(0, 150, 60);
const QColor kYellow(230, 200, 40);
const QColor kRed(200, 0, 0);
const QColor kGrey(128, 128, 128);

// A sheet of paper with a folded corner, top-left at (x, y).
void Sheet(QPainter& p, int x, int y, int w, int h) {
    QPolygon sheet(
        {QPoint(x, y), QPoint(x + w - 4, y), QPoint(x + w, y + 4), QPoint(x + w, y + h), QPoint(x, y + h)});
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawPolygon(sheet);
    p.drawLine(x + w - 4, y, x + w - 4, y + 4);
    p.drawLine(x + w - 4, y + 4, x + w, y + 4);
}

// A small sonogram-like field: grey stripes (formants) rising over time.
void Stripes(QPainter& p, const QRect& r, bool inverted) {
    p.fillRect(r, inverted ? kInk : kPaper);
    for (int x = r.left(); x <= r.right(); ++x) {
        for (int k = 0; k < 3; ++k) {
            const int y = r.bottom() - 2 - k * 4 - (x - r.left()) / 4;
            if (y >= r.top()) p.fillRect(QRect(x, y, 1, 2), inverted ? kPaper : kInk);
        }
    }
}

// A level arrow: up or down, in the upper (U) or lower (L) half.
void LevelArrow(QPainter& p, bool upper, bool raise) {
    const int y0 = upper ? 1 : 8;
    p.fillRect(QRect(1, y0 + 2, 5, 2), upper ? kRed : kBlue);
    QPolygon arrow = raise ? QPolygon({QPoint(11, y0), QPoint(15, y0 + 4), QPoint(7, y0 + 4)})
                           : QPolygon({QPoint(7, y0 + 1), QPoint(15, y0 + 1), QPoint(11, y0 + 5)});
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawPolygon(arrow);
    p.fillRect(QRect(10, raise ? y0 + 4 : y0 - 1, 3, 2), kInk);
}

void Letter(QPainter& p, const QRect& r, const QString& text, const QColor& colour) {
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void Paint(QPainter& p, int id) {
    switch (id) {
        case ID_FILE_NEW:
            Sheet(p, 3, 1, 10, 13);
            break;
        case ID_FILE_OPEN:
            p.setPen(kInk);
            p.setBrush(kYellow);
            p.drawPolygon(QPolygon(
                {QPoint(1, 4), QPoint(5, 4), QPoint(6, 5), QPoint(12, 5), QPoint(12, 13), QPoint(1, 13)}));
            p.setBrush(QColor(250, 230, 120));
            p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(15, 8), QPoint(12, 13), QPoint(1, 13)}));
            break;
        case ID_FILE_SAVE:
            p.setPen(kInk);
            p.setBrush(kBlue);
            p.drawRect(1, 1, 13, 13);
            p.fillRect(QRect(4, 2, 8, 5), kPaper);
            p.fillRect(QRect(5, 10, 6, 4), kGrey);
            break;
        case ID_EDIT_CUT:
            p.setPen(QPen(kInk, 1));
            p.drawLine(4, 1, 10, 9);
            p.drawLine(11, 1, 5, 9);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRect(1, 9, 5, 5));
            p.drawEllipse(QRect(9, 9, 5, 5));
            break;
        case ID_EDIT_COPY:
            Sheet(p, 1, 1, 8, 9);
            Sheet(p, 6, 5, 8, 9);
            break;
        case ID_EDIT_PASTE:
            p.setPen(kInk);
            p.setBrush(QColor(160, 110, 50));
            p.drawRect(1, 2, 10, 12);
            p.fillRect(QRect(4, 1, 5, 3), kGrey);
            Sheet(p, 7, 6, 8, 8);
            break;
        case ID_FILE_PRINT:
            p.setPen(kInk);
            p.setBrush(kPaper);
            p.drawRect(4, 1, 8, 5);
            p.setBrush(kGrey);
            p.drawRect(1, 6, 14, 6);
            p.setBrush(kPaper);
            p.drawRect(4, 10, 8, 4);
            p.fillRect(QRect(12, 8, 2, 1), kGreen);
            break;
        case ID_APP_ABOUT:
            p.setPen(kBlue);
            p.setBrush(kPaper);
            p.drawEllipse(QRect(1, 0, 14, 14));
            Letter(p, QRect(1, 0, 15, 15), QStringLiteral("?"), kBlue);
            break;
        case ID_CONTEXT_HELP:
            p.setPen(kInk);
            p.setBrush(kPaper);
            p.drawPolygon(QPolygon({QPoint(1, 1), QPoint(1, 12), QPoint(4, 9), QPoint(6, 13), QPoint(8, 12),
                                    QPoint(6, 8), QPoint(9, 8)}));
            Letter(p, QRect(8, 0, 8, 15), QStringLiteral("?"), kBlue);
            break;
        case ID_SONOGRAM_AMPLITUDE:
            Stripes(p, QRect(1, 1, 14, 13), false);
            break;
        case ID_SONOGRAM_AM:
            Stripes(p, QRect(1, 1, 14, 13), false);
            Letter(p, QRect(0, 0, 16, 15), QStringLiteral("A"), kRed);
            break;
        case ID_SONOGRAM_FM:
            Stripes(p, QRect(1, 1, 14, 13), false);
            Letter(p, QRect(0, 0, 16, 15), QStringLiteral("F"), kRed);
            break;
        case ID_SONOGRAM_INVERTED:
            Stripes(p, QRect(1, 1, 14, 13), true);
            break;
        case ID_CALCULATE_DECIMATED:
            // A staircase of halving rates.
            p.fillRect(QRect(1, 1, 14, 3), kGreen);
            p.fillRect(QRect(1, 5, 7, 3), kGreen);
            p.fillRect(QRect(1, 9, 4, 3), kGreen);
            p.fillRect(QRect(1, 13, 2, 2), kGreen);
            break;
        case ID_UPPER_LEVEL_RAISE:
            LevelArrow(p, true, true);
            break;
        case ID_UPPER_LEVEL_LOWER:
            LevelArrow(p, true, false);
            break;
        case ID_LOWER_LEVEL_RAISE:
            LevelArrow(p, false, true);
            break;
        case ID_LOWER_LEVEL_LOWER:
            LevelArrow(p, false, false);
            break;
        case ID_LEVELS_DEFAULT:
            p.fillRect(QRect(1, 3, 14, 2), kRed);
            p.fillRect(QRect(1, 10, 14, 2), kBlue);
            Letter(p, QRect(0, 0, 16, 15), QStringLiteral("0"), kInk);
            break;
        default:
            break;
    }
}

bool HasImage(int id) {
    switch (id) {
        case ID_FILE_NEW:
        case ID_FILE_OPEN:
        case ID_FILE_SAVE:
        case ID_EDIT_CUT:
        case ID_EDIT_COPY:
        case ID_EDIT_PASTE:
        case ID_FILE_PRINT:
        case ID_APP_ABOUT:
        case ID_CONTEXT_HELP:
        case ID_SONOGRAM_AMPLITUDE:
        case ID_SONOGRAM_AM:
        case ID_SONOGRAM_FM:
        case ID_SONOGRAM_INVERTED:
        case ID_CALCULATE_DECIMATED:
        case ID_UPPER_LEVEL_RAISE:
        case ID_UPPER_LEVEL_LOWER:
        case ID_LEVELS_DEFAULT:
        case ID_LOWER_LEVEL_RAISE:
        case ID_LOWER_LEVEL_LOWER:
            return true;
        default:
            return false;
    }
}

// The program's icon: a blue field with a green wave packet and grey bars.
QImage ProgramImage(int size, bool document) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    if (document) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kPaper);
        p.drawPolygon(
            QPolygonF({QPointF(4, 1), QPointF(22, 1), QPointF(28, 7), QPointF(28, 31), QPointF(4, 31)}));
        p.fillRect(QRectF(7, 10, 18, 18), QColor(0, 0, 127));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 127));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 4, 4);
    }
    const QRectF field = document ? QRectF(7, 10, 18, 18) : QRectF(3, 3, 26, 26);
    QPainterPath wave;
    for (int i = 0; i <= 40; ++i) {
        const double t = i / 40.0;
        const double env = std::exp(-(t - 0.5) * (t - 0.5) / 0.02);
        const double y = field.center().y() - 0.4 * field.height() * env * std::sin(t * 6.28 * 4);
        const QPointF pt(field.left() + t * field.width(), y);
        if (i == 0)
            wave.moveTo(pt);
        else
            wave.lineTo(pt);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 127, 127), 3));
    p.drawPath(wave);
    p.setPen(QPen(QColor(0, 255, 0), 1.2));
    p.drawPath(wave);
    return img;
}

}  // namespace

QImage CommandImage(int id) {
    if (!HasImage(id)) return QImage();
    QImage img(kButtonImageWidth, kButtonImageHeight, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Paint(p, id);
    return img;
}

QIcon CommandIcon(int id) {
    const QImage img = CommandImage(id);
    return img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img));
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(ProgramImage(size, false)));
    return icon;
}

QIcon DocumentIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(ProgramImage(size, true)));
    return icon;
}

}  // namespace res
