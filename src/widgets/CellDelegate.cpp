#include "widgets/CellDelegate.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "widgets/CellEditor.h"
#include "widgets/StringGridModel.h"

namespace morvane::widgets {

CellDelegate::CellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                    const QModelIndex& index) const {
    auto* editor = new CellEditor(parent);
    editor->setFrame(false);
    editor->setObjectName(QStringLiteral("CellEditor"));
    connect(editor, &CellEditor::moveRequested, this, &CellDelegate::moveRequested);
    connect(editor, &CellEditor::blockPasted, this, &CellDelegate::blockPasted);
    connect(editor, &CellEditor::undoRequested, this, &CellDelegate::undoRequested);
    connect(editor, &CellEditor::redoRequested, this, &CellDelegate::redoRequested);
    editor->LeaveUndoToWindow(steps_);
    const QPersistentModelIndex cell(index);
    connect(editor, &QLineEdit::textEdited, this, [this, cell](const QString& text) {
        if (!cell.isValid()) return;
        emit const_cast<CellDelegate*>(this)->aboutToEdit(cell);
        committing_ = true;
        const_cast<QAbstractItemModel*>(cell.model())->setData(cell, text, Qt::EditRole);
        committing_ = false;
    });
    return editor;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (committing_) return;
    auto* line = static_cast<QLineEdit*>(editor);
    line->setText(index.data(Qt::EditRole).toString());
    line->selectAll();
}

void CellDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const {}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (StringGridModel::IsFixed(index.column(), index.row())) {
        // Headings: enabled text on the button face, like the frame of the grid.
        option->state |= QStyle::State_Enabled;
        option->backgroundBrush = option->palette.button();
        option->palette.setCurrentColorGroup(QPalette::Active);
    }
}

bool CellDelegate::eventFilter(QObject* object, QEvent* event) {
    // The tab key leaves the grid for the next control, as it does from any
    // other control; it does not walk the cells.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            emit tabbedOut(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        // Enter is the editor's own: it moves to the cell below.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return false;
    }
    // A click beside the cells (a heading) gives the grid the focus for a
    // moment; the editor stays open and the grid hands the focus back to it.
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
        auto* editor = qobject_cast<QWidget*>(object);
        QWidget* viewport = editor != nullptr ? editor->parentWidget() : nullptr;
        if (viewport != nullptr && QApplication::focusWidget() == viewport->parentWidget()) return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

}  // namespace morvane::widgets
