// window_scale: how long the data window takes with large studies, on the
// offscreen platform. For each study: the creation of the window until it is
// shown, a tab change made by the user, and one keystroke in a cell; medians
// of several runs, in milliseconds. Not a test: the figures depend on the machine.

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
        return std::to_string((s * 7 + x * 3 + y) % 100) + ".5";
    });
}

double Ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void Probe(std::int32_t n, std::int32_t na, std::int32_t nb, int runs) {
    testing::FakeSeams seams;
    StudyStore store;
    QWidget owner;
    std::vector<double> create, tab, key;
    for (int run = 0; run < runs; ++run) {
        FillStudy(store, n, na, nb);
        QElapsedTimer t;
        t.start();
        auto form = std::make_unique<DataWindow>(&owner, store, seams.Seams(), '.');
        form->show();
        QApplication::processEvents();
        create.push_back(Ms(t));
        if (!testing::ShowActive(form.get())) return;

        if (na > 1) {
            t.start();
            testing::ClickTab(testing::Tabs(form, "TabControl1"), 1);
            QApplication::processEvents();
            tab.push_back(Ms(t));
            testing::ClickTab(testing::Tabs(form, "TabControl1"), 0);
        }
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 1, 1, "1");
        for (int k = 0; k < 20; ++k) {
            t.start();
            QTest::keyClick(QApplication::focusWidget(), '2');
            QApplication::processEvents();
            key.push_back(Ms(t));
        }
    }
    std::printf("N = %d, na = %d, nb = %d (%lld scores): creation %.1f ms", n, na, nb,
                static_cast<long long>(n) * na * nb, Median(create));
    if (!tab.empty()) std::printf(", tab change %.1f ms", Median(tab));
    std::printf(", keystroke %.3f ms (medians of %d runs)\n", Median(key), runs);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Probe(100000, 2, 10, 5);
    Probe(100000, 1, 10, 5);
    Probe(250000, 2, 2, 5);
    Probe(1000, 2, 10, 5);
    return 0;
}
