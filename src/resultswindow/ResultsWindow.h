#pragma once
// The results window "分析結果": the analysis of any design, a data file's
// study (opened by the data window's 分析) or a long CSV's design (opened from
// the levels window after the roles dialog), in the layout its outputs have.
// Its pages hold the summary table with the corrections and sphericity, the
// means, the comparisons, the simple effects, the multivariate tests, the
// checks of the assumptions (the residuals of each error stratum, the outlying
// subjects, the cells' shapes, Levene's tests where there are groups), the
// normal Q-Q plots of the strata's residuals, the rank-based tests and, for a
// data file's study, the precision of its results file. Beside them the
// interaction plot, its error bars chosen below it (below the tables when the
// window is narrow).
//
// Modeless: the figures change only when they are shown again (分析, or
// 再読み込み of the CSV). Until then, once the study changed or 分析 stopped on
// a bad score, or once the CSV changed on disk, a notice above the tables says
// so, and every copy and export asks first. 表をコピー (Ctrl+Shift+C) puts the
// APA summary table on the clipboard as a word processor pastes it, 報告文をコピー
// (Ctrl+Shift+R) the sentence of each effect, and 書き出し… writes the tables as
// `morvane anova` writes them or the plot as an image; all in Japanese unless
// 英語で出力 is checked. The tables show their figures rounded as an APA table
// rounds them (APA) or with all the window's digits (全桁, the first choice);
// what Ctrl+C copies of a table is what it shows. The choice, like the error
// bars and the language, stays while the window lives. It opens beside the
// window it was opened from.
//
// Each analysis shown stays in its output log (resultswindow/OutputLog.h):
// 履歴 above the pages shows an earlier one again, as it was and without
// analysing it again; the notices of a study changed or a file changed since
// are the newest analysis's alone.
//
// 分析の設定… chooses the follow-up analyses (AnalysisSettingsDialog); its ＯＫ
// analyses again with them, and the choice stays for every later analysis
// shown in the window (再読み込み, 分析).

#include <QDateTime>
#include <QWidget>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "anova/Analysis.h"
#include "exchange/LongCsv.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"
#include "plot/DesignPlot.h"
#include "plot/InteractionPlot.h"
#include "plot/QuantilePlot.h"
#include "report/PrecisionCheck.h"
#include "resultswindow/InteractionPlotView.h"
#include "resultswindow/OutputLog.h"
#include "widgets/FileChoice.h"
#include "widgets/Seams.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTimer;

namespace morvane {

class AnalysisSettingsDialog;
class InteractionPlotView;
class PowerDialog;
class ResultsPages;

// What a long CSV's design was read from: the file, its columns' roles and
// the reading options.
struct CsvSource {
    std::string path;
    LongCsvRoles roles;
    LongCsvOptions options;
};

class ResultsWindow final : public QWidget {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it); hidden until a Show.
    ResultsWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator);
    ~ResultsWindow() override;

    // A data file's study, as DesignFromStudy and anova::Analyse made it: its
    // tables in the study's layout with the precision check of its results
    // file; its exports name `provenance`. Brings the window up.
    void ShowStudy(anova::Analysis analysis, PrecisionCheck precision, Provenance provenance);
    // A long CSV's design, read from `bytes` of `source`: analysed, shown in
    // the design's layout, its file watched from then on. Throws the
    // analysis' errors before anything shown changes.
    void ShowCsv(CsvSource source, std::string_view bytes, const DesignData& design);
    // The same with the design's analysis made already (off the window's thread).
    void ShowCsv(CsvSource source, std::string_view bytes, anova::Analysis analysis);

    const anova::Analysis& Analysis() const { return analysis_; }
    OutputLayout Layout() const { return layout_; }
    // The tables shown, in the window's reading and the rounding chosen.
    const std::vector<TableText>& Tables() const { return tables_; }
    const Provenance& AnalysedData() const { return provenance_; }
    const CsvSource& Source() const { return source_; }

    // Why the figures of a data file's study are no longer those of the study.
    enum class Staleness { StudyChanged, AnalysisStopped };
    // The notice above the tables says that the figures are of an earlier
    // state of the study, until the next ShowStudy.
    void MarkOutOfDate(Staleness why);
    bool OutOfDate() const { return outOfDate_; }
    // The study's data file, which no export writes over (empty: none).
    void SetStudyFile(std::string path) { studyFile_ = std::move(path); }
    // How long 再読み込み runs before its progress shows (tests show it at once).
    void SetRereadProgressDelay(int ms) { rereadProgressAfterMs_ = ms; }

    // 再読み込み: the CSV read again with the same roles and analysed; a
    // failure is shown and the figures shown stay.
    void Reread();
    // 分析の設定…: the dialog over the window, filled with the choice kept,
    // opened window-modal; its ＯＫ gives ApplySettings its choice.
    AnalysisSettingsDialog* OpenAnalysisSettings();
    // The follow-ups chosen: a CSV read again and analysed with them off the
    // window's thread (a failure shown, the figures and the choice as they
    // were); a study's choice kept and its analysis asked of the data window.
    void ApplySettings(const anova::Options& options);
    // The options the next analysis shown is to have: those of the analysis
    // shown, or the ones chosen since.
    const anova::Options& ChosenOptions() const { return chosen_; }

    // Whether the CSV changed on disk since it was read (its size, time or,
    // when those changed, its bytes); the notice above the tables follows.
    bool CheckFile();
    bool FileChanged() const { return changed_; }

    // 書き出し…: the tables (markdown, CSV, JSON) or the plot (PNG, SVG, PDF), by
    // the type chosen; 図を書き出し… and Q-Q プロットを書き出し…: a plot's image.
    void Export();
    void ExportPlot();
    void ExportQuantilePlot();
    // 表をコピー and 報告文をコピー.
    void CopyTable();
    void CopySentences();
    // What the copies and exports are written with: the language chosen, the
    // layout and the provenance.
    OutputOptions CopyOptions() const;

    // APA / 全桁: the tables shown again rounded as `rounding` asks, the
    // choice on the window following.
    void SetRounding(TableRounding rounding);
    TableRounding Rounding() const { return rounding_; }

    // The plot redrawn with `bars`, the choice below it following.
    void SetErrorBars(plot::ErrorBars bars);
    plot::ErrorBars ErrorBarsShown() const { return bars_; }
    // The plot redrawn arranged so and with its subjects so shown, the
    // choices below it following; kept for the next analysis shown, as the
    // bars are.
    void SetPlotArrangement(const plot::PlotArrangement& arrangement, plot::SubjectsShown subjects);
    // 検出力… on the planning page: the power calculator, filled from the
    // planning of the effect of row `planningRow` (the smallest N for power
    // .80 at its f, M, K, rho, epsilon and alpha), brought up.
    void OpenPowerCalculator(int planningRow);
    PowerDialog* PowerCalculator() const { return power_; }
    const plot::InteractionPlotData& Plot() const;
    const plot::QuantilePlotData& QuantilePlot() const;

    // The output log: the analyses shown, the newest last.
    const OutputLog& Log() const { return log_; }
    // 履歴: the log's analysis `entry` (from 0, the oldest) shown again, as it was.
    void ShowLogged(std::size_t entry);
    // Whether the analysis shown is an earlier one than the log's newest.
    bool ShowingEarlier() const { return shownEntry_ + 1 < log_.Size(); }
    // 出力ログを保存…: the whole log as one HTML file, in the language of the
    // copies; 消去: the log cleared, after asking, the newest analysis kept.
    void SaveLog();
    void ClearLog();

signals:
    // A data file's study is to be analysed again with ChosenOptions().
    void studyAnalysisRequested();

protected:
    // The plot beside the tables, or below them when the window is narrow.
    void resizeEvent(QResizeEvent* event) override;
    // Coming to the front, a CSV's window looks at its file.
    void changeEvent(QEvent* event) override;

private:
    // 再読み込み and a CSV's ApplySettings: the file read and analysed with `options` off the window's thread.
    void Reanalyse(const anova::Options& options);
    // Both Shows, once the analysis is in place: the notices, the pages and
    // the plots, then the window brought up.
    void ShowAnalysis();
    // Both Shows: the analysis in place kept in the log and shown, the newest.
    void LogAndShow();
    // The notices of staleness, shown for the newest analysis alone.
    void ShowNotices();
    // The plot with the choice of its error bars, its export and its caption.
    QWidget* MakePlotPane(QWidget* parent);
    // The tables of the analysis in the window's reading and rounding (tables_).
    void ReadTables();
    // The language of the notes shown and of the copies at first: the windows' own.
    static OutputLanguage ShownLanguage();
    // The copy actions, as buttons in `buttons` and with their shortcuts.
    void AddCopyActions(QLayout* buttons);
    // The choice APA / 全桁 in `buttons`.
    void AddRoundingChoice(QLayout* buttons);
    // The first Show: the size and place beside the window it was opened from.
    void PlaceBesideOwner();
    // Before a copy or an export (`what`: "コピー", "書き出し") of figures out
    // of date or of a file changed since: whether the user still wants them.
    // Current figures go at once.
    bool MayUseFigures(const QString& what);
    // The file the figures were read from, which no export writes over.
    const std::string& InputFile() const;
    // An export starts beside that file, named after it with `suffix`.
    QString BesideInput(const QString& suffix) const;

    widgets::Seams seams_;
    char decimalSeparator_;
    PowerDialog* power_ = nullptr;  // made at its first 検出力…
    anova::Analysis analysis_;
    anova::Options chosen_;
    OutputLayout layout_ = OutputLayout::Study;
    std::optional<PrecisionCheck> precision_;
    Provenance provenance_;
    std::vector<TableText> tables_;
    QString analysedAt_;  // the time of the newest analysis, as the notices give it
    OutputLog log_;
    std::size_t shownEntry_ = 0;  // the log's entry shown

    // A data file's study.
    bool outOfDate_ = false;
    std::string studyFile_;
    // A long CSV's design: its file as it was read (size and time).
    CsvSource source_;
    qint64 size_ = -1;
    QDateTime modified_;
    bool changed_ = false;
    int rereadProgressAfterMs_ = 500;
    QTimer* watch_ = nullptr;

    QString exportName_, plotName_, quantileName_, logName_;
    widgets::OwnFiles exported_;  // what the exports wrote
    bool placed_ = false;
    plot::ErrorBars bars_ = plot::ErrorBars::WithinCi95;
    plot::PlotArrangement arrangement_;
    plot::SubjectsShown subjects_ = plot::SubjectsShown::None;
    TableRounding rounding_ = TableRounding::Reader;

    QLabel* staleNotice_ = nullptr;    // the study changed, or 分析 stopped
    QLabel* changedNotice_ = nullptr;  // the CSV changed on disk
    QLabel* readNotice_ = nullptr;     // the subjects removed, the cells averaged
    QLabel* precisionNotice_ = nullptr;
    QLabel* commandNotice_ = nullptr;  // a CSV's: the tool's call that repeats the analysis
    QLabel* earlierNotice_ = nullptr;  // an earlier analysis of the log shown
    OutputLogBar* logBar_ = nullptr;
    QSplitter* splitter_ = nullptr;
    ResultsPages* pages_ = nullptr;
    InteractionPlotView* plot_ = nullptr;
    QComboBox* errorBars_ = nullptr;
    ArrangementChoices arrangementChoices_;
    QLabel* plotCaption_ = nullptr;
    QPushButton* reread_ = nullptr;
    QPushButton* settings_ = nullptr;
    QAction* english_ = nullptr;
    QRadioButton* apaView_ = nullptr;
    QRadioButton* fullView_ = nullptr;
};

}  // namespace morvane
