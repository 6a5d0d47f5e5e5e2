#pragma once
// Driving the real windows in tests as a user would: showing and activating a
// window, typing into a grid cell, selecting a tab.

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <string>

#include "runtime/Cp932.h"
#include "widgets/StringGrid.h"
#include "widgets/TabStrip.h"

namespace morvane::testing {

// Shows `window` and waits until it is the active window.
inline bool ShowActive(QWidget* window) {
    window->show();
    window->activateWindow();
    // QWindow counts a window as active while its owner is, so wait for the
    // application's own view of it.
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 5000);
}

// The line edit open on the grid's current cell, or null.
inline QLineEdit* CellEditor(widgets::StringGrid* grid) {
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return editor != nullptr && grid->isAncestorOf(editor) ? editor : nullptr;
}

// Types `text` into `widget` one key at a time; a character beyond ASCII
// arrives as a key event carrying it, as an input method delivers it.
inline void TypeText(QWidget* widget, const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80)
            QTest::keyClick(widget, static_cast<char>(c));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                                Qt::NoModifier);
    }
}

// Clicks cell (col, row) of the grid, which gives it the focus and opens the
// editor there, and types `text` key by key, replacing the selected text.
inline void TypeInCell(widgets::StringGrid* grid, int col, int row, const QString& text) {
    const QRect cell = grid->visualRect(grid->Cells().index(row, col));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    if (QLineEdit* editor = CellEditor(grid)) TypeText(editor, text);
}

// Clicks heading cell (col, row) of the grid where it shows.
inline void ClickHeading(widgets::StringGrid* grid, int col, int row) {
    const QPoint at = grid->CellRect(col, row).center();
    QWidget* target = grid->childAt(at);
    if (target == nullptr) target = grid;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(grid, at));
}

// Presses `keys` (such as QKeySequence::Paste) in `widget`.
inline void PressKeys(QWidget* widget, QKeySequence::StandardKey keys) {
    const QKeyCombination combination = QKeySequence(keys)[0];
    QTest::keyClick(widget, combination.key(), combination.keyboardModifiers());
}

// Clicks the tab at `index`, as the user selects a tab.
inline void ClickTab(widgets::TabStrip* tabs, int index) {
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Code page 932 bytes of a UTF-8 literal.
inline std::string Sjis(const char* utf8) {
    return Cp932FromUtf8(utf8);
}

}  // namespace morvane::testing
