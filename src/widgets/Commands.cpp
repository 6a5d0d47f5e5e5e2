#include "widgets/Commands.h"

#include <new>

#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "widgets/EnglishMessages.h"
#include "widgets/QtTranslation.h"

namespace morvane::widgets {

QString MessageText(const Error& error) {
    // The windows in English say the fixed texts in English; one they do not know stays Japanese.
    if (WindowsInEnglish()) {
        const QString english = EnglishMessage(qttext::FromCp932(error.message()));
        if (!english.isEmpty()) return english;
    }
    return qttext::FromCp932(messages::WithFullStop(error.message()));
}

QString CoreMessage(std::string_view messageCp932) {
    const QString japanese = qttext::FromCp932(messageCp932);
    if (!WindowsInEnglish()) return japanese;
    const QString english = EnglishMessage(japanese);
    return english.isEmpty() ? japanese : english;
}

bool RunCommand(MessageBoxes& messages, QWidget* parent, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const Error& error) {
        messages.ShowError(parent, MessageText(error));
    } catch (const std::bad_alloc&) {
        messages.ShowError(parent, MessageText(OutOfMemoryError()));
    } catch (const std::exception& error) {
        // Not one of the program's own errors: its text as the library gave it.
        messages.ShowError(parent, QString::fromUtf8(error.what()));
    }
    return false;
}

}  // namespace morvane::widgets
