#include "preamp/korentriode.h"
#include "preamp/triodes.h"

#include <QtTest>
#include <cmath>

// The model equation written out once more, term by term, for a hand check of one point.
static double referencePlateMa(double mu, double ex, double kg1, double kp, double kvb, double vp, double vg)
{
    const double e1 = vp / kp * std::log(1 + std::exp(kp * (1 / mu + vg / std::sqrt(kvb + vp * vp))));
    return e1 > 0 ? 1000 * (std::pow(e1, ex) + std::pow(e1, ex)) / kg1 : 0;
}

class TestKorenTriode : public QObject
{
    Q_OBJECT

private slots:
    void publishedSets_data();
    void publishedSets();
    void tubesWithoutASetKeepTheDatasheetModel();
    void plateCurrentIsTheModelEquation();
    void noCurrentWithoutPositivePlate();
    void smallSignalMatchesTheSlopesOfTheCurves_data();
    void smallSignalMatchesTheSlopesOfTheCurves();
    void fittedSetsGiveTheDatasheetPoint_data();
    void fittedSetsGiveTheDatasheetPoint();
};

void TestKorenTriode::publishedSets_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("mu");
    QTest::addColumn<double>("ex");
    QTest::addColumn<double>("kg1");
    QTest::addColumn<double>("kp");
    QTest::addColumn<double>("kvb");
    // Koren's published sets.
    QTest::addRow("12AX7") << "12AX7 / ECC83 / 7025" << 100.0 << 1.4 << 1060.0 << 600.0 << 300.0;
    QTest::addRow("12AT7") << "12AT7 / ECC81" << 60.0 << 1.35 << 460.0 << 300.0 << 300.0;
    QTest::addRow("12AU7") << "12AU7 / ECC82" << 21.5 << 1.3 << 1180.0 << 84.0 << 300.0;
    QTest::addRow("6EU7 is a 12AX7") << "6EU7" << 100.0 << 1.4 << 1060.0 << 600.0 << 300.0;
}

void TestKorenTriode::publishedSets()
{
    QFETCH(QString, tube);
    QVERIFY2(triodeIndex(tube) >= 0, qPrintable(tube + " is not a catalogue name"));
    const KorenParams* p = korenParams(tube);
    QVERIFY2(p, qPrintable(tube + " has no set"));
    QTEST(p->mu, "mu");
    QTEST(p->ex, "ex");
    QTEST(p->kg1, "kg1");
    QTEST(p->kp, "kp");
    QTEST(p->kvb, "kvb");
}

void TestKorenTriode::tubesWithoutASetKeepTheDatasheetModel()
{
    for (const char* name : {"5751", "12AY7 / 6072", "12AV7"})
        QVERIFY2(!korenParams(QString::fromUtf8(name)), name);
    // Whole names only, as everywhere in the catalogue.
    QVERIFY(!korenParams(QStringLiteral("12AX7")));
    QVERIFY(!korenParams(QString()));
    for (const char* name : {"6SN7", "6SL7"})
        QVERIFY2(korenParams(QString::fromUtf8(name)), name);
}

void TestKorenTriode::plateCurrentIsTheModelEquation()
{
    const KorenParams& p = *korenParams(QStringLiteral("12AX7 / ECC83 / 7025"));
    // By hand: s = 600·(0.01 − 2/√62800) = 1.2114, E1 = 250/600·ln(1 + e^s) = 0.61334,
    // Ip = 2·E1^1.4/1060 A = 0.9518 mA.
    QVERIFY2(qAbs(korenPlateMa(p, 250, -2) - 0.9518) < 5e-4,
             qPrintable(QString::number(korenPlateMa(p, 250, -2))));
    for (double vp : {20.0, 100.0, 300.0})
        for (double vg : {0.0, -1.0, -2.5})
            QVERIFY(qAbs(korenPlateMa(p, vp, vg) - referencePlateMa(100, 1.4, 1060, 600, 300, vp, vg)) <
                    1e-9);
    // Far past cut-off the current is tiny but the softplus keeps it finite and positive.
    const double deep = korenPlateMa(p, 100, -20);
    QVERIFY(std::isfinite(deep) && deep >= 0 && deep < 1e-6);
    // A strongly positive exponent must not overflow.
    QVERIFY(std::isfinite(korenPlateMa(p, 400, 50)));
}

void TestKorenTriode::noCurrentWithoutPositivePlate()
{
    const KorenParams& p = *korenParams(QStringLiteral("12AT7 / ECC81"));
    QCOMPARE(korenPlateMa(p, 0, 0), 0.0);
    QCOMPARE(korenPlateMa(p, -50, 0), 0.0);
    const TriodeSmallSignal none = korenSmallSignal(p, 0, -1);
    QCOMPARE(none.gmMaPerV, 0.0);
    QCOMPARE(none.rpOhm, 0.0);
    QCOMPARE(none.mu, 0.0);
}

void TestKorenTriode::smallSignalMatchesTheSlopesOfTheCurves_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addColumn<double>("plateV");
    QTest::addColumn<double>("gridV");
    QTest::addRow("12AX7 at 200 V, -1.5 V") << "12AX7 / ECC83 / 7025" << 200.0 << -1.5;
    QTest::addRow("12AX7 near cut-off") << "12AX7 / ECC83 / 7025" << 250.0 << -2.8;
    QTest::addRow("12AT7 at 150 V, -2 V") << "12AT7 / ECC81" << 150.0 << -2.0;
    QTest::addRow("12AU7 at 100 V, 0 V") << "12AU7 / ECC82" << 100.0 << 0.0;
    QTest::addRow("6SN7 at 250 V, -8 V") << "6SN7" << 250.0 << -8.0;
    QTest::addRow("6SL7 at 180 V, -1 V") << "6SL7" << 180.0 << -1.0;
}

void TestKorenTriode::smallSignalMatchesTheSlopesOfTheCurves()
{
    QFETCH(QString, tube);
    QFETCH(double, plateV);
    QFETCH(double, gridV);
    const KorenParams& p = *korenParams(tube);
    const double h = 1e-3;
    const double gm = (korenPlateMa(p, plateV, gridV + h) - korenPlateMa(p, plateV, gridV - h)) / (2 * h);
    const double gp =
        (korenPlateMa(p, plateV + h, gridV) - korenPlateMa(p, plateV - h, gridV)) / (2 * h) / 1000;
    const TriodeSmallSignal s = korenSmallSignal(p, plateV, gridV);
    QVERIFY2(qAbs(s.gmMaPerV / gm - 1) < 1e-5,
             qPrintable(QStringLiteral("gm %1 against %2").arg(s.gmMaPerV).arg(gm)));
    QVERIFY2(qAbs(s.rpOhm * gp - 1) < 1e-5,
             qPrintable(QStringLiteral("rp %1 against %2").arg(s.rpOhm).arg(1 / gp)));
    QVERIFY(qAbs(s.mu - s.gmMaPerV / 1000 * s.rpOhm) < 1e-9 * s.mu);
    // The one-pass evaluation the solvers step with gives the same current and slopes.
    const KorenPoint point = korenPoint(p, plateV, gridV);
    QVERIFY(qAbs(point.ma / korenPlateMa(p, plateV, gridV) - 1) < 1e-12);
    QVERIFY(qAbs(point.dMaDGrid / s.gmMaPerV - 1) < 1e-12);
    QVERIFY(qAbs(point.dMaDPlate / 1000 * s.rpOhm - 1) < 1e-12);
}

void TestKorenTriode::fittedSetsGiveTheDatasheetPoint_data()
{
    QTest::addColumn<QString>("tube");
    QTest::addRow("6SN7") << "6SN7";
    QTest::addRow("6SL7") << "6SL7";
}

void TestKorenTriode::fittedSetsGiveTheDatasheetPoint()
{
    QFETCH(QString, tube);
    // The documented fits reproduce the typical point of the catalogue row they were made for.
    const TriodeSpec& row = *findTriode(tube);
    const KorenParams& p = *korenParams(tube);
    const double ma = korenPlateMa(p, row.typicalPlateV, row.typicalGridV);
    const TriodeSmallSignal s = korenSmallSignal(p, row.typicalPlateV, row.typicalGridV);
    QVERIFY2(qAbs(ma / row.typicalPlateMa - 1) < 0.01, qPrintable(QString::number(ma)));
    QVERIFY2(qAbs(s.rpOhm / row.plateResistance - 1) < 0.01, qPrintable(QString::number(s.rpOhm)));
    QVERIFY2(qAbs(s.mu / row.mu - 1) < 0.01, qPrintable(QString::number(s.mu)));
    QVERIFY2(qAbs(s.gmMaPerV / row.transconductance - 1) < 0.03, qPrintable(QString::number(s.gmMaPerV)));
}

QTEST_GUILESS_MAIN(TestKorenTriode)
#include "tst_korentriode.moc"
