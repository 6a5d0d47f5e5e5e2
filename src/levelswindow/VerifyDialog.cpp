#include "levelswindow/VerifyDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "qttext/Text.h"
#include "runtime/TextWriter.h"
#include "widgets/Commands.h"
#include "widgets/FormWindow.h"

namespace morvane {

QString VerdictText(const verify::Verification& verification) {
    std::size_t figuresOff = 0;
    std::size_t setsOff = 0;
    for (const verify::SetCheck& set : verification.sets) {
        std::size_t off = 0;
        for (const verify::FigureCheck& figure : set.figures)
            if (!figure.within) ++off;
        figuresOff += off;
        if (off > 0) ++setsOff;
    }
    if (figuresOff == 0)
        return QCoreApplication::translate(
                   "morvane::VerifyDialog",
                   "すべて一致しました: %1 組のデータの公表値 %2 個を、印刷された桁の範囲で計算し直しました。")
            .arg(verification.sets.size())
            .arg(verification.Figures());
    return QCoreApplication::translate(
               "morvane::VerifyDialog",
               "一致しない値があります: %1 組のデータのうち %2 組で、公表値 %3 個のうち %4 個が一致しません。")
        .arg(verification.sets.size())
        .arg(setsOff)
        .arg(verification.Figures())
        .arg(figuresOff);
}

VerifyDialog::VerifyDialog(QWidget* parent, const widgets::Seams& seams, verify::Verification verification)
    : QDialog(parent), seams_(seams), verification_(std::move(verification)), build_(verify::ThisBuild()) {
    setObjectName(QStringLiteral("VerifyDialog"));
    setWindowTitle(tr("公表された分析との照合"));
    setFont(widgets::FormWindow::WindowFont());
    setWindowModality(Qt::WindowModal);

    verdict_ = new QLabel(VerdictText(verification_), this);
    verdict_->setObjectName(QStringLiteral("Verdict"));
    verdict_->setWordWrap(true);
    QFont bold = verdict_->font();
    bold.setBold(true);
    verdict_->setFont(bold);

    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("Report"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    report_->setPlainText(QString::fromStdString(verify::VerificationText(verification_, build_)));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(tr("HTML で保存…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("SaveHtmlButton"));
    QPushButton* close = buttons->addButton(tr("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("CloseButton"));
    connect(save, &QPushButton::clicked, this, &VerifyDialog::SaveHtml);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(verdict_);
    layout->addWidget(report_, 1);
    layout->addWidget(buttons);
    resize(900, 560);
}

VerifyDialog::~VerifyDialog() = default;

QString VerifyDialog::Verdict() const {
    return verdict_->text();
}

QString VerifyDialog::Report() const {
    return report_->toPlainText();
}

bool VerifyDialog::SaveHtml() {
    bool written = false;
    widgets::RunCommand(*seams_.messages, this, [this, &written] {
        const auto chosen = widgets::ChooseFileToWrite(
            *seams_.messages, this, saved_,
            [this](const QString& start) {
                return seams_.dialogs->SaveAs(this, tr("照合結果の保存"), start,
                                              {QStringLiteral("HTML (*.html)")});
            },
            savedTo_.isEmpty() ? QStringLiteral("validation.html") : savedTo_);
        if (!chosen) return;
        WriteTextFile(qttext::FilePath(*chosen),
                      [this](TextWriter& file) { file.Write(verify::VerificationHtml(verification_, build_)); });
        savedTo_ = *chosen;
        saved_.Add(*chosen);
        written = true;
    });
    return written;
}

}  // namespace morvane
