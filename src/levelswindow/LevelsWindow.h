#pragma once
// The levels window, the program's first and main window. The user names the
// levels of A and B in two grids and gives N; OK starts a new study and Load
// reads one from a data file, and either hands over to the data window.

#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "levelswindow/CsvRolesDialog.h"
#include "levelswindow/VerifyDialog.h"
#include "resultswindow/ResultsWindow.h"
#include "store/StudyStore.h"
#include "widgets/DialogState.h"
#include "widgets/FormWindow.h"
#include "widgets/LanguageDialog.h"
#include "widgets/Seams.h"

namespace Ui {
class LevelsWindow;
}

namespace morvane {

class LeftRecovery;

class DataWindow;

class LevelsWindow : public widgets::FormWindow {
    Q_OBJECT

public:
    // Creation sets up the level grids and N (SetUpGrids).
    LevelsWindow(StudyStore& store, const widgets::Seams& seams, char decimalSeparator,
                 QWidget* parent = nullptr);
    ~LevelsWindow() override;

    // 閉じる: closes the window, which ends the program.
    void Exit();
    // 追加 and 削除: a level inserted after the selected one, or the selected
    // level deleted.
    void InsertLevelA();
    void InsertLevelB();
    void DeleteLevelA();
    void DeleteLevelB();
    // ＯＫ: a new study of the levels and N shown, then the hand-over.
    void StartNewStudy();
    // 読み込み: a study chosen in the Load dialog, then the hand-over; a long
    // CSV opens its roles dialog (OpenCsv).
    void LoadStudy();

    // 検証…: the published analyses of the verification data's folder
    // (verify::DataFolder) analysed again off the window's thread, their
    // progress shown after a moment with 中止, then the report in a dialog
    // over this window (VerifyDialog); a folder that cannot be read is shown.
    void Verify();
    // 言語…: the dialog of the windows' language over this window
    // (widgets::LanguageDialog); the one open is raised.
    void ChooseLanguage();
    widgets::LanguageDialog* LanguageChoice() const { return languageDialog_; }

    // The verification's dialog while it is open; nullptr when none.
    VerifyDialog* VerificationDialog() const { return verifyDialog_; }

    // Loads the study in `path` as LoadStudy does after its dialog, the name
    // given instead of chosen (the program's command line): a study that loads
    // hands over to the data window, and this window is never shown; one that
    // fails shows this window, then the failure's message, and one stopped by
    // 中止 shows this window alone. The Load dialog offers `path` from then on.
    // A file that ends before its last score loads all the same (those scores
    // empty), and a message over the data window says how many were missing;
    // so does Load. Content after the last score is said there too: a save
    // does not keep it.
    void OpenStudy(const std::string& path);

    // A long CSV (named .csv, or whose first line is no data file's count):
    // the dialog of its columns' roles over this window, modal to it. Its ＯＫ
    // opens the design's results window, or for a study of two within
    // factors the user chose so, the data window as a new study. Throws the
    // read's InOutError or CsvError (no header) before any dialog. The file
    // is read off the window's thread; 中止 opens nothing.
    void OpenCsv(const std::string& path);
    static bool IsLongCsv(const std::string& path);
    // The roles dialog while it is open, and the results window last opened
    // on a CSV; nullptr when none.
    CsvRolesDialog* CsvDialog() const { return csvDialog_; }
    ResultsWindow* CsvResults() const { return csvResults_; }

    // Opens the study that a crashed program left in `left` (Program, at the
    // start), as OpenStudy opens a file, the study counting as changed until
    // it is saved (DataWindow::MarkRecovered); the Load dialog is not given
    // its name. Returns whether the data window opened.
    bool OpenRecoveredStudy(const LeftRecovery& left);

    // Whether the study may go: the data window's question, when it is open
    // (DataWindow::MayDiscard); at once before it is.
    bool MayDiscard();
    // Whether the data window is open on a study that changed (DataWindow::Changed).
    bool Changed();

    // How long a load runs before its progress shows, with 中止 (for the tests
    // and the pictures; half a second unless set); so do the roles dialog's
    // ＯＫ, the data window's 分析 and 検証 (widgets::RunOffThread).
    void SetLoadProgressDelay(int ms) { loadProgressAfterMs_ = ms; }

    // The data window, once the hand-over has made it; nullptr before. It is a
    // top-level window owned by this one and destroyed with it.
    DataWindow* Data() const { return data_; }

    widgets::DialogState OpenDialog1;

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // One unnamed level in each grid and N = 1.
    void SetUpGrids();
    // Hides this window and opens the data window on the filled store; says
    // there how many scores a file that ended early was missing, and tells it
    // the data file `studyFile` it was loaded from (none for a new study).
    void HandOver(std::int64_t missingScores = 0, const QString& studyFile = {});
    // Reads the study in `path` into a store of its own, showing the progress
    // of a long load, and only once it is whole puts it in the shared store:
    // a load that fails (its error thrown) or is stopped (nullopt) changes
    // nothing. Returns how many scores the file ended before.
    std::optional<std::int64_t> ReadStudy(const std::string& path);
    // The roles dialog's ＯＫ: the results window, or the data window.
    void OpenCsvDesign(CsvRolesDialog& dialog);

    std::unique_ptr<Ui::LevelsWindow> ui_;
    // The study read last has content after its last score (told once, at the hand-over).
    bool trailingContent_ = false;
    bool csvChosen_ = false;  // the file last chosen to read was a CSV: its filter comes first
    DataWindow* data_ = nullptr;
    int loadProgressAfterMs_ = 500;
    QPointer<CsvRolesDialog> csvDialog_;
    QPointer<ResultsWindow> csvResults_;
    QPointer<VerifyDialog> verifyDialog_;
    QPointer<widgets::LanguageDialog> languageDialog_;
};

}  // namespace morvane
