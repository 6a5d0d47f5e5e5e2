#pragma once
// Long work of the core run off the windows' thread: the work runs on a worker
// thread with copies of what it needs, while the windows repaint; once it has
// run for a moment a modal progress dialog shows with "中止". 中止 drops the
// work's result (the core cannot be stopped midway: the work ends in the
// background and what it gives is discarded). One such work runs at a time;
// a command that would start a second while one runs does nothing.

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QWidget;

namespace morvane::widgets {

// Runs `work` on a worker thread and waits for it, the windows repainting.
// Until `showAfterMs` has passed what the user does waits; from then a modal
// progress dialog (no steps, `label`, object name `objectName`) takes it, and
// its 中止, Escape or close stop the wait. Returns true once the work has
// ended; false when stopped or when another work was running (refused, `work`
// never run). An exception of `work` is thrown here, in the window's thread.
bool RunOffThread(QWidget* parent, const QString& label, int showAfterMs, const QString& objectName,
                  std::function<void()> work);

// Whether a work of RunOffThread is running (its wait not ended).
bool OffThreadRunning();

// RunOffThread for work that gives a value: the value, or nothing when stopped
// or refused. `work` must own what it reads: it may outlive the call.
template <class T, class Work>
std::optional<T> ComputeOffThread(QWidget* parent, const QString& label, int showAfterMs,
                                  const QString& objectName, Work work) {
    auto result = std::make_shared<std::optional<T>>();
    const bool ended = RunOffThread(parent, label, showAfterMs, objectName,
                                    [result, work = std::move(work)]() mutable { result->emplace(work()); });
    if (!ended) return std::nullopt;
    return std::move(*result);
}

}  // namespace morvane::widgets
