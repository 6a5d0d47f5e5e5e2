#pragma once
// The interaction plot in the results window, painted afresh at the widget's size.

#include <QWidget>

#include "anova/Analysis.h"
#include "plot/DesignPlot.h"
#include "plot/InteractionPlot.h"

class QBoxLayout;
class QComboBox;

namespace morvane {

class InteractionPlotView final : public QWidget {
    Q_OBJECT

public:
    explicit InteractionPlotView(QWidget* parent = nullptr);

    void SetData(plot::InteractionPlotData plotData);
    const plot::InteractionPlotData& Data() const { return data_; }

    // Whether the plot is drawn summed up per pixel column at the present size.
    bool Summed() const { return summed_; }

    QSize sizeHint() const override;

signals:
    // The plot went from drawn level by level to summed up, or back, with new
    // data or a new size: its caption names what is drawn.
    void SummedChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void JudgeSummed();

    plot::InteractionPlotData data_;
    bool summed_ = false;
};

// The choice of the plot's error bars ("ErrorBarsChoice") after its label
// "誤差線(&E):", added to `row`: the within-subject interval, the 95 %
// interval and the standard error, each with its ErrorBars as its data.
QComboBox* AddErrorBarsChoice(QWidget* parent, QBoxLayout* row);

// The choices of the plot's arrangement and of its subjects, each after its
// label: the factor on the horizontal axis ("AxisChoice", 横軸), the one whose
// levels are the lines ("LinesChoice", 線, or none), one to make panels of
// first ("PanelsChoice", パネル), each 自動 first (the default place), and the
// subjects behind the means ("SubjectsChoice", 被験者: none, lines, points).
struct ArrangementChoices {
    QComboBox* axis = nullptr;
    QComboBox* lines = nullptr;
    QComboBox* panels = nullptr;
    QComboBox* subjects = nullptr;

    // Fills the factor choices with the analysis' factors, showing
    // `arrangement` (自動 where it names no factor of the analysis) and
    // `shown`, without signals.
    void Fill(const anova::Analysis& analysis, const plot::PlotArrangement& arrangement,
              plot::SubjectsShown shown) const;
    // After `changed` took a factor: the other factor choices that held it go
    // back to 自動, without signals, so that no factor is placed twice.
    void Free(QComboBox* changed) const;
    plot::PlotArrangement Arrangement() const;
    plot::SubjectsShown Subjects() const;
};
ArrangementChoices AddArrangementChoices(QWidget* parent, QBoxLayout* row);

}  // namespace morvane
