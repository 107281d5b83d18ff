// Saved amplifier profiles ("MY AMPS") and the last session: capturing the bench into an AmpProfile,
// applying one back in a fixed order, and the Save, Delete and load flows of the header.
#include "bench/mainwindow.h"

#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"
#include "catalog/ampclasses.h"
#include "catalog/tubes.h"
#include "preamp/preampview.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <algorithm>
#include <cmath>

namespace {

// A target from a file as a slider position: truncated like the slider's own integer steps, but
// brought into the slider's range first, since converting a huge or non-finite double to int is
// undefined.
int sliderTarget(double pct, const QSlider* slider)
{
    if (!std::isfinite(pct))
        return slider->value();
    return int(std::clamp(pct, double(slider->minimum()), double(slider->maximum())));
}

} // namespace

AmpProfile MainWindow::captureProfile() const
{
    AmpProfile p;
    p.tube = tubeCombo->currentText();
    p.customMaxW = maxWSpin->value();
    p.tubeCount = tubeCountSpin->value();
    p.topology = classCombo->currentText();
    p.biasMethod = currentMethod();
    p.plateV = plateVSpin->value();
    p.bPlusV = bPlusSpin->value();
    p.senseResistorOhms = senseSpin->value();
    p.cathodeResistorOhms = cathodeRSpin->value();
    p.sharedCathodeR = sharedPairCheck->isChecked();
    p.subtractScreen = subtractScreenCheck->isChecked();
    p.meterReadsTotal = meterTotalCheck->isChecked();
    p.targetPct = targetSlider->value();
    // Both fields of every card, hidden or not, so switching the method back later finds them again.
    for (const TubeCardWidget* card : cards) {
        p.meas1.append(card->meas1());
        p.meas2.append(card->meas2());
    }
    if (preampView)
        p.preampStages = preampView->stagesJson();
    return p;
}

void MainWindow::applyProfile(const AmpProfile& profile)
{
    // The lists and fields are set with the dependent steps held back; then the handlers run once,
    // in a fixed order, on the complete setup.
    applying = true;
    const int tube = tubeIndex(profile.tube);
    if (tube >= 0)
        tubeCombo->setCurrentIndex(tube);
    maxWSpin->setValue(profile.customMaxW);
    const int ampClass = ampClassIndex(profile.topology);
    if (ampClass >= 0)
        classCombo->setCurrentIndex(ampClass);
    // To rebuildMethodList a negative method means "keep the current one", which would make a file's
    // outcome depend on what was on screen before. Such a value reads like a missing one instead.
    rebuildMethodList(profile.biasMethod >= 0 ? profile.biasMethod : AmpProfile().biasMethod);
    plateVSpin->setValue(profile.plateV);
    bPlusSpin->setValue(profile.bPlusV);
    senseSpin->setValue(profile.senseResistorOhms);
    cathodeRSpin->setValue(profile.cathodeResistorOhms);
    sharedPairCheck->setChecked(profile.sharedCathodeR);
    subtractScreenCheck->setChecked(profile.subtractScreen);
    meterTotalCheck->setChecked(profile.meterReadsTotal);
    targetSlider->setValue(sliderTarget(profile.targetPct, targetSlider));
    applying = false;

    onTubeTypeChanged();
    onClassChanged();
    // onClassChanged has put the class's default target into the slider; the saved one wins.
    targetSlider->setValue(sliderTarget(profile.targetPct, targetSlider));
    onMethodChanged();
    rebuildCards(profile.tubeCount);

    for (int i = 0; i < cards.size(); ++i)
        cards[i]->setMeasurements(profile.meas1.value(i, 0), profile.meas2.value(i, 0));

    // An empty array keeps the chain on screen.
    if (preampView)
        preampView->loadStages(profile.preampStages);
}

void MainWindow::refreshMyAmps()
{
    myAmpsCombo->clear();
    myAmpsCombo->addItem(QStringLiteral("— my saved amps —"));
    const QStringList names = listProfiles();
    for (const QString& name : names)
        myAmpsCombo->addItem(name, name);
    myAmpsCombo->setCurrentIndex(0);
}

void MainWindow::saveProfileClicked()
{
    const QString current = myAmpsCombo->currentData().toString();
    bool ok = false;
    const QString answer =
        QInputDialog::getText(this, QStringLiteral("Save Amp Profile"), QStringLiteral("Profile name:"),
                              QLineEdit::Normal, current, &ok);
    if (!ok)
        return;
    const QString name = answer.trimmed();
    if (name.isEmpty())
        return;

    AmpProfile profile = captureProfile();
    profile.name = name;
    if (!saveProfile(profile)) {
        QMessageBox::warning(this, QStringLiteral("Save failed"),
                             QStringLiteral("Could not write the profile file."));
        return;
    }
    refreshMyAmps();
    const int row = myAmpsCombo->findData(name);
    if (row >= 0)
        myAmpsCombo->setCurrentIndex(row);
    showStatusMessage(QStringLiteral("Saved profile \"") + name + QStringLiteral("\""), 5000);
}

void MainWindow::deleteProfileClicked()
{
    const QString name = myAmpsCombo->currentData().toString();
    if (name.isEmpty())
        return;
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QStringLiteral("Delete Profile"), QStringLiteral("Delete \"") + name + QStringLiteral("\"?"),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // A file that cannot be removed simply stays in the refreshed list.
    deleteProfile(name);
    refreshMyAmps();
}

void MainWindow::onMyAmpActivated()
{
    const QString name = myAmpsCombo->currentData().toString();
    if (name.isEmpty())
        return;
    AmpProfile profile;
    if (loadProfile(name, profile))
        applyProfile(profile);
}

bool MainWindow::restoreLastSession()
{
    AmpProfile session;
    if (!loadLastSession(session))
        return false;
    applyProfile(session);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    AmpProfile session = captureProfile();
    session.name = QStringLiteral("_last");
    saveLastSession(session);
    QMainWindow::closeEvent(event);
}
