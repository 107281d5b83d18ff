// The warm-up log through the real bench window: readings typed on the cards reach the log and the
// WARM-UP tab's plot, the CSV export, clearing with undo, a runaway on the card and in the status
// bar, and the log as part of the job (profiles, the last session, older files, presets).
#include "bench/mainwindow.h"

#include "bench/profilestore.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "preamp/preampview.h"
#include "warmup/warmupbenchhook.h"
#include "warmup/warmupplotwidget.h"
#include "warmup/warmuprecorder.h"
#include "warmup/warmupview.h"

#include "mockclock.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {

// Types `text` over the card's first reading, key by key, as a technician does.
void typeReading(TubeCardWidget* card, const QString& text)
{
    ReadingEdit* field = card->readingField(0);
    QVERIFY(field);
    card->focusReading(0);
    field->selectAll();
    QTest::keyClicks(field, text);
}

// Past the pause after which a typed reading counts as taken.
void letReadingStand(MockClock& clock)
{
    clock.advance(WarmupBenchHook::quietMs);
}

QString statusMessage(MainWindow& w)
{
    return w.statusBar()->currentMessage();
}

bool statusIsAlarm(MainWindow& w)
{
    return w.statusBar()->property("alarm").toBool();
}

} // namespace

class TestMainWindowWarmup : public QObject
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
        QFile::remove(sessionPath());
        QDir(profilesPath()).removeRecursively();
    }

    void tabSitsBesideThePreampDesigner()
    {
        const auto window = openWindow();
        auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("mainTabs"));
        QVERIFY(tabs);
        // Each page sits in a scroll area of its own.
        int preampTab = -1;
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(window->preampView()))
                preampTab = i;
        }
        QVERIFY(preampTab >= 0);
        QCOMPARE(tabs->tabText(preampTab + 1), QStringLiteral("WARM-UP"));
        QVERIFY(tabs->widget(preampTab + 1)->isAncestorOf(window->warmupView()));
    }

    void typedReadingReachesTheLogAndThePlot()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        plateVSpin(w)->setValue(400);
        TubeCardWidget* card = cards(w).at(1);
        QVERIFY(card->warmupMark()->isHidden());

        clock.advanceSeconds(20);
        typeReading(card, QStringLiteral("32.5"));
        const qint64 typedAt = clock.currentMSecsSinceEpoch();
        letReadingStand(clock);

        const WarmupLog& log = w.warmupRecorder().log();
        QCOMPARE(log.entries.size(), 1); // "3", "32", "32." on the way are not readings
        const WarmupEntry e = log.entries.first();
        QCOMPARE(e.tube, 1);
        QCOMPARE(e.timeMs, typedAt);
        QCOMPARE(e.meas1, 32.5);
        QCOMPARE(e.currentMa, w.session().result(1).currentMa);
        QCOMPARE(e.dissipationW, 13.0);

        const WarmupPlotData& plotted = w.warmupView()->plot()->data();
        QCOMPARE(plotted.series.size(), 1);
        QCOMPARE(plotted.series.first().tube, 1);
        QCOMPARE(plotted.series.first().points.size(), 1);
        QCOMPARE(plotted.series.first().points.first().value, 32.5);
        QVERIFY(card->warmupMark()->isVisibleTo(card));
        QCOMPARE(card->warmupMark()->text(), QStringLiteral("warming up"));
        QVERIFY(cards(w).at(0)->warmupMark()->isHidden());

        // The guides are the model's: the target current and the class's window, at its plate voltage.
        QVERIFY(std::abs(plotted.target - w.session().target().currentMa) < 1e-9);
        targetSlider(w)->setValue(70);
        QVERIFY(std::abs(w.warmupView()->plot()->data().target - w.session().target().currentMa) < 1e-9);
        const double perPct = w.session().maxPlateW() / 400 * 1000 / 100;
        QVERIFY(std::abs(plotted.windowLow - w.session().snapshot().idealLowPct * perPct) < 1e-9);
        QVERIFY(std::abs(plotted.windowHigh - w.session().snapshot().idealHighPct * perPct) < 1e-9);
    }

    void csvExportWritesTheExactFile()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        plateVSpin(w)->setValue(400);
        QVERIFY(!w.warmupView()->exportButton()->isEnabled()); // nothing to export yet
        typeReading(cards(w).at(0), QStringLiteral("30"));
        letReadingStand(clock);
        clock.advanceSeconds(60);
        w.warmupView()->mainsSpin()->setValue(121.5);
        QTest::mouseClick(w.warmupView()->addMainsButton(), Qt::LeftButton);
        clock.advanceSeconds(60);
        typeReading(cards(w).at(1), QStringLiteral("31.2"));
        letReadingStand(clock);
        QVERIFY(w.warmupView()->exportButton()->isEnabled());

        const QString path = home.filePath(QStringLiteral("export/warmup.csv"));
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        {
            ModalSeam seam({answerFile(path)});
            QTest::mouseClick(w.warmupView()->exportButton(), Qt::LeftButton);
            QCOMPARE(seam.classNames, QStringList{QStringLiteral("QFileDialog")});
        }
        const QByteArray expected =
            "time,tube,method,reading,unit,current_mA,dissipation_W,pct_of_max,mains_V\r\n"
            "2026-03-14 09:30:00.000,1,Bias probe (cathode current),30,mA,30.00,12.00,85.7,\r\n"
            "2026-03-14 09:32:01.500,2,Bias probe (cathode current),31.2,mA,31.20,12.48,89.1,121.5\r\n";
        QCOMPARE(readFile(path), expected);

        // Cancelled: nothing is written.
        const QString other = home.filePath(QStringLiteral("export/other.csv"));
        {
            ModalSeam seam({[](QWidget* dialog) { closeDialog(dialog); }});
            QTest::mouseClick(w.warmupView()->exportButton(), Qt::LeftButton);
            QCOMPARE(seam.answered, 1);
        }
        QVERIFY(!QFileInfo::exists(other));
    }

    void clearAndUndoRestoreTheLog()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        WarmupView* view = w.warmupView();
        QVERIFY(!view->undoButton()->isEnabled());
        for (int minute = 0; minute < 3; ++minute) {
            typeReading(cards(w).at(0), QString::number(30 + minute));
            typeReading(cards(w).at(1), QString::number(40 + minute));
            clock.advanceSeconds(60);
        }
        const WarmupLog before = w.warmupRecorder().log();
        QCOMPARE(before.entries.size(), 6);

        QTest::mouseClick(view->clearButton(), Qt::LeftButton);
        QVERIFY(w.warmupRecorder().log().isEmpty());
        QVERIFY(view->plot()->data().series.isEmpty());
        QVERIFY(cards(w).at(0)->warmupMark()->isHidden());
        QVERIFY(!view->clearButton()->isEnabled());
        QVERIFY(view->undoButton()->isEnabled());

        QTest::mouseClick(view->undoButton(), Qt::LeftButton);
        QVERIFY(w.warmupRecorder().log() == before);
        QCOMPARE(view->plot()->data().series.size(), 2);
        QCOMPARE(cards(w).at(1)->warmupMark()->text(), QStringLiteral("warming up"));
        QVERIFY(!view->undoButton()->isEnabled());
        // A reading after the undo goes on from the restored log.
        typeReading(cards(w).at(0), QStringLiteral("33"));
        letReadingStand(clock);
        QCOMPARE(w.warmupRecorder().log().entries.size(), 7);
    }

    // Four tubes warming up the way tubes do, read every 15 s; from minute 20 V3 rises by 5 % a minute.
    void runawayMarksTheCardAndTheStatusBar()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        tubeCountSpin(w)->setValue(4);
        plateVSpin(w)->setValue(400);
        QStringList messages;
        connect(w.statusBar(), &QStatusBar::messageChanged, this,
                [&messages](const QString& text) { messages << text; });

        const double finals[] = {30, 31, 29.5, 30.5};
        bool alarmBefore = false;
        int alarmAt = -1; // s
        QString alarmText;
        bool alarmRed = false;
        for (int s = 0; s <= 30 * 60; s += 15) {
            for (int t = 0; t < 4; ++t) {
                double ma = finals[t] - 8 * std::exp(-s / 180.0);
                if (t == 2 && s > 20 * 60)
                    ma += 1.5 * (s - 20 * 60) / 60.0;
                cards(w).at(t)->setMeasurements(std::round(ma * 10) / 10, 0);
            }
            if (s == 20 * 60)
                alarmBefore = w.warmupRecorder().tubeState(2).runaway;
            clock.advanceSeconds(15);
            if (alarmAt < 0 && w.warmupRecorder().tubeState(2).runaway) {
                alarmAt = s;
                alarmText = statusMessage(w);
                alarmRed = statusIsAlarm(w);
            }
        }
        QVERIFY2(!alarmBefore, "no alarm while the tubes warm up and settle");
        // 5 % above the level it settled at is reached a minute in; the alarm follows that reading.
        QVERIFY2(alarmAt > 20 * 60 && alarmAt <= 21 * 60 + 15, qPrintable(QString::number(alarmAt)));
        QVERIFY2(messages.contains(QStringLiteral("all tubes settled")), qPrintable(messages.join('|')));

        const WarmupTubeState v3 = w.warmupRecorder().tubeState(2);
        QVERIFY(v3.runaway);
        const qint64 start = w.warmupRecorder().log().startMs();
        // It started rising at minute 20 (within one reading), and the card says when.
        QVERIFY2(std::abs(v3.risingSinceMs - start - 20 * 60 * 1000) <= 15000,
                 qPrintable(warmupElapsedText(v3.risingSinceMs - start)));
        QLabel* mark = cards(w).at(2)->warmupMark();
        QCOMPARE(mark->text(),
                 QStringLiteral("RUNAWAY since ") + warmupElapsedText(v3.risingSinceMs - start));
        QVERIFY(mark->property("alarm").toBool());
        for (int t : {0, 1, 3}) {
            QCOMPARE(cards(w).at(t)->warmupMark()->text(), QStringLiteral("settled"));
            QVERIFY(!cards(w).at(t)->warmupMark()->property("alarm").toBool());
        }
        QVERIFY(w.warmupView()->plot()->data().series.at(2).state.runaway);

        // Announced once, in the alarm colour, until it times out.
        int runawayMessages = 0;
        for (const QString& m : std::as_const(messages))
            runawayMessages += m.startsWith(QStringLiteral("RUNAWAY: V3")) ? 1 : 0;
        QCOMPARE(runawayMessages, 1);
        QCOMPARE(alarmText, QStringLiteral("RUNAWAY: V3 rising since ") +
                                warmupElapsedText(v3.risingSinceMs - start) +
                                QStringLiteral(" - check it now"));
        QVERIFY(alarmRed);
        // Nine minutes on, it has timed out.
        QCOMPARE(statusMessage(w), QString());
        QVERIFY(!statusIsAlarm(w));
        // A later message is no alarm.
        w.showStatusMessage(QStringLiteral("Saved"), 5000);
        QVERIFY(!statusIsAlarm(w));
    }

    void logTravelsWithProfilesAndTheSession()
    {
        MockClock clock;
        WarmupLog saved;
        {
            const auto window = openWindow();
            MainWindow& w = *window;
            for (int minute = 0; minute < 2; ++minute) {
                typeReading(cards(w).at(0), QString::number(30 + minute));
                clock.advanceSeconds(60);
            }
            saved = w.warmupRecorder().log();
            QCOMPARE(saved.entries.size(), 2);
            QVERIFY(w.captureProfile().warmupLog == saved);
            QCOMPARE(saveThroughWindow(w, QStringLiteral("Log job")), 1);
            QVERIFY(readJsonObject(profilePath(QStringLiteral("Log job.json")))
                        .contains(QStringLiteral("warmupLog")));

            // A preset is a new job: no log, and no undo into the last one.
            QVERIFY(clickPreset(w, QStringLiteral("Deluxe Reverb")));
            QVERIFY(w.warmupRecorder().log().isEmpty());
            QVERIFY(!w.warmupView()->undoButton()->isEnabled());
            QVERIFY(cards(w).at(0)->warmupMark()->isHidden());

            // Loading the profile brings its log back, and its readings are not logged again.
            QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Log job")));
            QVERIFY(w.warmupRecorder().log() == saved);
            clock.advanceSeconds(10);
            QVERIFY(w.warmupRecorder().log() == saved);
            QCOMPARE(cards(w).at(0)->warmupMark()->text(), QStringLiteral("warming up"));
            w.close(); // writes the last session
        }
        const auto next = openWindow();
        QVERIFY(next->warmupRecorder().log() == saved);
        QCOMPARE(next->warmupView()->plot()->data().series.size(), 1);
    }

    // A file from before the log: the same bench as with the key, and an empty log, also when the
    // window held one.
    void olderFilesLoadAsBefore()
    {
        MockClock clock;
        QJsonObject older{{"name", "Older"},          {"tube", "EL34"},
                          {"tubeCount", 2},           {"topology", "Push-Pull Class AB (fixed bias)"},
                          {"biasMethod", 0},          {"plateV", 450},
                          {"targetPct", 70},          {"meas1", QJsonArray{38.5, 40}},
                          {"meas2", QJsonArray{0, 0}}};
        QJsonObject newer = older;
        newer.insert(QStringLiteral("name"), QStringLiteral("Newer"));
        newer.insert(QStringLiteral("warmupLog"),
                     QJsonObject{{"start", double(clock.currentMSecsSinceEpoch())},
                                 {"entries", "0 0 0 38.5 0 38.5 17.325 69.3\n"},
                                 {"mains", ""}});
        QVERIFY(writeFile(profilePath(QStringLiteral("Older.json")), jsonBytes(older)));
        QVERIFY(writeFile(profilePath(QStringLiteral("Newer.json")), jsonBytes(newer)));

        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Newer")));
        QCOMPARE(w.warmupRecorder().log().entries.size(), 1);
        QVERIFY(profileToJson(w.captureProfile()).contains(QStringLiteral("warmupLog")));
        const QJsonObject withLog = setupOf(w); // the same without the log, the only difference
        const QList<double> readingsWithLog = firstReadings(w);
        const BenchSnapshot benchWithLog = w.session().snapshot();

        QVERIFY(pickFromList(myAmpsCombo(w), QStringLiteral("Older")));
        QVERIFY(w.warmupRecorder().log().isEmpty());
        QCOMPARE(setupOf(w), withLog);
        QCOMPARE(firstReadings(w), readingsWithLog);
        for (int t = 0; t < 2; ++t) {
            QCOMPARE(w.session().result(t).currentMa, benchWithLog.results.at(t).currentMa);
            QCOMPARE(w.session().rating(t), benchWithLog.ratings.at(t));
        }
        clock.advanceSeconds(10);
        QVERIFY2(w.warmupRecorder().log().isEmpty(), "a loaded job's readings are not logged");
        // Saving it again writes no log key, as the earlier version did.
        w.close();
        QVERIFY(!readJsonObject(sessionPath()).contains(QStringLiteral("warmupLog")));
    }
};

QTEST_MAIN(TestMainWindowWarmup)
#include "tst_mainwindow_warmup.moc"
