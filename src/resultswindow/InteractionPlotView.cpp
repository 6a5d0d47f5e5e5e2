#include "resultswindow/InteractionPlotView.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
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

QComboBox* AddErrorBarsChoice(QWidget* parent, QBoxLayout* row) {
    auto* label =
        new QLabel(QCoreApplication::translate("morvane::InteractionPlotView", "誤差線(&E):"), parent);
    auto* choice = new QComboBox(parent);
    choice->setObjectName(QStringLiteral("ErrorBarsChoice"));
    for (plot::ErrorBars bars : {plot::ErrorBars::WithinCi95, plot::ErrorBars::Ci95, plot::ErrorBars::Se})
        choice->addItem(plot::ErrorBarsCaption(bars), static_cast<int>(bars));
    label->setBuddy(choice);
    row->addWidget(label);
    row->addWidget(choice);
    return choice;
}

}  // namespace morvane
