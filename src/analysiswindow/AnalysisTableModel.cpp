#include "analysiswindow/AnalysisTableModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace morvane {

AnalysisTableModel::AnalysisTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void AnalysisTableModel::SetTable(const TableText& table) {
    beginResetModel();
    header_.clear();
    rows_.clear();
    numeric_.clear();
    for (const std::string& h : table.header) header_.append(QString::fromStdString(h));
    rows_.reserve(static_cast<qsizetype>(table.rows.size()));
    for (const auto& row : table.rows) {
        QStringList cells;
        for (const std::string& cell : row) cells.append(QString::fromStdString(cell));
        rows_.append(cells);
    }
    for (bool n : table.numeric) numeric_.append(n);
    endResetModel();
}

int AnalysisTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AnalysisTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(header_.size());
}

QVariant AnalysisTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
    const QStringList& row = rows_[index.row()];
    if (role == Qt::DisplayRole) return index.column() < row.size() ? row[index.column()] : QString();
    if (role == Qt::TextAlignmentRole) {
        const bool numeric = index.column() < numeric_.size() && numeric_[index.column()];
        return QVariant::fromValue(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant AnalysisTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= header_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return header_[section];
}

Qt::ItemFlags AnalysisTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString TabSeparated(const QAbstractItemModel& model, const QModelIndexList& selected) {
    if (selected.isEmpty()) return {};
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QModelIndex& i : selected) {
        top = std::min(top, i.row()), bottom = std::max(bottom, i.row());
        left = std::min(left, i.column()), right = std::max(right, i.column());
    }
    const int width = right - left + 1;
    QVector<QStringList> lines(bottom - top + 1, QStringList(width));
    const auto field = [](QString text) {
        for (QChar& c : text)
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        return text;
    };
    for (const QModelIndex& i : selected)
        lines[i.row() - top][i.column() - left] = field(i.data().toString());
    QStringList out;
    if (top == 0 && bottom == model.rowCount() - 1) {
        QStringList header;
        for (int c = left; c <= right; ++c)
            header.append(field(model.headerData(c, Qt::Horizontal).toString()));
        out.append(header.join(QLatin1Char('\t')));
    }
    for (const QStringList& line : lines) out.append(line.join(QLatin1Char('\t')));
    return out.join(QLatin1Char('\n'));
}

AnalysisTableView::AnalysisTableView(QWidget* parent) : QTableView(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    auto* copy = new QAction(QStringLiteral(u"コピー"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &AnalysisTableView::CopySelection);
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AnalysisTableView::CopySelection() {
    if (model() == nullptr || selectionModel() == nullptr) return;
    QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty() && currentIndex().isValid()) selected.append(currentIndex());
    if (selected.isEmpty()) return;
    QApplication::clipboard()->setText(TabSeparated(*model(), selected));
}

void AnalysisTableView::FitRows(int rows) {
    const int shown = std::max(1, rows);
    const int height = horizontalHeader()->sizeHint().height() +
                       shown * verticalHeader()->defaultSectionSize() + 2 * frameWidth() +
                       horizontalScrollBar()->sizeHint().height();
    setMinimumHeight(std::min(height, 4 * verticalHeader()->defaultSectionSize() + 40));
    setMaximumHeight(height);
}

void AnalysisTableView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        CopySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace morvane
