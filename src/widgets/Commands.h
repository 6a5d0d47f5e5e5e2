#pragma once
// The edge of every window command: a failure ends the command and is shown to
// the user in the error message box; nothing is swallowed.

#include <QString>
#include <functional>
#include <string_view>

#include "widgets/Seams.h"

namespace morvane {
class Error;
}

namespace morvane::widgets {

// The text the message box shows for `error`: its message with the full-stop
// rule, in English (EnglishMessage) when the windows are.
QString MessageText(const Error& error);
// A message of the core (code page 932) shown in a sentence or a box of its
// own: in English when the windows are and the text is one EnglishMessage
// knows, else as it is.
QString CoreMessage(std::string_view messageCp932);

// Runs `command`; an exception it raises ends it and its message is shown
// through `messages`. Returns whether the command ran to its end.
bool RunCommand(MessageBoxes& messages, QWidget* parent, const std::function<void()>& command);

}  // namespace morvane::widgets
