#pragma once
// The seams as the user meets them: Qt's file dialogs and message box, the
// box in the windows' own face.

#include "widgets/Seams.h"

namespace morvane::widgets {

// Non-native dialogs that accept any name, existing or not, and ask nothing
// before a file is replaced (the commands ask, knowing which files are their
// own). Open and Save have no filter; SaveAs gives a name typed without a
// suffix the chosen type's.
class QtFileDialogs final : public FileDialogs {
public:
    std::optional<QString> Open(QWidget* parent, const QString& title, const QString& fileName) override;
    std::optional<QString> Save(QWidget* parent, const QString& title, const QString& fileName) override;
    std::optional<QString> OpenFiltered(QWidget* parent, const QString& title, const QString& fileName,
                                        const QStringList& nameFilters) override;
    std::optional<QString> SaveFiltered(QWidget* parent, const QString& title, const QString& fileName,
                                        const QStringList& nameFilters) override;
    std::optional<QString> SaveAs(QWidget* parent, const QString& title, const QString& fileName,
                                  const QStringList& nameFilters) override;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void ShowError(QWidget* parent, const QString& text) override;
    void ShowWarning(QWidget* parent, const QString& text) override;
    void ShowInformation(QWidget* parent, const QString& text) override;
    // 保存 is the default button.
    SaveAnswer AskToSave(QWidget* parent, const QString& question) override;
    // はい is the default button.
    bool AskYesNo(QWidget* parent, const QString& question) override;
    // いいえ is the default button.
    bool AskToReplace(QWidget* parent, const QString& question) override;
};

}  // namespace morvane::widgets
