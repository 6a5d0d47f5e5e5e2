#pragma once
// The normal Q-Q plots of the residuals in the results window, painted afresh at the widget's size.

#include <QWidget>

#include "plot/QuantilePlot.h"

namespace morvane {

class QuantilePlotView final : public QWidget {
    Q_OBJECT

public:
    explicit QuantilePlotView(QWidget* parent = nullptr);

    void SetData(plot::QuantilePlotData plotData);
    const plot::QuantilePlotData& Data() const { return data_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    plot::QuantilePlotData data_;
};

}  // namespace morvane
