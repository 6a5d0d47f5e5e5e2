#pragma once
// The dialog that opens a long CSV: a preview of its first rows, the reading
// options (separator, decimal comma, encoding, the header's line; 自動 names
// what it found) and a role for every column, one without a name among them
// (the subject, the score, the within factors and the between factors, each
// factor in the order of the list), all filled from the guess so that a tidy
// file needs only ＯＫ. Changing an option guesses again, off the window's
// thread with its progress and 中止, which keeps the options and the guess
// shown before; a change made while a guess runs supersedes it. ＯＫ reads the CSV
// with the roles shown; a refusal (its line and column) is shown through the
// message seam and the dialog stays open. A study of exactly two within
// factors and no between factors may be opened in the data window instead.
// The reading and the design's analysis run off the window's thread, with
// their progress and 中止, which leaves the dialog open as it was.

#include <QDialog>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "anova/Analysis.h"
#include "design/Design.h"
#include "exchange/LongCsv.h"
#include "exchange/RoleGuess.h"
#include "exchange/StudyCsv.h"
#include "store/StudyStore.h"
#include "widgets/Seams.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace morvane {

// The roles a column can be given, as the combo box lists them.
enum class ColumnRole { None, Subject, Score, Within, Between };

class CsvRolesDialog final : public QDialog {
    Q_OBJECT

public:
    // The dialog over `parent` for the CSV `bytes` read from `path`, showing
    // `guess`, the bytes' GuessRoles with nothing given (made on a worker
    // with the read, so that a large file does not hold the window).
    CsvRolesDialog(QWidget* parent, const widgets::Seams& seams, std::string path, std::string bytes,
                   const RoleGuess& guess);
    ~CsvRolesDialog() override;

    // The roles and options as the dialog shows them now.
    LongCsvRoles Roles() const;
    LongCsvOptions Options() const { return options_; }
    const std::string& Path() const { return path_; }
    const std::string& Bytes() const { return *bytes_; }

    // After ＯＫ: the design read, and whether the user chose the data window.
    const DesignData& Design() const { return design_; }
    // After ＯＫ, unless the data window was chosen: the design's analysis,
    // handed over once (nothing after).
    std::optional<anova::Analysis> TakeAnalysis() { return std::exchange(analysis_, std::nullopt); }
    // After ＯＫ with the data window chosen: the study imported from the
    // bytes, handed over once; its scores keep `stored`, the program's
    // decimal separator (set before ＯＫ; '.' unless set).
    std::optional<StudyStore> TakeStudy() { return std::exchange(study_, std::nullopt); }
    void SetStoredDecimalSeparator(char stored) { storedDecimalSeparator_ = stored; }
    // How long a new guess and ＯＫ's reading and analysis run before their progress shows
    // (half a second unless set, for the tests and the pictures).
    void SetProgressDelay(int ms) { progressAfterMs_ = ms; }
    bool OpenInDataWindow() const;

    // The role of the column named `name` (UTF-8), and setting it, as the combo box does.
    ColumnRole RoleOf(const std::string& name) const;
    void SetRole(const std::string& name, ColumnRole role);
    // Moves the selected column one place up (-1) or down (+1) in the list.
    void MoveSelected(int step);
    // Sets the separator (0: found from the header), the decimal comma or the
    // encoding, and guesses again, as the controls do.
    void SetSeparator(char separator);
    void SetDecimalComma(bool comma);
    void SetEncoding(CsvEncoding encoding);
    // The header's line (from 1), and setting it as the spin box does: the
    // preview and the roles read again below it.
    void SetHeaderLine(int line);
    int HeaderLine() const;

    void accept() override;

private:
    // The options and the header's line as the controls show them, and
    // whether the user set the decimal separator and the line.
    struct Choice {
        int separator = 0, encoding = 0, headerLine = 1;
        bool decimalComma = false, decimalChosen = false, headerChosen = false;
    };
    // A control changed: guesses the roles again on a worker, from the options
    // the controls show, and shows the guess. Called while a guess runs, marks
    // that guess superseded: its result is dropped and the guess made again once
    // it ends. 中止 or a refusal puts the controls back as the guess shown has them.
    void Reguess();
    // One guess on a worker: whether it was shown (false when stopped or superseded).
    bool GuessOffThread();
    Choice ControlsNow() const;
    void PutBack(const Choice& choice);
    // Shows `guess`, made with the options `given`.
    void ShowGuess(const RoleGuess& guess, const LongCsvOptions& given);
    // The import of the bytes into a study with the roles shown, for the data window.
    CsvImportOptions ImportOptions(const LongCsvRoles& roles) const;
    void FillPreview(const RoleGuess& guess);
    void FillRoles(const RoleGuess& guess);
    void AddRoleRow(const std::string& name, ColumnRole role, const QString& shown);
    // The data-window choice is open only to two within factors and no between factors.
    void UpdateChoice();
    LongCsvOptions GivenOptions() const;

    widgets::Seams seams_;
    std::string path_;
    std::shared_ptr<const std::string> bytes_;  // shared with the workers that read it
    LongCsvOptions options_;
    DesignData design_;
    std::optional<anova::Analysis> analysis_;
    std::optional<StudyStore> study_;
    char storedDecimalSeparator_ = '.';
    int progressAfterMs_ = 500;
    bool filling_ = false;
    bool decimalChosen_ = false;  // the user set the decimal comma on or off
    bool headerChosen_ = false;   // the user set the header's line
    Choice shown_;                // the controls as they were when the guess shown was made
    bool guessing_ = false;       // a guess runs on a worker
    bool superseded_ = false;     // a control changed while it ran
    QComboBox* separator_ = nullptr;
    QCheckBox* decimalComma_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QSpinBox* headerLine_ = nullptr;
    QTableWidget* preview_ = nullptr;
    QTableWidget* roles_ = nullptr;
    QCheckBox* dataWindow_ = nullptr;
};

}  // namespace morvane
