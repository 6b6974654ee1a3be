// A splitter with a fixed number of rows and one column, laid out the way a
// static splitter is: every row but the last gets its ideal height while
// there is room, the last row takes what remains. Dragging a bar makes the
// rows' current heights their new ideal heights, so a later resize of the
// window changes only the last row.
#pragma once

#include <QSplitter>
#include <vector>

#include "FonacoreApi.h"

namespace platform {

// Row heights for `available` pixels (bars excluded): rows before the last
// get min(ideal, what is left) in order, rows whose minimum no longer fits
// get 0, the last row gets the rest. Never negative.
FONACORE_API std::vector<int> StaticRowHeights(int available, const std::vector<int>& ideal,
                                               const std::vector<int>& minimum);

class FONACORE_API StaticSplitter : public QSplitter {
    Q_OBJECT

public:
    explicit StaticSplitter(int rows, QWidget* parent = nullptr);

    int GetRowCount() const { return m_nRows; }
    // Ideal and minimum height of `row`; call RecalcLayout afterwards.
    void SetRowInfo(int row, int ideal, int minimum);
    int GetIdealHeight(int row) const;
    // Applies the row rule to the current height.
    void RecalcLayout();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSplitterMoved();

    int m_nRows;
    std::vector<int> m_ideal;
    std::vector<int> m_minimum;
    bool m_bApplying = false;
};

}  // namespace platform
