#include "widgets/StringGrid.h"

#include <QFocusEvent>
#include <QHeaderView>

#include "widgets/CellDelegate.h"

namespace morvane::widgets {
namespace {

constexpr int kDefaultColWidth = 64;
constexpr int kDefaultRowHeight = 24;

}  // namespace

StringGrid::StringGrid(QWidget* parent) : QTableView(parent), delegate_(new CellDelegate(this)) {
    setModel(&model_);
    setItemDelegate(delegate_);
    connect(delegate_, &CellDelegate::tabbedOut, this, &StringGrid::FocusNeighbour);
    // The headings are cells of row 0 and column 0; Qt's own headers stay hidden.
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(kDefaultColWidth);
    verticalHeader()->setDefaultSectionSize(kDefaultRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
}

void StringGrid::SelectCell(int col, int row) {
    const QModelIndex cell = model_.index(row, col);
    if (!cell.isValid()) return;
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect);
}

void StringGrid::OpenEditor() {
    const QModelIndex cell = currentIndex();
    if (cell.isValid() && state() != QAbstractItemView::EditingState) edit(cell);
}

void StringGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    OpenEditor();
}

void StringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (hasFocus()) OpenEditor();
}

void StringGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // When the window loses activation while a cell is being edited, the grid
    // keeps the window's focus, so that the editor opens again when it returns.
    const bool heldWindowFocus =
        editor != nullptr && window()->focusWidget() == editor && !editor->hasFocus();
    QTableView::closeEditor(editor, hint);
    if (heldWindowFocus) setFocus(Qt::OtherFocusReason);
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

}  // namespace morvane::widgets
