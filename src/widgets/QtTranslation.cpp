#include "widgets/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace morvane::widgets {

bool InstallJapaneseQtTranslation(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        qWarning(
            "PMorvane: Qt's Japanese translation (qtbase_ja.qm) is not in %s; Qt's dialogs stay in English",
            qUtf8Printable(folder));
        return false;
    }
    return true;
}

}  // namespace morvane::widgets
