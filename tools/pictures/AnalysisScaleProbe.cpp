// analysis_window_scale: how long 分  析 takes to show the results window with
// large studies, on the offscreen platform: from the press until the window is
// shown and painted, the first press (the window made) and a later one (brought
// up to date); medians of several runs, in milliseconds. Not a test: the
// figures depend on the machine.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "ProbeStudy.h"
#include "datawindow/DataWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"

using namespace morvane;
using morvane::probe::Median;

namespace {

void FillStudy(StudyStore& store, std::int32_t n, std::int32_t na, std::int32_t nb) {
    probe::FillStudy(store, n, na, nb, [](std::int32_t s, std::int32_t x, std::int32_t y) {
        return std::to_string((s * 7 + x * 3 + y * y + s % 13) % 100) + ".5";
    });
}

// Presses 分析 and waits until the results window has been shown and painted.
double Press(DataWindow& form) {
    QElapsedTimer t;
    t.start();
    testing::Button(&form, "AnalysisButton")->click();
    auto* window = form.findChild<QWidget*>(QStringLiteral("ResultsWindow"));
    if (window == nullptr || !QTest::qWaitForWindowExposed(window)) return -1;
    QApplication::processEvents();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void Probe(std::int32_t n, std::int32_t na, std::int32_t nb, int runs) {
    testing::FakeSeams seams;
    StudyStore store;
    QWidget owner;
    std::vector<double> first, again;
    for (int run = 0; run < runs; ++run) {
        FillStudy(store, n, na, nb);
        auto form = std::make_unique<DataWindow>(&owner, store, seams.Seams(), '.');
        if (!testing::ShowActive(form.get())) return;
        first.push_back(Press(*form));
        again.push_back(Press(*form));
        if (!seams.messages.Shown().isEmpty()) {
            std::fprintf(stderr, "analysis_window_scale: %s\n", qPrintable(seams.messages.Shown().front()));
            return;
        }
    }
    std::printf(
        "N = %d, na = %d, nb = %d (%lld scores): 分析 to the window shown %.0f ms, again %.0f ms "
        "(medians of %d runs)\n",
        n, na, nb, static_cast<long long>(n) * na * nb, Median(first), Median(again), runs);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Probe(100000, 2, 10, 5);
    Probe(1000, 10, 10, 5);
    return 0;
}
