#include "widgets/QtSeams.h"

#include <QFileDialog>
#include <QMessageBox>

namespace morvane::widgets {
namespace {

std::optional<QString> Run(QWidget* parent, const QString& title, const QString& fileName,
                           QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::ReadOnly, false);
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

void QtMessageBoxes::ShowError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("PMorvane"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace morvane::widgets
