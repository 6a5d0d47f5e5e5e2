#pragma once
// Seams of the data window for the printing tests: no dialog is expected, and
// every message the window would show is recorded.

#include <QString>
#include <QStringList>

#include "widgets/Seams.h"

namespace morvane::testing {

struct NoDialogs : widgets::FileDialogs {
    std::optional<QString> Open(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> Save(QWidget*, const QString&, const QString&) override { return std::nullopt; }
};

struct RecordedMessages : widgets::MessageBoxes {
    QStringList shown;
    void ShowError(QWidget*, const QString& text) override { shown.append(text); }
};

}  // namespace morvane::testing
