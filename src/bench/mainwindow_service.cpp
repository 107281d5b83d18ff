// The service record of the amp on the bench: the "Service" menu of the tool row with the shop's
// details, the amp's record, the readings before adjustment, "Finish Job", the service history and
// reading a job back from a report.
#include "bench/mainwindow.h"

#include "app/clock.h"
#include "app/plainmessagebox.h"
#include "bench/benchsnapshot.h"
#include "bench/profilestore.h"
#include "biastools/biasreport.h"
#include "service/pdfattachment.h"
#include "service/servicedialogs.h"
#include "service/shopdetails.h"
#include "warmup/warmuprecorder.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>

void MainWindow::buildServiceMenu(QPushButton* button)
{
    button->setToolTip(QStringLiteral("The amp's record, its service history and your shop's details"));
    auto* menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("serviceMenu"));
    menu->addAction(QStringLiteral("Amp Record…"), this, &MainWindow::editAmpRecord);
    menu->addAction(QStringLiteral("Take Readings as Before Adjustment"), this,
                    &MainWindow::takeBeforeReadings);
    menu->addAction(QStringLiteral("Finish Job…"), this, &MainWindow::finishJob);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Service History…"), this, &MainWindow::showServiceHistory);
    menu->addAction(QStringLiteral("Import from Report…"), this, &MainWindow::importFromReport);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Preferences…"), this, &MainWindow::openPreferences);
    button->setMenu(menu);
}

void MainWindow::startNewAmp(const AmpRecord& amp)
{
    record = amp;
    before.clear();
}

bool MainWindow::loadSavedAmp(AmpProfile& out) const
{
    const QString name = bench.ampName();
    AmpProfile profile;
    if (name.isEmpty() || !loadProfile(name, profile) || profile.name != name)
        return false;
    out = profile;
    return true;
}

void MainWindow::openPreferences()
{
    PreferencesDialog dialog(this);
    dialog.setShop(loadShopDetails());
    dialog.setPageSize(reportPageSize());
    if (dialog.exec() != QDialog::Accepted)
        return;
    saveShopDetails(dialog.shop());
    setReportPageSize(dialog.pageSize());
}

void MainWindow::editAmpRecord()
{
    AmpRecordDialog dialog(bench.ampName(), this);
    dialog.setRecord(record);
    if (dialog.exec() != QDialog::Accepted)
        return;
    record = dialog.record();
    // A saved amp keeps its record in its file at once; an unsaved one gets it when it is saved.
    AmpProfile profile;
    if (!loadSavedAmp(profile))
        return;
    profile.amp = record;
    if (!saveProfile(profile)) {
        plainWarning(this, QStringLiteral("Save failed"),
                     QStringLiteral("Could not write the profile file."));
        return;
    }
    showStatusMessage(QStringLiteral("Saved the record of \"") + profile.name + QStringLiteral("\""), 5000);
}

void MainWindow::takeBeforeReadings()
{
    before = serviceTubesFromBench(bench.snapshot());
    showStatusMessage(QStringLiteral("Readings kept as before adjustment"), 5000);
}

void MainWindow::finishJob()
{
    AmpProfile profile;
    if (!loadSavedAmp(profile)) {
        // The history lives in the amp's profile: the amp is saved first.
        saveProfileClicked();
        if (!loadSavedAmp(profile))
            return;
    }
    const int tubes = bench.tubeCount();
    QString summary = QStringLiteral("%1 × %2").arg(tubes).arg(bench.setup().tube);
    if (!before.isEmpty())
        summary += QStringLiteral(", readings before adjustment taken");
    FinishJobDialog dialog(profile.name, summary, loadShopDetails().technician, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ServiceJob job = serviceJobFromBench(bench.snapshot(), before, recorder->log(), dialog.technician(),
                                               dialog.tubeBrand(), dialog.notes(), Clock::currentDateTime());
    // The profile becomes the bench as the job left it, with the job first in its history.
    AmpProfile updated = captureProfile();
    updated.name = profile.name;
    updated.history = profile.history;
    addToHistory(updated.history, job);
    if (!saveProfile(updated)) {
        plainWarning(this, QStringLiteral("Save failed"),
                     QStringLiteral("Could not write the profile file."));
        return;
    }
    bench.markSaved(profile.name);
    before.clear();
    showStatusMessage(
        QStringLiteral("Job added to the service history of \"") + profile.name + QStringLiteral("\""), 5000);
}

void MainWindow::showServiceHistory()
{
    AmpProfile profile;
    if (!loadSavedAmp(profile)) {
        plainInformation(this, QStringLiteral("Service History"),
                         QStringLiteral("Choose a saved amp in MY AMPS first: its history is kept with it."));
        return;
    }
    ServiceHistoryDialog dialog(profile.name, profile.history, this);
    dialog.exportJob = [this, &profile](int job) {
        exportJobReport(profile.name, profile.amp, profile.history.at(job));
    };
    dialog.exportHistory = [this, &profile] { exportHistoryReport(profile); };
    if (dialog.exec() != QDialog::Accepted || dialog.startJob() < 0)
        return;
    // A new job from the old one: its setup and readings, the amp and its record as they are.
    BenchStart start = benchStartFromJob(profile.history.at(dialog.startJob()));
    start.ampName = profile.name;
    bench.apply(start);
    recorder->setLog(WarmupLog());
    startNewAmp(profile.amp);
}

bool MainWindow::exportHistoryReport(const AmpProfile& profile)
{
    QString name = profile.name.simplified();
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString suggested = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                              QLatin1Char('/') + name + QStringLiteral("_service_history.pdf");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export History Report"),
                                                      suggested, QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return false;
    if (writeHistoryReport(path, profile.name, profile.amp, loadShopDetails(), profile.history,
                           reportPageSize())) {
        showStatusMessage(QStringLiteral("Report saved to ") + path, 8000);
        return true;
    }
    plainWarning(this, QStringLiteral("Export failed"), QStringLiteral("Could not write the PDF."));
    return false;
}

void MainWindow::importFromReport()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Import from Report"),
                                     QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                                     QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    QByteArray pdf;
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        pdf = file.read(maxReportPdfBytes + 1);
    QByteArray attachment;
    QString ampName;
    AmpRecord amp;
    ServiceJob job;
    if (!pdfEmbeddedFile(pdf, reportAttachmentName, attachment) ||
        !jobFromReportAttachment(attachment, ampName, amp, job)) {
        plainWarning(this, QStringLiteral("Import failed"),
                     QStringLiteral("This PDF holds no job written by Ambertrace."));
        return;
    }
    // Into the amp on the bench when it is saved; else into the amp the report names.
    AmpProfile profile;
    if (!loadSavedAmp(profile)) {
        if (ampName.isEmpty() || !loadProfile(ampName, profile) || profile.name != ampName) {
            plainWarning(
                this, QStringLiteral("Import failed"),
                QStringLiteral("Choose the amp in MY AMPS first: the report's amp \"%1\" is not saved.")
                    .arg(ampName));
            return;
        }
    }
    if (!addToHistory(profile.history, job)) {
        plainInformation(this, QStringLiteral("Import from Report"),
                         QStringLiteral("This job is already in the history of \"%1\".").arg(profile.name));
        return;
    }
    if (profile.amp.isEmpty())
        profile.amp = amp;
    if (!saveProfile(profile)) {
        plainWarning(this, QStringLiteral("Save failed"),
                     QStringLiteral("Could not write the profile file."));
        return;
    }
    if (profile.name == bench.ampName())
        record = profile.amp;
    showStatusMessage(
        QStringLiteral("Imported the job of %1 into the history of \"%2\"")
            .arg(job.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")), profile.name),
        5000);
}
