#pragma once
// A one-line box that takes one value. Whatever brings text in as a paste (the
// paste key, the context menu, a drop, the selection's paste under X) brings
// the first value of the first line only, read as a grid's paste reads a block
// (PastedValues), so that no tab or line break copied with it stays in the box.

#include <QLineEdit>
#include <QString>

namespace morvane::widgets {

class OneLineEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit OneLineEdit(QWidget* parent = nullptr);

    // The clipboard's first value, at the cursor (replacing the selected text).
    void PasteClipboard();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The first value of the first line of a pasted text, up to any line break it holds.
QString FirstPastedValue(const QString& text);

}  // namespace morvane::widgets
