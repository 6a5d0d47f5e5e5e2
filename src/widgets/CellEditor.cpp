#include "widgets/CellEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QUndoStack>
#include <QValidator>
#include <utility>

namespace morvane::widgets {
namespace {

// Takes every CR and LF out of what the line edit is about to hold, whatever
// brought them in, keeping the caret where it was among the other characters.
class NoLineEnds final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        qsizetype kept = 0, caret = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                if (i < pos) --caret;
                continue;
            }
            input[kept++] = c;
        }
        input.truncate(kept);
        pos = static_cast<int>(caret);
        return Acceptable;
    }
};

}  // namespace

namespace {

// The index of the quote that closes a quoted value whose text starts at
// `from`, past any doubled quotes; -1 when there is none.
qsizetype ClosingQuote(const QString& text, qsizetype from) {
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('"')) continue;
        if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
            ++i;
            continue;
        }
        return i;
    }
    return -1;
}

}  // namespace

QList<QStringList> PastedValues(const QString& text) {
    QList<QStringList> lines;
    QStringList line;
    QString value;
    bool valueStarts = true;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = text.at(i);
        if (valueStarts && c == QLatin1Char('"')) {
            if (const qsizetype close = ClosingQuote(text, i + 1); close >= 0) {
                value += text.mid(i + 1, close - i - 1).replace(QStringLiteral("\"\""), QStringLiteral("\""));
                i = close + 1;
                valueStarts = false;
                continue;
            }
        }
        valueStarts = false;
        if (c == QLatin1Char('\t')) {
            line.append(value);
            value.clear();
            valueStarts = true;
            ++i;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            i += c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n') ? 2 : 1;
            line.append(value);
            value.clear();
            lines.append(line);
            line.clear();
            valueStarts = true;
            if (i == size) return lines;  // the line break that ends the last line
        } else {
            value += c;
            ++i;
        }
    }
    line.append(value);
    lines.append(line);
    return lines;
}

bool IsBlock(const QList<QStringList>& values) {
    return values.size() > 1 || (values.size() == 1 && values.front().size() > 1);
}

bool HoldsTabOrLineBreak(const QString& value) {
    return value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n')) ||
           value.contains(QLatin1Char('\t'));
}

bool IsUndoKey(const QKeyEvent& event) {
    return event.keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Z);
}

bool IsRedoKey(const QKeyEvent& event) {
    return event.keyCombination() == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z) ||
           event.keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
}

QList<QAction*> RerouteMenuAction(QMenu& menu, QLineEdit* edit, void (QLineEdit::*slot)(),
                                  const char* slotName, const std::function<void()>& target) {
    // The menu's action is known by its connection to the line edit's slot,
    // which Qt makes by name in some versions and by function pointer in others.
    QList<QAction*> found;
    for (QAction* action : menu.actions()) {
        const bool byPointer = QObject::disconnect(action, &QAction::triggered, edit, slot);
        const bool byName = !byPointer && QObject::disconnect(action, SIGNAL(triggered()), edit, slotName);
        if (!byPointer && !byName) continue;
        QObject::connect(action, &QAction::triggered, edit, target);
        found.append(action);
    }
    return found;
}

CellEditor::CellEditor(QWidget* parent) : QLineEdit(parent) {
    setValidator(new NoLineEnds(this));
}

void CellEditor::Insert(const QString& text) {
    const QList<QStringList> values = PastedValues(text);
    if (IsBlock(values) || (!values.isEmpty() && HoldsTabOrLineBreak(values.front().value(0))))
        emit blockPasted(text);
    else if (!values.isEmpty())
        insert(values.front().value(0));
}

void CellEditor::PasteClipboard() {
    if (isReadOnly()) return;
    Insert(QApplication::clipboard()->text());
}

void CellEditor::CopyCell() {
    const bool part = hasSelectedText() && selectedText() != text();
    QApplication::clipboard()->setText(part ? selectedText() : text());
}

bool CellEditor::AtStart() const {
    if (hasSelectedText()) return selectedText() == text();
    return cursorPosition() == 0;
}

bool CellEditor::AtEnd() const {
    if (hasSelectedText()) return selectedText() == text();
    return cursorPosition() == text().size();
}

bool CellEditor::event(QEvent* event) {
    // Left unclaimed, the undo and redo keys go to the window's shortcuts.
    if (steps_ != nullptr && event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (IsUndoKey(*key) || IsRedoKey(*key)) {
            event->ignore();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CellEditor::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopyCell();
        return;
    }
    if (steps_ != nullptr && (IsUndoKey(*event) || IsRedoKey(*event) || event->matches(QKeySequence::Undo) ||
                              event->matches(QKeySequence::Redo))) {
        event->ignore();  // never the line edit's own undo
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
            case Qt::Key_Left:
                if (!AtStart()) break;
                emit moveRequested(-1, 0);
                return;
            case Qt::Key_Right:
                if (!AtEnd()) break;
                emit moveRequested(1, 0);
                return;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // The cell already holds what was typed: Enter only moves on.
                emit moveRequested(0, 1);
                return;
            default:
                break;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void CellEditor::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's paste is the same paste as the key's.
    RerouteMenuAction(*menu, this, &QLineEdit::paste, SLOT(paste()), [this] { PasteClipboard(); });
    if (steps_ != nullptr) {
        for (QAction* undo :
             RerouteMenuAction(*menu, this, &QLineEdit::undo, SLOT(undo()), [this] { emit undoRequested(); }))
            undo->setEnabled(steps_->canUndo() || isUndoAvailable());
        for (QAction* redo :
             RerouteMenuAction(*menu, this, &QLineEdit::redo, SLOT(redo()), [this] { emit redoRequested(); }))
            redo->setEnabled(steps_->canRedo() && !isUndoAvailable());
    }
    menu->popup(event->globalPos());
}

void CellEditor::dropEvent(QDropEvent* event) {
    if (!isReadOnly() && event->mimeData()->hasText()) {
        const QList<QStringList> values = PastedValues(event->mimeData()->text());
        if (IsBlock(values) || (!values.isEmpty() && HoldsTabOrLineBreak(values.front().value(0)))) {
            event->acceptProposedAction();
            emit blockPasted(event->mimeData()->text());
            return;
        }
    }
    QLineEdit::dropEvent(event);
}

void CellEditor::mousePressEvent(QMouseEvent* event) {
    const bool first = !std::exchange(clicked_, true);
    if (first && event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && !isModified()) {
        setFocus(Qt::MouseFocusReason);
        selectAll();
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void CellEditor::mouseReleaseEvent(QMouseEvent* event) {
    // The selection's paste (the middle button under X) is the same paste as the key's.
    QClipboard* clipboard = QApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !isReadOnly()) {
        deselect();
        Insert(clipboard->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace morvane::widgets
