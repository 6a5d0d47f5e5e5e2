// analysis_window_picture FOLDER: loads the bundled study of eight subjects
// (A: a1, a2; B: b1, b2, b3) into the data window, presses 分  析 as a user
// would and saves a picture of the results window with its plot,
// analysis-window.png, of its page 前提の確認, assumption-checks.png, and of its
// page Q-Q プロット, quantile-plots.png; then opens the bundled long CSV
// examples/mixed-design.csv with its guessed roles, as the roles dialog's ＯＫ
// does, and saves its results window, design-analysis.png; all into FOLDER.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <memory>

#include "datawindow/DataWindow.h"
#include "exchange/LongCsv.h"
#include "resultswindow/ResultsWindow.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"

using namespace morvane;

namespace {

// The window at the size it takes on a large screen, whatever the room on
// this one, its page `caption` shown (none: the first), saved as `name`.
bool Picture(QWidget* window, const QString& caption, QSize size, const QDir& folder, const char* name,
             bool pageAlone = false) {
    auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
    if (pages == nullptr) return false;
    pages->setCurrentIndex(0);
    for (int i = 0; i < pages->count(); ++i)
        if (pages->tabText(i) == caption) pages->setCurrentIndex(i);
    window->resize(size);
    QTest::qWait(50);
    QWidget* shown = pageAlone ? pages->currentWidget() : window;
    return shown->grab().save(folder.filePath(QString::fromLatin1(name)));
}

}  // namespace

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
    ResultsWindow* window = form->Results();
    if (window == nullptr || !seams.messages.Shown().isEmpty() || !testing::ShowActive(window)) return 1;
    if (!Picture(window, {}, {1280, 720}, folder, "analysis-window.png") ||
        !Picture(window, QStringLiteral(u"前提の確認"), {1280, 1000}, folder, "assumption-checks.png", true) ||
        !Picture(window, QStringLiteral(u"Q-Q プロット"), {1280, 800}, folder, "quantile-plots.png", true))
        return 1;
    form.reset();

    const std::string csv = MORVANE_EXAMPLES "/mixed-design.csv";
    QFile file(QString::fromStdString(csv));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const std::string bytes = file.readAll().toStdString();
    const CsvSource source{csv, {"subject", "score", {"time"}, {"group"}}, {}};
    auto design = std::make_unique<ResultsWindow>(&owner, seams.Seams(), '.');
    design->ShowCsv(source, bytes, ReadLongCsv(bytes, source.roles, source.options));
    if (!testing::ShowActive(design.get()) || !Picture(design.get(), {}, {1280, 720}, folder, "design-analysis.png"))
        return 1;
    return 0;
}
