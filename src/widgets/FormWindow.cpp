#include "widgets/FormWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "qttext/Fonts.h"
#include "widgets/Commands.h"
#include "widgets/StringGrid.h"

namespace morvane::widgets {

FormWindow::FormWindow(QWidget* parent, Qt::WindowFlags flags, StudyStore& store, const Seams& seams,
                       char decimalSeparator)
    : QWidget(parent, flags), store_(store), seams_(seams), decimalSeparator_(decimalSeparator) {}

QFont FormWindow::WindowFont() {
    return qttext::CharacterFont(Face::PGothic, 12);
}

QString PasteLeftOutText(int outside, int withLineBreaks) {
    if (withLineBreaks == 0)
        return QCoreApplication::translate("morvane::widgets::FormWindow",
                                           "表の外にはみ出した %1 個の値は貼り付けませんでした")
            .arg(outside);
    if (outside == 0)
        return QCoreApplication::translate("morvane::widgets::FormWindow",
                                           "改行やタブを含む %1 個の値は貼り付けませんでした")
            .arg(withLineBreaks);
    return QCoreApplication::translate(
               "morvane::widgets::FormWindow",
               "表の外にはみ出した %1 個の値と改行やタブを含む %2 個の値は貼り付けませんでした")
        .arg(outside)
        .arg(withLineBreaks);
}

void FormWindow::Place() {
    move(200, 107);
    setFont(WindowFont());
    // Shrinking the window stops where its controls end.
    const QRect controls = childrenRect();
    setMinimumSize(std::max(0, controls.x() + controls.width()),
                   std::max(0, controls.y() + controls.height()));
    for (QPushButton* button : findChildren<QPushButton*>()) button->installEventFilter(this);
    for (StringGrid* grid : findChildren<StringGrid*>())
        connect(grid, &StringGrid::pasteLeftOut, this, [this](int outside, int withLineBreaks) {
            seams_.messages->ShowWarning(this, PasteLeftOutText(outside, withLineBreaks));
        });
}

bool FormWindow::eventFilter(QObject* object, QEvent* event) {
    // Enter or Return on a focused push button presses it.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
            if (auto* button = qobject_cast<QPushButton*>(object); button != nullptr && button->isEnabled()) {
                if (!key->isAutoRepeat()) button->click();
                return true;
            }
    }
    return QWidget::eventFilter(object, event);
}

bool FormWindow::Run(const std::function<void()>& command) {
    return RunCommand(*seams_.messages, this, command);
}

}  // namespace morvane::widgets
