#include "levelswindow/LoadProgress.h"

#include <QCoreApplication>
#include <QLocale>
#include <QProgressDialog>
#include <algorithm>

#include "widgets/PrintProgressDialog.h"

namespace morvane {
namespace {

// How often the load stops to show its progress and let the windows repaint.
constexpr int kUpdateMs = 40;
// The steps of the bar: a thousandth of the file each.
constexpr int kSteps = 1000;

}  // namespace

QString LoadingText(std::uint64_t done) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    const QString amount =
        done < kMiB
            ? QStringLiteral("%1 KB").arg((done + 1023) / 1024)
            : QStringLiteral("%1 MB").arg(QLocale::c().toString(static_cast<double>(done) / kMiB, 'f', 1));
    return QCoreApplication::translate("morvane::LoadProgress", "データファイルを読み込み中です: ") + amount;
}

LoadProgressDialog::LoadProgressDialog(QWidget* parent, int showAfterMs)
    : parent_(parent), showAfterMs_(showAfterMs) {
    started_.start();
    sinceUpdate_.start();
}

LoadProgressDialog::~LoadProgressDialog() = default;

bool LoadProgressDialog::Continue(std::uint64_t done, std::uint64_t total) {
    if (dialog_ && dialog_->wasCanceled()) stopped_ = true;
    if (stopped_) return false;
    if (sinceUpdate_.elapsed() >= kUpdateMs) {
        Update(done, total);
        sinceUpdate_.restart();
    }
    return !stopped_;
}

void LoadProgressDialog::Update(std::uint64_t done, std::uint64_t total) {
    // Without a size to measure by, the bar only shows that the load goes on.
    if (!dialog_ && started_.elapsed() >= showAfterMs_)
        dialog_ = widgets::OpenStoppableProgress(parent_, LoadingText(done), total > 0 ? kSteps : 0,
                                                 QStringLiteral("LoadProgress"), stopped_);
    if (dialog_) {
        dialog_->setLabelText(LoadingText(done));
        if (total > 0) dialog_->setValue(static_cast<int>(std::min(done, total) * kSteps / total));
    }
    widgets::LetWindowsRepaint(dialog_.get());
}

}  // namespace morvane
