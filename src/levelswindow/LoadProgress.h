#pragma once
// The progress of a study being loaded, as the user sees it: once the load has
// run for a moment, a modal dialog with how much of the file is read (or, for
// a pipe, that it is still being read) and a "中止" button that stops the load.
// The windows repaint meanwhile, but nothing the user does outside the dialog
// reaches them.

#include <QElapsedTimer>
#include <memory>

#include "runtime/TextReader.h"

class QProgressDialog;
class QString;
class QWidget;

namespace morvane {

class LoadProgressDialog final : public ReadProgress {
public:
    // The dialog belongs to `parent`; it shows only after `showAfterMs`.
    explicit LoadProgressDialog(QWidget* parent, int showAfterMs = 500);
    ~LoadProgressDialog() override;
    LoadProgressDialog(const LoadProgressDialog&) = delete;
    LoadProgressDialog& operator=(const LoadProgressDialog&) = delete;

    bool Continue(std::uint64_t done, std::uint64_t total) override;

    // The dialog, once it exists.
    QProgressDialog* Dialog() const { return dialog_.get(); }

private:
    void Update(std::uint64_t done, std::uint64_t total);

    QWidget* parent_;
    int showAfterMs_;
    std::unique_ptr<QProgressDialog> dialog_;
    QElapsedTimer started_;
    QElapsedTimer sinceUpdate_;
    bool stopped_ = false;
};

// The dialog's text after `done` bytes: kilobytes below a megabyte, megabytes
// to a tenth above.
QString LoadingText(std::uint64_t done);

}  // namespace morvane
