#include "widgets/QtSeams.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include "widgets/FormWindow.h"

namespace morvane::widgets {
namespace {

// The suffix of a name filter's first pattern: "csv" of "CSV (*.csv)".
QString SuffixOf(const QString& filter) {
    const qsizetype star = filter.indexOf(QStringLiteral("*."));
    if (star < 0) return {};
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end].isLetterOrNumber()) ++end;
    return filter.mid(star + 2, end - star - 2);
}

// Whether a name typed without a suffix takes the chosen type's.
enum class TypedName { AsTyped, WithSuffix };

std::optional<QString> Run(QWidget* parent, const QString& title, const QString& fileName,
                           QFileDialog::AcceptMode mode, const QStringList& nameFilters = {},
                           TypedName typed = TypedName::AsTyped) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (!nameFilters.isEmpty()) dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty() && typed == TypedName::WithSuffix) {
        dialog.setDefaultSuffix(SuffixOf(nameFilters.front()));
        // Another type chosen: its suffix, and the name suggested (or typed) given it, so that
        // the dialog still offers a name of that type rather than none.
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog, [&dialog, fileName](const QString& filter) {
                const QString suffix = SuffixOf(filter);
                dialog.setDefaultSuffix(suffix);
                const QStringList chosen = dialog.selectedFiles();
                const QFileInfo name(chosen.isEmpty() || QFileInfo(chosen.front()).isDir() ? fileName
                                                                                           : chosen.front());
                if (suffix.isEmpty() || name.fileName().isEmpty()) return;
                dialog.selectFile(name.dir().filePath(name.completeBaseName() + QLatin1Char('.') + suffix));
            });
    }
    if (!fileName.isEmpty()) dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.front();
}

}  // namespace

std::optional<QString> QtFileDialogs::Open(QWidget* parent, const QString& title, const QString& fileName) {
    return Run(parent, title, fileName, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileDialogs::Save(QWidget* parent, const QString& title, const QString& fileName) {
    return Run(parent, title, fileName, QFileDialog::AcceptSave);
}

std::optional<QString> QtFileDialogs::OpenFiltered(QWidget* parent, const QString& title,
                                                   const QString& fileName, const QStringList& nameFilters) {
    return Run(parent, title, fileName, QFileDialog::AcceptOpen, nameFilters);
}

std::optional<QString> QtFileDialogs::SaveFiltered(QWidget* parent, const QString& title,
                                                   const QString& fileName, const QStringList& nameFilters) {
    return Run(parent, title, fileName, QFileDialog::AcceptSave, nameFilters);
}

std::optional<QString> QtFileDialogs::SaveAs(QWidget* parent, const QString& title, const QString& fileName,
                                             const QStringList& nameFilters) {
    return Run(parent, title, fileName, QFileDialog::AcceptSave, nameFilters, TypedName::WithSuffix);
}

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, QStringLiteral("PMorvane"), text, QMessageBox::Ok, parent);
    // The texts it quotes come from the windows: the same face throughout.
    box.setFont(FormWindow::WindowFont());
    box.exec();
}

}  // namespace

void QtMessageBoxes::ShowError(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Critical, text);
}

void QtMessageBoxes::ShowWarning(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Warning, text);
}

void QtMessageBoxes::ShowInformation(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::Information, text);
}

SaveAnswer QtMessageBoxes::AskToSave(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("PMorvane"), question, QMessageBox::NoButton,
                    parent);
    box.setFont(FormWindow::WindowFont());
    QPushButton* save = box.addButton(QCoreApplication::translate("morvane::widgets::QtMessageBoxes", "保存"),
                                      QMessageBox::AcceptRole);
    QPushButton* discard =
        box.addButton(QCoreApplication::translate("morvane::widgets::QtMessageBoxes", "保存しない"),
                      QMessageBox::DestructiveRole);
    QPushButton* cancel =
        box.addButton(QCoreApplication::translate("morvane::widgets::QtMessageBoxes", "キャンセル"),
                      QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return SaveAnswer::Save;
    if (box.clickedButton() == discard) return SaveAnswer::Discard;
    return SaveAnswer::Cancel;
}

namespace {

bool AskYesOrNo(QWidget* parent, const QString& question, bool yesByDefault) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("PMorvane"), question, QMessageBox::NoButton,
                    parent);
    box.setFont(FormWindow::WindowFont());
    QPushButton* yes = box.addButton(QCoreApplication::translate("morvane::widgets::QtMessageBoxes", "はい"),
                                     QMessageBox::YesRole);
    QPushButton* no = box.addButton(QCoreApplication::translate("morvane::widgets::QtMessageBoxes", "いいえ"),
                                    QMessageBox::NoRole);
    box.setDefaultButton(yesByDefault ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

bool QtMessageBoxes::AskYesNo(QWidget* parent, const QString& question) {
    return AskYesOrNo(parent, question, true);
}

bool QtMessageBoxes::AskToReplace(QWidget* parent, const QString& question) {
    return AskYesOrNo(parent, question, false);
}

}  // namespace morvane::widgets
