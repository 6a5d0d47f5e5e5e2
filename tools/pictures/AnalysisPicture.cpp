// analysis_window_picture FOLDER: loads the bundled study of eight subjects
// (A: a1, a2; B: b1, b2, b3) into the data window, presses 分  析 as a user
// would and saves a picture of the analysis window with its plot,
// analysis-window.png, and of its page 前提の確認 with the Q-Q plots,
// assumption-checks.png, into FOLDER.

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <memory>

#include "datawindow/DataWindow.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"

using namespace morvane;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: analysis_window_picture FOLDER\n", stderr);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    testing::FakeSeams seams;
    StudyStore store;
    LoadStudyFile(store, MORVANE_EXAMPLES "/eight-subjects-2x3.dat");
    QWidget owner;
    auto form = std::make_unique<DataWindow>(&owner, store, seams.Seams(), '.');
    if (!testing::ShowActive(form.get())) return 1;
    testing::Button(form, "AnalysisButton")->click();
    auto* window = form->findChild<QWidget*>(QStringLiteral("AnalysisWindow"));
    if (window == nullptr || !seams.messages.Shown().isEmpty() || !testing::ShowActive(window)) return 1;
    // The size it takes on a large screen, whatever the room beside the data
    // window on this one.
    window->resize(1280, 720);
    QTest::qWait(50);
    if (!window->grab().save(folder.filePath("analysis-window.png"))) return 1;
    auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
    if (pages == nullptr) return 1;
    for (int i = 0; i < pages->count(); ++i)
        if (pages->tabText(i) == QStringLiteral(u"前提の確認")) pages->setCurrentIndex(i);
    window->resize(1280, 1000);
    QTest::qWait(50);
    if (!pages->currentWidget()->grab().save(folder.filePath("assumption-checks.png"))) return 1;
    return 0;
}
