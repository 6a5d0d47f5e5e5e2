#include "widgets/PrintProgressDialog.h"

#include <QApplication>
#include <QCoreApplication>
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
    return QCoreApplication::translate("morvane::widgets::PrintProgressDialog", "印刷中です: %1 ページ目")
        .arg(page);
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
    if (!dialog_ && started_.elapsed() >= showAfterMs_)
        dialog_ = OpenStoppableProgress(parent_, PrintingPageText(page), Scaled(totalLines, totalLines),
                                        QStringLiteral("PrintProgress"), stopped_);
    if (dialog_) {
        dialog_->setLabelText(PrintingPageText(page));
        dialog_->setValue(Scaled(std::min(lines, totalLines), totalLines));
    }
    LetWindowsRepaint(dialog_.get());
}

std::unique_ptr<QProgressDialog> OpenStoppableProgress(QWidget* parent, const QString& label, int maximum,
                                                       const QString& objectName, bool& stopped) {
    auto dialog = std::make_unique<QProgressDialog>(
        label, QCoreApplication::translate("morvane::widgets::PrintProgressDialog", "中止"), 0, maximum,
        parent);
    dialog->setObjectName(objectName);
    dialog->setWindowTitle(QStringLiteral("PMorvane"));
    dialog->setFont(FormWindow::WindowFont());
    // Nothing but the dialog takes the user's input while the job runs.
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    QObject::connect(dialog.get(), &QProgressDialog::canceled, [&stopped] { stopped = true; });
    QObject::connect(dialog.get(), &QDialog::rejected, [&stopped] { stopped = true; });
    dialog->show();
    return dialog;
}

void LetWindowsRepaint(const QProgressDialog* dialog) {
    QApplication::processEvents(dialog && dialog->isVisible() ? QEventLoop::AllEvents
                                                              : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace morvane::widgets
