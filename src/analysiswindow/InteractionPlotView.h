#pragma once
// The interaction plot in the analysis window, painted afresh at the widget's size.

#include <QWidget>

#include "plot/InteractionPlot.h"

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

}  // namespace morvane
