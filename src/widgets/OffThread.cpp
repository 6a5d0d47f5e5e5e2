#include "widgets/OffThread.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <exception>

#include "widgets/PrintProgressDialog.h"

namespace morvane::widgets {
namespace {

// How often the wait looks whether the work has ended.
constexpr int kLookMs = 20;

// What the worker hands back; shared, so that a work stopped by 中止 may end
// after the wait and write into it.
struct WorkState {
    std::atomic<bool> ended{false};
    std::exception_ptr failure;
};

// The wait of the work running now (the windows' thread only).
bool running = false;

// Lets the windows' thread run for a while: paints and timers, and the user's
// input only once the dialog stands in front of the windows.
void WaitAWhile(const QProgressDialog* dialog) {
    QEventLoop loop;
    QTimer::singleShot(kLookMs, &loop, &QEventLoop::quit);
    loop.exec(dialog != nullptr && dialog->isVisible() ? QEventLoop::AllEvents
                                                         : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

bool OffThreadRunning() {
    return running;
}

bool RunOffThread(QWidget* parent, const QString& label, int showAfterMs, const QString& objectName,
                  std::function<void()> work) {
    if (running) return false;
    running = true;
    auto state = std::make_shared<WorkState>();
    QThreadPool::globalInstance()->start([state, work = std::move(work)] {
        try {
            work();
        } catch (...) {
            state->failure = std::current_exception();
        }
        state->ended.store(true, std::memory_order_release);
    });
    bool stopped = false;
    std::unique_ptr<QProgressDialog> dialog;
    QElapsedTimer started;
    started.start();
    for (;;) {
        // The dialog is looked at before the work: with no delay it shows
        // however short the work is.
        if (!dialog && started.elapsed() >= showAfterMs)
            dialog = OpenStoppableProgress(parent, label, 0, objectName, stopped);
        if (stopped || state->ended.load(std::memory_order_acquire)) break;
        WaitAWhile(dialog.get());
    }
    dialog.reset();
    // What the user did while the work ran and the windows held back (a second
    // click of the command) reaches them now, and is refused like any command
    // that starts a second work.
    QApplication::processEvents();
    running = false;
    if (stopped) return false;
    if (state->failure) std::rethrow_exception(state->failure);
    return true;
}

}  // namespace morvane::widgets
