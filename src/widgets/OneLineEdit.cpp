#include "widgets/OneLineEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>

#include "widgets/CellEditor.h"

namespace morvane::widgets {

QString FirstPastedValue(const QString& text) {
    const QList<QStringList> values = PastedValues(text);
    const QString first = values.isEmpty() ? QString() : values.front().value(0);
    const qsizetype lineBreak = first.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return lineBreak < 0 ? first : first.left(lineBreak);
}

OneLineEdit::OneLineEdit(QWidget* parent) : QLineEdit(parent) {}

void OneLineEdit::PasteClipboard() {
    if (isReadOnly()) return;
    insert(FirstPastedValue(QApplication::clipboard()->text()));
}

void OneLineEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void OneLineEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    RerouteMenuAction(*menu, this, &QLineEdit::paste, SLOT(paste()), [this] { PasteClipboard(); });
    menu->popup(event->globalPos());
}

void OneLineEdit::dropEvent(QDropEvent* event) {
    // A text dragged within the box moves as the line edit moves it.
    if (isReadOnly() || !event->mimeData()->hasText() || event->source() == this) {
        QLineEdit::dropEvent(event);
        return;
    }
    // Dropped where the caret is, as the line edit drops a text.
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    insert(FirstPastedValue(event->mimeData()->text()));
    event->acceptProposedAction();
    setFocus(Qt::MouseFocusReason);
}

void OneLineEdit::mouseReleaseEvent(QMouseEvent* event) {
    QClipboard* clipboard = QApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        insert(FirstPastedValue(clipboard->text(QClipboard::Selection)));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace morvane::widgets
