#pragma once

// The painted plate-curve view of one preamp stage: the Koren curves of its triode, the DC and AC
// load lines, the dissipation limit, the bias line, the operating point and the clean swing. The
// drawing itself is paintPlateCurves, so the same picture goes into a PDF or an image.
#include "preamp/platecurves.h"

#include <QWidget>

class PlateCurveWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PlateCurveWidget(QWidget* parent = nullptr);

    void setStage(const TriodeStageInput& input);
    const PlateCurveScene& scene() const { return shown; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PlateCurveScene shown;
};
