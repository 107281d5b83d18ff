// The amplifier setup panel and the card grid as views of the bench model: the lists, the rows the
// method uses, the shared values and the target slider follow the model's setup, and the grid holds
// one card per tube of the model.
#include "bench/mainwindow.h"

#include "bias/biasmethods.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "catalog/ampclasses.h"
#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"
#include "warmup/warmuprecorder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

namespace {

// A control is refilled by code with its signals blocked, and only when it shows something else:
// rewriting an equal value would reformat a field under the user's cursor.
void showValue(QDoubleSpinBox* spin, double value)
{
    if (spin->value() == value)
        return;
    const QSignalBlocker blocker(spin);
    spin->setValue(value);
}

void showValue(QSpinBox* spin, int value)
{
    if (spin->value() == value)
        return;
    const QSignalBlocker blocker(spin);
    spin->setValue(value);
}

void showValue(QSlider* slider, int value)
{
    if (slider->value() == value)
        return;
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
}

void showChecked(QCheckBox* check, bool checked)
{
    if (check->isChecked() == checked)
        return;
    const QSignalBlocker blocker(check);
    check->setChecked(checked);
}

void showEntry(QComboBox* combo, const QString& text)
{
    if (combo->currentText() == text)
        return;
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(combo->findText(text));
}

void showRow(QLabel* label, QWidget* field, bool visible)
{
    label->setVisible(visible);
    field->setVisible(visible);
}

} // namespace

void MainWindow::showSetup()
{
    const BenchSetup& s = bench.setup();

    showEntry(tubeCombo, s.tube);
    if (const TubeSpec* tube = findTube(s.tube)) {
        showRow(maxWLabel, maxWSpin, tube->custom);
        if (shownTube != s.tube) {
            shownTube = s.tube;
            datasheetPanel->setTube(*tube);
        }
    }
    showValue(maxWSpin, s.customMaxW);
    datasheetPanel->setNote(unknownNamesText(s.unknown));

    showEntry(classCombo, s.ampClass);
    if (const AmpClass* ampClass = findAmpClass(s.ampClass))
        topologyNote->setText(ampClass->description);

    // The method list is the class's; it is refilled only when the class offers other methods.
    const QList<int> methods = bench.methods();
    bool sameList = methodCombo->count() == methods.size();
    for (int i = 0; sameList && i < methods.size(); ++i)
        sameList = methodCombo->itemData(i).toInt() == methods[i];
    {
        const QSignalBlocker blocker(methodCombo);
        if (!sameList) {
            methodCombo->clear();
            for (int method : methods)
                methodCombo->addItem(biasMethodLabel(method), method);
        }
        const int row = methodCombo->findData(s.method);
        if (methodCombo->currentIndex() != row)
            methodCombo->setCurrentIndex(row);
    }

    // The rows of the shared values the method reads.
    if (const BiasMethodInfo* info = findBiasMethod(s.method)) {
        const bool direct = s.method == OtWindingDrop && s.shared.otDropDirect;
        showRow(otDropLabel, otDropCombo, s.method == OtWindingDrop);
        showRow(plateVLabel, plateVSpin, usesSharedPlateV(s.method, s.shared));
        plateVLabel->setText(info->plateVLabel);
        // A linear's supply sags under load: its idle is judged at the no-load voltage.
        const QString plateHint = isRfLinearClass(s.ampClass) ? rfPlateVoltageHint() : QString();
        plateVLabel->setToolTip(plateHint);
        plateVSpin->setToolTip(plateHint);
        showRow(bPlusLabel, bPlusSpin, info->usesBPlusV && !direct);
        showRow(senseLabel, senseSpin, info->usesSenseResistor);
        showRow(cathodeRLabel, cathodeRSpin, info->usesCathodeResistor);
        showRow(meterTotalLabel, meterTotalSpin, info->usesMeterReadsTotal && s.shared.meterReadsTotal);
        senseRPerTubeCheck->setVisible(info->usesSenseResistor);
        // Tubes with resistors of their own share none.
        const bool shareOffered =
            info->usesSharedResistor && !(s.method == SenseResistor && s.shared.senseRPerTube);
        sharedPairCheck->setVisible(shareOffered);
        sharedTubesSpin->setVisible(shareOffered);
        // A triode has no screen to subtract.
        const TubeSpec* tube = findTube(s.tube);
        const bool screen = info->usesSubtractScreen && !(tube && tube->triode);
        subtractScreenCheck->setVisible(screen);
        screenMeasuredCheck->setVisible(screen);
        meterTotalCheck->setVisible(info->usesMeterReadsTotal);
    }

    showValue(tubeCountSpin, s.tubeCount);
    showValue(plateVSpin, s.shared.plateV);
    showValue(bPlusSpin, s.shared.bPlusV);
    showValue(senseSpin, s.shared.senseResistorOhms);
    showValue(cathodeRSpin, s.shared.cathodeResistorOhms);
    showValue(meterTotalSpin, s.shared.meterTotalMa);
    {
        const int row = otDropCombo->findData(s.shared.otDropDirect);
        if (otDropCombo->currentIndex() != row) {
            const QSignalBlocker blocker(otDropCombo);
            otDropCombo->setCurrentIndex(row);
        }
    }
    showChecked(senseRPerTubeCheck, s.shared.senseRPerTube);
    showChecked(screenMeasuredCheck, s.shared.screenMeasured);
    screenMeasuredCheck->setEnabled(s.shared.subtractScreen);
    // One tube has nothing to share its resistor with.
    const bool canShare = s.tubeCount > 1;
    sharedPairCheck->setEnabled(canShare);
    sharedTubesSpin->setEnabled(canShare);
    sharedPairCheck->setText(sharedResistorText(s.shared.sharedTubes));
    showChecked(sharedPairCheck, s.method == SenseResistor ? s.shared.sharedSenseR : s.shared.sharedCathodeR);
    {
        const QSignalBlocker blocker(sharedTubesSpin);
        sharedTubesSpin->setMaximum(std::max(tubesOnSharedResistor, s.tubeCount));
    }
    showValue(sharedTubesSpin, s.shared.sharedTubes);
    showChecked(subtractScreenCheck, s.shared.subtractScreen);
    // The label names what is subtracted: the family's share, or each tube's measured current.
    subtractScreenCheck->setText(benchScreenMeasured(s) ? QStringLiteral("Subtract screen current (measured)")
                                                        : subtractScreenText(s.shared.screenPct));
    subtractScreenCheck->setToolTip(subtractScreenToolTip(s.shared.screenPct));
    showChecked(meterTotalCheck, s.shared.meterReadsTotal);
    showValue(targetSlider, s.targetPct);
}

void MainWindow::rebuildCards()
{
    for (TubeCardWidget* card : std::as_const(cards)) {
        cardGrid->removeWidget(card);
        card->detach();
        card->hide();
        card->deleteLater();
    }
    cards.clear();

    const int count = bench.tubeCount();
    for (int i = 0; i < count; ++i) {
        auto* card = new TubeCardWidget(bench, i, cardHost);
        card->followWarmup(recorder);
        card->installEventFilter(this); // a click chooses the card the meter reads
        cards.append(card);
        // Enter walks the same reading down the tubes; past the last tube's first reading it goes on
        // to the first tube's second reading, when the method has one.
        connect(card, &TubeCardWidget::moveRequested, this, [this, i](int row, int step) {
            const int next = i + step;
            if (next >= 0 && next < cards.size())
                cards[next]->focusReading(row);
            else if (row == 0 && step > 0 && !cards.isEmpty())
                cards.first()->focusReading(1);
            else if (row == 1 && step < 0 && !cards.isEmpty())
                cards.last()->focusReading(0);
        });
    }
    // Tab takes the same way: every tube's first reading, then every tube's second.
    orderTabs();
    markCardBeingRead();

    // Into the grid, as many in a row as the card area has room for.
    placedColumns = 0;
    placeCards();
}
