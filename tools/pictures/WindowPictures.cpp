// window_pictures FOLDER: fills the two windows as a user would for the worked
// example (levels a1, a2 and b1, b2, N = 3, the twelve scores) and saves a
// picture of each, design-window.png and data-window.png, into FOLDER.

#include <QApplication>
#include <QDir>
#include <QTest>
#include <cstdio>

#include "datawindow/UMorvaneCalc.h"
#include "designwindow/UMorvane.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"
#include "support/WorkedExampleDesign.h"

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

    Form1 = new TForm1(store, seams.Seams(), '.');
    if (!testing::ShowActive(Form1)) return 1;
    testing::TypeWorkedExampleDesign(Form1);
    testing::Button(Form1, "GOButton")->setFocus();
    if (!Form1->grab().save(folder.filePath("design-window.png"))) return 1;

    testing::Button(Form1, "GOButton")->click();
    if (CalcForm == nullptr || !testing::ShowActive(CalcForm)) return 1;
    const char* scores[2][3][2] = {{{"3", "5"}, {"2", "4"}, {"4", "6"}},
                                   {{"4", "8"}, {"3", "7"}, {"6", "9"}}};
    for (int a = 1; a >= 0; --a) {
        testing::ClickTab(testing::Tabs(CalcForm, "TabControl1"), a);
        for (int s = 0; s < 3; ++s)
            for (int b = 0; b < 2; ++b)
                testing::TypeInCell(testing::Grid(CalcForm, "StringGrid1"), b + 1, s + 1, scores[a][s][b]);
    }
    testing::Button(CalcForm, "ExitButton")->setFocus();
    if (!CalcForm->grab().save(folder.filePath("data-window.png"))) return 1;
    delete Form1;
    return 0;
}
