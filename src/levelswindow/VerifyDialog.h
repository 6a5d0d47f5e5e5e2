#pragma once
// The check against published analyses as the levels window shows it (検証…):
// the verdict, whether every published figure was computed again within its
// printed digits or how many were not, above the text report that `morvane
// verify` prints, and a button that saves the report as a standalone HTML page.

#include <QDialog>
#include <QString>

#include "verify/Verify.h"
#include "widgets/FileChoice.h"
#include "widgets/Seams.h"

class QLabel;
class QPlainTextEdit;

namespace morvane {

class VerifyDialog final : public QDialog {
    Q_OBJECT

public:
    // The dialog over `parent`, modal to it once opened, of `verification`.
    VerifyDialog(QWidget* parent, const widgets::Seams& seams, verify::Verification verification);
    ~VerifyDialog() override;

    QString Verdict() const;
    QString Report() const;
    // 「HTML で保存…」: the HTML report written to the file chosen in the save
    // dialog (a file that exists replaced once the user says so); a failure is
    // shown. Returns whether it was written.
    bool SaveHtml();

private:
    widgets::Seams seams_;
    verify::Verification verification_;
    verify::BuildInfo build_;
    QLabel* verdict_ = nullptr;
    QPlainTextEdit* report_ = nullptr;
    QString savedTo_;          // the HTML file saved last, where the save dialog starts
    widgets::OwnFiles saved_;  // the HTML files saved: replaced without a question
};

// The verdict's sentence: every figure within its printed digits, or how many
// figures of how many sets were not.
QString VerdictText(const verify::Verification& verification);

}  // namespace morvane
