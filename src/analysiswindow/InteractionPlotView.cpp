#include "analysiswindow/InteractionPlotView.h"

#include <QPainter>

namespace morvane {

InteractionPlotView::InteractionPlotView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(280, 220);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void InteractionPlotView::SetData(plot::InteractionPlotData plotData) {
    data_ = std::move(plotData);
    update();
}

QSize InteractionPlotView::sizeHint() const {
    return {460, 380};
}

void InteractionPlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    plot::PaintInteractionPlot(painter, QRectF(rect()), data_);
}

}  // namespace morvane
