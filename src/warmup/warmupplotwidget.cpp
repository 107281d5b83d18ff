#include "warmup/warmupplotwidget.h"

#include <QPainter>

WarmupPlotWidget::WarmupPlotWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("warmupPlot"));
}

void WarmupPlotWidget::setData(const WarmupPlotData& data)
{
    plotData = data;
    update();
}

void WarmupPlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintWarmupPlot(painter, QRectF(rect()), plotData);
}
