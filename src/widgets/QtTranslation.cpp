#include "widgets/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

// The English texts are a resource of this static library: nothing else refers
// to its object file, so the program registers it before reading it.
static void RegisterTranslations() {
    Q_INIT_RESOURCE(morvane_translations);
}

namespace morvane::widgets {

Language WindowsLanguage(const QLocale& locale, const std::optional<std::string>& asked) {
    if (asked) return *asked == "en" ? Language::English : Language::Japanese;
    const QLocale::Language spoken = locale.language();
    // The C locale (LANG=C, POSIX or nothing set) keeps the program's own texts.
    if (spoken == QLocale::Japanese || spoken == QLocale::C || spoken == QLocale::AnyLanguage)
        return Language::Japanese;
    return Language::English;
}

std::unique_ptr<QSettings> ProgramSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("PMorvane"),
                                       QStringLiteral("PMorvane"));
}

std::optional<std::string> RememberedLanguage(QSettings& settings, const std::optional<std::string>& asked) {
    const QString key = QStringLiteral("windows/language");
    if (asked == "auto") {
        settings.remove(key);
        return std::nullopt;
    }
    if (asked) {
        settings.setValue(key, QString::fromStdString(*asked));
        return asked;
    }
    const QString remembered = settings.value(key).toString();
    if (remembered == QLatin1String("en") || remembered == QLatin1String("ja"))
        return remembered.toStdString();
    return std::nullopt;
}

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

QString BuiltInEnglishTranslation() {
    RegisterTranslations();
    return QStringLiteral(":/i18n/pmorvane_en.qm");
}

QTranslator* InstallEnglishTranslation(QCoreApplication& application, const QString& file) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(file) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        qWarning("PMorvane: the English texts (%s) cannot be read; the windows stay in Japanese",
                 qUtf8Printable(file));
        return nullptr;
    }
    return translator;
}

bool WindowsInEnglish() {
    // The translation names its own language, as Qt's own do for their layout direction.
    return QCoreApplication::translate("morvane::widgets::Language", "ja",
                                       "the code of the windows' language") == QLatin1String("en");
}

Language InstallWindowsLanguage(QCoreApplication& application, Language language) {
    if (language == Language::English &&
        InstallEnglishTranslation(application, BuiltInEnglishTranslation()) != nullptr)
        return Language::English;
    InstallJapaneseQtTranslation(application);
    return Language::Japanese;
}

}  // namespace morvane::widgets
