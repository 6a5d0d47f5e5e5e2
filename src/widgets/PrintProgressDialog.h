#pragma once
// The progress of a listing being printed, as the user sees it: once the job
// has run for a moment, a modal dialog with the pages done and a "中止" button
// that stops the job. The windows repaint meanwhile, but nothing the user does
// outside the dialog reaches them, so no other command runs until the job ends.

#include <QElapsedTimer>
#include <QPointer>
#include <memory>

#include "listing/ListingPrinter.h"

class QProgressDialog;
class QString;
class QWidget;

namespace morvane::widgets {

class PrintProgressDialog final : public PrintProgress {
public:
    // The dialog belongs to `parent`; it shows only after `showAfterMs`.
    explicit PrintProgressDialog(QWidget* parent, int showAfterMs = 500);
    ~PrintProgressDialog() override;
    PrintProgressDialog(const PrintProgressDialog&) = delete;
    PrintProgressDialog& operator=(const PrintProgressDialog&) = delete;

    bool Continue(std::int64_t lines, std::int64_t totalLines, int page) override;

    // The dialog, once it exists (for the pictures and the tests).
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    void Update(std::int64_t lines, std::int64_t totalLines, int page);

    QWidget* parent_;
    int showAfterMs_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer started_;
    QElapsedTimer sinceUpdate_;
    bool stopped_ = false;
};

// The dialog's text for the job on page `page`.
QString PrintingPageText(int page);

// A long job's modal progress dialog as every window shows it: titled
// "PMorvane" in the windows' font, with `label`, a bar of `maximum` steps
// (0: one that only shows the job goes on) and "中止"; "中止", Escape and the
// frame's close all set `stopped`. Shown at once.
std::unique_ptr<QProgressDialog> OpenStoppableProgress(QWidget* parent, const QString& label, int maximum,
                                                       const QString& objectName, bool& stopped);

// Lets the windows repaint during the job; until `dialog` stands in front,
// what the user does waits for the job.
void LetWindowsRepaint(const QProgressDialog* dialog);

}  // namespace morvane::widgets
