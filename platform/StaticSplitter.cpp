#include "StaticSplitter.h"

#include <QResizeEvent>
#include <algorithm>

namespace platform {

std::vector<int> StaticRowHeights(int available, const std::vector<int>& ideal,
                                  const std::vector<int>& minimum) {
    std::vector<int> heights(ideal.size(), 0);
    if (ideal.empty()) return heights;
    int left = std::max(0, available);
    for (size_t row = 0; row + 1 < ideal.size(); ++row) {
        const int min = row < minimum.size() ? minimum[row] : 0;
        if (left == 0 || left < min) continue;
        const int h = std::clamp(ideal[row], 0, left);
        heights[row] = h;
        left -= h;
    }
    heights.back() = left;
    return heights;
}

StaticSplitter::StaticSplitter(int rows, QWidget* parent)
    : QSplitter(Qt::Vertical, parent),
      m_nRows(std::max(1, rows)),
      m_ideal(m_nRows, 0),
      m_minimum(m_nRows, 0) {
    setChildrenCollapsible(true);
    connect(this, &QSplitter::splitterMoved, this, &StaticSplitter::OnSplitterMoved);
}

void StaticSplitter::SetRowInfo(int row, int ideal, int minimum) {
    if (row < 0 || row >= m_nRows) return;
    m_ideal[row] = std::max(0, ideal);
    m_minimum[row] = std::max(0, minimum);
}

int StaticSplitter::GetIdealHeight(int row) const { return row >= 0 && row < m_nRows ? m_ideal[row] : 0; }

void StaticSplitter::RecalcLayout() {
    if (count() != m_nRows) return;
    const int bars = (m_nRows - 1) * handleWidth();
    m_bApplying = true;
    const std::vector<int> heights = StaticRowHeights(height() - bars, m_ideal, m_minimum);
    setSizes(QList<int>(heights.begin(), heights.end()));
    m_bApplying = false;
}

void StaticSplitter::resizeEvent(QResizeEvent* event) {
    QSplitter::resizeEvent(event);
    RecalcLayout();
}

void StaticSplitter::OnSplitterMoved() {
    if (m_bApplying || count() != m_nRows) return;
    const QList<int> current = sizes();
    for (int row = 0; row + 1 < m_nRows; ++row) m_ideal[row] = current[row];
}

}  // namespace platform
