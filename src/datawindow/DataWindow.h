#pragma once
// The data entry window. A tab per level of A and a grid of the subjects by the
// levels of B, which is the working copy of the scores of the level whose tab
// is selected; CellText holds every other level. Every command that needs the
// scores first writes the shown grid back.

#include <cstdint>
#include <memory>

#include "store/StudyStore.h"
#include "widgets/DialogState.h"
#include "widgets/FormWindow.h"
#include "widgets/Seams.h"

namespace Ui {
class DataWindow;
}

namespace morvane {

class AnalysisWindow;

class DataWindow : public widgets::FormWindow {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it). Creation sets up
    // the tabs and the grid (SetUpTabsAndGrid); a failure in it is shown and
    // the window is created anyway.
    DataWindow(QWidget* owner, StudyStore& store, const widgets::Seams& seams, char decimalSeparator);
    ~DataWindow() override;

    // The selected tab: writes back the level shown and shows the selected one.
    void ShowSelectedLevel();
    // 保存: writes the study to a data file chosen in the Save dialog.
    void Save();
    // 計算: writes the results file chosen in the dialog.
    void Calculate();
    // 印刷: prints the score tables on the default printer.
    void Print();
    // 終了: releases the store and closes the owner, which ends the program.
    void Exit();
    // 分析: writes back the shown level, parses every score and shows the
    // analysis window, or brings it up to date.
    void Analyse();

    widgets::DialogState SaveDialog1;
    widgets::DialogState OpenDialog1;

protected:
    // Closing the frame is the Close command.
    void closeEvent(QCloseEvent* event) override;

private:
    // Sizes the score values, makes a tab per level of A and shows level 1.
    void SetUpTabsAndGrid();
    // The level of A the grid shows, from the selected tab.
    std::int32_t SelectedLevel() const;
    void WriteBack(std::int32_t level);

    std::unique_ptr<Ui::DataWindow> ui_;
    AnalysisWindow* analysis_ = nullptr;  // made at the first 分析, owned by this window
    bool closed_ = false;
};

}  // namespace morvane
