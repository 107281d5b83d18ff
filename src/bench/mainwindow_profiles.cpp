// Saved amplifier profiles ("MY AMPS") and the last session: capturing the bench into an AmpProfile,
// applying one back, and the Save, Delete and load flows of the header.
#include "bench/mainwindow.h"

#include "app/plainmessagebox.h"
#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "preamp/preampview.h"
#include "warmup/warmuprecorder.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
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

namespace {

// "6L6GC, 4 tubes": enough to tell two setups apart in a question.
QString setupSummary(const QString& tube, int tubeCount)
{
    return QStringLiteral("%1, %2 %3")
        .arg(tube.isEmpty() ? QStringLiteral("no tube") : tube)
        .arg(tubeCount)
        .arg(tubeCount == 1 ? QStringLiteral("tube") : QStringLiteral("tubes"));
}

} // namespace

void MainWindow::saveProfileClicked()
{
    // The amp on the bench: the profile loaded, else the preset chosen, else nothing.
    bool ok = false;
    const QString answer =
        QInputDialog::getText(this, QStringLiteral("Save Amp Profile"), QStringLiteral("Profile name:"),
                              QLineEdit::Normal, bench.ampName(), &ok);
    if (!ok)
        return;
    const QString name = answer.trimmed();
    if (name.isEmpty())
        return;

    AmpProfile profile = captureProfile();
    profile.name = name;

    // The file the store would write already holds a profile: the same name is replaced only when
    // the user says so. The store gives names that would share a file files of their own, so a
    // profile of another name in that file is only a last line of defence: refused, so one profile
    // never overwrites another. Only a file that holds a profile is asked about; anything else in
    // the way is for the store to refuse ("Save failed").
    const QString path = profileSavePath(name);
    QJsonObject object;
    if (QFileInfo(path).isFile() && readJsonObjectFile(path, object)) {
        const AmpProfile existing = profileFromJson(object);
        if (existing.name != name) {
            plainWarning(
                this, QStringLiteral("Name already in use"),
                QStringLiteral("\"%1\" would be stored in the same file as the saved profile \"%2\", which "
                               "stays as it is. Please choose another name.")
                    .arg(name, existing.name));
            return;
        }
        const QMessageBox::StandardButton replace = plainQuestion(
            this, QStringLiteral("Replace Profile"),
            QStringLiteral("Replace the saved profile \"%1\" (%2) with the amp on the bench, \"%3\" (%4)?")
                .arg(existing.name, setupSummary(existing.tube, existing.tubeCount), name,
                     setupSummary(profile.tube, profile.tubeCount)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (replace != QMessageBox::Yes)
            return;
    }

    if (!saveProfile(profile)) {
        plainWarning(this, QStringLiteral("Save failed"),
                     QStringLiteral("Could not write the profile file."));
        return;
    }
    bench.markSaved(name);
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
    const QMessageBox::StandardButton answer = plainQuestion(
        this, QStringLiteral("Delete Profile"), QStringLiteral("Delete \"") + name + QStringLiteral("\"?"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
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
    if (!loadProfile(name, profile))
        return;
    const bool putAway = bench.hasUnsavedReadings();
    BenchStart start = benchStartFromProfile(profile);
    start.ampName = profile.name;
    bench.apply(start);
    // As in applyProfile: the profile's own log (empty for older files), its readings not logged again.
    recorder->setLog(profile.warmupLog);
    preamp->loadStages(profile.preampStages);
    if (putAway)
        showStatusMessage(withUndoHint(QString()), 12000);
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
    rememberGeometry();
    QMainWindow::closeEvent(event);
}
