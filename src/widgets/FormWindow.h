#pragma once
// What the program's two windows share: their generated form, built on the
// window and held privately, the place and font they open with, the study and
// seams they work on, and the edge their commands run inside. A window cannot
// be made smaller than the extent of its controls, Enter presses a focused push
// button as Space does, and what a paste into one of its grids left out is told.

#include <QWidget>
#include <functional>
#include <memory>

#include "widgets/Seams.h"

namespace morvane {
struct StudyStore;
}

namespace morvane::widgets {

class FormWindow : public QWidget {
    Q_OBJECT

public:
    // The face of the windows and of the boxes they show.
    static QFont WindowFont();

protected:
    FormWindow(QWidget* parent, Qt::WindowFlags flags, StudyStore& store, const Seams& seams,
               char decimalSeparator);

    // Builds the generated form `Form` on this window and gives the window its
    // opening place and font, which the form's own font does not override.
    template <class Form>
    std::unique_ptr<Form> BuildForm() {
        auto form = std::make_unique<Form>();
        form->setupUi(this);
        Place();
        return form;
    }

    // Runs a command of the window; a failure is shown in the message box.
    // Returns whether the command ran to its end.
    bool Run(const std::function<void()>& command);

    bool eventFilter(QObject* object, QEvent* event) override;

    StudyStore& store_;
    Seams seams_;
    char decimalSeparator_;

private:
    void Place();
};

// What the message box says when a paste left out `outside` values that fell
// outside the grid and `withLineBreaks` values that held a line break or a tab.
QString PasteLeftOutText(int outside, int withLineBreaks = 0);

}  // namespace morvane::widgets
