#include "resultswindow/QuantilePlotView.h"

#include <QPainter>

namespace morvane {

QuantilePlotView::QuantilePlotView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 360);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void QuantilePlotView::SetData(plot::QuantilePlotData plotData) {
    data_ = std::move(plotData);
    update();
}

QSize QuantilePlotView::sizeHint() const {
    return {640, 520};
}

void QuantilePlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    plot::PaintQuantilePlot(painter, QRectF(rect()), data_);
}

}  // namespace morvane
