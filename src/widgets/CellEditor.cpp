#include "widgets/CellEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QValidator>

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

QList<QStringList> PastedValues(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineBreak);
    if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
    QList<QStringList> values;
    values.reserve(lines.size());
    for (const QString& line : lines) values.append(line.split(QLatin1Char('\t')));
    return values;
}

bool IsBlock(const QList<QStringList>& values) {
    return values.size() > 1 || (values.size() == 1 && values.front().size() > 1);
}

CellEditor::CellEditor(QWidget* parent) : QLineEdit(parent) {
    setValidator(new NoLineEnds(this));
}

void CellEditor::Insert(const QString& text) {
    const QList<QStringList> values = PastedValues(text);
    if (IsBlock(values))
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

void CellEditor::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        CopyCell();
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
    // The menu's paste is the same paste as the key's. The menu's action is
    // known by its connection to QLineEdit::paste, which Qt makes by name in
    // some versions and by function pointer in others.
    for (QAction* action : menu->actions()) {
        const bool byPointer = disconnect(action, &QAction::triggered, this, &QLineEdit::paste);
        const bool byName = !byPointer && disconnect(action, SIGNAL(triggered()), this, SLOT(paste()));
        if (byPointer || byName) connect(action, &QAction::triggered, this, &CellEditor::PasteClipboard);
    }
    menu->popup(event->globalPos());
}

void CellEditor::dropEvent(QDropEvent* event) {
    if (!isReadOnly() && event->mimeData()->hasText() && IsBlock(PastedValues(event->mimeData()->text()))) {
        event->acceptProposedAction();
        emit blockPasted(event->mimeData()->text());
        return;
    }
    QLineEdit::dropEvent(event);
}

}  // namespace morvane::widgets
