// The window's "Service" menu driven as a technician uses it: the amp's record, the readings before
// adjustment, "Finish Job" into the amp's history (kept when the amp is saved again), and a job read
// back from its report into the history, once.
#include "bench/mainwindow.h"
#include "bench/profilestore.h"
#include "bias/tubecardwidget.h"
#include "biastools/biasreport.h"
#include "service/servicedialogs.h"

#include "mockclock.h"
#include "modalseam.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

// Fills the dialog of type D with `fill` and accepts it.
template <class D> ModalSeam::Handler answerDialog(std::function<void(D&)> fill)
{
    return [fill](QWidget* widget) {
        auto* dialog = qobject_cast<D*>(widget);
        if (!dialog) {
            closeDialog(widget);
            QFAIL(qPrintable(QStringLiteral("unexpected dialog: ") + describeDialog(widget)));
        }
        fill(*dialog);
        dialog->accept();
    };
}

AmpProfile savedProfile(const QString& name)
{
    AmpProfile profile;
    loadProfile(name, profile);
    return profile;
}

} // namespace

class TestMainWindowService : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        prepareWindowTests(home);
    }

    void init()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).removeRecursively();
    }

    void menuOffersTheServiceActions()
    {
        const auto window = openWindow();
        QPushButton* button = window->serviceButton();
        QVERIFY(button && button->menu());
        QStringList texts;
        for (QAction* action : button->menu()->actions())
            if (!action->isSeparator())
                texts << action->text();
        QCOMPARE(texts, (QStringList{"Amp Record…", "Take Readings as Before Adjustment", "Finish Job…",
                                     "Service History…", "Import from Report…", "Preferences…"}));
    }

    void finishJobGoesIntoTheHistoryAndStaysThere()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        w.tubeCards().at(0)->setMeasurements(20, 0);
        w.tubeCards().at(1)->setMeasurements(21, 0);
        w.takeBeforeReadings();
        QCOMPARE(w.beforeReadings().size(), 2);
        w.tubeCards().at(0)->setMeasurements(24, 0);
        w.tubeCards().at(1)->setMeasurements(25, 0);
        clock.advanceSeconds(60);
        {
            // Not saved yet: finishing saves the amp first, then asks for the job's details.
            ModalSeam seam({answerText(QStringLiteral("Dana's Deluxe")),
                            answerDialog<FinishJobDialog>([](FinishJobDialog& d) {
                                d.technicianEdit->setText(QStringLiteral("Rita Okafor"));
                                d.brandEdit->setText(QStringLiteral("JJ"));
                                d.notesEdit->setPlainText(QStringLiteral("New pair fitted."));
                            })});
            w.finishJob();
            QCOMPARE(seam.answered, 2);
        }
        QVERIFY(w.beforeReadings().isEmpty());
        AmpProfile profile = savedProfile(QStringLiteral("Dana's Deluxe"));
        QCOMPARE(profile.history.size(), 1);
        const ServiceJob& job = profile.history.at(0);
        QCOMPARE(job.technician, QStringLiteral("Rita Okafor"));
        QCOMPARE(job.tubeBrand, QStringLiteral("JJ"));
        QCOMPARE(job.notes, QStringLiteral("New pair fitted."));
        QCOMPARE(job.before.size(), 2);
        QCOMPARE(job.before.at(0).meas1, 20.0);
        QCOMPARE(job.after.at(1).meas1, 25.0);
        QCOMPARE(job.date, clock.currentDateTime().toUTC());

        // The amp's record, saved into its file at once.
        {
            ModalSeam seam({answerDialog<AmpRecordDialog>([](AmpRecordDialog& d) {
                d.customerEdit->setText(QStringLiteral("Dana Whitcombe"));
                d.serialEdit->setText(QStringLiteral("A 12345"));
            })});
            w.editAmpRecord();
        }
        profile = savedProfile(QStringLiteral("Dana's Deluxe"));
        QCOMPARE(profile.amp.customer, QStringLiteral("Dana Whitcombe"));
        QCOMPARE(profile.amp.serial, QStringLiteral("A 12345"));
        QCOMPARE(profile.history.size(), 1);

        // Saving the bench over the profile replaces its setup, never its past or its record.
        {
            ModalSeam seam({answerText(QStringLiteral("Dana's Deluxe")), answerBox(QMessageBox::Yes)});
            QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
            QCOMPARE(seam.answered, 2);
        }
        profile = savedProfile(QStringLiteral("Dana's Deluxe"));
        QCOMPARE(profile.history.size(), 1);
        QCOMPARE(profile.amp.serial, QStringLiteral("A 12345"));
    }

    void importFromReportAddsTheJobOnce()
    {
        const auto window = openWindow();
        MainWindow& w = *window;
        {
            ModalSeam seam({answerText(QStringLiteral("Bench Twin"))});
            QTest::mouseClick(headerButton(w, QStringLiteral("Save")), Qt::LeftButton);
        }
        // A report of an earlier job on this amp, written by another copy of the program.
        ServiceJob job;
        job.date = QDateTime(QDate(2025, 1, 9), QTime(10, 0), Qt::UTC);
        job.tube = QStringLiteral("6L6GC");
        job.technician = QStringLiteral("Sam Lee");
        ServiceTube tube;
        tube.meas1 = 38;
        tube.result.valid = true;
        tube.result.currentMa = 38;
        tube.status = QStringLiteral("IDEAL");
        job.after = {tube, tube};
        AmpRecord amp;
        amp.serial = QStringLiteral("TW-9");
        const QString pdf = home.filePath(QStringLiteral("earlier.pdf"));
        QVERIFY(
            writeBiasReport(pdf, biasReportFromJob(job, QStringLiteral("Bench Twin"), amp, ShopDetails())));

        {
            ModalSeam seam({answerFile(pdf)});
            w.importFromReport();
            QCOMPARE(seam.answered, 1);
        }
        AmpProfile profile = savedProfile(QStringLiteral("Bench Twin"));
        QCOMPARE(profile.history.size(), 1);
        QVERIFY2(profile.history.at(0) == job, "the imported job equals the one in the report");
        QCOMPARE(profile.amp.serial, QStringLiteral("TW-9")); // the amp had no record of its own
        QCOMPARE(w.ampRecord().serial, QStringLiteral("TW-9"));

        BoxSeen box;
        {
            ModalSeam seam({answerFile(pdf), answerBox(QMessageBox::Ok, &box)});
            w.importFromReport();
        }
        QCOMPARE(box.text, QStringLiteral("This job is already in the history of \"Bench Twin\"."));
        QCOMPARE(savedProfile(QStringLiteral("Bench Twin")).history.size(), 1);

        // A PDF without a job is refused with a warning.
        const QString plain = home.filePath(QStringLiteral("plain.pdf"));
        QVERIFY(writeBiasReport(plain, BiasReportData()));
        BoxSeen warning;
        {
            ModalSeam seam({answerFile(plain), answerBox(QMessageBox::Ok, &warning)});
            w.importFromReport();
        }
        QCOMPARE(warning.title, QStringLiteral("Import failed"));
        QCOMPARE(savedProfile(QStringLiteral("Bench Twin")).history.size(), 1);
    }
};

QTEST_MAIN(TestMainWindowService)
#include "tst_mainwindow_service.moc"
