// The windows' language: the choice from the locale and --lang, the English
// texts built into the program on each window, and Japanese when they are
// missing.

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <filesystem>

#include "app/Program.h"
#include "datawindow/DataWindow.h"
#include "exchange/LongCsv.h"
#include "levelswindow/LevelsWindow.h"
#include "output/AnalysisTables.h"
#include "powerwindow/PowerDialog.h"
#include "qttext/Text.h"
#include "resultswindow/ResultsPages.h"
#include "resultswindow/ResultsWindow.h"
#include "runtime/Messages.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/Commands.h"
#include "widgets/LanguageDialog.h"
#include "widgets/QtTranslation.h"

namespace morvane {

using widgets::Language;

class LanguageTest : public QObject {
    Q_OBJECT

    // The captions each window shows once a study is open, in the order
    // levels, data, results, power; and the question asked when the changed
    // study is closed unsaved.
    static QStringList Captions(const std::string& study, testing::FakeSeams& seams) {
        QStringList seen;
        StudyStore store;
        Program program(*qApp, store, seams.Seams(), '.');
        QTimer::singleShot(0, [&] {
            LevelsWindow* levels = program.Levels();
            for (const char* name : {"GOButton", "ReadButton", "ExitButton", "AddAButton"})
                seen << testing::Button(levels, name)->text();
            DataWindow* data = levels->Data();
            for (const char* name : {"SaveButton", "CalcButton", "PButton", "AnalysisButton", "ExitButton"})
                seen << testing::Button(data, name)->text();
            testing::ShowActive(data);
            testing::TypeInCell(testing::Grid(data, "StringGrid1"), 1, 1, QStringLiteral("7"));
            testing::Button(data, "AnalysisButton")->click();
            ResultsWindow* results = data->Results();
            seen << results->windowTitle().section(QStringLiteral(" - "), 0, 0);
            seen << results->findChild<ResultsPages*>()->tabText(0);
            // Copies and exports start in the windows' language.
            seen << (results->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->isChecked() ? "en"
                                                                                                 : "ja");
            PowerDialog power(nullptr);
            seen << power.windowTitle();
            seams.messages.Answer(widgets::SaveAnswer::Discard);
            testing::Button(data, "ExitButton")->click();
            seen << seams.messages.Asked();
            if (program.Levels() != nullptr) program.Levels()->close();
        });
        program.Run(study);
        return seen;
    }

    // What the results window of a CSV shows in the windows' language: the
    // summary's headings, the notes above the tables, the plots' titles and
    // captions, and the message box of a score that is no number.
    struct ResultsSeen {
        QStringList headings;
        QString readNote, axisTitle, plotCaption, quantileCaption, message;
        std::vector<TableText> tables;
        anova::Analysis analysis;
        OutputLanguage language = OutputLanguage::Japanese;
    };
    static ResultsSeen SeeResults(const std::string& csv) {
        testing::FakeSeams seams;
        QWidget owner;
        auto* window = new ResultsWindow(&owner, seams.Seams(), '.');
        const LongCsvRoles roles{"subject", "rt", {"cue", "load"}, {}};
        QFile file(QString::fromStdString(csv));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const std::string bytes = file.readAll().toStdString();
        file.close();
        window->ShowCsv({csv, roles, {}}, bytes, ReadLongCsv(bytes, roles));
        ResultsSeen seen;
        seen.tables = window->Tables();
        seen.analysis = window->Analysis();
        for (const std::string& heading : seen.tables.front().header)
            seen.headings << QString::fromStdString(heading);
        seen.readNote = testing::Find<QLabel>(window, "RemovedSubjectsNotice")->text();
        seen.axisTitle = window->Plot().axisTitle;
        seen.plotCaption = testing::Find<QLabel>(window, "PlotCaption")->text();
        seen.quantileCaption = testing::Find<QLabel>(window, "QuantilePlotCaption")->text();
        seen.language = window->CopyOptions().language;
        // The file read again with a score that is no number: the reading's message.
        std::string bad = bytes;
        bad.replace(bad.find(",416"), 4, ",4x6");
        testing::WriteBytes(csv, bad);
        testing::Button(window, "RereadButton")->click();
        if (!seams.messages.Shown().isEmpty()) seen.message = seams.messages.Shown().front();
        testing::WriteBytes(csv, bytes);
        return seen;
    }

private slots:
    // The results of a CSV in the English windows: the tables' headings and
    // notes, the notes above them, the plots' words and the core's messages in
    // English; in the Japanese windows exactly the Japanese the outputs have.
    void TheResultsWindowShowsItsResultsInTheWindowsLanguage() {
        testing::TempDir dir;
        const std::string csv = dir.File("trials.csv");
        QVERIFY(QFile::copy(QStringLiteral(MORVANE_EXAMPLES "/trials.csv"), QString::fromStdString(csv)));
        const ResultsSeen japanese = SeeResults(csv);
        QTranslator* translator =
            widgets::InstallEnglishTranslation(*qApp, widgets::BuiltInEnglishTranslation());
        QVERIFY(translator != nullptr);
        const ResultsSeen english = SeeResults(csv);
        QCoreApplication::removeTranslator(translator);
        delete translator;

        QVERIFY(japanese.headings.contains(QStringLiteral(u"平方和")));
        QVERIFY(english.headings.contains(QStringLiteral("SS")));
        QVERIFY(!english.headings.contains(QStringLiteral(u"平方和")));
        // Every table as the outputs write it in the window's language, notes and all.
        const auto same = [](const std::vector<TableText>& shown, const std::vector<TableText>& written) {
            if (shown.size() != written.size()) return false;
            for (std::size_t i = 0; i < shown.size(); ++i)
                if (shown[i].title != written[i].title || shown[i].header != written[i].header ||
                    shown[i].notes != written[i].notes || shown[i].rows != written[i].rows)
                    return false;
            return true;
        };
        for (const ResultsSeen* seen : {&japanese, &english}) {
            OutputOptions options;
            options.language = seen == &english ? OutputLanguage::English : OutputLanguage::Japanese;
            QVERIFY(same(seen->tables, TableTexts(seen->analysis, TableReader::Window, options)));
        }
        QVERIFY(english.tables.front().title != japanese.tables.front().title);
        QVERIFY2(english.readNote.contains(QStringLiteral("are means of")), qPrintable(english.readNote));
        QVERIFY(japanese.readNote.contains(QStringLiteral(u"平均したもの")));
        QCOMPARE(english.axisTitle, QStringLiteral("Factor load"));
        QCOMPARE(japanese.axisTitle, QStringLiteral(u"要因 load"));
        QVERIFY(english.plotCaption.startsWith(QStringLiteral("Cell means by level of Factor cue")));
        QVERIFY(japanese.plotCaption.startsWith(QStringLiteral(u"要因 cue の水準ごとのセル平均")));
        QVERIFY(english.quantileCaption.startsWith(QStringLiteral("Each error stratum")));
        QVERIFY(japanese.quantileCaption.startsWith(QStringLiteral(u"各誤差層")));
        QCOMPARE(english.language, OutputLanguage::English);
        // The core's message: its fixed text in English, the place and the score quoted as they were.
        QVERIFY2(english.message.endsWith(QStringLiteral("'4x6' is not a number.")),
                 qPrintable(english.message));
        QVERIFY2(english.message.startsWith(QStringLiteral("Line 2, column ")), qPrintable(english.message));
        QVERIFY2(japanese.message.endsWith(QStringLiteral(u"'4x6' は浮動小数点数ではありません.")),
                 qPrintable(japanese.message));
        QVERIFY(japanese.message.startsWith(QStringLiteral(u"2 行 ")));
    }

    // A core message shown on its own (not as an error's box): English in the
    // English windows when known, else the core's Japanese as it is.
    void TheCoresMessagesShownOnTheirOwnFollowTheLanguage() {
        const QString trailing = qttext::FromCp932(messages::TrailingContent());
        QCOMPARE(widgets::CoreMessage(messages::TrailingContent()), trailing);
        QTranslator* translator =
            widgets::InstallEnglishTranslation(*qApp, widgets::BuiltInEnglishTranslation());
        QVERIFY(translator != nullptr);
        const QString english = widgets::CoreMessage(messages::TrailingContent());
        const QString unknown = widgets::CoreMessage("?");
        QCoreApplication::removeTranslator(translator);
        delete translator;
        QVERIFY2(english.startsWith(QStringLiteral("The data file has more after its last score.")),
                 qPrintable(english));
        QCOMPARE(unknown, QStringLiteral("?"));
    }

    // English under any locale but a Japanese or the C one; --lang decides over the locale.
    void TheLanguageFollowsTheLocaleUnlessAsked() {
        const std::optional<std::string> none;
        for (const char* name : {"ja_JP", "C"})
            QVERIFY2(widgets::WindowsLanguage(QLocale(QString::fromLatin1(name)), none) == Language::Japanese,
                     name);
        for (const char* name : {"en_US", "de_DE", "fr_FR", "zh_CN"})
            QVERIFY2(widgets::WindowsLanguage(QLocale(QString::fromLatin1(name)), none) == Language::English,
                     name);
        QVERIFY(widgets::WindowsLanguage(QLocale::c(), std::string("en")) == Language::English);
        QVERIFY(widgets::WindowsLanguage(QLocale(QStringLiteral("de_DE")), std::string("ja")) ==
                Language::Japanese);

        // --lang en|ja is remembered for the starts without it, in the settings
        // file; --lang auto forgets it; a value edited by hand to anything else
        // is no choice.
        testing::TempDir dir;
        const QString file = QString::fromStdString(dir.File("PMorvane.ini"));
        const auto start = [&file](std::optional<std::string> asked) {
            QSettings settings(file, QSettings::IniFormat);
            std::optional<std::string> chosen = widgets::RememberedLanguage(settings, asked);
            settings.sync();
            return chosen;
        };
        QCOMPARE(start(none), none);
        QCOMPARE(start(std::string("en")), std::optional<std::string>("en"));
        QCOMPARE(start(none), std::optional<std::string>("en"));
        QVERIFY(widgets::WindowsLanguage(QLocale(QStringLiteral("ja_JP")), start(none)) == Language::English);
        QCOMPARE(start(std::string("ja")), std::optional<std::string>("ja"));
        QCOMPARE(start(none), std::optional<std::string>("ja"));
        QCOMPARE(start(std::string("auto")), none);
        QCOMPARE(start(none), none);
        QSettings(file, QSettings::IniFormat)
            .setValue(QStringLiteral("windows/language"), QStringLiteral("fr"));
        QCOMPARE(start(none), none);
    }

    // 言語… on the levels window (Alt+L, out of the Tab order): the dialog
    // shows the choice remembered, ＯＫ stores it where the next start reads
    // it (the setting of --lang), 自動 forgets it, キャンセル keeps it, and a
    // settings file that cannot be written is said with the dialog left open.
    void TheLanguageChosenInTheWindowsDecidesTheNextStart() {
        testing::TempDir dir;
        const auto useFolder = [](const std::filesystem::path& folder) {
            QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(folder));
        };
        useFolder(dir.Path());
        const auto nextStart = [] { return widgets::RememberedLanguage(*widgets::ProgramSettings(), {}); };
        testing::FakeSeams seams;
        StudyStore store;
        LevelsWindow levels(store, seams.Seams(), '.');
        QVERIFY(testing::ShowActive(&levels));
        QCOMPARE(testing::Button(&levels, "LanguageButton")->focusPolicy(), Qt::ClickFocus);
        // Opens the dialog by Alt+L, gives the choice it showed, then picks `choice` and presses `button`.
        const auto choose = [&](const char* choice, const char* button = "OkButton") {
            if (!testing::ShowActive(&levels)) return QStringLiteral("levels window not active");
            QTest::keyClick(&levels, Qt::Key_L, Qt::AltModifier);
            // A mnemonic presses its button after a moment, as a click shows.
            if (!QTest::qWaitFor([&] { return levels.LanguageChoice() && levels.LanguageChoice()->isVisible(); }))
                return QStringLiteral("no dialog");
            widgets::LanguageDialog* dialog = levels.LanguageChoice();
            const QString shown = dialog->Choice();
            testing::Find<QRadioButton>(dialog, choice)->click();
            testing::Button(dialog, button)->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return shown;
        };
        const std::optional<std::string> none;
        QCOMPARE(choose("EnglishChoice"), QStringLiteral("auto"));
        QCOMPARE(nextStart(), std::optional<std::string>("en"));
        QVERIFY(widgets::WindowsLanguage(QLocale(QStringLiteral("ja_JP")), nextStart()) == Language::English);
        QCOMPARE(choose("JapaneseChoice", "CancelButton"), QStringLiteral("en"));
        QCOMPARE(nextStart(), std::optional<std::string>("en"));
        QCOMPARE(choose("JapaneseChoice"), QStringLiteral("en"));
        QVERIFY(widgets::WindowsLanguage(QLocale(QStringLiteral("de_DE")), nextStart()) == Language::Japanese);
        // --lang en, then 自動 in the dialog: the locale decides again.
        {
            auto settings = widgets::ProgramSettings();
            widgets::RememberedLanguage(*settings, std::string("en"));
        }
        QCOMPARE(choose("AutomaticChoice"), QStringLiteral("en"));
        QCOMPARE(nextStart(), none);
        QVERIFY(!widgets::ProgramSettings()->contains(QStringLiteral("windows/language")));
        QVERIFY(seams.messages.Shown().isEmpty());

        // A file where the settings' folder should be: nothing can be written there.
        const std::string blocked = dir.File("blocked");
        testing::WriteBytes(blocked, "x");
        useFolder(blocked);
        QCOMPARE(choose("EnglishChoice"), QStringLiteral("auto"));
        QCOMPARE(seams.messages.Shown().size(), 1);
        QVERIFY2(seams.messages.Shown().front().contains(QStringLiteral("blocked")),
                 qPrintable(seams.messages.Shown().front()));
        QVERIFY(levels.LanguageChoice() != nullptr && levels.LanguageChoice()->isVisible());
        levels.LanguageChoice()->reject();
    }

    // With the built-in English texts every window speaks English; without
    // them, or with a file that is not there, exactly the Japanese texts.
    void TheWindowsSpeakEnglishWithTheTranslation() {
        const std::string study = MORVANE_EXAMPLES "/worked-example.dat";
        const QStringList japanese{QStringLiteral(u"ＯＫ"),         QStringLiteral(u"読み込み"),
                                   QStringLiteral(u"閉じる"),       QStringLiteral(u"追加（Ａ）"),
                                   QStringLiteral(u"保  存"),       QStringLiteral(u"計  算"),
                                   QStringLiteral(u"印  刷"),       QStringLiteral(u"分  析"),
                                   QStringLiteral(u"終  了"),       QStringLiteral(u"分析結果"),
                                   QStringLiteral(u"分散分析"),     QStringLiteral("ja"),
                                   QStringLiteral(u"検出力の計算"), QStringLiteral(u"変更を保存しますか?")};
        const QStringList english{"OK",
                                  "Open…",
                                  "Close",
                                  "Add (A)",
                                  "Save",
                                  "Compute",
                                  "Print",
                                  "Analyse",
                                  "Quit",
                                  "Analysis results",
                                  "ANOVA",
                                  "en",
                                  "Power calculation",
                                  "Save the changes?"};
        {
            testing::FakeSeams seams;
            QCOMPARE(Captions(study, seams), japanese);
        }
        QTranslator* translator =
            widgets::InstallEnglishTranslation(*qApp, widgets::BuiltInEnglishTranslation());
        QVERIFY(translator != nullptr);
        QVERIFY(widgets::WindowsInEnglish());
        {
            testing::FakeSeams seams;
            QCOMPARE(Captions(study, seams), english);
        }
        QCoreApplication::removeTranslator(translator);
        delete translator;
        QVERIFY(!widgets::WindowsInEnglish());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("stay in Japanese")));
        QVERIFY(widgets::InstallEnglishTranslation(*qApp, QStringLiteral("/nonexistent/pmorvane_en.qm")) ==
                nullptr);
        testing::FakeSeams seams;
        QCOMPARE(Captions(study, seams), japanese);
    }
};

}  // namespace morvane

QTEST_MAIN(morvane::LanguageTest)
#include "LanguageTest.moc"
