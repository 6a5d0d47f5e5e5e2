#pragma once
// The line edit that opens on a grid cell. It never holds a line end: a text
// of several values (tabs or line breaks, as a block copied from a spreadsheet)
// is handed to the grid to fill the cells from this one on, and any other way
// a line end could come in (a drop, the context menu, the selection's paste)
// loses it. At the start and the end of its text the arrow keys and Enter move
// to the next cell. Undo and redo may be left to the window, whose steps span
// the whole grid.

#include <QLineEdit>
#include <QList>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QUndoStack;

namespace morvane::widgets {

class CellEditor final : public QLineEdit {
    Q_OBJECT

public:
    explicit CellEditor(QWidget* parent);

    // The clipboard's text: one value goes in at the cursor, several (or one
    // that holds a line break or tab) go to the grid by `blockPasted`.
    void PasteClipboard();
    // Puts the cell's whole text on the clipboard, or the part of it that the
    // user has selected.
    void CopyCell();

    // Given the window's `steps`, the undo and redo keys are not the line
    // edit's: they reach the window's shortcuts, and the context menu's undo
    // and redo ask for them by `undoRequested` and `redoRequested`, enabled as
    // the steps allow (undo also for what was typed here and not yet a step).
    void LeaveUndoToWindow(const QUndoStack* steps) { steps_ = steps; }

signals:
    // The user asks to move the current cell by (cols, rows).
    void moveRequested(int cols, int rows);
    // A text of several values was pasted or dropped.
    void blockPasted(const QString& text);
    void undoRequested();
    void redoRequested();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The first click in the editor, before anything was typed, leaves the
    // whole text selected, so that typing replaces it as in a cell arrived at
    // by a click; later clicks place the caret.
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Whether the caret stands at the start (or the end) of the text; a text
    // selected as a whole, as on arriving in the cell, counts as both.
    bool AtStart() const;
    bool AtEnd() const;
    void Insert(const QString& text);

    const QUndoStack* steps_ = nullptr;
    bool clicked_ = false;
};

// The values of a pasted text, line by line, read as spreadsheets write tabbed
// text: lines end at CR LF, LF or CR (a line break at the very end ends the
// last line), values are split at tabs, and a value that starts with a double
// quote runs to the matching quote, holding tabs, line breaks and doubled
// quotes (each one quote). A quote with no match is an ordinary character, as
// is any quote inside a value; what follows the closing quote up to the next
// tab or line break belongs to the value.
QList<QStringList> PastedValues(const QString& text);

// Whether a pasted text is more than the one value of a single cell.
bool IsBlock(const QList<QStringList>& values);

// Whether a value holds a CR, LF or tab, which no score can hold (a quoted
// value of a paste may).
bool HoldsTabOrLineBreak(const QString& value);

// Whether `event` is one of the undo and redo keys (Ctrl+Z; Ctrl+Shift+Z, Ctrl+Y).
bool IsUndoKey(const QKeyEvent& event);
bool IsRedoKey(const QKeyEvent& event);

// Reroutes the actions of a line edit's standard context menu that are
// connected to `slot` (SLOT(...) of the same, `slotName`, for the versions of
// Qt that connect by name) to `target`; returns those actions.
QList<QAction*> RerouteMenuAction(QMenu& menu, QLineEdit* edit, void (QLineEdit::*slot)(),
                                  const char* slotName, const std::function<void()>& target);

}  // namespace morvane::widgets
