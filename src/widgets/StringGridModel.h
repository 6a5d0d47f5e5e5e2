#pragma once
// The cells of a string grid, addressed (column, row) from 0, with one fixed
// heading row and one fixed heading column. Every cell is code page 932 bytes:
// a cell is converted to text only to be drawn or edited, so a cell nobody
// edits keeps its bytes exactly, and only the cells on screen are converted.

#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace morvane::widgets {

class StringGridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit StringGridModel(QObject* parent = nullptr);

    int ColCount() const { return cols_; }
    int RowCount() const { return rows_; }
    // Change the extents; cells inside both the old and the new extents keep
    // their bytes, new cells are empty. Memory exhausted raises OutOfMemoryError.
    void SetColCount(int cols);
    void SetRowCount(int rows);

    // Row 0 and column 0 are headings: drawn, never selected or edited.
    static bool IsFixed(int col, int row) { return col < 1 || row < 1; }

    const std::string& Cell(int col, int row) const { return cells_[Index(col, row)]; }
    // Sets one cell and tells the views.
    void SetCell(int col, int row, std::string bytes);
    // Access for filling many cells at once: the views are told only by
    // CellsChanged afterwards, once for the whole block.
    std::string& CellRef(int col, int row) { return cells_[Index(col, row)]; }
    void CellsChanged(int col0, int row0, int col1, int row1);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::size_t Index(int col, int row) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) +
               static_cast<std::size_t>(col);
    }
    // A copy of the cells with new extents.
    std::vector<std::string> Reshaped(int cols, int rows) const;

    int cols_ = 0;
    int rows_ = 0;
    std::vector<std::string> cells_;  // row by row
};

}  // namespace morvane::widgets
