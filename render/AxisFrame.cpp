#include "AxisFrame.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "AxisTicks.h"

namespace {

const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QFont AxisFrame::Font() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}

AxisFrame::AxisFrame(const QFont& font) : m_font(font) {}

double AxisFrame::LinearStep(double b, int first, int last, double spacing) {
    if (last < first || !std::isfinite(b)) return 0.0;
    return axis::TickStep(std::fabs(b) * (last - first + 1), last - first + 1, spacing);
}

std::vector<AxisFrame::Tick> AxisFrame::LinearTicks(double a, double b, int first, int last, double spacing,
                                                    double unit, double* chosen) {
    std::vector<Tick> ticks;
    const double step = LinearStep(b, first, last, spacing);
    if (chosen != nullptr) *chosen = step;
    if (!(step > 0.0) || b == 0.0) return ticks;
    const double low = std::min(a + b * first, a + b * last);
    const double high = std::max(a + b * first, a + b * last);
    for (const double value : axis::Multiples(low, high, step)) {
        const long long at = std::llround((value - a) / b);
        if (at < first || at > last) continue;
        ticks.push_back({static_cast<int>(at), axis::TickLabel(value, step, unit)});
    }
    return ticks;
}

double AxisFrame::TimeSpacing() const {
    return QFontMetrics(m_font).horizontalAdvance(QStringLiteral("0000.000")) + 4.0 * kGap;
}

double AxisFrame::FrequencySpacing() const { return 2.0 * QFontMetrics(m_font).height() + kGap; }

QMargins AxisFrame::Margins(const Scales& scales, QSize) const {
    const QFontMetrics metrics(m_font);
    const int line = metrics.height();
    int labels = 0;
    int levels = 0;
    for (const Pane& pane : scales.panes) {
        for (const Tick& tick : pane.ticks)
            labels = std::max(labels, metrics.horizontalAdvance(Text(tick.label)));
        levels = std::max({levels, metrics.horizontalAdvance(Text(pane.upper)),
                           metrics.horizontalAdvance(Text(pane.lower))});
    }
    const int left = line + kGap + labels + kGap + kTick + 1;
    const int right = 1 + 3 * kGap + kBarWidth + 2 + kGap + levels + kGap;
    const int top = line / 2 + 2;
    const int bottom = 1 + kTick + kGap + line + kGap + line + kGap;
    return QMargins(left, top, right, bottom);
}

void AxisFrame::Paint(QPainter& painter, const Scales& scales, QSize size) const {
    const QMargins margins = Margins(scales, size);
    const QFontMetrics metrics(m_font);
    const int line = metrics.height();
    const int x0 = margins.left();
    const int y0 = margins.top();
    const int w = size.width();
    const int h = size.height();
    painter.save();
    painter.setFont(m_font);
    painter.setPen(kInk);
    // The frame: one line just outside the picture on every side.
    painter.fillRect(QRect(x0 - 1, y0 - 1, w + 2, 1), kInk);
    painter.fillRect(QRect(x0 - 1, y0 + h, w + 2, 1), kInk);
    painter.fillRect(QRect(x0 - 1, y0 - 1, 1, h + 2), kInk);
    painter.fillRect(QRect(x0 + w, y0 - 1, 1, h + 2), kInk);

    // The time axis: a label is left out where it would touch the last one.
    const int timeLabels = y0 + h + 1 + kTick + kGap;
    int freeFrom = 0;
    for (const Tick& tick : scales.time) {
        painter.fillRect(QRect(x0 + tick.at, y0 + h + 1, 1, kTick), kInk);
        const int width = metrics.horizontalAdvance(Text(tick.label));
        const QRect box(x0 + tick.at - width / 2, timeLabels, width, line);
        if (box.left() < freeFrom) continue;
        painter.drawText(box, Qt::AlignCenter, Text(tick.label));
        freeFrom = box.right() + 1 + 2 * kGap;
    }
    painter.drawText(QRect(x0, timeLabels + line + kGap, w, line), Qt::AlignHCenter | Qt::AlignTop,
                     Text(scales.timeTitle));

    const int labelRight = x0 - 1 - kTick - kGap;
    const int barLeft = x0 + w + 1 + 3 * kGap;
    int freeBelow = 0;
    for (const Pane& pane : scales.panes) {
        // Ticks from the top down; a label that would touch the one above it
        // is left out.
        std::vector<Tick> ticks = pane.ticks;
        std::sort(ticks.begin(), ticks.end(), [](const Tick& a, const Tick& b) { return a.at < b.at; });
        for (const Tick& tick : ticks) {
            painter.fillRect(QRect(x0 - 1 - kTick, y0 + tick.at, kTick, 1), kInk);
            const QRect box(line + kGap, y0 + tick.at - line / 2, labelRight - line - kGap, line);
            if (box.top() < freeBelow) continue;
            painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, Text(tick.label));
            freeBelow = box.bottom() + 1;
        }
        // The title turned a quarter to the left, centred on the pane.
        painter.save();
        painter.translate(0, y0 + pane.top + pane.height);
        painter.rotate(-90.0);
        painter.drawText(QRect(0, 0, pane.height, line), Qt::AlignHCenter | Qt::AlignTop, Text(pane.title));
        painter.restore();

        // The level bar in a frame of its own, its levels beside its ends.
        if (pane.height > 0 && !pane.bar.empty()) {
            QImage bar(1, static_cast<int>(pane.bar.size()), QImage::Format_RGB32);
            if (!bar.isNull()) {
                for (int i = 0; i < bar.height(); ++i)
                    bar.setPixel(0, i, pane.bar[static_cast<size_t>(i)] | 0xFF000000u);
                painter.drawImage(QRect(barLeft + 1, y0 + pane.top, kBarWidth, pane.height), bar);
            }
            painter.setPen(kInk);
            painter.drawRect(QRect(barLeft, y0 + pane.top - 1, kBarWidth + 1, pane.height + 1));
            // Inside the bar's height, so that the panes' labels never meet.
            const QRect beside(barLeft + kBarWidth + 2 + kGap, y0 + pane.top, 1000, pane.height);
            painter.drawText(beside, Qt::AlignLeft | Qt::AlignTop, Text(pane.upper));
            painter.drawText(beside, Qt::AlignLeft | Qt::AlignBottom, Text(pane.lower));
        }
    }
    painter.restore();
}

QImage AxisFrame::Frame(const QImage& picture, const Scales& scales) const {
    const QMargins margins = Margins(scales, picture.size());
    QImage framed(picture.width() + margins.left() + margins.right(),
                  picture.height() + margins.top() + margins.bottom(), QImage::Format_RGB32);
    if (framed.isNull()) return framed;
    framed.fill(kPaper);
    QPainter painter(&framed);
    Paint(painter, scales, picture.size());
    painter.end();
    // The picture's pixels as they are, row by row: nothing drawn over them.
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < source.height(); ++y)
        std::copy_n(reinterpret_cast<const uint32_t*>(source.constScanLine(y)), source.width(),
                    reinterpret_cast<uint32_t*>(framed.scanLine(y + margins.top())) + margins.left());
    return framed;
}
