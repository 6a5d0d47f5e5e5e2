#pragma once
// The interaction plot in the results window, painted afresh at the widget's size.

#include <QWidget>

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

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    plot::InteractionPlotData data_;
};

// The choice of the plot's error bars ("ErrorBarsChoice") after its label
// "誤差線(&E):", added to `row`: the within-subject interval, the 95 %
// interval and the standard error, each with its ErrorBars as its data.
QComboBox* AddErrorBarsChoice(QWidget* parent, QBoxLayout* row);

}  // namespace morvane
