#pragma once
// UMorvane: the design window, the program's first and main window. The user
// names the levels of A and B in two grids and gives N; OK starts a new study
// and Load reads one from a data file, and either hands over to the data window.

#include <memory>
#include <string>

#include "store/StudyStore.h"
#include "widgets/DialogState.h"
#include "widgets/FormWindow.h"
#include "widgets/Seams.h"

namespace Ui {
class TForm1;
}

namespace morvane {

class TForm1 : public widgets::FormWindow {
    Q_OBJECT

public:
    // Creation runs FormCreate.
    TForm1(StudyStore& store, const widgets::Seams& seams, char decimalSeparator, QWidget* parent = nullptr);
    ~TForm1() override;

    void ExitButtonClick();
    void FormCreate();
    void AddAButtonClick();
    void AddBButtonClick();
    void DelAButtonClick();
    void DelBButtonClick();
    void GOButtonClick();
    void ReadButtonClick();

    // Loads the study in `path` as ReadButtonClick does after its dialog, the
    // name given instead of chosen (the program's command line): a study that
    // loads hands over to the data window, and this window is never shown; one
    // that fails shows this window, then the failure's message. The Load
    // dialog offers `path` from then on.
    void OpenStudy(const std::string& path);

    widgets::DialogState OpenDialog1;

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Hides this window and opens the data window on the filled store.
    void HandOver();

    std::unique_ptr<Ui::TForm1> ui_;
};

// The design window of the run.
extern TForm1* Form1;

}  // namespace morvane
