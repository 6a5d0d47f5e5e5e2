#include "widgets/FormWindow.h"

#include "qttext/Fonts.h"
#include "widgets/Commands.h"

namespace morvane::widgets {

FormWindow::FormWindow(QWidget* parent, Qt::WindowFlags flags, StudyStore& store, const Seams& seams,
                       char decimalSeparator)
    : QWidget(parent, flags), store_(store), seams_(seams), decimalSeparator_(decimalSeparator) {}

void FormWindow::Place() {
    move(200, 107);
    setFont(qttext::CharacterFont(Face::PGothic, 12));
}

void FormWindow::Run(const std::function<void()>& command) {
    RunCommand(*seams_.messages, this, command);
}

}  // namespace morvane::widgets
