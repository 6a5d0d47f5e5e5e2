// The windows' language: the choice from the locale and --lang, the English
// texts built into the program on each window, and Japanese when they are
// missing.

#include <QApplication>
#include <QCheckBox>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include "app/Program.h"
#include "datawindow/DataWindow.h"
#include "levelswindow/LevelsWindow.h"
#include "powerwindow/PowerDialog.h"
#include "resultswindow/ResultsPages.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"
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

private slots:
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
