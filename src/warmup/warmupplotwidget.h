#pragma once

// The painted warm-up plot; paintWarmupPlot does the drawing.
#include "warmup/warmupplot.h"

#include <QWidget>

class WarmupPlotWidget : public QWidget
{
    Q_OBJECT

public:
    explicit WarmupPlotWidget(QWidget* parent = nullptr);

    void setData(const WarmupPlotData& data);
    const WarmupPlotData& data() const { return plotData; }

    QSize sizeHint() const override { return QSize(720, 380); }
    QSize minimumSizeHint() const override { return QSize(320, 200); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    WarmupPlotData plotData;
};
