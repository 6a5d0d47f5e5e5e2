#pragma once
// The run of the program: the design window as the main window, the event loop,
// and the end when the design window closes.

#include <optional>
#include <string>

#include "store/StudyStore.h"
#include "widgets/Seams.h"

class QApplication;

namespace morvane {

// Creates Form1 (its FormCreate runs), shows it and runs the event loop until
// Form1 closes: by its own Close or frame, or by the data window's Close.
// Given a `study`, Form1 opens it first (TForm1::OpenStudy) and is shown only
// if it fails. Then Form1 is destroyed together with the data window it owns
// and the store is released. Returns the loop's exit status.
int RunPMorvane(QApplication& application, StudyStore& store, const widgets::Seams& seams,
                char decimalSeparator, const std::optional<std::string>& study = std::nullopt);

}  // namespace morvane
