#pragma once
// What a window keeps of one of its file dialogs between two uses: the title it
// was last given and the file name it offers next.

#include <QString>

namespace morvane::widgets {

struct DialogState {
    QString title;
    QString fileName;
};

}  // namespace morvane::widgets
