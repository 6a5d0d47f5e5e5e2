#pragma once
// The analysis window "分析結果" of a design read from a long CSV: every table
// of its analysis on a page of its own kind (the summary and sphericity, the
// means, the comparisons, the simple effects, the multivariate tests, the
// checks), the subjects removed and the cells averaged said above them.
// 表をコピー puts the summary table on the clipboard (HTML and tab-separated
// text), 書き出し writes the analysis as JSON or markdown naming the CSV's
// SHA-256, both in Japanese unless 英語で出力 is checked. Q-Q プロット shows
// the normal Q-Q plots of the strata's residuals. 再読み込み reads
// the CSV again with the same roles and options; once the file changed on
// disk after it was read, a line above the tables says so until then. The
// last page, 図, draws the design's interaction plot with the error bars
// chosen below it (kept when the file is read again) and writes it as a PNG,
// SVG or PDF file.

#include <QDateTime>
#include <QWidget>
#include <string>
#include <vector>

#include "design/DesignAnalysis.h"
#include "exchange/LongCsv.h"
#include "output/OutputOptions.h"
#include "output/ResultTables.h"
#include "plot/InteractionPlot.h"
#include "plot/QuantilePlot.h"
#include "widgets/FileChoice.h"
#include "widgets/Seams.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMimeData;
class QTabWidget;
class QTimer;

namespace morvane {

class InteractionPlotView;
class QuantilePlotView;

// What a design was read from: the CSV file, its columns' roles and the reading options.
struct CsvSource {
    std::string path;
    LongCsvRoles roles;
    LongCsvOptions options;
};

class DesignAnalysisWindow final : public QWidget {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it); hidden until Show.
    DesignAnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator);
    ~DesignAnalysisWindow() override;

    // Analyses `design`, read from `bytes` of `source`, shows every table and
    // brings the window up. OverflowError where the analysis overflows.
    void Show(CsvSource source, std::string_view bytes, const DesignData& design);

    const DesignAnalysis& Analysis() const { return analysis_; }
    const CsvSource& Source() const { return source_; }
    // The tables shown, in the order of their pages.
    const std::vector<TableText>& Tables() const { return tables_; }

    // 再読み込み: the CSV read again and analysed; a failure is shown and the
    // figures shown stay.
    void Reread();
    // Whether the file changed on disk since it was read (its size, time or,
    // when those changed, its bytes); the notice above the tables follows.
    bool CheckFile();
    bool FileChanged() const { return changed_; }

    // The Q-Q プロット page's plots of the strata, and their export (PNG, SVG or PDF).
    const plot::QuantilePlotData& QuantilePlot() const;
    void ExportQuantilePlot();

    // 表をコピー and 書き出し….
    void CopyTable();
    void CopySentences();
    void Export();
    OutputLanguage Language() const;

    // The 図 page: the plot and its caption redrawn with `bars`, the choice
    // below it following; and the plot as shown written to the PNG, SVG or
    // PDF file chosen (at first named after the CSV, beside it).
    void SetErrorBars(plot::ErrorBars bars);
    plot::ErrorBars ErrorBarsShown() const { return bars_; }
    void ExportPlot();

protected:
    void changeEvent(QEvent* event) override;

private:
    // The pages of the tables, made again for each analysis.
    void FillPages();
    OutputOptions Options() const;
    QWidget* MakePlotPage();

    widgets::Seams seams_;
    char decimalSeparator_;
    CsvSource source_;
    DesignAnalysis analysis_;
    Provenance provenance_;
    std::vector<TableText> tables_;
    // The file as it was read: its size and modification time.
    qint64 size_ = -1;
    QDateTime modified_;
    bool changed_ = false;
    // The Q-Q プロット page, after 前提の確認, made again for each analysis.
    void FillPagesAndQuantiles();
    QWidget* AddQuantilePage();
    QuantilePlotView* quantilePlot_ = nullptr;
    QString quantileName_;
    QString exportName_;
    widgets::OwnFiles exported_;
    QLabel* changedNotice_ = nullptr;
    QLabel* readNotes_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QCheckBox* english_ = nullptr;
    QTimer* watch_ = nullptr;
    // The 図 page, made again with the others: its bars stay.
    plot::ErrorBars bars_ = plot::ErrorBars::WithinCi95;
    QString plotName_;
    InteractionPlotView* plot_ = nullptr;
    QLabel* plotCaption_ = nullptr;
    QComboBox* errorBars_ = nullptr;
};

// The summary table as a word processor pastes it: an HTML table and
// tab-separated text.
QMimeData* TableMime(const TableText& table);

}  // namespace morvane
