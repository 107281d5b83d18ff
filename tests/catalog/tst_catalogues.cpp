#include "bias/biascalc.h"
#include "catalog/ampclasses.h"
#include "catalog/tubes.h"

#include <QMap>
#include <QSet>
#include <QtTest>

// The tube and class catalogues are hand-typed data; these checks look for a mistyped row without
// restating the tables.
class TestCatalogues : public QObject
{
    Q_OBJECT

private:
    static QString tubeContext(const TubeSpec& t) { return QStringLiteral("tube \"%1\"").arg(t.name); }

private slots:
    void tubeLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addRow("first row") << QStringLiteral("6L6GC") << 0;
        QTest::addRow("default tube") << QStringLiteral("6V6GT") << 3;
        QTest::addRow("full slash name") << QStringLiteral("EL84 / 6BQ5") << 17;
        QTest::addRow("bare EL84 is not a row") << QStringLiteral("EL84") << -1;
        QTest::addRow("second half of a slash name") << QStringLiteral("6BQ5") << -1;
        QTest::addRow("lower case") << QStringLiteral("el34") << -1;
        QTest::addRow("trailing space") << QStringLiteral("EL34 ") << -1;
        QTest::addRow("prefix of a longer name") << QStringLiteral("6L6") << -1;
        QTest::addRow("custom row is last") << QStringLiteral("Custom...") << 37;
        QTest::addRow("empty") << QString() << -1;
        QTest::addRow("last named tube") << QStringLiteral("211") << 36;
    }
    void tubeLookup()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(tubeIndex(name), index);
        const TubeSpec* t = findTube(name);
        if (index < 0) {
            QVERIFY2(t == nullptr, qPrintable(QStringLiteral("expected no row for \"%1\"").arg(name)));
        } else {
            // The pointer must be into the catalogue itself, so it stays valid for the program's life.
            QVERIFY2(t == &tubeCatalogue().at(index),
                     qPrintable(QStringLiteral("findTube(\"%1\") is not row %2").arg(name).arg(index)));
            QCOMPARE(t->name, name);
        }
    }

    void tubeCatalogueIsBuiltOnce()
    {
        const QList<TubeSpec>* first = &tubeCatalogue();
        QCOMPARE(&tubeCatalogue(), first);
        QCOMPARE(findTube(QStringLiteral("KT88")), findTube(QStringLiteral("KT88")));
    }

    void tubeCountAndUniqueNames()
    {
        const QList<TubeSpec>& rows = tubeCatalogue();
        QCOMPARE(rows.size(), 38);
        QSet<QString> names;
        for (const TubeSpec& t : rows) {
            QVERIFY2(!t.name.isEmpty(), "every row has a name");
            QVERIFY2(!names.contains(t.name), qPrintable(tubeContext(t) + QStringLiteral(" appears twice")));
            names.insert(t.name);
            QCOMPARE(tubeIndex(t.name), int(&t - rows.constData()));
        }
    }

    void customRowOnlyAtTheEnd()
    {
        const QList<TubeSpec>& rows = tubeCatalogue();
        for (int i = 0; i < rows.size() - 1; ++i)
            QVERIFY2(!rows.at(i).custom,
                     qPrintable(tubeContext(rows.at(i)) + QStringLiteral(" must not be custom")));

        const TubeSpec& c = rows.last();
        QVERIFY(c.custom);
        QCOMPARE(c.name, QStringLiteral("Custom..."));
        QCOMPARE(c.family, QStringLiteral("User-defined tube"));
        QCOMPARE(c.maxPlateW, 25.0);
        QCOMPARE(c.typicalPlateV, 450.0);
        QVERIFY2(!c.triode, "the custom row is not a triode");
        QVERIFY2(c.base.isEmpty() && c.pins.isEmpty() && c.topCap.isEmpty(),
                 "custom row has no base, pins or cap");
        QVERIFY2(c.maxPlateV == 0 && c.maxScreenV == 0 && c.maxScreenW == 0 && c.maxCathodeMa == 0 &&
                     c.heaterA == 0,
                 "custom row leaves every other rating at zero");
    }

    void namedTubesHavePlausibleRatings()
    {
        for (const TubeSpec& t : tubeCatalogue()) {
            if (t.custom)
                continue;
            const QString ctx = tubeContext(t);
            QVERIFY2(!t.family.isEmpty() && !t.base.isEmpty(),
                     qPrintable(ctx + QStringLiteral(" lacks family/base")));
            QVERIFY2(t.maxPlateW > 0 && t.maxPlateV > 0 && t.maxCathodeMa > 0 && t.heaterA > 0 &&
                         t.typicalPlateV > 0,
                     qPrintable(ctx + QStringLiteral(" has a zero rating")));
            // The plate dissipation never exceeds Vp x Ik; a swapped column breaks this.
            QVERIFY2(
                t.maxPlateW <= t.maxPlateV * t.maxCathodeMa / 1000.0,
                qPrintable(ctx + QStringLiteral(" dissipation exceeds plate voltage times cathode current")));
            QVERIFY2(t.heaterA < 20,
                     qPrintable(ctx + QStringLiteral(" heater current looks like another column")));
        }
    }

    void screenRatingsFollowTheTriodeFlag()
    {
        const QSet<QString> triodes = {"811A", "572B", "3-500Z", "300B", "2A3", "845", "211"};
        for (const TubeSpec& t : tubeCatalogue()) {
            if (t.custom)
                continue;
            const QString ctx = tubeContext(t);
            QCOMPARE(t.triode, triodes.contains(t.name));
            if (t.triode) {
                QVERIFY2(t.maxScreenV == 0 && t.maxScreenW == 0,
                         qPrintable(ctx + QStringLiteral(" has screen ratings")));
            } else {
                QVERIFY2(t.maxScreenV > 0 && t.maxScreenW > 0,
                         qPrintable(ctx + QStringLiteral(" lacks screen ratings")));
                QVERIFY2(t.maxScreenV <= t.maxPlateV,
                         qPrintable(ctx + QStringLiteral(" screen voltage above plate")));
                QVERIFY2(t.maxScreenW < t.maxPlateW,
                         qPrintable(ctx + QStringLiteral(" screen rating above plate")));
            }
        }
    }

    void pinListsMatchTheirBase()
    {
        // Pins per base name; a pin list is either absent or complete.
        const QMap<QString, int> pinsOfBase = {{"Octal", 8},
                                               {"Novar", 9},
                                               {"Noval (9-pin)", 9},
                                               {"Miniature 7-pin", 7},
                                               {"4-pin", 4},
                                               {"5-pin (5V fil.)", 5},
                                               {"5-pin (UY5)", 5},
                                               {"7-pin (10V fil.)", 7},
                                               {"12-pin compactron", 12},
                                               {"4-pin UX4", 4},
                                               {"4-pin jumbo", 4}};
        const QSet<QString> labels = {"NC", "IC", "H",    "F",    "K",    "P",    "G",    "G1",   "G2",
                                      "G3", "BP", "K,BP", "K,G3", "G(T)", "K(T)", "P(T)", "Shell"};
        const QSet<QString> withoutPins = {"813", "4-400A", "Custom..."};
        for (const TubeSpec& t : tubeCatalogue()) {
            const QString ctx = tubeContext(t);
            QCOMPARE(t.pins.isEmpty(), withoutPins.contains(t.name));
            if (t.pins.isEmpty())
                continue;
            QVERIFY2(pinsOfBase.contains(t.base),
                     qPrintable(ctx + QStringLiteral(" has unknown base ") + t.base));
            QVERIFY2(
                t.pins.size() == pinsOfBase.value(t.base),
                qPrintable(ctx + QStringLiteral(" has %1 pins on a %2 base").arg(t.pins.size()).arg(t.base)));
            for (const QString& pin : t.pins)
                QVERIFY2(labels.contains(pin), qPrintable(ctx + QStringLiteral(" has pin label ") + pin));
            // Every tube has a heater or filament on two pins and a plate somewhere (pin or top cap).
            const int heaters = t.pins.count(QStringLiteral("H")) + t.pins.count(QStringLiteral("F"));
            QVERIFY2(heaters == 2, qPrintable(ctx + QStringLiteral(" has %1 heater pins").arg(heaters)));
            QVERIFY2(t.pins.contains(QStringLiteral("P")) || t.topCap == QStringLiteral("PLATE"),
                     qPrintable(ctx + QStringLiteral(" has no plate connection")));
            QVERIFY2(t.triode ? t.pins.contains(QStringLiteral("G")) : t.pins.contains(QStringLiteral("G2")),
                     qPrintable(ctx + QStringLiteral(" lacks its grid")));
        }
    }

    void topCapsArePlatesOfTheRfTubes()
    {
        const QSet<QString> capped = {"811A",  "572B", "3-500Z", "6146 / 6146A", "6146B",
                                      "6JS6C", "807",  "813",    "4-400A"};
        for (const TubeSpec& t : tubeCatalogue()) {
            const QString expected = capped.contains(t.name) ? QStringLiteral("PLATE") : QString();
            QVERIFY2(t.topCap == expected,
                     qPrintable(tubeContext(t) + QStringLiteral(" top cap \"%1\"").arg(t.topCap)));
        }
    }

    void tubesTheBenchExamplesRelyOn()
    {
        // Worked examples and defaults elsewhere assume these ratings.
        const TubeSpec* gc = findTube(QStringLiteral("6L6GC"));
        QVERIFY(gc);
        QCOMPARE(gc->maxPlateW, 30.0);
        QCOMPARE(gc->typicalPlateV, 450.0);
        const TubeSpec* v6 = findTube(QStringLiteral("6V6GT"));
        QVERIFY(v6);
        QCOMPARE(v6->maxPlateW, 14.0);
        QCOMPARE(v6->typicalPlateV, 350.0);
        const TubeSpec* e = findTube(QStringLiteral("7189A"));
        QVERIFY(e);
        QCOMPARE(e->maxPlateW, 13.2);
    }

    void classLookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addRow("default class") << QStringLiteral("Push-Pull Class AB (fixed bias)") << 3;
        QTest::addRow("RF linear") << QStringLiteral("RF Linear (Class AB/B)") << 6;
        QTest::addRow("prefix of other names") << QStringLiteral("Push-Pull Class A") << 2;
        QTest::addRow("lower case") << QStringLiteral("push-pull class a") << -1;
        QTest::addRow("abbreviation") << QStringLiteral("PP AB fixed") << -1;
        QTest::addRow("empty") << QString() << -1;
        QTest::addRow("first") << QStringLiteral("Single-Ended Class A") << 0;
    }
    void classLookup()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QCOMPARE(ampClassIndex(name), index);
        const AmpClass* c = findAmpClass(name);
        if (index < 0)
            QVERIFY2(c == nullptr, qPrintable(QStringLiteral("expected no class for \"%1\"").arg(name)));
        else
            QVERIFY2(c == &ampClasses().at(index),
                     qPrintable(QStringLiteral("findAmpClass(\"%1\")").arg(name)));
    }

    void defaultClassWindow()
    {
        const AmpClass c;
        QCOMPARE(c.targetPct, 65.0);
        QCOMPARE(c.idealLowPct, 60.0);
        QCOMPARE(c.idealHighPct, 70.0);
        QVERIFY(c.methods.isEmpty());
    }

    void classInvariants()
    {
        const QList<AmpClass>& rows = ampClasses();
        QCOMPARE(rows.size(), 7);
        QCOMPARE(&ampClasses(), &rows);
        QSet<QString> names;
        for (const AmpClass& c : rows) {
            const QString ctx = QStringLiteral("class \"%1\"").arg(c.name);
            QVERIFY2(!names.contains(c.name), qPrintable(ctx + QStringLiteral(" appears twice")));
            names.insert(c.name);
            QVERIFY2(c.idealLowPct < c.targetPct && c.targetPct <= c.idealHighPct,
                     qPrintable(ctx + QStringLiteral(": %1 < %2 <= %3 does not hold")
                                          .arg(c.idealLowPct)
                                          .arg(c.targetPct)
                                          .arg(c.idealHighPct)));
            QVERIFY2(c.idealLowPct > 0 && c.idealHighPct <= 100, qPrintable(ctx + QStringLiteral(" window")));
            QVERIFY2(c.description.size() > 40, qPrintable(ctx + QStringLiteral(" lacks its description")));
            QSet<int> seen;
            for (int m : c.methods) {
                QVERIFY2(!biasMethodLabel(m).isEmpty(),
                         qPrintable(ctx + QStringLiteral(" method %1").arg(m)));
                QVERIFY2(!seen.contains(m),
                         qPrintable(ctx + QStringLiteral(" lists method %1 twice").arg(m)));
                seen.insert(m);
            }
        }
    }

    void classMethods_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("methods");
        const QList<int> withCathode = {BiasProbe, SenseResistor, OtWindingDrop, CathodeBias};
        const QList<int> fixed = {BiasProbe, SenseResistor, OtWindingDrop};
        QTest::addRow("SE A") << QStringLiteral("Single-Ended Class A") << withCathode;
        QTest::addRow("parallel SE A") << QStringLiteral("Parallel Single-Ended Class A") << withCathode;
        QTest::addRow("PP A") << QStringLiteral("Push-Pull Class A") << withCathode;
        QTest::addRow("PP AB fixed") << QStringLiteral("Push-Pull Class AB (fixed bias)") << fixed;
        QTest::addRow("PP AB cathode") << QStringLiteral("Push-Pull Class AB (cathode bias)") << withCathode;
        QTest::addRow("PP B") << QStringLiteral("Push-Pull Class B") << fixed;
        QTest::addRow("RF: meter first")
            << QStringLiteral("RF Linear (Class AB/B)") << QList<int>{PanelMeter, SenseResistor};
    }
    void classMethods()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, methods);
        const AmpClass* c = findAmpClass(name);
        QVERIFY2(c, qPrintable(name));
        QCOMPARE(c->methods, methods);
    }

    void panelMeterOnlyForRf()
    {
        // A panel meter reads plate current only on a ham linear; cathode bias never applies there.
        for (const AmpClass& c : ampClasses()) {
            const bool rf = c.name == QStringLiteral("RF Linear (Class AB/B)");
            QCOMPARE(c.methods.contains(PanelMeter), rf);
            if (rf)
                QVERIFY(!c.methods.contains(CathodeBias));
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
