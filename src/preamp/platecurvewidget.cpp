#include "preamp/platecurvewidget.h"

#include "preamp/platecurvepainter.h"

#include <QPainter>

PlateCurveWidget::PlateCurveWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("plateCurves"));
}

void PlateCurveWidget::setStage(const TriodeStageInput& input)
{
    shown = plateCurveScene(input);
    update();
}

QSize PlateCurveWidget::sizeHint() const
{
    return QSize(720, 300);
}

QSize PlateCurveWidget::minimumSizeHint() const
{
    return QSize(320, 100);
}

void PlateCurveWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintPlateCurves(painter, QRectF(rect()), shown);
}
