// window_pictures FOLDER: fills the two windows as a user would for the worked
// example (levels a1, a2 and b1, b2, N = 3, the twelve scores) and saves a
// picture of each, levels-window.png and data-window.png, into FOLDER; then
// the data window of a long study scrolled to its end (long-study.png) and the
// dialog of a listing being printed (print-progress.png).

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "datawindow/DataWindow.h"
#include "levelswindow/LevelsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"
#include "support/WorkedExampleLevels.h"

using namespace morvane;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: window_pictures FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    testing::FakeSeams seams;
    StudyStore store;

    auto design = std::make_unique<LevelsWindow>(store, seams.Seams(), '.');
    if (!testing::ShowActive(design.get())) return 1;
    testing::TypeWorkedExampleLevels(design.get());
    testing::Button(design.get(), "GOButton")->setFocus();
    if (!design->grab().save(folder.filePath("levels-window.png"))) return 1;

    testing::Button(design.get(), "GOButton")->click();
    DataWindow* data = design->Data();
    if (data == nullptr || !testing::ShowActive(data)) return 1;
    const char* scores[2][3][2] = {{{"3", "5"}, {"2", "4"}, {"4", "6"}},
                                   {{"4", "8"}, {"3", "7"}, {"6", "9"}}};
    for (int a = 1; a >= 0; --a) {
        testing::ClickTab(testing::Tabs(data, "TabControl1"), a);
        for (int s = 0; s < 3; ++s)
            for (int b = 0; b < 2; ++b)
                testing::TypeInCell(testing::Grid(data, "StringGrid1"), b + 1, s + 1, scores[a][s][b]);
    }
    testing::Button(data, "ExitButton")->setFocus();
    if (!data->grab().save(folder.filePath("data-window.png"))) return 1;
    design.reset();

    // A long study, N = 100,000 by 2 x 10 levels, scrolled down and right: the
    // headings stay, and the heading column is as wide as "100000番目".
    StudyStore longStudy;
    std::vector<std::string> namesA{"a1", "a2"}, namesB;
    for (int b = 1; b <= 10; ++b) namesB.push_back("b" + std::to_string(b));
    namesB[9] = "a long name of b10";
    StartNewStudy(longStudy, namesA, namesB, "100000");
    for (std::int32_t s = 1; s <= 100000; ++s)
        for (std::int32_t b = 1; b <= 10; ++b) longStudy.CellText(s, 1, b) = std::to_string((s * 7 + b) % 90);
    longStudy.CellText(99997, 1, 9) = "12345.678901";
    QWidget owner;
    DataWindow longForm(&owner, longStudy, seams.Seams(), '.');
    if (!testing::ShowActive(&longForm)) return 1;
    auto* grid = testing::Grid(&longForm, "StringGrid1");
    grid->setFocus();
    grid->SelectCell(9, 100000);
    grid->SelectCell(9, 99997);
    QTest::qWait(50);
    if (!longForm.grab().save(folder.filePath("long-study.png"))) return 1;

    // The progress of a long listing, taken once its dialog shows, then stopped.
    seams.printer.slowLines = 3000;
    bool taken = false;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible() || dialog->value() < 1500) return;
        watch.stop();
        taken = dialog->grab().save(folder.filePath("print-progress.png"));
        dialog->cancel();
    });
    watch.start();
    testing::Button(&longForm, "PButton")->click();
    return taken ? 0 : 1;
}
