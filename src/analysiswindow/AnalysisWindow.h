#pragma once
// The analysis window "分析結果": the full analysis of the study as the data
// window's 分析 found it. Its pages hold the summary table with the p-values,
// the corrected degrees of freedom and p of each correction and both effect
// sizes; the sphericity table; the means; the comparisons; the simple main
// effects; the precision check of the results file. Beside them, the
// interaction plot. Modeless: the data window stays usable, and the window
// changes only when 分析 is pressed again.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "anova/FullAnalysis.h"
#include "widgets/Seams.h"

class QLabel;
class QPushButton;

namespace morvane {

class AnalysisTableModel;
class AnalysisTableView;
class InteractionPlotView;

class AnalysisWindow final : public QWidget {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (destroyed with it); hidden until Show.
    AnalysisWindow(QWidget* owner, const widgets::Seams& seams, char decimalSeparator);
    ~AnalysisWindow() override;

    // Shows `analysis` in every table and the plot, and brings the window up.
    void Show(FullAnalysis analysis);
    const FullAnalysis& Analysis() const { return analysis_; }

    // 書き出し…: asks for a file and writes the tables or the plot, by its type.
    void Export();

private:
    // A titled view on `page` of the analysis's table `id` (its object name `id`
    // + "Table"), as high as `rowsShown` rows at most; 0: filling the page.
    void AddTable(QWidget* page, const char* id, int rowsShown);

    widgets::Seams seams_;
    char decimalSeparator_;
    FullAnalysis analysis_;
    QString exportName_;
    QLabel* notice_ = nullptr;
    QLabel* sphericityNote_ = nullptr;
    InteractionPlotView* plot_ = nullptr;
    struct ShownTable {
        std::string id;
        int rowsShown;
        QLabel* title;
        AnalysisTableView* view;
        AnalysisTableModel* model;
    };
    std::vector<ShownTable> tables_;  // in the order of their pages
};

}  // namespace morvane
