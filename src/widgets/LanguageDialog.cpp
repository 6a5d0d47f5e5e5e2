#include "widgets/LanguageDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <string>

#include "widgets/FormWindow.h"
#include "widgets/QtTranslation.h"

namespace morvane::widgets {

bool RememberLanguageChoice(const QString& choice) {
    const std::unique_ptr<QSettings> settings = ProgramSettings();
    RememberedLanguage(*settings, choice.toStdString());
    settings->sync();
    return settings->status() == QSettings::NoError;
}

LanguageDialog::LanguageDialog(QWidget* parent, const Seams& seams) : QDialog(parent), seams_(seams) {
    setObjectName(QStringLiteral("LanguageDialog"));
    setWindowTitle(tr("ウィンドウの言語"));
    setFont(FormWindow::WindowFont());
    setWindowModality(Qt::WindowModal);

    automatic_ = new QRadioButton(tr("自動 (ロケールに従う)(&A)"), this);
    automatic_->setObjectName(QStringLiteral("AutomaticChoice"));
    // The languages are named in their own words, whatever the windows speak.
    japanese_ = new QRadioButton(QStringLiteral(u"日本語(&J)"), this);
    japanese_->setObjectName(QStringLiteral("JapaneseChoice"));
    english_ = new QRadioButton(QStringLiteral("&English"), this);
    english_->setObjectName(QStringLiteral("EnglishChoice"));
    const std::optional<std::string> remembered = RememberedLanguage(*ProgramSettings(), std::nullopt);
    (remembered == "en" ? english_ : remembered == "ja" ? japanese_ : automatic_)->setChecked(true);

    auto* note = new QLabel(tr("選んだ言語は次に起動したときから使われます。"
                               "開いているウィンドウはこのままで、入力したデータはなくなりません。"),
                            this);
    note->setObjectName(QStringLiteral("LanguageNote"));
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("ＯＫ"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("OkButton"));
    buttons->addButton(tr("キャンセル"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("CancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    for (QRadioButton* choice : {automatic_, japanese_, english_}) layout->addWidget(choice);
    layout->addSpacing(8);
    layout->addWidget(note);
    layout->addWidget(buttons);
    // Wide enough for the note on two or three lines in either language.
    setMinimumWidth(360);
}

QString LanguageDialog::Choice() const {
    if (english_->isChecked()) return QStringLiteral("en");
    if (japanese_->isChecked()) return QStringLiteral("ja");
    return QStringLiteral("auto");
}

void LanguageDialog::accept() {
    if (!RememberLanguageChoice(Choice())) {
        seams_.messages->ShowError(this, tr("選んだ言語を設定ファイル %1 に記録できませんでした。")
                                             .arg(ProgramSettings()->fileName()));
        return;
    }
    QDialog::accept();
}

}  // namespace morvane::widgets
