// Saved amplifier profiles ("MY AMPS") and the last session: capturing the bench into an AmpProfile,
// applying one back, and the Save, Delete and load flows of the header.
#include "bench/mainwindow.h"

#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "preamp/preampview.h"
#include "warmup/warmuprecorder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>

AmpProfile MainWindow::captureProfile() const
{
    return profileFromBench(bench.snapshot(), preamp->stagesJson(), recorder->log());
}

void MainWindow::applyProfile(const AmpProfile& profile)
{
    bench.apply(benchStartFromProfile(profile));
    // The profile's log, empty for a file written before there was one; the hook has taken the
    // profile's readings as logged already, so they are not logged a second time.
    recorder->setLog(profile.warmupLog);
    // An empty array keeps the chain on screen.
    preamp->loadStages(profile.preampStages);
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
