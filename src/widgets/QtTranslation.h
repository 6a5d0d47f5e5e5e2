#pragma once
// Qt's own Japanese texts (the buttons of the message boxes, the file
// dialogs), whatever the user's locale, so that no English dialog sits under a
// Japanese title.

class QCoreApplication;

namespace morvane::widgets {

// Installs Qt's Japanese translation on `application`; false, with a warning
// on standard error, when it is not installed on this system.
bool InstallJapaneseQtTranslation(QCoreApplication& application);

}  // namespace morvane::widgets
