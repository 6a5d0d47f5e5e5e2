#include "resultswindow/AnalysisTableModel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
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

AnalysisTableView::AnalysisTableView(QWidget* parent) : QTableView(parent), frozen_(new QTableView(this)) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setTextElideMode(Qt::ElideNone);
    auto* copy = new QAction(tr("コピー"), this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &AnalysisTableView::CopySelection);
    addAction(copy);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // The frozen first column: the same cells, drawn over the view's own.
    frozen_->setObjectName(QStringLiteral("FrozenColumn"));
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    frozen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    frozen_->setAlternatingRowColors(true);
    frozen_->setWordWrap(false);
    frozen_->verticalHeader()->hide();
    frozen_->horizontalHeader()->setHighlightSections(false);
    frozen_->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollMode(verticalScrollMode());
    frozen_->setStyleSheet(
        QStringLiteral("QTableView { border: none; border-right: 1px solid palette(mid); }"));
    frozen_->hide();
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section != 0) return;
        frozen_->setColumnWidth(0, size);
        PlaceFrozenColumn();
    });
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
}

void AnalysisTableView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    frozen_->setModel(model);
    frozen_->setSelectionModel(selectionModel());
    const auto hideOthers = [this] {
        for (int c = 1; c < frozen_->model()->columnCount(); ++c) frozen_->setColumnHidden(c, true);
        PlaceFrozenColumn();
    };
    connect(model, &QAbstractItemModel::modelReset, this, hideOthers);
    connect(model, &QAbstractItemModel::columnsInserted, this, hideOthers);
    hideOthers();
}

void AnalysisTableView::FitColumns() {
    resizeColumnsToContents();
    // The header's own measure leaves a heading's last character on its
    // border in some styles: each heading gets its margins on both sides.
    if (model() != nullptr) {
        const QFontMetrics metrics(horizontalHeader()->font());
        const int margins =
            2 * (style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 2);
        for (int c = 0; c < model()->columnCount(); ++c) {
            const QString heading = model()->headerData(c, Qt::Horizontal).toString();
            const int needed = metrics.horizontalAdvance(heading) + margins;
            if (columnWidth(c) < needed) setColumnWidth(c, needed);
        }
    }
    frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    PlaceFrozenColumn();
    FitHeight();
}

void AnalysisTableView::PlaceFrozenColumn() {
    const bool shown = model() != nullptr && model()->columnCount() > 1;
    frozen_->setVisible(shown);
    if (!shown) return;
    frozen_->setColumnWidth(0, columnWidth(0));
    frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    frozen_->setGeometry(frameWidth(), frameWidth(), columnWidth(0) + 1,
                         viewport()->height() + horizontalHeader()->height());
    frozen_->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void AnalysisTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    PlaceFrozenColumn();
    // A narrower view may need the scroll bar below its rows, a wider one no longer.
    if (event->size().width() != event->oldSize().width()) FitHeight();
}

void AnalysisTableView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    // A new font gives the texts new widths: the headings are never cut.
    if (event->type() == QEvent::FontChange) {
        frozen_->setFont(font());
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        FitColumns();
    }
}

QModelIndex AnalysisTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    // A cell that moves under the frozen column is scrolled out from under it.
    if (cursorAction == MoveLeft && current.column() > 0 &&
        visualRect(current).topLeft().x() < frozen_->columnWidth(0)) {
        const int newValue =
            horizontalScrollBar()->value() + visualRect(current).topLeft().x() - frozen_->columnWidth(0);
        horizontalScrollBar()->setValue(newValue);
    }
    return current;
}

void AnalysisTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (index.column() > 0) QTableView::scrollTo(index, hint);
}

void AnalysisTableView::CopySelection() {
    if (model() == nullptr || selectionModel() == nullptr) return;
    QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty() && currentIndex().isValid()) selected.append(currentIndex());
    if (selected.isEmpty()) return;
    if (copyCheck_ && !copyCheck_()) return;
    QApplication::clipboard()->setText(TabSeparated(*model(), selected));
}

int AnalysisTableView::RowsHeight() const {
    const int rows = std::max(verticalHeader()->length(), verticalHeader()->defaultSectionSize());
    const int header = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->sizeHint().height();
    // The columns need the scroll bar below them when they are wider than the
    // room beside the vertical scroll bar (shown when the rows are cut).
    int room = width() - 2 * frameWidth();
    if (mostHeight_ > 0 && header + rows + 2 * frameWidth() > mostHeight_)
        room -= verticalScrollBar()->sizeHint().width();
    const bool wide = horizontalHeader()->length() > room;
    return header + rows + 2 * frameWidth() + (wide ? horizontalScrollBar()->sizeHint().height() : 0);
}

void AnalysisTableView::SetMostHeight(int most) {
    mostHeight_ = std::max(0, most);
    FitHeight();
}

void AnalysisTableView::FitHeight() {
    int height = RowsHeight();
    // A bound never hides the heading and a few rows.
    if (mostHeight_ > 0)
        height = std::min(height, std::max(mostHeight_, horizontalHeader()->sizeHint().height() +
                                                            4 * verticalHeader()->defaultSectionSize()));
    if (minimumHeight() != height || maximumHeight() != height) setFixedHeight(height);
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
