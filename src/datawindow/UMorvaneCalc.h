#pragma once
// UMorvaneCalc: the data entry window. A tab per level of A and a grid of the
// subjects by the levels of B, which is the working copy of the scores of the
// level whose tab is selected; CellText holds every other level. Every command
// that needs the scores first writes the shown grid back.

#include <cstdint>
#include <memory>

#include "store/StudyStore.h"
#include "widgets/DialogState.h"
#include "widgets/FormWindow.h"
#include "widgets/Seams.h"

namespace Ui {
class TCalcForm;
}

namespace morvane {

class AnalysisWindow;

class TCalcForm : public widgets::FormWindow {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it). Creation runs
    // FormCreate; a failure in it is shown and the window is created anyway.
    TCalcForm(QWidget* owner, StudyStore& store, const widgets::Seams& seams, char decimalSeparator);
    ~TCalcForm() override;

    void FormCreate();
    void TabControl1Change();
    void SaveButtonClick();
    void CalcButtonClick();
    void PButtonClick();
    void ExitButtonClick();
    // 分析: writes back the shown level, parses every score and shows the
    // analysis window, or brings it up to date.
    void AnalysisButtonClick();

    widgets::DialogState SaveDialog1;
    widgets::DialogState OpenDialog1;

protected:
    // Closing the frame is the Close command.
    void closeEvent(QCloseEvent* event) override;

private:
    // The level of A the grid shows, from the selected tab.
    std::int32_t SelectedLevel() const;
    void WriteBack(std::int32_t level);

    std::unique_ptr<Ui::TCalcForm> ui_;
    AnalysisWindow* analysis_ = nullptr;  // made at the first 分析, owned by this window
    bool closed_ = false;
};

// The data window of the run, once the design window has created it.
extern TCalcForm* CalcForm;

}  // namespace morvane
