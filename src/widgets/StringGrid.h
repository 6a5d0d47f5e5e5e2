#pragma once
// A string grid: a table of code page 932 cells with one heading row and one
// heading column, addressed (column, row) from 0. Only one cell is selected at
// a time, and whenever the grid has the keyboard focus the cell editor is open
// on the current cell with its whole text selected, so typing replaces it.

#include <QTableView>

#include "widgets/StringGridModel.h"

namespace morvane::widgets {

class CellDelegate;

class StringGrid : public QTableView {
    Q_OBJECT

public:
    explicit StringGrid(QWidget* parent = nullptr);

    StringGridModel& Cells() { return model_; }
    const StringGridModel& Cells() const { return model_; }
    int ColCount() const { return model_.ColCount(); }
    int RowCount() const { return model_.RowCount(); }
    void SetColCount(int cols) { model_.SetColCount(cols); }
    void SetRowCount(int rows) { model_.SetRowCount(rows); }

    // The current cell; -1 when there is none.
    int Col() const { return currentIndex().isValid() ? currentIndex().column() : -1; }
    int Row() const { return currentIndex().isValid() ? currentIndex().row() : -1; }
    // Makes the single cell (col, row) the selection and the current cell.
    void SelectCell(int col, int row);

    int ColWidth(int col) const { return columnWidth(col); }
    void SetColWidth(int col, int width) { setColumnWidth(col, width); }

    // Moves the focus to the control after (or before) the grid in the tab order.
    void FocusNeighbour(bool next);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void OpenEditor();

    StringGridModel model_;
    CellDelegate* delegate_;
};

}  // namespace morvane::widgets
