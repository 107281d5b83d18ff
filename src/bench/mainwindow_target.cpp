// The two read-outs that summarise the bench: the recommended idle current for the target slider
// and the matching verdict over the tubes that have a reading.
#include "bench/mainwindow.h"

#include "bias/biascalc.h"
#include "bias/tubecardwidget.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QVariant>
#include <algorithm>

void MainWindow::updateTarget()
{
    const int pct = targetSlider->value();
    targetLabel->setText(QStringLiteral("%1% of max dissipation").arg(double(pct), 0, 'g', -1));

    // Under the transformer-drop method every tube has its own plate voltage; tube 1 stands for all.
    double plateV = 0;
    if (currentMethod() == OtWindingDrop)
        plateV = cards.isEmpty() ? 0 : cards.first()->meas1();
    else
        plateV = plateVSpin->value();

    if (!(plateV > 0)) {
        targetCurrentLabel->setText(QStringLiteral("Enter plate voltage for a target current."));
        return;
    }
    const double maxW = effectiveMaxPlateW();
    const double ma = targetCurrentMa(pct, maxW, plateV);
    targetCurrentLabel->setText(QStringLiteral("Recommended idle: %1 mA per tube\n(%2 W at %3 V plate)")
                                    .arg(QString::number(ma, 'f', 1),
                                         QString::number(pct / 100.0 * maxW, 'f', 1),
                                         QString::number(plateV, 'f', 0)));
}

void MainWindow::updateMatching()
{
    QList<double> currents;
    for (const TubeCardWidget* card : std::as_const(cards)) {
        if (card->result().valid)
            currents.append(card->result().currentMa);
    }
    if (currents.size() < 2) {
        matchLabel->clear();
        matchLabel->setProperty("level", QString());
        return;
    }

    const auto [lo, hi] = std::minmax_element(currents.cbegin(), currents.cend());
    const double spread = (*hi - *lo) / *hi * 100;
    const bool bad = spread > 15;
    const QString level = bad ? QStringLiteral("bad") : QStringLiteral("good");
    const QString percent = QString::number(spread, 'f', 0);
    matchLabel->setText(
        bad ? QStringLiteral("MATCHING: tubes spread %1% apart — consider re-matching").arg(percent)
            : QStringLiteral("MATCHING: within %1% — good").arg(percent));

    // Re-polishing is what makes the style sheet's [level=...] rules see the new value; it is not
    // free, so only a change of level pays for it.
    if (matchLabel->property("level").toString() != level) {
        matchLabel->setProperty("level", level);
        matchLabel->style()->unpolish(matchLabel);
        matchLabel->style()->polish(matchLabel);
    }
}
