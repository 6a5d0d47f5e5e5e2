#pragma once
// The data entry window. A tab per level of A and a grid of the subjects by the
// levels of B, which is the working copy of the scores of the level whose tab
// is selected; CellText holds every other level. Every command that needs the
// scores first writes the shown grid back.

#include <QTimer>
#include <QUndoStack>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "output/OutputOptions.h"
#include "store/StudyStore.h"
#include "widgets/DialogState.h"
#include "widgets/FileChoice.h"
#include "widgets/FormWindow.h"
#include "widgets/Seams.h"
#include "widgets/StringGrid.h"

namespace Ui {
class DataWindow;
}

namespace morvane {

class ResultsWindow;
struct ScoreCell;

class DataWindow : public widgets::FormWindow {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it). Creation sets up
    // the tabs and the grid (SetUpTabsAndGrid); a failure in it is shown and
    // the window is created anyway. The keyboard focus starts in the grid, on
    // the first score.
    DataWindow(QWidget* owner, StudyStore& store, const widgets::Seams& seams, char decimalSeparator);
    ~DataWindow() override;

    // The selected tab: writes back the level shown and shows the selected one.
    void ShowSelectedLevel();
    // The study was loaded from the data file at `path`: 保存 starts there and
    // replaces it without a question, and while the study is as loaded, 分析
    // names that file's bytes as the data its figures are of.
    // 計算 and the results window's exports never write over it, nor over the
    // file it is saved to.
    void SetStudyFile(const QString& path);

    // 保存: writes the study to a data file chosen in the Save dialog, which
    // starts with the file the study was loaded from or last saved to. Another
    // file that exists is replaced only once the user says so (FileChoice).
    // Returns whether it was written (not when the dialog was cancelled, the
    // user kept the other file or the write failed).
    bool Save();
    // 計算: writes the results file chosen in the dialog, asking before it
    // replaces a file other than the results files it wrote before. A bad
    // score shows its level's tab with its cell selected, then its message.
    void Calculate();
    // 印刷: prints the score tables on the default printer.
    void Print();
    // 終了: once EndStudy agrees, closes the owner, which ends the program.
    void Exit();
    // 分析: writes back the shown level, analyses the study's subjects with
    // every score (DesignFromStudy, anova::Analyse) beside the precision check
    // of its results file, and shows the results window, or brings it up to
    // date. A bad score is shown as by 計算, and the results window, when open,
    // says that its figures are of an earlier state of the study, as it does
    // from the first change after 分析. The analysis runs on a worker thread
    // (widgets::RunOffThread): its progress shows after a moment, and 中止
    // drops it, the windows as they were; a 分析 meanwhile does nothing.
    void Analyse();
    // How long 分析 runs before its progress shows (half a second unless set,
    // for the tests and the pictures).
    void SetProgressDelay(int ms) { progressAfterMs_ = ms; }
    // The results window, once 分析 made it.
    ResultsWindow* Results() const { return results_; }

    // Ctrl+Z; Ctrl+Shift+Z and Ctrl+Y: the last step of the grid undone, or the
    // last undone done again. A step is a cell's typing, once the editor left
    // the cell, or a block paste; a step of another level of A shows that
    // level's tab first, and the step's first cell is selected.
    void Undo();
    void Redo();

    // Whether the study may go: at once when it is as it was created, loaded or
    // last saved (an undo back to that counts as such); otherwise only once the
    // question "変更を保存しますか?" is answered 保存 and the save succeeds, or
    // 保存しない. キャンセル, or a save cancelled or failed, keeps it. Once let
    // go, the study is not asked about again until it changes again.
    bool MayDiscard();
    // Once MayDiscard agrees: the results window closed and the store
    // released, for good. Returns whether it went (at once when it had).
    bool EndStudy();
    // Whether the study changed since it was created, loaded or last saved
    // (what is being typed counts, and becomes a step); never once closed.
    bool Changed();

    // The steps that Undo and Redo walk.
    const QUndoStack& Steps() const { return steps_; }

    // While the study has unsaved changes, it is kept in the seams' recovery
    // file this long after the last step or keystroke in a cell (3 s unless
    // set, for the tests); a
    // save, an undo back to the saved state, 保存しない and the study's end
    // remove the file.
    void SetRecoveryDelay(int ms) { keeping_.setInterval(ms); }
    // The study came from a recovery file: it counts as changed until it is
    // saved, and goes at once into this program's own recovery file.
    void MarkRecovered();

    widgets::DialogState SaveDialog1;
    widgets::DialogState OpenDialog1;

protected:
    // Closing the frame is the Close command, and asks the same question.
    void closeEvent(QCloseEvent* event) override;
    // The grid grows with the window, the buttons keeping to its right edge.
    void resizeEvent(QResizeEvent* event) override;

private:
    // Sizes the score values, makes a tab per level of A and shows level 1.
    void SetUpTabsAndGrid();
    // The level of A the grid shows, from the selected tab.
    std::int32_t SelectedLevel() const;
    void WriteBack(std::int32_t level);
    // Writes back the level shown and shows `level`, its tab selected.
    void ShowLevel(std::int32_t level);
    // Puts the `after` (or `before`) bytes of a step of `level` into the grid.
    void ApplyStep(std::int32_t level, const widgets::CellChanges& changes, bool after);
    // Runs `parse`; a bad score that it stops on is shown (its tab, its cell
    // selected, the focus in the grid) before its error goes on.
    void ShowingBadScore(const std::function<void()>& parse);
    // Closes the owner, the main window: the program ends.
    void CloseOwner();
    // Runs when a step is done or undone and when the study is saved: starts
    // the wait before the study is kept, or removes the kept copy once the
    // study is as saved.
    void StepsChanged();
    // Runs at the end of that wait: the study, the shown level written back,
    // into the recovery file. A failure is shown once (RecoveryFailed); the
    // user's work goes on.
    void KeepForRecovery();
    // A warning with the reason, the first time a copy cannot be written.
    void RecoveryFailed(const QString& reason);
    // Removes the kept copy and stops the wait.
    void ForgetRecovery();
    // Runs at every change of the study: the results shown are of an earlier state.
    void AnalysisOutOfDate();
    // 分析: where the figures come from, the program and the bytes analysed:
    // the file the study was loaded from while it is unchanged, else the study
    // as 保存 would write it.
    Provenance AnalysedProvenance();

    std::unique_ptr<Ui::DataWindow> ui_;
    ResultsWindow* results_ = nullptr;  // made at the first 分析, owned by this window
    QUndoStack steps_;
    int revision_ = 0;        // counts every step done, undone and done again
    int revisionLetGo_ = -1;  // the revision the user last agreed to let go
    bool closed_ = false;
    QTimer keeping_;  // the wait after the last step before the study is kept
    bool keepFailed_ = false;
    std::string studyFile_;           // the data file loaded from or last saved to, never an output
    widgets::OwnFiles studyFiles_;    // the file loaded from or last saved to
    widgets::OwnFiles resultsFiles_;  // the results files 計算 wrote
    QString loadedFrom_;              // empty once saved: the saved bytes are the study's own
    int progressAfterMs_ = 500;
};

}  // namespace morvane
