#include "preamp/preampchain.h"

#include <QtTest>

class TestPreampChain : public QObject
{
    Q_OBJECT

private slots:
    void driveTravelsInvertedAndClipped();
    void aStageWithRoomToSpareIsNotOverdriven();
    void emptyChain();
};

void TestPreampChain::driveTravelsInvertedAndClipped()
{
    // V1a takes +1 / −2 V, gain 50; V1b takes +4 / −100 V, gain 30; V2a takes +2 / −3 V.
    const QList<StageHeadroom> chain = {{50, 1, -2}, {30, 4, -100}, {10, 2, -3}};
    const QList<StageDrive> drive = chainDrive(chain);
    QCOMPARE(drive.size(), 3);

    // The first stage is driven to its own limits and is never the one overdriven.
    QCOMPARE(drive.at(0).inPlusV, 1.0);
    QCOMPARE(drive.at(0).inMinusV, -2.0);
    QVERIFY(!drive.at(0).overdriven);

    // V1a turns its −2 V into +100 V and its +1 V into −50 V; +100 V is far past V1b's +4 V.
    QCOMPARE(drive.at(1).inPlusV, 100.0);
    QCOMPARE(drive.at(1).inMinusV, -50.0);
    QVERIFY(drive.at(1).overdriven);

    // V1b passes on only its clean part, +4 / −50 V: out come −120 V and +1500 V.
    QCOMPARE(drive.at(2).inPlusV, 1500.0);
    QCOMPARE(drive.at(2).inMinusV, -120.0);
    QVERIFY(drive.at(2).overdriven);
}

void TestPreampChain::aStageWithRoomToSpareIsNotOverdriven()
{
    // A gain-of-2 buffer into a stage with plenty of room, then one limit reached exactly (not over).
    const QList<StageHeadroom> chain = {{2, 1, -1.5}, {1, 3.1, -2.1}, {5, 2.1, -3.1}};
    const QList<StageDrive> drive = chainDrive(chain);
    QCOMPARE(drive.at(1).inPlusV, 3.0);
    QCOMPARE(drive.at(1).inMinusV, -2.0);
    QVERIFY(!drive.at(1).overdriven);
    QCOMPARE(drive.at(2).inPlusV, 2.0);
    QCOMPARE(drive.at(2).inMinusV, -3.0);
    QVERIFY(!drive.at(2).overdriven);

    // Overdriven on the negative side alone.
    const QList<StageDrive> tight = chainDrive({{2, 1, -1}, {1, 5, -1.9}});
    QVERIFY(tight.at(1).overdriven);
}

void TestPreampChain::emptyChain()
{
    QVERIFY(chainDrive({}).isEmpty());
}

QTEST_GUILESS_MAIN(TestPreampChain)
#include "tst_preampchain.moc"
