// PMorvane's command line, and the run of the program given a study on it:
// the study is loaded as the levels window's Load loads it, before any window
// is shown.

#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "datawindow/DataWindow.h"
#include "levelswindow/LevelsWindow.h"
#include "session/Recovery.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

namespace morvane {

class ProgramTest : public QObject {
    Q_OBJECT

    // What the run showed once its event loop ran.
    struct Seen {
        int status = -1;
        bool levelsShown = false;
        bool dataShown = false;
        QStringList tabs;
        std::vector<std::string> firstLevel;  // the grid's scores, row by row
        QStringList messages;
        bool windowsLeft = true;  // a window still there once the run has ended
    };

    // Runs the program with `study`; once the loop runs, notes what is shown,
    // then (when `load` is set) uses the levels window's Load on it, and closes.
    static Seen Run(const std::optional<std::string>& study, testing::FakeSeams& seams,
                    const QString& load = {}) {
        StudyStore store;
        Seen seen;
        Program program(*qApp, store, seams.Seams(), '.');
        QTimer::singleShot(0, [&] {
            LevelsWindow* levels = program.Levels();
            seen.levelsShown = levels->isVisible();
            seen.messages = seams.messages.Shown();
            if (!load.isEmpty() && levels->Data() == nullptr) {
                seams.dialogs.Choose(load);
                QTest::mouseClick(testing::Button(levels, "ReadButton"), Qt::LeftButton);
            }
            if (DataWindow* data = levels->Data()) {
                seen.dataShown = data->isVisible();
                const auto* tabs = testing::Tabs(data, "TabControl1");
                for (int i = 0; i < tabs->count(); ++i) seen.tabs << tabs->tabText(i);
                const auto& cells = testing::Grid(data, "StringGrid1")->Cells();
                for (int row = 1; row < cells.rowCount(); ++row)
                    for (int col = 1; col < cells.columnCount(); ++col)
                        seen.firstLevel.push_back(cells.Cell(col, row));
            }
            levels->close();
        });
        seen.status = program.Run(study);
        seen.windowsLeft = program.Levels() != nullptr || !QApplication::topLevelWidgets().isEmpty();
        return seen;
    }

private slots:
    void CommandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("study");
        QTest::addColumn<QString>("language");
        using A = CommandLine::Action;
        const auto row = [](const char* name, QStringList args, A action, const char* study = "",
                            const char* language = "") {
            QTest::newRow(name) << args << static_cast<int>(action) << QString::fromUtf8(study)
                                << QString::fromUtf8(language);
        };
        row("nothing", {}, A::Run);
        row("a study", {"study.dat"}, A::Run, "study.dat");
        row("a study after --", {"--", "-odd.dat"}, A::Run, "-odd.dat");
        row("the version", {"--version"}, A::Version);
        row("the usage", {"--help"}, A::Help);
        row("an unknown option", {"--frobnicate"}, A::Usage);
        row("a dash alone", {"-"}, A::Usage);
        row("two studies", {"a.dat", "b.dat"}, A::Usage);
        row("an option and a study", {"--version", "a.dat"}, A::Usage);
        row("-- alone", {"--"}, A::Usage);
        row("English", {"--lang", "en"}, A::Run, "", "en");
        row("Japanese and a study", {"--lang", "ja", "a.dat"}, A::Run, "a.dat", "ja");
        row("a language and a study after --", {"--lang", "en", "--", "-a.dat"}, A::Run, "-a.dat", "en");
        row("the locale's choice again", {"--lang", "auto"}, A::Run, "", "auto");
        row("an unknown language", {"--lang", "fr"}, A::Usage);
        row("--lang without a language", {"--lang"}, A::Usage);
        row("--lang after the study", {"a.dat", "--lang", "en"}, A::Usage);
        row("--lang twice", {"--lang", "en", "--lang", "ja"}, A::Usage);
        row("--lang and --help", {"--lang", "en", "--help"}, A::Usage);
    }

    void CommandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, study);
        QFETCH(QString, language);
        std::vector<std::string> bytes;
        for (const QString& arg : args) bytes.push_back(arg.toStdString());
        const morvane::CommandLine line = ParseCommandLine(bytes);
        QCOMPARE(static_cast<int>(line.action), action);
        QCOMPARE(QString::fromStdString(line.study.value_or("")), study);
        QCOMPARE(line.study.has_value(), !study.isEmpty());
        QCOMPARE(QString::fromStdString(line.language.value_or("")), language);
    }

    void AStudyOpensTheDataWindowOnItsFirstLevel() {
        testing::FakeSeams seams;
        const Seen seen = Run(std::string(MORVANE_EXAMPLES "/worked-example.dat"), seams);
        QCOMPARE(seen.status, 0);
        QVERIFY(!seen.levelsShown);
        QVERIFY(seen.dataShown);
        QCOMPARE(seen.tabs, QStringList({"a1", "a2"}));
        QCOMPARE(seen.firstLevel, (std::vector<std::string>{"3", "5", "2", "4", "4", "6"}));
        QVERIFY(seen.messages.isEmpty());
        QVERIFY(seams.dialogs.Calls().empty());
        QVERIFY(!seen.windowsLeft);
    }

    // A study that cannot be loaded: its message over the levels window, which
    // stays and whose Load offers the file given and can load another.
    void AFailedLoadLeavesTheLevelsWindow_data() {
        QTest::addColumn<QByteArray>("bytes");  // the file's contents; empty: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << QStringLiteral(u"ファイルが見つかりません.");
        QTest::newRow("no levels of B")
            << QByteArray("3\r\n1\r\n0\r\n") << QStringLiteral(u"要因の水準数が 1 未満です.");
        QTest::newRow("a count that is no number")
            << QByteArray("x\r\n") << QStringLiteral(u"入力値が数値ではありません.");
        QTest::newRow("N below -1") << QByteArray("-2\r\n1\r\n1\r\na1\r\nb1\r\n")
                                    << QStringLiteral(u"範囲チェックエラー.");
    }

    void AFailedLoadLeavesTheLevelsWindow() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        testing::TempDir dir;
        const std::string study = dir.File("study.dat");
        if (!bytes.isEmpty()) testing::WriteBytes(study, bytes.toStdString());
        testing::FakeSeams seams;
        const Seen seen = Run(study, seams, QStringLiteral(MORVANE_EXAMPLES "/worked-example.dat"));
        QCOMPARE(seen.status, 0);
        QVERIFY(seen.levelsShown);
        QCOMPARE(seen.messages, QStringList({message}));
        // Then the Load of the levels window, as ever: it offers the file given.
        QCOMPARE(seams.dialogs.Calls().size(), std::size_t{1});
        QCOMPARE(seams.dialogs.Calls()[0].fileName, QString::fromStdString(study));
        QVERIFY(seen.dataShown);
        QCOMPARE(seen.firstLevel.front(), std::string("3"));
        QVERIFY(!seen.windowsLeft);
    }

    // At the end of the desktop session: a changed study asks the question when
    // the session manager lets the user be asked; an unchanged one asks
    // nothing, not even for the user's attention.
    void TheEndOfTheSessionAsksOnlyForAChangedStudy() {
        using widgets::SaveAnswer;
        const struct {
            const char* name;
            bool typed;
            bool mayAsk;
            SaveAnswer answer;
            bool mayEnd;
            bool attentionAsked;
            bool asked;
        } rows[] = {
            {"unchanged", false, true, SaveAnswer::Cancel, true, false, false},
            {"changed, cancelled", true, true, SaveAnswer::Cancel, false, true, true},
            {"changed, not saved", true, true, SaveAnswer::Discard, true, true, true},
            {"changed, saved", true, true, SaveAnswer::Save, true, true, true},
            {"changed, no asking", true, false, SaveAnswer::Cancel, true, true, false},
        };
        for (const auto& row : rows) {
            testing::TempDir dir;
            testing::FakeSeams seams;
            StudyStore store;
            Program program(*qApp, store, seams.Seams(), '.');
            bool mayEnd = false, attention = false, drove = false;
            qsizetype askedAtTheEnd = -1, askedOnClosing = -1;
            QTimer::singleShot(0, [&] {
                LevelsWindow* levels = program.Levels();
                DataWindow* data = levels->Data();
                drove = data != nullptr && !program.Levels()->Changed() && testing::ShowActive(data);
                if (drove && row.typed) testing::TypeInCell(testing::Grid(data, "StringGrid1"), 1, 1, "9");
                seams.messages.Clear();
                seams.messages.Answer(row.answer);
                seams.dialogs.Choose(QString::fromStdString(dir.File("saved.dat")));
                mayEnd = program.MayEndSession([&] {
                    attention = true;
                    return row.mayAsk;
                });
                askedAtTheEnd = seams.messages.Asked().size();
                // The run ends, whatever was asked; a study let go is not asked about again.
                seams.messages.Clear();
                seams.messages.Answer(SaveAnswer::Discard);
                if (!levels->close()) QCoreApplication::exit(1);  // refused: the run fails, and ends
                askedOnClosing = seams.messages.Asked().size();
            });
            QCOMPARE(program.Run(std::string(MORVANE_EXAMPLES "/worked-example.dat")), 0);
            QVERIFY2(drove, row.name);
            QVERIFY2(mayEnd == row.mayEnd, row.name);
            QVERIFY2(attention == row.attentionAsked, row.name);
            QVERIFY2(askedAtTheEnd == (row.asked ? 1 : 0), row.name);
            QVERIFY2(askedOnClosing ==
                         (row.typed && row.answer != SaveAnswer::Save && (!row.mayEnd || !row.asked) ? 1 : 0),
                     row.name);
            QVERIFY2(QFile::exists(QString::fromStdString(dir.File("saved.dat"))) ==
                         (row.answer == SaveAnswer::Save && row.asked),
                     row.name);
        }
    }

    // A study given on the command line that ends early opens all the same,
    // with the message of the scores it was missing.
    void AShortStudyOpensWithTheCountOfItsMissingScores() {
        testing::TempDir dir;
        testing::WriteBytes(dir.File("cut.dat"), "2\r\n1\r\n2\r\na\r\nb1\r\nb2\r\n5\r\n");
        testing::FakeSeams seams;
        const Seen seen = Run(dir.File("cut.dat"), seams);
        QVERIFY(seen.dataShown);
        QCOMPARE(seen.firstLevel, (std::vector<std::string>{"5", "", "", ""}));
        QCOMPARE(seams.messages.Informed(),
                 QStringList{QStringLiteral(
                     u"データファイルが途中で終わっていたため、足りない 3 個の得点は空欄にしました")});
    }

    // At the start, a recovery file that a killed program left is offered
    // with the time it was written: はい opens it in place of the study named,
    // unsaved, kept at once as this program's own (the old file gone), and
    // saved byte for byte; いいえ removes it, and the study named opens.
    void ARecoveryFileLeftByAKilledProgramIsOffered() {
        const std::string left =
            "2\r\n2\r\n2\r\npre\r\npost\r\neasy\r\nhard\r\n12\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13.5\r\n";
        for (const bool restore : {true, false}) {
            testing::TempDir dir;
            const std::string folder = dir.File("state");
            testing::WriteBytes(dir.File("left.dat"), left);
            const pid_t child = ::fork();
            if (child == 0) {
                StudyStore study;
                ReadDataFile(study, dir.File("left.dat"));
                RecoveryFile kept(folder, static_cast<long>(::getpid()));
                kept.Keep(study, nullptr);
                ::_exit(0);  // killed, as it were: the files stay
            }
            ::waitpid(child, nullptr, 0);
            const std::string leftPath = folder + "/pmorvane-" + std::to_string(child) + ".dat";
            QVERIFY(QFile::exists(QString::fromStdString(leftPath)));

            testing::FakeSeams seams;
            RecoveryFile own(folder, static_cast<long>(::getpid()));
            widgets::Seams withRecovery = seams.Seams();
            withRecovery.recovery = &own;
            seams.messages.AnswerYes(restore);
            StudyStore store;
            Program program(*qApp, store, withRecovery, '.');
            bool levelsShown = false, changed = false, ownKept = false, leftGone = false, saved = false;
            std::vector<std::string> scores;
            QTimer::singleShot(0, [&] {
                LevelsWindow* levels = program.Levels();
                levelsShown = levels->isVisible();
                leftGone = !QFile::exists(QString::fromStdString(leftPath));
                if (DataWindow* data = levels->Data()) {
                    const auto& cells = testing::Grid(data, "StringGrid1")->Cells();
                    scores = {cells.Cell(1, 1), cells.Cell(2, 2)};
                    testing::ClickTab(testing::Tabs(data, "TabControl1"), 1);
                    scores.push_back(cells.Cell(2, 2));
                    changed = data->Changed();
                    ownKept = !own.Path().empty() && testing::ReadBytes(own.Path()) == left;
                    seams.dialogs.Choose(QString::fromStdString(dir.File("saved.dat")));
                    saved = data->Save();
                }
                levels->close();
            });
            QCOMPARE(program.Run(std::string(MORVANE_EXAMPLES "/worked-example.dat")), 0);
            QCOMPARE(seams.messages.Asked().size(), 1);
            QVERIFY(seams.messages.Asked()[0].startsWith(
                QStringLiteral(u"前回保存されなかったデータがあります。復元しますか?\n\n記録した日時: 20")));
            QVERIFY(leftGone);
            QVERIFY(!levelsShown);
            QVERIFY(std::filesystem::is_empty(folder));
            QCOMPARE(changed, restore);
            if (!restore) {
                QCOMPARE(testing::ReadBytes(dir.File("saved.dat")),
                         testing::ReadBytes(MORVANE_EXAMPLES "/worked-example.dat"));
                continue;
            }
            QCOMPARE(scores, (std::vector<std::string>{"12", "18", "13.5"}));
            QVERIFY(ownKept);
            QVERIFY(saved);
            QCOMPARE(testing::ReadBytes(dir.File("saved.dat")), left);
        }
    }

    void WithoutAStudyTheLevelsWindowShows() {
        testing::FakeSeams seams;
        const Seen seen = Run(std::nullopt, seams);
        QCOMPARE(seen.status, 0);
        QVERIFY(seen.levelsShown);
        QVERIFY(!seen.dataShown);
        QVERIFY(seen.messages.isEmpty());
        QVERIFY(!seen.windowsLeft);
    }
};

}  // namespace morvane

QTEST_MAIN(morvane::ProgramTest)
#include "ProgramTest.moc"
