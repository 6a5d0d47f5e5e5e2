#pragma once
// One table of the results window as a read-only Qt model, and its view:
// cells selectable, Ctrl+C copying the selection as tab-separated text.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <QVector>
#include <functional>

#include "output/ResultTables.h"

namespace morvane {

class AnalysisTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit AnalysisTableModel(QObject* parent = nullptr);

    void SetTable(const TableText& table);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList header_;
    QVector<QStringList> rows_;
    QVector<bool> numeric_;
};

// The cells of `selected` as lines of tab-separated fields, for a spreadsheet:
// the rectangle from the first to the last selected row and column, a cell
// outside the selection empty. When the selection reaches from the first row
// to the last, the column headings lead. Tabs and line ends inside a cell become
// spaces.
QString TabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected);

// The view of a table: its first column, the rows' labels, stays in view
// while the others scroll sideways; every column is as wide as its widest
// text, heading included, and the view as tall as its rows up to a bound.
class AnalysisTableView final : public QTableView {
    Q_OBJECT

public:
    explicit AnalysisTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    // Puts the selection on the clipboard as TabSeparated gives it, once
    // `check` (when set) agrees.
    void CopySelection();
    void SetCopyCheck(std::function<bool()> check) { copyCheck_ = std::move(check); }
    // The height that shows the heading and every row, with the scroll bar
    // below them when the columns are wider than the view.
    int RowsHeight() const;
    // As tall as its rows, but not taller than `most` pixels (0: no bound),
    // beyond which it scrolls; kept so as the texts, the font and the width change.
    void SetMostHeight(int most);
    void FitHeight();
    // Every column as wide as its widest text, heading included.
    void FitColumns();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

private:
    // The first column's copy over the view's left edge, shown while the
    // table has more than one column.
    void PlaceFrozenColumn();

    QTableView* frozen_;
    std::function<bool()> copyCheck_;
    int mostHeight_ = 0;
};

}  // namespace morvane
