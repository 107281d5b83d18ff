// The amplifier setup handlers: tube type, class, method, tube count and the shared values, and
// how they keep the method list, the visible rows and the tube cards consistent.
#include "bench/mainwindow.h"

#include "bias/biascalc.h"
#include "bias/tubecardwidget.h"
#include "catalog/ampclasses.h"
#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>

namespace {

// Cards per row of the grid for a number of tubes.
int cardColumns(int count)
{
    if (count <= 2)
        return count;
    if (count <= 4)
        return 2;
    if (count <= 9)
        return 3;
    return 4;
}

} // namespace

int MainWindow::currentMethod() const
{
    return methodCombo->currentData().toInt();
}

double MainWindow::effectiveMaxPlateW() const
{
    const TubeSpec* tube = findTube(tubeCombo->currentText());
    if (!tube)
        return 25;
    return tube->custom ? maxWSpin->value() : tube->maxPlateW;
}

void MainWindow::rebuildMethodList(int select)
{
    QList<int> allowed = {BiasProbe, SenseResistor, OtWindingDrop, CathodeBias};
    if (const AmpClass* ampClass = findAmpClass(classCombo->currentText()))
        allowed = ampClass->methods;
    if (select < 0)
        select = currentMethod();

    // The callers run onMethodChanged themselves once everything it depends on is in place.
    const QSignalBlocker blocker(methodCombo);
    methodCombo->clear();
    for (int method : allowed)
        methodCombo->addItem(biasMethodLabel(method), method);
    const int row = methodCombo->findData(select);
    methodCombo->setCurrentIndex(row >= 0 ? row : 0);
}

void MainWindow::onTubeTypeChanged()
{
    const TubeSpec* tube = findTube(tubeCombo->currentText());
    if (!tube)
        return;

    maxWLabel->setVisible(tube->custom);
    maxWSpin->setVisible(tube->custom);
    datasheetPanel->setTube(*tube);

    // Only an untouched field takes the tube's typical voltage: a measured value always wins.
    if (!applying && tube->typicalPlateV > 0 && plateVSpin->value() == 0)
        plateVSpin->setValue(tube->typicalPlateV);

    const double maxW = effectiveMaxPlateW();
    for (TubeCardWidget* card : std::as_const(cards))
        card->setMaxW(maxW);
    updateTarget();
}

void MainWindow::onClassChanged()
{
    const AmpClass* ampClass = findAmpClass(classCombo->currentText());
    if (!ampClass)
        return;

    topologyNote->setText(ampClass->description);
    if (!applying) {
        targetSlider->setValue(int(ampClass->targetPct));
        rebuildMethodList(-1);
        onMethodChanged();
    }
    for (TubeCardWidget* card : std::as_const(cards))
        card->setWindow(ampClass->idealLowPct, ampClass->idealHighPct);
    updateTarget();
    updateMatching();
}

void MainWindow::onMethodChanged()
{
    const int method = currentMethod();

    const bool sharedPlate = method != OtWindingDrop;
    plateVSpin->setVisible(sharedPlate);
    plateVLabel->setVisible(sharedPlate);
    if (method == CathodeBias)
        plateVLabel->setText(QStringLiteral("Plate-to-cathode V"));
    else if (method == PanelMeter)
        plateVLabel->setText(QStringLiteral("Plate voltage (HV)"));
    else
        plateVLabel->setText(QStringLiteral("Plate voltage"));
    bPlusSpin->setVisible(method == OtWindingDrop);
    bPlusLabel->setVisible(method == OtWindingDrop);
    senseSpin->setVisible(method == SenseResistor);
    senseLabel->setVisible(method == SenseResistor);
    cathodeRSpin->setVisible(method == CathodeBias);
    cathodeRLabel->setVisible(method == CathodeBias);
    sharedPairCheck->setVisible(method == CathodeBias);
    subtractScreenCheck->setVisible(method == BiasProbe || method == SenseResistor || method == CathodeBias);
    meterTotalCheck->setVisible(method == PanelMeter);

    for (TubeCardWidget* card : std::as_const(cards))
        card->setMethod(method);
    recomputeCards();
}

void MainWindow::rebuildCards(int count)
{
    // The spin box cannot show more than 1 to 12 tubes, and the cards must agree with it (the panel
    // meter divides by its value), so a count from a hand-edited profile is clamped here first.
    count = std::clamp(count, tubeCountSpin->minimum(), tubeCountSpin->maximum());
    if (count != tubeCountSpin->value()) {
        const QSignalBlocker blocker(tubeCountSpin);
        tubeCountSpin->setValue(count);
    }

    for (TubeCardWidget* card : std::as_const(cards)) {
        cardGrid->removeWidget(card);
        card->disconnect(this);
        card->hide();
        card->deleteLater();
    }
    cards.clear();

    const AmpClass* ampClass = findAmpClass(classCombo->currentText());
    const int columns = cardColumns(count);
    const int method = currentMethod();
    const double maxW = effectiveMaxPlateW();
    for (int i = 0; i < count; ++i) {
        auto* card = new TubeCardWidget(i, cardHost);
        card->setMethod(method);
        card->setMaxW(maxW);
        if (ampClass)
            card->setWindow(ampClass->idealLowPct, ampClass->idealHighPct);
        connect(card, &TubeCardWidget::resultChanged, this, &MainWindow::updateMatching);
        // Under the transformer-drop method the target is worked out at tube 1's own plate voltage,
        // so that read-out has to follow what is typed on the first card.
        if (i == 0) {
            connect(card, &TubeCardWidget::resultChanged, this, [this] {
                if (currentMethod() == OtWindingDrop)
                    updateTarget();
            });
        }
        cardGrid->addWidget(card, i / columns, i % columns);
        cards.append(card);
    }

    // Cards keep their height and gather at the top; the row below the last one takes the slack.
    const int cardRows = count > 0 ? (count - 1) / columns + 1 : 0;
    for (int row = 0; row < cardGrid->rowCount(); ++row)
        cardGrid->setRowStretch(row, 0);
    cardGrid->setRowStretch(cardRows, 1);

    recomputeCards();
}

void MainWindow::recomputeCards()
{
    const int meterTubes = meterTotalCheck->isChecked() ? tubeCountSpin->value() : 1;
    for (TubeCardWidget* card : std::as_const(cards)) {
        card->setShared(sharedPairCheck->isChecked(), 2, subtractScreenCheck->isChecked(), meterTubes,
                        plateVSpin->value(), bPlusSpin->value(), senseSpin->value(), cathodeRSpin->value(),
                        5);
    }
    updateTarget();
}
