#pragma once
// The windows' language chosen inside the program (言語…): 自動 (the locale
// decides), 日本語 or English, remembered in the same setting as the command
// line's --lang. The choice applies from the next start: the open windows keep
// their texts, and nothing typed is lost.

#include <QDialog>
#include <QString>

#include "widgets/Seams.h"

class QRadioButton;

namespace morvane::widgets {

class LanguageDialog final : public QDialog {
    Q_OBJECT

public:
    // The dialog over `parent`, modal to it once opened, showing the choice
    // remembered in the program's settings (ProgramSettings).
    LanguageDialog(QWidget* parent, const Seams& seams);

    // The choice shown: "auto", "ja" or "en".
    QString Choice() const;

    // ＯＫ: the choice remembered, and the dialog closes; when the settings
    // cannot be written the failure is shown and the dialog stays open.
    void accept() override;

private:
    Seams seams_;
    QRadioButton* automatic_ = nullptr;
    QRadioButton* japanese_ = nullptr;
    QRadioButton* english_ = nullptr;
};

// Remembers `choice` ("auto", "ja" or "en") in the program's settings as
// --lang does; false when the settings file cannot be written.
bool RememberLanguageChoice(const QString& choice);

}  // namespace morvane::widgets
