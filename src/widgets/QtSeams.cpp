#include "widgets/QtSeams.h"

#include <QFileDialog>
#include <QMessageBox>

#include "widgets/FormWindow.h"

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

}  // namespace morvane::widgets
