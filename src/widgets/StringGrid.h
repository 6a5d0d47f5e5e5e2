#pragma once
// A string grid: a table of code page 932 cells with one heading row and one
// heading column, addressed (column, row) from 0. Only one cell is selected at
// a time, and whenever the grid has the keyboard focus the cell editor is open
// on the current cell with its whole text selected, so typing replaces it.
//
// The heading row and column stay in place while the cells scroll: they are
// drawn in the margins of the cell area (row 0 and column 0 are hidden among
// the cells), and a click on them changes nothing. The heading column is as
// wide as its widest text; a text wider than its cell is cut at the cell's
// edge, never with an ellipsis, and shows whole in the cell's tooltip.

#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "widgets/StringGridModel.h"

class QUndoStack;

namespace morvane::widgets {

class CellDelegate;
class HeadingBar;

// One cell's bytes before and after a change the user made.
struct CellChange {
    int col = 0;
    int row = 0;
    std::string before;
    std::string after;
};
using CellChanges = std::vector<CellChange>;

class StringGrid : public QTableView {
    Q_OBJECT

public:
    explicit StringGrid(QWidget* parent = nullptr);

    StringGridModel& Cells() { return model_; }
    const StringGridModel& Cells() const { return model_; }
    int ColCount() const { return model_.ColCount(); }
    int RowCount() const { return model_.RowCount(); }
    void SetColCount(int cols) {
        CommitEdit();
        model_.SetColCount(cols);
    }
    void SetRowCount(int rows) {
        CommitEdit();
        model_.SetRowCount(rows);
    }

    // The current cell; -1 when there is none.
    int Col() const { return currentIndex().isValid() ? currentIndex().column() : -1; }
    int Row() const { return currentIndex().isValid() ? currentIndex().row() : -1; }
    // Makes the single cell (col, row) the selection and the current cell.
    void SelectCell(int col, int row);

    // Column 0's width is at least the one set and as wide as its widest text.
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);

    // Where cell (col, row) shows, in the grid's own coordinates; heading
    // cells included. Empty when it is scrolled out of sight.
    QRect CellRect(int col, int row) const;
    // The whole text of cell (col, row) when it is too wide for its cell (its
    // tooltip), else the empty string.
    QString ClippedText(int col, int row) const;

    // Moves the focus to the control after (or before) the grid in the tab order.
    void FocusNeighbour(bool next);
    // Moves the current cell by (cols, rows) when that is a cell that can be
    // edited; otherwise the current cell stays and its text is selected again.
    void MoveCurrent(int cols, int rows);
    // Fills the cells from the current cell rightward and downward with the
    // values of `text` (PastedValues), each as if typed into its cell; values
    // that fall outside the grid, and values holding a line break or a tab,
    // which no score can hold, are left out and counted by `pasteLeftOut`. The cells it
    // changed are one `edited`.
    void PasteBlock(const QString& text);

    // What the user typed into the cell being edited becomes an `edited` now,
    // when it changed the cell, rather than when the editor leaves the cell.
    // Code that sets cells calls it first, so that an edit is told with the
    // bytes it replaced.
    void CommitEdit();
    // Whether a cell's typing is under way, not yet told as a change.
    bool Typing() const { return typing_.has_value(); }

    // The editors leave undo and redo to the window's `steps` (CellEditor):
    // the keys reach the window's shortcuts, the context menu asks by
    // `undoRequested` and `redoRequested`.
    void LeaveUndoToWindow(const QUndoStack* steps);

signals:
    // A block paste left out `outside` values that fell outside the grid and
    // `withLineBreaks` values that held a line break or a tab.
    void pasteLeftOut(int outside, int withLineBreaks);
    // The user changed cells: a cell's typing, once the editor left it (or
    // CommitEdit), or a block paste, each one change.
    void edited(const morvane::widgets::CellChanges& changes);
    void undoRequested();
    void redoRequested();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* object, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class HeadingBar;

    // The user's typing is about to change `cell`.
    void NoteEdit(const QModelIndex& cell);
    void OpenEditor();
    // Sets the heading column's width from its texts.
    void FitHeadingColumn();
    // The width that `bytes` takes in the grid's font.
    int TextWidth(const std::string& bytes) const;
    int TextMargin() const;
    void PaintHeading(QPainter& painter, const QRect& rect, int col, int row) const;
    // The tooltip at `global` for cell (col, row), shown over `area`.
    void ShowTip(const QPoint& global, int col, int row, QWidget* over, const QRect& area) const;

    StringGridModel model_;
    CellDelegate* delegate_;
    HeadingBar* top_;
    HeadingBar* left_;
    QWidget* corner_ = nullptr;
    int headingWidthSet_;
    int headingWidth_;
    int headingHeight_;
    mutable std::vector<int> charWidths_;  // by code page 932 code, -1 until measured
    // The cell being typed into, with its bytes before the first keystroke.
    std::optional<CellChange> typing_;
};

}  // namespace morvane::widgets
