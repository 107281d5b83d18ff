// The last session is written while the user works, not only when the window closes: a second or
// two after a change of the job, on the program's clock, and when Qt gives up on a lost display.
#include "app/lostdisplay.h"
#include "bench/mainwindow.h"
#include "bench/sessionautosave.h"
#include "bias/readingedit.h"
#include "bias/tubecardwidget.h"
#include "preamp/preampview.h"
#include "warmup/warmuprecorder.h"

#include "mockclock.h"
#include "testfiles.h"
#include "windowdriver.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QJsonArray>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QJsonObject session()
{
    return readJsonObject(sessionPath());
}

void typeReading(MainWindow& w, int tube, const QString& text)
{
    ReadingEdit* field = w.tubeCards().at(tube)->readingField(0);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}

enum Edit { Reading, PlateVoltage, TubeCount, TubeType, PreampStage };

} // namespace

class TestSessionAutosave : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir home;

private slots:
    void init()
    {
        QVERIFY(home.isValid());
        prepareWindowTests(home);
        QDir(profilesPath()).removeRecursively();
    }

    void editIsWrittenAfterAPause_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("expected");
        QTest::addRow("reading") << int(Reading) << QStringLiteral("meas1")
                                 << QJsonValue(QJsonArray{27.5, 0});
        QTest::addRow("plate voltage") << int(PlateVoltage) << QStringLiteral("plateV") << QJsonValue(412);
        QTest::addRow("tube count") << int(TubeCount) << QStringLiteral("tubeCount") << QJsonValue(4);
        QTest::addRow("tube type") << int(TubeType) << QStringLiteral("tube")
                                   << QJsonValue(QStringLiteral("EL34"));
        QTest::addRow("preamp stage") << int(PreampStage) << QStringLiteral("preampStages") << QJsonValue();
    }

    void editIsWrittenAfterAPause()
    {
        QFETCH(int, edit);
        QFETCH(QString, key);
        QFETCH(QJsonValue, expected);
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        const int stagesBefore = int(w.preampView()->stageCards().size());
        QVERIFY2(!QFileInfo::exists(sessionPath()), "opening the window writes nothing");

        switch (Edit(edit)) {
        case Reading:
            typeReading(w, 0, QStringLiteral("27.5"));
            break;
        case PlateVoltage:
            plateVSpin(w)->setValue(412);
            break;
        case TubeCount:
            tubeCountSpin(w)->setValue(4);
            break;
        case TubeType:
            QVERIFY(choose(tubeCombo(w), QStringLiteral("EL34")));
            break;
        case PreampStage:
            QTest::mouseClick(w.preampView()->addStageButton(), Qt::LeftButton);
            expected = QJsonValue(stagesBefore + 1);
            break;
        }

        clock.advance(SessionAutosave::editDelayMs - 1);
        QVERIFY2(!QFileInfo::exists(sessionPath()), "nothing is written before the pause is over");
        clock.advance(1);
        QVERIFY(QFileInfo(sessionPath()).isFile());
        const QJsonObject written = session();
        QCOMPARE(written.value(QStringLiteral("name")).toString(), QStringLiteral("_last"));
        if (Edit(edit) == PreampStage)
            QCOMPARE(written.value(key).toArray().size(), expected.toInt());
        else
            QCOMPARE(written.value(key), expected);
    }

    void typingWithoutAPauseIsStillWritten()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        ReadingEdit* field = w.tubeCards().at(0)->readingField(0);
        field->setFocus();
        // One keystroke every 400 ms: the write is not pushed back by each of them.
        const QString typed = QStringLiteral("123.5");
        for (int i = 0; i < typed.size(); ++i) {
            QTest::keyClick(field, typed.at(i).toLatin1());
            if (i == 3) {
                // 1.2 s after the first key, the next write is 300 ms away.
                QVERIFY(!QFileInfo::exists(sessionPath()));
            }
            clock.advance(400);
        }
        // 2 s after the first key: written at 1.5 s with what was typed by then ("123.").
        QCOMPARE(session().value(QStringLiteral("meas1")).toArray().at(0).toDouble(), 123.0);
        clock.advance(SessionAutosave::editDelayMs);
        QCOMPARE(session().value(QStringLiteral("meas1")).toArray().at(0).toDouble(), 123.5);
    }

    void warmupLogAloneIsWrittenLessOften()
    {
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        QVERIFY(w.warmupRecorder().addMains(231));
        clock.advance(SessionAutosave::editDelayMs);
        QVERIFY2(!QFileInfo::exists(sessionPath()), "a growing log alone waits longer");
        clock.advance(SessionAutosave::logDelayMs - SessionAutosave::editDelayMs);
        QVERIFY(QFileInfo(sessionPath()).isFile());
        QVERIFY(session().contains(QStringLiteral("warmupLog")));
        const QByteArray first = readFile(sessionPath());

        // An edit after the log grew is written at its own, shorter pause.
        QVERIFY(w.warmupRecorder().addMains(232));
        clock.advance(1000);
        typeReading(w, 1, QStringLiteral("30"));
        clock.advance(SessionAutosave::editDelayMs);
        QCOMPARE(session().value(QStringLiteral("meas1")).toArray().at(1).toDouble(), 30.0);
        QVERIFY(readFile(sessionPath()) != first);
    }

    void lostDisplayWritesTheSession_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("writes");
        QTest::addRow("X11 gone") << QStringLiteral(
                                         "The X11 connection broke (error 1). Did the X11 server die?")
                                  << true;
        QTest::addRow("X11 error") << QStringLiteral("The X11 connection broke: I/O error (code 1)") << true;
        QTest::addRow("Wayland gone")
            << QStringLiteral("The Wayland connection broke. Did the Wayland compositor die?") << true;
        QTest::addRow("Wayland error")
            << QStringLiteral("The Wayland connection experienced a fatal error: Broken pipe") << true;
        QTest::addRow("other warning") << QStringLiteral("QXcbConnection: XCB error: 3 (BadWindow)") << false;
    }

    void lostDisplayWritesTheSession()
    {
        QFETCH(QString, message);
        QFETCH(bool, writes);
        MockClock clock;
        const auto window = openWindow();
        MainWindow& w = *window;
        LostDisplayGuard guard([&w] { w.saveSessionNow(); });
        typeReading(w, 0, QStringLiteral("33.5"));
        QVERIFY(w.sessionAutosave().pending());

        QTest::ignoreMessage(QtWarningMsg, qPrintable(message));
        qWarning("%s", qPrintable(message));
        QCOMPARE(QFileInfo::exists(sessionPath()), writes);
        if (writes) {
            QCOMPARE(session().value(QStringLiteral("meas1")).toArray().at(0).toDouble(), 33.5);
            // Only once: the process is about to end.
            QVERIFY(QFile::remove(sessionPath()));
            QTest::ignoreMessage(QtWarningMsg, qPrintable(message));
            qWarning("%s", qPrintable(message));
            QVERIFY(!QFileInfo::exists(sessionPath()));
        }
    }
};

QTEST_MAIN(TestSessionAutosave)
#include "tst_sessionautosave.moc"
