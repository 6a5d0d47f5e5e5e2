#include "widgets/StringGrid.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <climits>

#include "qttext/Text.h"
#include "widgets/CellDelegate.h"
#include "widgets/CellEditor.h"

namespace morvane::widgets {
namespace {

constexpr int kDefaultColWidth = 64;
constexpr int kDefaultRowHeight = 24;

// The length of the code page 932 character at `bytes[i]`: two for a lead byte
// with a byte after it.
std::size_t CharLength(const std::string& bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    return isLead && i + 1 < bytes.size() ? 2 : 1;
}

}  // namespace

// The heading row (or column) of a StringGrid: Qt's header in the place of
// the grid's row 0 (column 0), drawn as those cells. It takes no click.
class HeadingBar final : public QHeaderView {
public:
    HeadingBar(Qt::Orientation orientation, StringGrid* grid) : QHeaderView(orientation, grid), grid_(grid) {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        setMinimumSectionSize(1);
        setFocusPolicy(Qt::NoFocus);
    }

    QSize sizeHint() const override {
        return orientation() == Qt::Horizontal ? QSize(length(), grid_->headingHeight_)
                                               : QSize(grid_->headingWidth_, length());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QHeaderView::paintEvent(event);
        // Beyond the last heading the strip is as empty as the cell area.
        const int last = logicalIndex(count() - 1);
        const int end =
            count() > 0 && !isSectionHidden(last) ? sectionViewportPosition(last) + sectionSize(last) : 0;
        const QRect rest = orientation() == Qt::Horizontal ? QRect(end, 0, width() - end, height())
                                                           : QRect(0, end, width(), height() - end);
        if (rest.isEmpty()) return;
        QPainter painter(viewport());
        painter.fillRect(rest, palette().base());
    }

    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
        if (orientation() == Qt::Horizontal)
            grid_->PaintHeading(*painter, rect, logicalIndex, 0);
        else
            grid_->PaintHeading(*painter, rect, 0, logicalIndex);
    }

    bool viewportEvent(QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return QHeaderView::viewportEvent(event);
        const auto* help = static_cast<QHelpEvent*>(event);
        const bool across = orientation() == Qt::Horizontal;
        const int section = logicalIndexAt(across ? help->pos().x() : help->pos().y());
        const int at = sectionViewportPosition(section), size = sectionSize(section);
        const QRect area = across ? QRect(at, 0, size, height()) : QRect(0, at, width(), size);
        grid_->ShowTip(help->globalPos(), across ? section : 0, across ? 0 : section, viewport(), area);
        return true;
    }

private:
    StringGrid* grid_;
};

StringGrid::StringGrid(QWidget* parent)
    : QTableView(parent),
      delegate_(new CellDelegate(this)),
      top_(new HeadingBar(Qt::Horizontal, this)),
      left_(new HeadingBar(Qt::Vertical, this)),
      headingWidthSet_(kDefaultColWidth),
      headingWidth_(kDefaultColWidth),
      headingHeight_(kDefaultRowHeight) {
    setHorizontalHeader(top_);
    setVerticalHeader(left_);
    setModel(&model_);
    setItemDelegate(delegate_);
    connect(delegate_, &CellDelegate::tabbedOut, this, &StringGrid::FocusNeighbour);
    connect(delegate_, &CellDelegate::moveRequested, this, &StringGrid::MoveCurrent);
    connect(delegate_, &CellDelegate::blockPasted, this, &StringGrid::PasteBlock);
    connect(delegate_, &CellDelegate::undoRequested, this, &StringGrid::undoRequested);
    connect(delegate_, &CellDelegate::redoRequested, this, &StringGrid::redoRequested);
    connect(delegate_, &CellDelegate::aboutToEdit, this, &StringGrid::NoteEdit);

    // Row 0 and column 0 are cells of the model, shown by the headers instead
    // of among the cells, so that they stay when the cells scroll.
    const auto hideHeadings = [this] {
        if (model_.ColCount() > 0 && !isColumnHidden(0)) setColumnHidden(0, true);
        if (model_.RowCount() > 0 && !isRowHidden(0)) setRowHidden(0, true);
    };
    connect(&model_, &QAbstractItemModel::columnsInserted, this, hideHeadings);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, hideHeadings);
    connect(&model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex&) {
                if (from.column() == 0) FitHeadingColumn();
                if (from.row() == 0 || from.column() == 0) top_->viewport()->update();
                if (from.column() == 0) left_->viewport()->update();
                if (corner_ != nullptr && from.row() == 0 && from.column() == 0) corner_->update();
            });
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &StringGrid::FitHeadingColumn);

    top_->setDefaultSectionSize(kDefaultColWidth);
    left_->setDefaultSectionSize(kDefaultRowHeight);
    // The corner shows cell (0, 0); clicking it selects nothing.
    setCornerButtonEnabled(false);
    for (auto* button : findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly)) {
        corner_ = button;
        corner_->installEventFilter(this);
    }
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setFocusPolicy(Qt::StrongFocus);
}

void StringGrid::SelectCell(int col, int row) {
    const QModelIndex cell = model_.index(row, col);
    if (!cell.isValid()) return;
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
}

int StringGrid::ColWidth(int col) const {
    return col == 0 ? headingWidth_ : columnWidth(col);
}

void StringGrid::SetColWidth(int col, int width) {
    if (col != 0) {
        setColumnWidth(col, width);
        return;
    }
    headingWidthSet_ = width;
    FitHeadingColumn();
}

int StringGrid::TextMargin() const {
    // What the style leaves on each side of a cell's text.
    return style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
}

int StringGrid::TextWidth(const std::string& bytes) const {
    // Measured character by character, each measured once per font, so that
    // fitting a column of many thousand headings converts none of them.
    if (charWidths_.empty()) charWidths_.assign(0x10000, -1);
    int width = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = CharLength(bytes, i);
        const unsigned first = static_cast<unsigned char>(bytes[i]);
        const unsigned code = length == 2 ? (first << 8U) | static_cast<unsigned char>(bytes[i + 1]) : first;
        int& known = charWidths_[code];
        if (known < 0) known = fontMetrics().horizontalAdvance(qttext::FromCp932(bytes.substr(i, length)));
        width += known;
        i += length;
    }
    return width;
}

void StringGrid::FitHeadingColumn() {
    int widest = 0;
    for (int row = 0; row < model_.RowCount(); ++row)
        widest = std::max(widest, TextWidth(model_.Cell(0, row)));
    // Room for the text's margins and the cell's line.
    const int width = std::max(headingWidthSet_, widest > 0 ? widest + 2 * TextMargin() + 1 : 0);
    if (width == headingWidth_) return;
    headingWidth_ = width;
    updateGeometries();
    left_->viewport()->update();
}

void StringGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        charWidths_.clear();
        FitHeadingColumn();
    }
}

QRect StringGrid::CellRect(int col, int row) const {
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return {};
    // A rectangle of `area` in the grid's coordinates, cut to what `area` shows.
    const auto inGrid = [this](const QWidget* area, const QRect& rect) {
        const QPoint origin = area->mapTo(this, QPoint(0, 0));
        return rect.translated(origin).intersected(QRect(origin, area->size()));
    };
    if (col == 0 && row == 0)
        return corner_ != nullptr && corner_->isVisible() ? corner_->geometry() : QRect();
    if (row == 0)
        return inGrid(top_->viewport(), QRect(top_->sectionViewportPosition(col), 0, top_->sectionSize(col),
                                              top_->viewport()->height()));
    if (col == 0)
        return inGrid(left_->viewport(), QRect(0, left_->sectionViewportPosition(row),
                                               left_->viewport()->width(), left_->sectionSize(row)));
    return inGrid(viewport(), visualRect(model_.index(row, col)));
}

QString StringGrid::ClippedText(int col, int row) const {
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return {};
    const std::string& bytes = model_.Cell(col, row);
    if (bytes.empty()) return {};
    const QString text = qttext::FromCp932(bytes);
    const int room = ColWidth(col) - 1 - 2 * TextMargin();
    return fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

void StringGrid::ShowTip(const QPoint& global, int col, int row, QWidget* over, const QRect& area) const {
    const QString text = ClippedText(col, row);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(global, text, over, area);
}

void StringGrid::PaintHeading(QPainter& painter, const QRect& rect, int col, int row) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    // As the cells are drawn: the text inside, the grid's lines on the right
    // and at the bottom.
    option.rect = rect.adjusted(0, 0, -1, -1);
    painter.save();
    delegate_->paint(&painter, option, model_.index(row, col));
    const auto lineColour =
        static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this));
    painter.setPen(QPen(QColor::fromRgba(lineColour), 0, gridStyle()));
    painter.drawLine(rect.topRight(), rect.bottomRight());
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.restore();
}

bool StringGrid::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex cell = indexAt(help->pos());
    if (cell.isValid())
        ShowTip(help->globalPos(), cell.column(), cell.row(), viewport(), visualRect(cell));
    else
        QToolTip::hideText();
    return true;
}

bool StringGrid::eventFilter(QObject* object, QEvent* event) {
    if (object == corner_ && corner_ != nullptr) {
        if (event->type() == QEvent::Paint) {
            QPainter painter(corner_);
            PaintHeading(painter, corner_->rect(), 0, 0);
            return true;
        }
        if (event->type() == QEvent::ToolTip) {
            ShowTip(static_cast<QHelpEvent*>(event)->globalPos(), 0, 0, corner_, corner_->rect());
            return true;
        }
    }
    return QTableView::eventFilter(object, event);
}

void StringGrid::OpenEditor() {
    const QModelIndex cell = currentIndex();
    if (cell.isValid() && state() != QAbstractItemView::EditingState) edit(cell);
}

void StringGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    // A click that reaches the grid beside its cells (on a heading, say) hands
    // the focus back to the open editor, its text and selection untouched;
    // the editor kept itself open for that (CellDelegate).
    if (event->reason() == Qt::MouseFocusReason)
        if (QWidget* editor = indexWidget(currentIndex())) {
            editor->setFocus(Qt::MouseFocusReason);
            return;
        }
    OpenEditor();
}

void StringGrid::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    // A click on the current cell beside its editor arrives in it anew.
    if (indexAt(event->position().toPoint()) != currentIndex()) return;
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(currentIndex()))) {
        editor->setFocus(Qt::MouseFocusReason);
        editor->selectAll();
    }
}

void StringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    CommitEdit();
    QTableView::currentChanged(current, previous);
    if (hasFocus()) OpenEditor();
}

void StringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // When the window loses activation while a cell is being edited, the grid
    // keeps the window's focus, so that the editor opens again when it returns.
    const bool heldWindowFocus =
        editor != nullptr && window()->focusWidget() == editor && !editor->hasFocus();
    QTableView::closeEditor(editor, hint);
    CommitEdit();
    if (heldWindowFocus) setFocus(Qt::OtherFocusReason);
}

void StringGrid::NoteEdit(const QModelIndex& cell) {
    if (typing_ && (typing_->col != cell.column() || typing_->row != cell.row())) CommitEdit();
    if (!typing_) typing_ = CellChange{cell.column(), cell.row(), model_.Cell(cell.column(), cell.row()), {}};
}

void StringGrid::CommitEdit() {
    if (!typing_) return;
    CellChange change = std::move(*typing_);
    typing_.reset();
    if (change.col >= ColCount() || change.row >= RowCount()) return;
    change.after = model_.Cell(change.col, change.row);
    if (change.after != change.before) emit edited({std::move(change)});
}

void StringGrid::LeaveUndoToWindow(const QUndoStack* steps) {
    delegate_->LeaveUndoToWindow(steps);
}

void StringGrid::FocusNeighbour(bool next) {
    // Walk the focus chain from the grid, skipping the grid's own editor.
    for (QWidget* w = next ? nextInFocusChain() : previousInFocusChain(); w != nullptr && w != this;
         w = next ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (isAncestorOf(w) || w->window() != window()) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void StringGrid::MoveCurrent(int cols, int rows) {
    const int col = Col() + cols, row = Row() + rows;
    if (Col() >= 0 && col < ColCount() && row < RowCount() && !StringGridModel::IsFixed(col, row)) {
        SelectCell(col, row);
        return;
    }
    // Nowhere to go: the text is selected again, as on arriving.
    if (auto* editor = qobject_cast<QLineEdit*>(indexWidget(currentIndex()))) editor->selectAll();
}

void StringGrid::PasteBlock(const QString& text) {
    const QModelIndex start = currentIndex();
    if (!start.isValid()) return;
    CommitEdit();
    const QList<QStringList> values = PastedValues(text);
    long long outside = 0, withLineBreaks = 0;
    CellChanges changes;
    for (qsizetype i = 0; i < values.size(); ++i)
        for (qsizetype j = 0; j < values[i].size(); ++j) {
            const qsizetype col = start.column() + j, row = start.row() + i;
            if (col >= ColCount() || row >= RowCount()) {
                ++outside;
                continue;
            }
            if (HoldsTabOrLineBreak(values[i][j])) {
                ++withLineBreaks;
                continue;
            }
            const int c = static_cast<int>(col), r = static_cast<int>(row);
            std::string before = model_.Cell(c, r);
            model_.setData(model_.index(r, c), values[i][j], Qt::EditRole);
            if (model_.Cell(c, r) != before) changes.push_back({c, r, std::move(before), model_.Cell(c, r)});
        }
    if (!changes.empty()) emit edited(changes);
    const auto count = [](long long n) { return static_cast<int>(std::min<long long>(n, INT_MAX)); };
    if (outside > 0 || withLineBreaks > 0) emit pasteLeftOut(count(outside), count(withLineBreaks));
}

}  // namespace morvane::widgets
