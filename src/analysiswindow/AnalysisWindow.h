#pragma once
// The analysis window "分析結果": the full analysis of the study as the data
// window's 分析 found it. Its pages hold the summary table with the p-values,
// the corrected degrees of freedom and p of each correction and both effect
// sizes; the sphericity table; the means; the comparisons; the simple main
// effects; the multivariate tests; the checks of the assumptions, with the
// normal Q-Q plots of the residuals of each error stratum; the rank-based
// analysis; the precision check of the results file. Beside them, the
// interaction plot, its error bars chosen below it (below the tables when the
// window is narrow). Modeless: the data window stays usable, and the figures
// change only when 分析 is pressed again; until then, once the study changed
// or 分析 stopped on a bad score, a notice above the tables says that they are
// of an earlier state of the study, and copying or exporting them asks first.
// It opens beside the data window, on the screen's free area.
//
// 表をコピー (Ctrl+Shift+C) puts the summary table on the clipboard as a word
// processor pastes it, 報告文をコピー the sentence of each effect; both in
// Japanese unless 英語で出力 is checked.

#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "output/ApaOutput.h"
#include "plot/InteractionPlot.h"
#include "widgets/FileChoice.h"
#include "widgets/Seams.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QSplitter;

namespace morvane {

class AnalysisTableModel;
class AnalysisTableView;
class InteractionPlotView;
class QuantilePlotView;

class AnalysisWindow final : public QWidget {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it); hidden until Show.
    AnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator);
    ~AnalysisWindow() override;

    // Shows `analysis` in every table and the plot, and brings the window up;
    // its exports name `provenance`, the program and the data analysed.
    void Show(FullAnalysis analysis, Provenance provenance = {});
    const FullAnalysis& Analysis() const { return analysis_; }
    const Provenance& AnalysedData() const { return provenance_; }

    // Why the figures shown are no longer those of the study.
    enum class Staleness { StudyChanged, AnalysisStopped };
    // The notice above the tables says that the figures are of an earlier state
    // of the study, until the next Show.
    void MarkOutOfDate(Staleness why);
    bool OutOfDate() const { return outOfDate_; }

    // The study's data file, which no export writes over (empty: none).
    void SetStudyFile(std::string path) { studyFile_ = std::move(path); }

    // 書き出し…: asks for a file and writes the tables or the plot, by its type.
    void Export();
    // Q-Q プロットを書き出し…: asks for a PNG, SVG or PDF file and writes the Q-Q plots.
    void ExportQuantilePlot();
    // 表をコピー and 報告文をコピー.
    void CopyTable();
    void CopySentences();
    // The language and correction of what the window copies.
    ApaOptions CopyOptions() const;
    // What the plot's error bars show (the choice below it).
    void SetErrorBars(plot::ErrorBars bars);

private:
    // A titled view on `page` of the analysis's table `id` (its object name `id`
    // + "Table"), as high as `rowsShown` rows at most; 0: filling the page;
    // WithNotes: the table's notes below it.
    static constexpr bool WithNotes = true;
    void AddTable(QWidget* page, const char* id, int rowsShown, bool withNotes = false);
    // The Q-Q plots on `page`, with their caption and export button.
    void AddQuantilePlot(QWidget* page);
    // The plot with the choice of its error bars and its caption, for the splitter.
    QWidget* MakePlotPane(QWidget* parent);
    // The copy actions, in the summary table's menu and as buttons in `buttons`.
    void AddCopyActions(QLayout* buttons);
    // The first Show: the size and place beside the data window.
    void PlaceBesideOwner();
    // Before a copy or an export (`what`: "コピー", "書き出し") of figures out
    // of date: whether the user still wants them. Current figures go at once.
    bool MayUseFigures(const QString& what);
    // The plot beside the tables, or below them when the window is narrow.
    void resizeEvent(QResizeEvent* event) override;

    widgets::Seams seams_;
    char decimalSeparator_;
    FullAnalysis analysis_;
    Provenance provenance_;
    QString exportName_;
    widgets::OwnFiles exported_;  // what 書き出し and the Q-Q export wrote
    bool outOfDate_ = false;
    QString analysedAt_;  // the time of the analysis shown, as the notice gives it
    QLabel* staleNotice_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* removedNotice_ = nullptr;  // the subjects removed for a missing score
    QLabel* sphericityNote_ = nullptr;
    InteractionPlotView* plot_ = nullptr;
    QComboBox* errorBars_ = nullptr;
    QLabel* plotCaption_ = nullptr;
    QuantilePlotView* quantilePlot_ = nullptr;
    QLabel* quantileCaption_ = nullptr;
    QString quantileName_;
    std::string studyFile_;
    QAction* english_ = nullptr;
    bool placed_ = false;
    struct ShownTable {
        std::string id;
        int rowsShown;
        QLabel* title;
        AnalysisTableView* view;
        AnalysisTableModel* model;
        QLabel* notes;  // null: the notes are shown elsewhere, or there are none
    };
    std::vector<ShownTable> tables_;  // in the order of their pages
};

}  // namespace morvane
