#pragma once
// The choice of a file that a command writes: a file that exists is replaced
// only when it is one the command itself wrote or read as its own, or when the
// user says so.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "widgets/Seams.h"

namespace morvane::widgets {

// The files a command counts as its own: replaced without a question.
class OwnFiles {
public:
    // `path` (any spelling of it) is the command's own from now on.
    void Add(const QString& path);
    // Only `path` is the command's own.
    void SetOnly(const QString& path);
    bool Holds(const QString& path) const;

private:
    QStringList paths_;  // as Identity gives them
};

// The dialog of a command: the chosen name, or nothing when cancelled; it
// starts with `start`.
using FileDialog = std::function<std::optional<QString>(const QString& start)>;

// Runs `dialog` from `start` until it gives a name that may be written: a name
// of a file that exists and is not one of `own` asks "NAME は既に存在します。
// 置き換えますか?" (AskToReplace); いいえ runs the dialog again, starting with
// that name. Nothing (cancelled, or an empty name) ends the command.
std::optional<QString> ChooseFileToWrite(MessageBoxes& messages, QWidget* parent, const OwnFiles& own,
                                         const FileDialog& dialog, const QString& start);

// The types of the dialogs that save and load a study: data files
// ("*.dat") first, then every file.
QStringList DataFileFilters();

// The question before `path` is replaced.
QString ReplaceQuestion(const QString& path);

}  // namespace morvane::widgets
