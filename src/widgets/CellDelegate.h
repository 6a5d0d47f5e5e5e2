#pragma once
// Draws and edits the cells of a StringGrid. The editor is a CellEditor that
// hands its text to the cell on every change, so a command run while a cell is
// being typed into sees what is on screen; a cell whose editor was only opened
// keeps its bytes.

#include <QStyledItemDelegate>

class QUndoStack;

namespace morvane::widgets {

class CellDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit CellDelegate(QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // The cell already holds the editor's text.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The editors from now on leave undo and redo to the window's `steps` (CellEditor).
    void LeaveUndoToWindow(const QUndoStack* steps) { steps_ = steps; }

signals:
    // The tab key was pressed in the editor: the focus should leave the grid
    // for the next control (or, with `next` false, the one before).
    void tabbedOut(bool next);
    // The editor asks to move the current cell, or to paste a block of values.
    void moveRequested(int cols, int rows);
    void blockPasted(const QString& text);
    void undoRequested();
    void redoRequested();
    // The user's typing is about to change `cell`.
    void aboutToEdit(const QModelIndex& cell);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    // Set while the editor's own change is being stored, so that the cell's
    // change notice does not reset the editor under the user's cursor.
    mutable bool committing_ = false;
    const QUndoStack* steps_ = nullptr;
};

}  // namespace morvane::widgets
