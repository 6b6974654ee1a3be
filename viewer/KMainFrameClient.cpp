#include "KMainFrameClient.h"

#include <QEvent>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "BannerLayout.h"

const char* const CKMainFrameClient::kAuthorLine1 = "Авторы: группа разработчиков Fonavid";
const char* const CKMainFrameClient::kAuthorLine2 = "Анализ речи и звука";
const char* const CKMainFrameClient::kTitle = "Fonavid";
const char* const CKMainFrameClient::kInstitutionLine = "Лаборатория речи";
const char* const CKMainFrameClient::kPlaceAndDateLine = "Свободная сборка, 2026";

namespace {

enum class HAlign { Left, Centre, Right };
enum class VAlign { Top, Bottom };

// Draws `text` with its reference point at (x, y): the top or bottom of the
// character cell, its left end, centre or right end.
void TextOut(QPainter& p, int x, int y, const QString& text, HAlign h, VAlign v) {
    const QFontMetrics fm(p.font());
    const int advance = fm.horizontalAdvance(text);
    int left = x;
    if (h == HAlign::Centre) left = x - advance / 2;
    if (h == HAlign::Right) left = x - advance;
    const int baseline = v == VAlign::Top ? y + fm.ascent() : y - fm.descent();
    p.drawText(QPoint(left, baseline), text);
}

}  // namespace

CKMainFrameClient::CKMainFrameClient(QObject* parent) : QObject(parent) {}

CKMainFrameClient::~CKMainFrameClient() {
    if (m_client) m_client->removeEventFilter(this);
}

bool CKMainFrameClient::SubclassWindow(QWidget* client) {
    if (client == nullptr) return false;
    if (m_client) m_client->removeEventFilter(this);
    m_client = client;
    client->installEventFilter(this);
    client->update();
    return true;
}

bool CKMainFrameClient::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client) {
        if (event->type() == QEvent::Paint) {
            QPainter painter(m_client);
            return OnEraseBkgnd(painter, m_client->size());
        }
        if (event->type() == QEvent::Resize) {
            // Everything is laid out in proportion: a new size repaints it all.
            m_client->update();
        }
    }
    return QObject::eventFilter(watched, event);
}

QFont CKMainFrameClient::MakeFont(const QString& face, const QString& fallbackFace, int height, int width,
                                  int weight, bool italic) {
    QFont font(QFontDatabase::families().contains(face) ? face : fallbackFace);
    font.setStyleHint(italic ? QFont::Serif : QFont::SansSerif);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight / 10 * 10, 100, 900)));
    font.setItalic(italic);
    if (height > 0) {
        // The height names the whole character cell; Qt's pixel size is the em.
        font.setPixelSize(height);
        const int cell = QFontMetrics(font).height();
        if (cell > 0 && cell != height) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(double(height) * height / cell))));
        }
    }
    if (width > 0) {
        const int natural = QFontMetrics(font).averageCharWidth();
        if (natural > 0) font.setStretch(std::clamp(100 * width / natural, 1, 4000));
    }
    return font;
}

bool CKMainFrameClient::OnEraseBkgnd(QPainter& p, const QSize& size) {
    const int W = size.width();
    const int H = size.height();
    const BannerLayout l = ComputeBannerLayout(W, H);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 0, W, H), QColor(0, 0, 127));

    const QFont fontS = MakeFont(QStringLiteral("Arial Cyr"), QStringLiteral("Arial"), l.nSmallFontHeight,
                                 l.nSmallFontWidth, 400, false);
    // The title face is italic but upright on the line: a zero escapement
    // leaves its character orientation unused.
    const QFont fontT = MakeFont(QStringLiteral("Times New Roman Cyr"), QStringLiteral("Times New Roman"),
                                 l.nTitleFontHeight, l.nTitleFontWidth, 600, true);
    const QFont fontB = MakeFont(QStringLiteral("Arial Cyr"), QStringLiteral("Arial"), l.nBottomFontHeight,
                                 l.nBottomFontWidth, 400, false);
    auto pen = [](int width, const QColor& colour) {
        QPen pen(colour, width);  // width 0: one pixel
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    };
    const QPen pen1 = pen(l.nPenWidth, QColor(0, 255, 0));
    const QPen pen2 = pen(l.nPenWidth + 1, QColor(0, 192, 63));
    const QPen pen3 = pen(l.nPenWidth + 2, QColor(0, 127, 127));

    p.setFont(fontS);
    p.setPen(QColor(0, 0, 255));
    TextOut(p, W, 0, QString::fromUtf8(kAuthorLine1), HAlign::Right, VAlign::Top);
    TextOut(p, W, l.nSmallFontHeight, QString::fromUtf8(kAuthorLine2), HAlign::Right, VAlign::Top);

    p.setPen(QColor(255, 255, 0));
    p.setFont(fontT);
    const QString title = QString::fromUtf8(kTitle);
    const int half = QFontMetrics(fontT).horizontalAdvance(title) / 2;
    TextOut(p, l.xCentre, l.yTitle - l.nTitleGap, title, HAlign::Centre, VAlign::Bottom);
    TextOut(p, l.xCentre, l.yTitle + l.nTitleGap, QString::fromUtf8(kInstitutionLine), HAlign::Centre,
            VAlign::Top);

    p.setFont(fontB);
    p.setPen(QColor(0, 0, 158));
    TextOut(p, l.xCentre, H, QString::fromUtf8(kPlaceAndDateLine), HAlign::Centre, VAlign::Bottom);

    const WavePacket packet = ComputeWavePacket(W, H, l.xCentre, half);
    if (packet.y.size() > 1) {
        QPolygon line;
        for (size_t i = 0; i < packet.y.size(); ++i)
            line << QPoint(packet.x0 + static_cast<int>(i), packet.y[i]);
        // Wide and dark first, thin and bright on top: a glowing line.
        for (const QPen* current : {&pen3, &pen2, &pen1}) {
            p.setPen(*current);
            p.drawPolyline(line);
        }
    }
    p.restore();
    return true;
}
