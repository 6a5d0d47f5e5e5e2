#pragma once
// The windows' language. The windows are written in Japanese; English comes
// from the program's own translation (translations/pmorvane_en.ts, built into
// the program). With Japanese, Qt's own Japanese texts (the buttons of the
// message boxes, the file dialogs) are installed as well, whatever the user's
// locale, so that no English dialog sits under a Japanese title.

#include <memory>
#include <optional>
#include <string>

class QCoreApplication;
class QLocale;
class QSettings;
class QString;
class QTranslator;

namespace morvane::widgets {

enum class Language { Japanese, English };

// The language the windows speak: the one asked for on the command line ("en"
// or "ja"); otherwise Japanese under a Japanese locale and the C/POSIX locale,
// English under a locale of any other language.
Language WindowsLanguage(const QLocale& locale, const std::optional<std::string>& asked);

// The program's settings: PMorvane/PMorvane.ini in the user's configuration
// folder (~/.config, or XDG_CONFIG_HOME), where the windows' language is kept.
std::unique_ptr<QSettings> ProgramSettings();

// The language asked for this time, given what the command line asked
// (`asked`: "en", "ja", "auto" or nothing) and what `settings` remember: a
// language named is remembered and asked for; "auto" forgets the one
// remembered and asks for none, so the locale decides; nothing asks for the
// one remembered, if any. A remembered value other than "en" or "ja" counts
// as none.
std::optional<std::string> RememberedLanguage(QSettings& settings, const std::optional<std::string>& asked);

// Installs Qt's Japanese translation on `application`; false, with a warning
// on standard error, when it is not installed on this system.
bool InstallJapaneseQtTranslation(QCoreApplication& application);

// The windows' English texts as built into the program.
QString BuiltInEnglishTranslation();

// Installs the windows' English texts read from `file` on `application`,
// which owns the translator returned; nullptr, with a warning and nothing
// installed, when the file cannot be read (the windows then stay Japanese).
QTranslator* InstallEnglishTranslation(QCoreApplication& application, const QString& file);

// Whether the windows are in English: an English translation is installed.
// The results window's notes and first copies and exports are then in English.
bool WindowsInEnglish();

// Installs the translations for `language` and gives the language the windows
// will really show: Japanese when the English texts cannot be loaded.
Language InstallWindowsLanguage(QCoreApplication& application, Language language);

}  // namespace morvane::widgets
