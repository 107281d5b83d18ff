#include "preamp/triodes.h"

#include <QtTest>

class TestTriodes : public QObject
{
    Q_OBJECT

private slots:
    void namesInListOrder();
    void lookups_data();
    void lookups();
    void lookupPointsIntoTheTable();
    void everyRowConductsAtItsTypicalPoint();
    void pinListsMatchTheBase();
    void defaultRecordCarriesTheFirstRowsNumbers();
    void sixEu7IsA12ax7OnAnotherBase();
    void octalRowValues();
};

void TestTriodes::namesInListOrder()
{
    // The order is the order of every stage editor's tube list, and saved chains use these names.
    const QStringList expected = {"12AX7 / ECC83 / 7025", "5751", "12AT7 / ECC81", "12AY7 / 6072", "12AV7",
                                  "12AU7 / ECC82",        "6EU7", "6SL7",          "6SN7"};
    QStringList names;
    for (const TriodeSpec& t : triodeCatalogue())
        names << t.name;
    QCOMPARE(names, expected);
}

void TestTriodes::lookups_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");

    QTest::addRow("first row by full name") << "12AX7 / ECC83 / 7025" << 0;
    QTest::addRow("last row") << "6SN7" << 8;
    QTest::addRow("middle row") << "12AU7 / ECC82" << 5;
    QTest::addRow("part of a name") << "12AX7" << -1;
    QTest::addRow("differs only in case") << "6sn7" << -1;
    QTest::addRow("trailing space") << "6SN7 " << -1;
    QTest::addRow("empty") << "" << -1;
}

void TestTriodes::lookups()
{
    QFETCH(QString, name);
    QFETCH(int, index);

    QCOMPARE(triodeIndex(name), index);
    const TriodeSpec* row = findTriode(name);
    if (index < 0) {
        QVERIFY2(row == nullptr, qPrintable("expected no row for \"" + name + "\""));
    } else {
        QVERIFY2(row != nullptr, qPrintable("expected a row for \"" + name + "\""));
        QCOMPARE(row->name, name);
    }
}

void TestTriodes::lookupPointsIntoTheTable()
{
    // Callers keep these pointers; they must point at the one long-lived table, not at a copy.
    const TriodeSpec* row = findTriode("6SL7");
    QVERIFY(row != nullptr);
    QCOMPARE(row, &triodeCatalogue().at(7));
    QCOMPARE(findTriode("6SL7"), row);
}

void TestTriodes::everyRowConductsAtItsTypicalPoint()
{
    // The solver derives the perveance from Vp/µ + Vg; it must be positive for every row.
    for (const TriodeSpec& t : triodeCatalogue()) {
        const double b = t.typicalPlateV / t.mu + t.typicalGridV;
        QVERIFY2(b > 0, qPrintable(t.name + ": typical point is beyond cut-off"));
        QVERIFY2(t.typicalPlateMa > 0, qPrintable(t.name + ": typical current must be positive"));
        QVERIFY2(t.plateResistance > 0 && t.maxPlateW > 0 && t.maxPlateV > 0,
                 qPrintable(t.name + ": ratings must be positive"));
    }
    const TriodeSpec& first = triodeCatalogue().at(0);
    QVERIFY(qAbs(first.typicalPlateV / first.mu + first.typicalGridV - 0.5) < 1e-12);
}

void TestTriodes::pinListsMatchTheBase()
{
    const QStringList noval = {"Pb", "Gb", "Kb", "H", "H", "Pa", "Ga", "Ka", "H CT"};
    const QStringList p6eu7 = {"H", "H", "NC", "Kb", "Gb", "Pb", "Pa", "Ga", "Ka"};
    const QStringList octal = {"Gb", "Pb", "Kb", "Ga", "Pa", "Ka", "H", "H"};
    for (const TriodeSpec& t : triodeCatalogue()) {
        if (t.name == "6EU7") {
            QCOMPARE(t.base, QString("Noval (9-pin)"));
            QCOMPARE(t.pins, p6eu7);
        } else if (t.name.startsWith("6S")) {
            QCOMPARE(t.base, QString("Octal"));
            QCOMPARE(t.pins, octal);
        } else {
            QCOMPARE(t.base, QString("Noval (9-pin)"));
            QCOMPARE(t.pins, noval);
        }
    }
}

void TestTriodes::defaultRecordCarriesTheFirstRowsNumbers()
{
    const TriodeSpec d;
    const TriodeSpec& first = triodeCatalogue().at(0);
    QVERIFY(d.name.isEmpty() && d.family.isEmpty() && d.base.isEmpty() && d.pins.isEmpty());
    QCOMPARE(d.mu, first.mu);
    QCOMPARE(d.plateResistance, first.plateResistance);
    QCOMPARE(d.transconductance, first.transconductance);
    QCOMPARE(d.maxPlateW, first.maxPlateW);
    QCOMPARE(d.maxPlateV, first.maxPlateV);
    QCOMPARE(d.heaterA, first.heaterA);
    QCOMPARE(d.typicalPlateV, first.typicalPlateV);
    QCOMPARE(d.typicalGridV, first.typicalGridV);
    QCOMPARE(d.typicalPlateMa, first.typicalPlateMa);
    QCOMPARE(first.mu, 100.0);
    QCOMPARE(first.plateResistance, 62500.0);
}

void TestTriodes::sixEu7IsA12ax7OnAnotherBase()
{
    const TriodeSpec* a = findTriode("12AX7 / ECC83 / 7025");
    const TriodeSpec* b = findTriode("6EU7");
    QVERIFY(a && b);
    QCOMPARE(b->family, QString("High-mu twin triode (12AX7 electrically, different base)"));
    QCOMPARE(b->mu, a->mu);
    QCOMPARE(b->plateResistance, a->plateResistance);
    QCOMPARE(b->transconductance, a->transconductance);
    QCOMPARE(b->maxPlateW, a->maxPlateW);
    QCOMPARE(b->maxPlateV, a->maxPlateV);
    QCOMPARE(b->heaterA, a->heaterA);
    QCOMPARE(b->typicalPlateV, a->typicalPlateV);
    QCOMPARE(b->typicalGridV, a->typicalGridV);
    QCOMPARE(b->typicalPlateMa, a->typicalPlateMa);
    QCOMPARE(b->base, a->base);
    QVERIFY(b->pins != a->pins);
}

void TestTriodes::octalRowValues()
{
    const TriodeSpec* t = findTriode("6SN7");
    QVERIFY(t);
    QCOMPARE(t->family, QString("Medium-mu twin triode, octal"));
    QCOMPARE(t->mu, 20.0);
    QCOMPARE(t->plateResistance, 7700.0);
    QCOMPARE(t->transconductance, 2.6);
    QCOMPARE(t->maxPlateW, 5.0);
    QCOMPARE(t->maxPlateV, 450.0);
    QCOMPARE(t->heaterA, 0.6);
    QCOMPARE(t->typicalGridV, -8.0);
    QCOMPARE(t->typicalPlateMa, 9.0);

    const TriodeSpec* f = findTriode("5751");
    QVERIFY(f);
    QCOMPARE(f->family, QString("High-mu twin triode (rugged, ~70% of 12AX7 gain)"));
    QCOMPARE(f->heaterA, 0.35);
    QCOMPARE(f->maxPlateW, 0.8);
}

QTEST_GUILESS_MAIN(TestTriodes)
#include "tst_triodes.moc"
