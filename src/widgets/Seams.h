#pragma once
// What the windows ask of the outside world, behind small interfaces, so that
// tests can answer the dialogs, read the messages and stand in for the printer.

#include <QStringList>
#include <optional>

#include "listing/ListingPrinter.h"

class QWidget;

namespace morvane {
class RecoveryFile;
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
    // Open's and Save's dialogs offering the file types of `nameFilters`
    // ("データファイル (*.dat)", "すべてのファイル (*)"), the first chosen; a
    // name is taken as typed, whatever type is chosen.
    virtual std::optional<QString> OpenFiltered(QWidget* parent, const QString& title,
                                                const QString& fileName, const QStringList& nameFilters) {
        (void)nameFilters;
        return Open(parent, title, fileName);
    }
    virtual std::optional<QString> SaveFiltered(QWidget* parent, const QString& title,
                                                const QString& fileName, const QStringList& nameFilters) {
        (void)nameFilters;
        return Save(parent, title, fileName);
    }
    // A save-file dialog that offers the file types of `nameFilters` ("CSV (*.csv)"):
    // a name typed without a suffix takes the chosen type's. Save's dialog unless
    // a dialog does better.
    virtual std::optional<QString> SaveAs(QWidget* parent, const QString& title, const QString& fileName,
                                          const QStringList& nameFilters) {
        (void)nameFilters;
        return Save(parent, title, fileName);
    }
};

// The answer to the question before unsaved scores go.
enum class SaveAnswer { Save, Discard, Cancel };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows `text` in a modal box captioned "PMorvane" with the error icon and
    // an OK button.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
    // The same box with the warning icon, for what the user should know of a
    // command that went through.
    virtual void ShowWarning(QWidget* parent, const QString& text) = 0;
    // Shows `text` in a modal box captioned "PMorvane" with the information icon
    // and an OK button.
    virtual void ShowInformation(QWidget* parent, const QString& text) = 0;
    // Asks `question` in a modal box captioned "PMorvane" with the buttons
    // 保存, 保存しない and キャンセル; Escape or the box's frame is キャンセル.
    virtual SaveAnswer AskToSave(QWidget* parent, const QString& question) = 0;
    // Asks `question` in the same box with the buttons はい and いいえ; Escape
    // or the box's frame is いいえ. Returns whether the answer is はい.
    virtual bool AskYesNo(QWidget* parent, const QString& question) = 0;
    // Asks before a command replaces a file that is not its own: the box of
    // AskYesNo, with いいえ the default button. Returns whether the answer is はい.
    virtual bool AskToReplace(QWidget* parent, const QString& question) { return AskYesNo(parent, question); }
};

// The printer of the score listing, a seam of the core.
using ListingPrinter = morvane::ListingPrinter;

// The seams a window is created with; they outlive the window.
struct Seams {
    FileDialogs* dialogs = nullptr;
    MessageBoxes* messages = nullptr;
    ListingPrinter* printer = nullptr;
    // Where the data window keeps a study with unsaved changes against a
    // crash; none keeps nothing.
    RecoveryFile* recovery = nullptr;
};

}  // namespace morvane::widgets
