#pragma once
// The system's default printer as the target of print jobs. Each job gets a
// printer object of its own, so a change of the default printer between two
// listings is followed.

#include "listing/DrawingSurface.h"

namespace morvane {

class QtDefaultPrinter : public PrintTarget {
public:
    // A job on the default printer with its default settings (paper,
    // orientation, copies) at its own resolution, and an empty document name.
    // PrinterError "デフォルト プリンタが存在しません" when there is none,
    // "選択したプリンタは有効ではありません" when it cannot be opened.
    std::unique_ptr<DrawingSurface> BeginJob() override;
};

}  // namespace morvane
