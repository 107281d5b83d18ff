// Saved amplifier profiles ("MY AMPS") and the last session: capturing the bench into an AmpProfile,
// applying one back, and the Save, Delete and load flows of the header.
#include "bench/mainwindow.h"

#include "app/plainmessagebox.h"
#include "bench/benchsnapshot.h"
#include "bench/myampsmodels.h"
#include "bench/profilestore.h"
#include "bench/sessionautosave.h"
#include "preamp/preampview.h"
#include "warmup/warmuprecorder.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QStatusBar>

namespace {

// A profile's unknown tube, class or method stays in the status bar as long as a preset's note.
constexpr int unknownNamesMessageMs = 12000;

} // namespace

AmpProfile MainWindow::captureProfile() const
{
    AmpProfile profile = profileFromBench(bench.snapshot(), preamp->stagesJson(), recorder->log());
    profile.amp = record;
    return profile;
}

void MainWindow::applyProfile(const AmpProfile& profile)
{
    bench.apply(benchStartFromProfile(profile));
    // The profile's log, empty for a file written before there was one; the hook has taken the
    // profile's readings as logged already, so they are not logged a second time.
    recorder->setLog(profile.warmupLog);
    // An empty array keeps the chain on screen.
    preamp->loadStages(profile.preampStages);
    startNewAmp(profile.amp);
    const QString unknown = unknownNamesText(bench.setup().unknown);
    if (!unknown.isEmpty())
        showStatusMessage(unknown, unknownNamesMessageMs);
}

void MainWindow::buildMyAmpsSearch(QWidget* parent)
{
    // A shop keeps thousands of amps: the list is a model the combo box's view paints a screenful
    // of at a time, and measuring every entry for the box's width is left out.
    myAmpsModel = new MyAmpsListModel(this);
    myAmpsCombo->setModel(myAmpsModel);
    if (auto* list = qobject_cast<QListView*>(myAmpsCombo->view()))
        list->setUniformItemSizes(true);

    myAmpsSearch = new QLineEdit(parent);
    myAmpsSearch->setObjectName(QStringLiteral("myAmpsSearch"));
    myAmpsSearch->setPlaceholderText(QStringLiteral("Search amps"));
    myAmpsSearch->setToolTip(
        QStringLiteral("Find a saved amp by name, customer, make, model or serial number"));
    myAmpsSearch->setClearButtonEnabled(true);
    myAmpsSearch->setMinimumWidth(80);

    // The results are found by the model; the completer only shows them, all of them, and passes on
    // the one chosen.
    ampSearchModel = new AmpSearchModel(this);
    ampSearchCompleter = new QCompleter(ampSearchModel, this);
    ampSearchCompleter->setObjectName(QStringLiteral("myAmpsSearchCompleter"));
    ampSearchCompleter->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    ampSearchCompleter->setMaxVisibleItems(12);
    ampSearchCompleter->setWidget(myAmpsSearch);
    ampSearchCompleter->popup()->setObjectName(QStringLiteral("myAmpsResults"));
    if (auto* list = qobject_cast<QListView*>(ampSearchCompleter->popup()))
        list->setUniformItemSizes(true);
    connect(myAmpsSearch, &QLineEdit::textEdited, this, &MainWindow::onAmpSearchEdited);
    connect(ampSearchCompleter, qOverload<const QModelIndex&>(&QCompleter::activated), this,
            [this](const QModelIndex& index) { onAmpSearchChosen(index.data(profileFileRole).toString()); });
    // Return with the results closed takes the first.
    connect(myAmpsSearch, &QLineEdit::returnPressed, this, [this] {
        if (!ampSearchCompleter->popup()->isVisible() && ampSearchModel->rowCount() > 0)
            onAmpSearchChosen(ampSearchModel->index(0).data(profileFileRole).toString());
    });
}

void MainWindow::onAmpSearchEdited(const QString& text)
{
    ampSearchModel->setQuery(text);
    // Wider than the field, so a result shows its customer and serial number too; its right edge
    // under the field's.
    const int width = qMax(myAmpsSearch->width(), 460);
    if (ampSearchModel->rowCount() > 0)
        ampSearchCompleter->complete(QRect(myAmpsSearch->width() - width, 0, width, myAmpsSearch->height()));
    else
        ampSearchCompleter->popup()->hide();
}

void MainWindow::onAmpSearchChosen(const QString& fileName)
{
    const int row = myAmpsModel->rowOfFile(fileName);
    if (row < 0)
        return;
    ampSearchCompleter->popup()->hide();
    myAmpsSearch->clear();
    ampSearchModel->setQuery(QString());
    myAmpsCombo->setCurrentIndex(row);
    onMyAmpActivated();
}

void MainWindow::refreshMyAmps()
{
    const QList<ProfileListing> listings = listProfileListings();
    myAmpsModel->setListings(listings);
    ampSearchModel->setListings(listings);
    ampSearchModel->setRecent(recentProfileFiles());
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
        // The amp's service history stays with it: saving the bench replaces its setup, not its past.
        profile.history = existing.history;
    }

    if (!saveProfile(profile)) {
        plainWarning(this, QStringLiteral("Save failed"),
                     QStringLiteral("Could not write the profile file."));
        return;
    }
    bench.markSaved(name);
    const QString fileName = QFileInfo(path).fileName();
    noteProfileUsed(fileName);
    refreshMyAmps();
    int row = myAmpsModel->rowOfFile(fileName);
    if (row < 0)
        row = myAmpsCombo->findData(name);
    if (row >= 0)
        myAmpsCombo->setCurrentIndex(row);
    showStatusMessage(QStringLiteral("Saved profile \"") + name + QStringLiteral("\""), 5000);
}

namespace {

// The entry of the list's current row: the file it lists, its name and what the list shows.
ProfileEntry currentEntry(const QComboBox* combo)
{
    ProfileEntry entry;
    entry.fileName = combo->currentData(profileFileRole).toString();
    entry.name = combo->currentData().toString();
    entry.label = combo->currentText();
    return entry;
}

} // namespace

void MainWindow::deleteProfileClicked()
{
    const ProfileEntry entry = currentEntry(myAmpsCombo);
    if (entry.name.isEmpty() || entry.fileName.isEmpty())
        return;
    // The entry as the list shows it: a copy of a profile says which file it is.
    const QMessageBox::StandardButton answer =
        plainQuestion(this, QStringLiteral("Delete Profile"),
                      QStringLiteral("Delete \"") + entry.label + QStringLiteral("\"?"),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // Only this entry's own file goes; one that cannot be removed stays in the refreshed list.
    deleteProfileEntry(entry);
    refreshMyAmps();
}

void MainWindow::onMyAmpActivated()
{
    const ProfileEntry entry = currentEntry(myAmpsCombo);
    if (entry.name.isEmpty() || entry.fileName.isEmpty())
        return;
    AmpProfile profile;
    if (!loadProfileEntry(entry, profile))
        return;
    noteProfileUsed(entry.fileName);
    ampSearchModel->setRecent(recentProfileFiles());
    const bool putAway = bench.hasUnsavedReadings();
    BenchStart start = benchStartFromProfile(profile);
    start.ampName = profile.name;
    bench.apply(start);
    // As in applyProfile: the profile's own log (empty for older files), its readings not logged again.
    recorder->setLog(profile.warmupLog);
    preamp->loadStages(profile.preampStages);
    startNewAmp(profile.amp);
    const QString unknown = unknownNamesText(bench.setup().unknown);
    if (putAway)
        showStatusMessage(withUndoHint(unknown), 12000);
    else if (!unknown.isEmpty())
        showStatusMessage(unknown, unknownNamesMessageMs);
}

bool MainWindow::restoreLastSession()
{
    AmpProfile session;
    if (!loadLastSession(session))
        return false;
    applyProfile(session);
    return true;
}

void MainWindow::connectAutosave()
{
    autosave = new SessionAutosave([this] { return captureProfile(); }, this);
    // Every change of the job: the setup, the tubes' readings and labels, the preamp chain. The
    // target and the matching verdict follow from those.
    connect(&bench, &BenchSession::setupChanged, autosave, &SessionAutosave::noteEdit);
    connect(&bench, &BenchSession::cardsRebuilt, autosave, &SessionAutosave::noteEdit);
    connect(&bench, &BenchSession::tubeChanged, autosave, &SessionAutosave::noteEdit);
    connect(preamp, &PreampView::chainChanged, autosave, &SessionAutosave::noteEdit);
    connect(recorder, &WarmupRecorder::logChanged, autosave, &SessionAutosave::noteLogGrowth);
}

void MainWindow::saveSessionNow()
{
    autosave->writeNow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    saveSessionNow();
    // The index file is written once, here, not on each change of the list: it is only a cache,
    // and a start after a crash merely reads the profile files again.
    profileIndex().save();
    rememberGeometry();
    QMainWindow::closeEvent(event);
}
