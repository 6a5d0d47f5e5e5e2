// PMorvane's command line, and the run of the program given a study on it:
// the study is loaded as the design window's Load loads it, before any window
// is shown.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "datawindow/DataWindow.h"
#include "designwindow/DesignWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

namespace morvane {

class ProgramTest : public QObject {
    Q_OBJECT

    // What the run showed once its event loop ran.
    struct Seen {
        int status = -1;
        bool designShown = false;
        bool dataShown = false;
        QStringList tabs;
        std::vector<std::string> firstLevel;  // the grid's scores, row by row
        QStringList messages;
        bool windowsLeft = true;  // a window still there once the run has ended
    };

    // Runs the program with `study`; once the loop runs, notes what is shown,
    // then (when `load` is set) uses the design window's Load on it, and closes.
    static Seen Run(const std::optional<std::string>& study, testing::FakeSeams& seams,
                    const QString& load = {}) {
        StudyStore store;
        Seen seen;
        Program program(*qApp, store, seams.Seams(), '.');
        QTimer::singleShot(0, [&] {
            DesignWindow* design = program.Design();
            seen.designShown = design->isVisible();
            seen.messages = seams.messages.Shown();
            if (!load.isEmpty() && design->Data() == nullptr) {
                seams.dialogs.Choose(load);
                QTest::mouseClick(testing::Button(design, "ReadButton"), Qt::LeftButton);
            }
            if (DataWindow* data = design->Data()) {
                seen.dataShown = data->isVisible();
                const auto* tabs = testing::Tabs(data, "TabControl1");
                for (int i = 0; i < tabs->count(); ++i) seen.tabs << tabs->tabText(i);
                const auto& cells = testing::Grid(data, "StringGrid1")->Cells();
                for (int row = 1; row < cells.rowCount(); ++row)
                    for (int col = 1; col < cells.columnCount(); ++col)
                        seen.firstLevel.push_back(cells.Cell(col, row));
            }
            design->close();
        });
        seen.status = program.Run(study);
        seen.windowsLeft = program.Design() != nullptr || !QApplication::topLevelWidgets().isEmpty();
        return seen;
    }

private slots:
    void CommandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("study");
        using A = CommandLine::Action;
        const auto row = [](const char* name, QStringList args, A action, const char* study = "") {
            QTest::newRow(name) << args << static_cast<int>(action) << QString::fromUtf8(study);
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
    }

    void CommandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, action);
        QFETCH(QString, study);
        std::vector<std::string> bytes;
        for (const QString& arg : args) bytes.push_back(arg.toStdString());
        const morvane::CommandLine line = ParseCommandLine(bytes);
        QCOMPARE(static_cast<int>(line.action), action);
        QCOMPARE(QString::fromStdString(line.study.value_or("")), study);
        QCOMPARE(line.study.has_value(), !study.isEmpty());
    }

    void AStudyOpensTheDataWindowOnItsFirstLevel() {
        testing::FakeSeams seams;
        const Seen seen = Run(std::string(MORVANE_EXAMPLES "/worked-example.dat"), seams);
        QCOMPARE(seen.status, 0);
        QVERIFY(!seen.designShown);
        QVERIFY(seen.dataShown);
        QCOMPARE(seen.tabs, QStringList({"a1", "a2"}));
        QCOMPARE(seen.firstLevel, (std::vector<std::string>{"3", "5", "2", "4", "4", "6"}));
        QVERIFY(seen.messages.isEmpty());
        QVERIFY(seams.dialogs.Calls().empty());
        QVERIFY(!seen.windowsLeft);
    }

    // A study that cannot be loaded: its message over the design window, which
    // stays and whose Load offers the file given and can load another.
    void AFailedLoadLeavesTheDesignWindow_data() {
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

    void AFailedLoadLeavesTheDesignWindow() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        testing::TempDir dir;
        const std::string study = dir.File("study.dat");
        if (!bytes.isEmpty()) testing::WriteBytes(study, bytes.toStdString());
        testing::FakeSeams seams;
        const Seen seen = Run(study, seams, QStringLiteral(MORVANE_EXAMPLES "/worked-example.dat"));
        QCOMPARE(seen.status, 0);
        QVERIFY(seen.designShown);
        QCOMPARE(seen.messages, QStringList({message}));
        // Then the Load of the design window, as ever: it offers the file given.
        QCOMPARE(seams.dialogs.Calls().size(), std::size_t{1});
        QCOMPARE(seams.dialogs.Calls()[0].fileName, QString::fromStdString(study));
        QVERIFY(seen.dataShown);
        QCOMPARE(seen.firstLevel.front(), std::string("3"));
        QVERIFY(!seen.windowsLeft);
    }

    void WithoutAStudyTheDesignWindowShows() {
        testing::FakeSeams seams;
        const Seen seen = Run(std::nullopt, seams);
        QCOMPARE(seen.status, 0);
        QVERIFY(seen.designShown);
        QVERIFY(!seen.dataShown);
        QVERIFY(seen.messages.isEmpty());
        QVERIFY(!seen.windowsLeft);
    }
};

}  // namespace morvane

QTEST_MAIN(morvane::ProgramTest)
#include "ProgramTest.moc"
