#include "DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <algorithm>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = std::max(1, (letters / 26 + 1) / 2);
    m_nBaseY = std::max(1, fm.height());
}

void DialogUnits::widen(double factor) { m_dScaleX = std::max(m_dScaleX, factor); }

int DialogUnits::x(int units) const { return static_cast<int>(units * m_nBaseX * m_dScaleX / 4); }

int DialogUnits::y(int units) const { return units * m_nBaseY / 8; }

QRect DialogUnits::rect(int left, int top, int width, int height) const {
    return QRect(x(left), y(top), x(left + width) - x(left), y(top + height) - y(top));
}
