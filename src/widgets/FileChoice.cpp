#include "widgets/FileChoice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace morvane::widgets {
namespace {

// One spelling for every name of a file: its canonical path when it exists
// (links resolved), else its clean absolute path.
QString Identity(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// Whether writing `path` would replace a file that is there (a link too, even one to nowhere).
bool Replaces(const QString& path) {
    const QFileInfo info(path);
    return info.isSymLink() || (info.exists() && !info.isDir());
}

}  // namespace

void OwnFiles::Add(const QString& path) {
    const QString identity = Identity(path);
    if (!paths_.contains(identity)) paths_.append(identity);
}

void OwnFiles::SetOnly(const QString& path) {
    paths_ = {Identity(path)};
}

bool OwnFiles::Holds(const QString& path) const {
    return paths_.contains(Identity(path));
}

QStringList DataFileFilters() {
    return {QCoreApplication::translate("morvane::widgets::FileChoice", "データファイル (*.dat)"),
            QCoreApplication::translate("morvane::widgets::FileChoice", "すべてのファイル (*)")};
}

QString ReplaceQuestion(const QString& path) {
    return QCoreApplication::translate("morvane::widgets::FileChoice", "%1 は既に存在します。置き換えますか?")
        .arg(QFileInfo(path).fileName());
}

std::optional<QString> ChooseFileToWrite(MessageBoxes& messages, QWidget* parent, const OwnFiles& own,
                                         const FileDialog& dialog, const QString& start) {
    QString name = start;
    for (;;) {
        const std::optional<QString> chosen = dialog(name);
        if (!chosen || chosen->isEmpty()) return std::nullopt;
        if (!Replaces(*chosen) || own.Holds(*chosen) ||
            messages.AskToReplace(parent, ReplaceQuestion(*chosen)))
            return chosen;
        name = *chosen;
    }
}

}  // namespace morvane::widgets
