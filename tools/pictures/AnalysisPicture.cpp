// analysis_window_picture FOLDER: loads the bundled study of eight subjects
// (A: a1, a2; B: b1, b2, b3) into the data window, presses 分  析 as a user
// would and saves a picture of the results window with its plot,
// analysis-window.png, and of its pages 前提の確認 and Q-Q プロット one above the
// other, assumption-checks.png; then opens the bundled long CSV
// examples/mixed-design.csv with its guessed roles, as the roles dialog's ＯＫ
// does, and saves its results window, design-analysis.png; all into FOLDER.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
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
// this one, its page `caption` shown (none: the first): the window, or with
// `pageAlone` the page alone.
QPixmap Picture(QWidget* window, const QString& caption, QSize size, bool pageAlone = false) {
    auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
    if (pages == nullptr) return {};
    pages->setCurrentIndex(0);
    for (int i = 0; i < pages->count(); ++i)
        if (pages->tabText(i) == caption) pages->setCurrentIndex(i);
    window->resize(size);
    QTest::qWait(50);
    return (pageAlone ? pages->currentWidget() : window)->grab();
}

// Two pictures one above the other.
QPixmap Stacked(const QPixmap& top, const QPixmap& bottom) {
    QPixmap both(std::max(top.width(), bottom.width()), top.height() + bottom.height());
    both.fill(Qt::white);
    QPainter painter(&both);
    painter.drawPixmap(0, 0, top);
    painter.drawPixmap(0, top.height(), bottom);
    return both;
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
    if (!Picture(window, {}, {1280, 720}).save(folder.filePath("analysis-window.png"))) return 1;
    const QPixmap checks = Picture(window, QStringLiteral(u"前提の確認"), {1280, 600}, true);
    const QPixmap plots = Picture(window, QStringLiteral(u"Q-Q プロット"), {1280, 900}, true);
    if (!Stacked(checks, plots).save(folder.filePath("assumption-checks.png"))) return 1;
    form.reset();

    const std::string csv = MORVANE_EXAMPLES "/mixed-design.csv";
    QFile file(QString::fromStdString(csv));
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const std::string bytes = file.readAll().toStdString();
    const CsvSource source{csv, {"subject", "score", {"time"}, {"group"}}, {}};
    auto design = std::make_unique<ResultsWindow>(&owner, seams.Seams(), '.');
    design->ShowCsv(source, bytes, ReadLongCsv(bytes, source.roles, source.options));
    if (!testing::ShowActive(design.get()) ||
        !Picture(design.get(), {}, {1280, 720}).save(folder.filePath("design-analysis.png")))
        return 1;
    return 0;
}
