#pragma once
// What the windows ask of the outside world, behind small interfaces, so that
// tests can answer the dialogs, read the messages and stand in for the printer.

#include <optional>

class QString;
class QWidget;

namespace morvane {
struct StudyStore;
}

namespace morvane::widgets {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Runs a modal open-file dialog titled `title` that starts with `fileName`,
    // accepts any name (existing or not) and asks nothing before a file is
    // replaced; the chosen path, or nothing when the user cancels.
    virtual std::optional<QString> Open(QWidget* parent, const QString& title, const QString& fileName) = 0;
    // The same for a save-file dialog.
    virtual std::optional<QString> Save(QWidget* parent, const QString& title, const QString& fileName) = 0;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows `text` in a modal box captioned "PMorvane" with the error icon and
    // an OK button.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
};

class ListingPrinter {
public:
    virtual ~ListingPrinter() = default;
    // Prints the score listing of `store` on the default printer, to its end;
    // throws PrinterError (or InOutError) on failure, leaving no job open.
    virtual void Print(const StudyStore& store) = 0;
};

// The seams a window is created with; they outlive the window.
struct Seams {
    FileDialogs* dialogs = nullptr;
    MessageBoxes* messages = nullptr;
    ListingPrinter* printer = nullptr;
};

}  // namespace morvane::widgets
