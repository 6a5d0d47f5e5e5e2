// The program from its start to its end, as the user goes the road of one
// analysis: name the levels, set N, OK, type the scores of both levels of A,
// Calculate, Close (asked whether to save, and not saving). The run is the real
// one (the levels window as main window, the event loop), with the dialogs and
// messages answered by test doubles.

#include <QTest>
#include <QTimer>

#include "app/Program.h"
#include "datawindow/DataWindow.h"
#include "levelswindow/LevelsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "support/WorkedExampleLevels.h"

using namespace morvane;

class RoadOfOneAnalysisTest : public QObject {
    Q_OBJECT

    // Goes the road inside the running program; returns whether every step
    // could be taken (the checks themselves are the test's).
    static bool Drive(const Program& program, testing::FakeSeams& seams, const std::string& results) {
        LevelsWindow* levels = program.Levels();
        if (levels == nullptr || !testing::ShowActive(levels)) return false;
        testing::TypeWorkedExampleLevels(levels);
        QTest::mouseClick(testing::Button(levels, "GOButton"), Qt::LeftButton);

        DataWindow* data = levels->Data();
        if (data == nullptr || !testing::ShowActive(data)) return false;
        const char* scores[2][3][2] = {{{"3", "5"}, {"2", "4"}, {"4", "6"}},
                                       {{"4", "8"}, {"3", "7"}, {"6", "9"}}};
        for (int a = 0; a < 2; ++a) {
            if (a == 1) testing::ClickTab(testing::Tabs(data, "TabControl1"), 1);
            for (int s = 0; s < 3; ++s)
                for (int b = 0; b < 2; ++b)
                    testing::TypeInCell(testing::Grid(data, "StringGrid1"), b + 1, s + 1, scores[a][s][b]);
        }
        seams.dialogs.Choose(QString::fromStdString(results));
        QTest::mouseClick(testing::Button(data, "CalcButton"), Qt::LeftButton);
        if (QApplication::focusWidget() != testing::Button(data, "ExitButton")) return false;
        // The scores were never saved: Close asks first, and goes on without saving.
        seams.messages.Answer(widgets::SaveAnswer::Discard);
        QTest::mouseClick(testing::Button(data, "ExitButton"), Qt::LeftButton);
        return seams.messages.Asked() == QStringList{QStringLiteral(u"変更を保存しますか?")};
    }

private slots:
    void NamesScoresCalculateAndClose() {
        testing::TempDir dir;
        testing::FakeSeams seams;
        StudyStore store;
        const std::string results = dir.File("results.txt");
        bool drove = false;
        Program program(*qApp, store, seams.Seams(), '.');
        QTimer::singleShot(0, [&] { drove = Drive(program, seams, results); });
        // Should the road be blocked, the levels window is closed so the run ends.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [&program, &seams] {
            seams.messages.Answer(widgets::SaveAnswer::Discard);
            if (program.Levels() != nullptr) program.Levels()->close();
        });
        watchdog.start(30000);

        const int status = program.Run();

        QVERIFY(drove);
        QVERIFY(watchdog.isActive());
        QCOMPARE(status, 0);
        QVERIFY(seams.messages.Shown().isEmpty());
        QCOMPARE(testing::ReadBytes(results),
                 testing::ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt"));
        // Both windows are gone and the store released.
        QVERIFY(program.Levels() == nullptr);
        QVERIFY(store.CellText.Empty());
        QVERIFY(store.LevelNamesA.empty());
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
    }
};

QTEST_MAIN(RoadOfOneAnalysisTest)
#include "RoadOfOneAnalysisTest.moc"
