#include "widgets/StringGridModel.h"

#include <algorithm>
#include <new>

#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"

namespace morvane::widgets {

StringGridModel::StringGridModel(QObject* parent) : QAbstractTableModel(parent) {}

std::vector<std::string> StringGridModel::Reshaped(int cols, int rows) const {
    const auto count = static_cast<std::uint64_t>(cols) * static_cast<std::uint64_t>(rows);
    EnsureAffordable(count, sizeof(std::string));
    try {
        std::vector<std::string> cells(static_cast<std::size_t>(count));
        const int keepCols = std::min(cols, cols_), keepRows = std::min(rows, rows_);
        for (int r = 0; r < keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) +
                      static_cast<std::size_t>(c)] = Cell(c, r);
        return cells;
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

// Every change of extents first gets its memory, then tells the views, so a
// failure leaves the grid as it was.
void StringGridModel::SetColCount(int cols) {
    cols = std::max(cols, 0);
    if (cols == cols_) return;
    std::vector<std::string> cells = Reshaped(cols, rows_);
    if (cols > cols_)
        beginInsertColumns({}, cols_, cols - 1);
    else
        beginRemoveColumns({}, cols, cols_ - 1);
    const bool inserted = cols > cols_;
    cells_.swap(cells);
    cols_ = cols;
    if (inserted)
        endInsertColumns();
    else
        endRemoveColumns();
}

void StringGridModel::SetRowCount(int rows) {
    rows = std::max(rows, 0);
    if (rows == rows_) return;
    const auto count = static_cast<std::size_t>(cols_) * static_cast<std::size_t>(rows);
    if (rows > rows_) {
        EnsureAffordable(count, sizeof(std::string));
        try {
            cells_.reserve(count);
        } catch (const std::bad_alloc&) {
            throw OutOfMemoryError();
        }
        beginInsertRows({}, rows_, rows - 1);
        cells_.resize(count);
        rows_ = rows;
        endInsertRows();
    } else {
        beginRemoveRows({}, rows, rows_ - 1);
        cells_.resize(count);
        rows_ = rows;
        endRemoveRows();
    }
}

void StringGridModel::SetCell(int col, int row, std::string bytes) {
    CellRef(col, row) = std::move(bytes);
    const QModelIndex cell = index(row, col);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

void StringGridModel::CellsChanged(int col0, int row0, int col1, int row1) {
    col0 = std::max(col0, 0);
    row0 = std::max(row0, 0);
    col1 = std::min(col1, cols_ - 1);
    row1 = std::min(row1, rows_ - 1);
    if (col0 > col1 || row0 > row1) return;
    emit dataChanged(index(row0, col0), index(row1, col1), {Qt::DisplayRole, Qt::EditRole});
}

int StringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cols_;
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return qttext::FromCp932(Cell(index.column(), index.row()));
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || IsFixed(index.column(), index.row())) return false;
    SetCell(index.column(), index.row(), qttext::ToCp932(value.toString()));
    return true;
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
    // Heading cells cannot become the current cell: the table view skips
    // disabled cells when it moves, and the delegate draws them as enabled.
    if (!index.isValid() || IsFixed(index.column(), index.row())) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

}  // namespace morvane::widgets
