#pragma once
// One table of the analysis window as a read-only Qt model, and its view:
// cells selectable, Ctrl+C copying the selection as tab-separated text.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <QVector>

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

class AnalysisTableView final : public QTableView {
    Q_OBJECT

public:
    explicit AnalysisTableView(QWidget* parent = nullptr);

    // Puts the selection on the clipboard as TabSeparated gives it.
    void CopySelection();
    // A height that shows the heading and up to `rows` rows without scrolling.
    void FitRows(int rows);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace morvane
