#include "widgets/PrintProgressDialog.h"

#include <QApplication>
#include <QProgressDialog>
#include <algorithm>
#include <climits>

#include "widgets/FormWindow.h"

namespace morvane::widgets {
namespace {

// How often the job stops to show its progress and let the windows repaint.
constexpr int kUpdateMs = 40;

int Scaled(std::int64_t value, std::int64_t total) {
    // QProgressDialog counts in int; very long jobs are shown in proportion.
    if (total <= INT_MAX) return static_cast<int>(value);
    return static_cast<int>(static_cast<long double>(value) / static_cast<long double>(total) * INT_MAX);
}

}  // namespace

QString PrintingPageText(int page) {
    return QStringLiteral(u"印刷中です: %1 ページ目").arg(page);
}

PrintProgressDialog::PrintProgressDialog(QWidget* parent, int showAfterMs)
    : parent_(parent), showAfterMs_(showAfterMs) {
    started_.start();
    sinceUpdate_.start();
}

PrintProgressDialog::~PrintProgressDialog() = default;

bool PrintProgressDialog::Continue(std::int64_t lines, std::int64_t totalLines, int page) {
    if (stopped_) return false;
    if (sinceUpdate_.elapsed() >= kUpdateMs) {
        Update(lines, totalLines, page);
        sinceUpdate_.restart();
        if (dialog_ && dialog_->wasCanceled()) stopped_ = true;
    }
    return !stopped_;
}

void PrintProgressDialog::Update(std::int64_t lines, std::int64_t totalLines, int page) {
    if (!dialog_ && started_.elapsed() >= showAfterMs_) {
        dialog_ = std::make_unique<QProgressDialog>(PrintingPageText(page), QStringLiteral(u"中止"), 0,
                                                    Scaled(totalLines, totalLines), parent_);
        dialog_->setObjectName(QStringLiteral("PrintProgress"));
        dialog_->setWindowTitle(QStringLiteral("PMorvane"));
        dialog_->setFont(FormWindow::WindowFont());
        // Nothing but the dialog takes the user's input while the job runs.
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        // "中止", Escape and the frame's close all stop the job.
        QObject::connect(dialog_.get(), &QProgressDialog::canceled, [this] { stopped_ = true; });
        QObject::connect(dialog_.get(), &QDialog::rejected, [this] { stopped_ = true; });
        dialog_->show();
    }
    if (dialog_) {
        dialog_->setLabelText(PrintingPageText(page));
        dialog_->setValue(Scaled(std::min(lines, totalLines), totalLines));
    }
    // Until the dialog stands in front, what the user does waits for the job.
    QApplication::processEvents(dialog_ && dialog_->isVisible() ? QEventLoop::AllEvents
                                                                : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace morvane::widgets
