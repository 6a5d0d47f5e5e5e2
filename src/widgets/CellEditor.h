#pragma once
// The line edit that opens on a grid cell. It never holds a line end: a text
// of several values (tabs or line breaks, as a block copied from a spreadsheet)
// is handed to the grid to fill the cells from this one on, and any other way
// a line end could come in (a drop, the context menu) loses it. At the start
// and the end of its text the arrow keys and Enter move to the next cell.

#include <QLineEdit>
#include <QList>
#include <QStringList>

namespace morvane::widgets {

class CellEditor final : public QLineEdit {
    Q_OBJECT

public:
    explicit CellEditor(QWidget* parent);

    // The clipboard's text: one value goes in at the cursor, several go to
    // the grid by `blockPasted`.
    void PasteClipboard();
    // Puts the cell's whole text on the clipboard, or the part of it that the
    // user has selected.
    void CopyCell();

signals:
    // The user asks to move the current cell by (cols, rows).
    void moveRequested(int cols, int rows);
    // A text of several values was pasted or dropped.
    void blockPasted(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Whether the caret stands at the start (or the end) of the text; a text
    // selected as a whole, as on arriving in the cell, counts as both.
    bool AtStart() const;
    bool AtEnd() const;
    void Insert(const QString& text);
};

// The values of a pasted text, line by line: lines end at CR LF, LF or CR (a
// line break at the very end ends the last line), values are split at tabs.
QList<QStringList> PastedValues(const QString& text);

// Whether a pasted text is more than the one value of a single cell.
bool IsBlock(const QList<QStringList>& values);

}  // namespace morvane::widgets
