#pragma once
// The pages of the results window: a page for each kind of table the
// analysis has (the model, the means, the comparisons, the simple effects,
// the multivariate tests, the checks, the rank-based tests, the precision of
// a data file's results file), each table under its title with its notes
// below it, and the page of the normal Q-Q plots of the strata's residuals
// after the checks. A page none of whose tables the analysis has is left out.
// Each table is as tall as its rows where its page has room for them, so that
// the page scrolls rather than the table.
// The pages of the model checks open with a sentence on what they compute.

#include <QList>
#include <QTabWidget>
#include <functional>
#include <string>
#include <vector>

#include "output/OutputOptions.h"
#include "output/ResultTables.h"
#include "plot/QuantilePlot.h"

class QAction;
class QLabel;
class QVBoxLayout;

namespace morvane {

class AnalysisTableModel;
class AnalysisTableView;
class QuantilePlotView;

class ResultsPages final : public QTabWidget {
    Q_OBJECT

public:
    // `copyCheck` is asked before a table's Ctrl+C copies its selection;
    // `summaryActions` go into the summary table's menu after its コピー.
    ResultsPages(QWidget* parent, std::function<bool()> copyCheck, QList<QAction*> summaryActions);
    ~ResultsPages() override;

    // Shows `tables` (the window's reading, in `layout`) and the Q-Q plots
    // `quantiles`. Tables of the same ids as those shown keep their views and
    // pages; others make the pages anew, the page shown staying shown where
    // it still is.
    void Show(const std::vector<TableText>& tables, OutputLayout layout, plot::QuantilePlotData quantiles);
    // The tables alone, as Show shows them (the same tables in another rounding).
    void ShowTables(const std::vector<TableText>& tables, OutputLayout layout);

    const plot::QuantilePlotData& Quantiles() const;

signals:
    // Q-Q プロットを書き出し… was pressed.
    void exportQuantilesRequested();
    // 検出力… was pressed on the planning page, `row` the planning table's current row.
    void powerRequested(int row);

protected:
    // A page resized: the most height of its tables.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ShownTable {
        std::string id;
        QLabel* title;
        AnalysisTableView* view;
        AnalysisTableModel* model;
        QLabel* notes;  // null: its notes are shown elsewhere (the precision's above the tables)
    };
    // The pages made anew for `tables` in `layout`.
    void MakePages(const std::vector<TableText>& tables, OutputLayout layout);
    // A titled view of `table` at the end of `page`.
    void AddTable(QVBoxLayout* page, const TableText& table);
    // The texts of `table` into its view, its title and its notes.
    static void Fill(const ShownTable& shown, const TableText& table);
    // The planning page's 検出力… button at the end of `page`.
    void AddPowerButton(QVBoxLayout* page);
    // The page of the Q-Q plots, made once.
    QWidget* MakeQuantilePage();

    std::function<bool()> copyCheck_;
    QList<QAction*> summaryActions_;
    std::vector<std::string> shownIds_;  // the ids of the tables shown, in their order
    OutputLayout shownLayout_ = OutputLayout::Study;
    std::vector<ShownTable> tables_;
    QWidget* quantilePage_ = nullptr;
    QuantilePlotView* quantilePlot_ = nullptr;
    QLabel* quantileCaption_ = nullptr;
};

}  // namespace morvane
