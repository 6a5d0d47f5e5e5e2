#pragma once
// The run of the program: the levels window as the main window, the event loop,
// and the end when the levels window closes.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "store/StudyStore.h"
#include "widgets/Seams.h"

class QApplication;

namespace morvane {

class LevelsWindow;

class Program {
public:
    // Creates the levels window (its grids are set up) on `store`, hidden.
    Program(QApplication& application, StudyStore& store, const widgets::Seams& seams, char decimalSeparator);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Shows the levels window and runs the event loop until it closes: by its
    // own Close or frame, or by the data window's Close. Given a `study`, the
    // levels window opens it first (LevelsWindow::OpenStudy) and is shown only
    // if it fails. Then the levels window is destroyed together with the data
    // window it owns and the store is released. Returns the loop's exit status.
    // A program runs once: run again, it returns 0 at once.
    //
    // Before that, with a recovery file in the seams, the recovery files that
    // programs now gone left in its folder are offered, the newest first:
    // "前回保存されなかったデータがあります。復元しますか?" with the time each
    // was written. はい opens the data window on that study, unsaved, in
    // place of `study` (the older files stay for a later start); いいえ
    // removes the file and offers the next.
    int Run(const std::optional<std::string>& study = std::nullopt);

    // The levels window, and through it the data window; nullptr once the run
    // has ended.
    LevelsWindow* Levels() const { return levels_.get(); }

    // Whether the desktop session may end now (a logout): at once when the
    // study has not changed; otherwise the question before unsaved scores go
    // (LevelsWindow::MayDiscard), once `askUser` has said that the user may be
    // asked. When not, the session ends without it.
    bool MayEndSession(const std::function<bool()>& askUser);

private:
    // Offers the recovery files left by programs that are gone; whether one
    // was opened.
    bool OfferRecovery();

    StudyStore& store_;
    widgets::Seams seams_;
    std::unique_ptr<LevelsWindow> levels_;
};

}  // namespace morvane
